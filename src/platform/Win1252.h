#pragma once
// Windows-1252 is the 8-bit text of banner files and of the server protocol.
// Convert only at those boundaries; everything inside is QString.
#include <QByteArray>
#include <QString>

namespace Win1252 {
// Every byte value maps to one character. The five bytes that Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value,
// as Windows' own conversion does, so all 256 bytes survive a round trip.
QString Decode(const QByteArray &bytes);
QChar DecodeByte(unsigned char byte);
// A character that Windows-1252 cannot hold becomes '?'.
QByteArray Encode(const QString &text);
// True when every character of text can be encoded without replacement.
bool CanEncode(const QString &text);
}
