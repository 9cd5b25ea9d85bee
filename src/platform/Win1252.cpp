#include "platform/Win1252.h"

#include <array>

namespace {
// 0x80..0x9F; the rest of the range is ISO-8859-1, which is Unicode's first 256 code points.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int EncodeChar(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < int(kHigh.size()); ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}
} // namespace

namespace Win1252 {

QChar DecodeByte(unsigned char b)
{
    return (b >= 0x80 && b <= 0x9F) ? QChar(kHigh[b - 0x80]) : QChar(char16_t(b));
}

QString Decode(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes)
        out.append(DecodeByte(static_cast<unsigned char>(c)));
    return out;
}

QByteArray Encode(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        // A surrogate pair is one character outside the code page: one '?'.
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const int b = EncodeChar(ch.unicode());
        out.append(b < 0 ? '?' : char(b));
    }
    return out;
}

bool CanEncode(const QString &text)
{
    for (QChar ch : text)
        if (EncodeChar(ch.unicode()) < 0)
            return false;
    return true;
}

} // namespace Win1252
