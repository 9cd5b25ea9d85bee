#include "items/LogFont.h"

#include "platform/ByteIO.h"
#include "platform/Win1252.h"

#include <algorithm>
#include <cstring>

QString LOGFONT::FaceName() const
{
    const auto end = std::find(lfFaceName.begin(), lfFaceName.end(), '\0');
    return Win1252::Decode(QByteArray(lfFaceName.data(), qsizetype(end - lfFaceName.begin())));
}

void LOGFONT::SetFaceName(const QString &name)
{
    QByteArray bytes = Win1252::Encode(name);
    // Stop at an embedded NUL as a C string would, and leave room for the terminator.
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    bytes.truncate(kFaceSize - 1);
    std::memcpy(lfFaceName.data(), bytes.constData(), std::size_t(bytes.size()));
    lfFaceName[std::size_t(bytes.size())] = '\0';
}

QByteArray LOGFONT::ToBytes() const
{
    ByteWriter w;
    w.I32(lfHeight);
    w.I32(lfWidth);
    w.I32(lfEscapement);
    w.I32(lfOrientation);
    w.I32(lfWeight);
    w.U8(lfItalic);
    w.U8(lfUnderline);
    w.U8(lfStrikeOut);
    w.U8(lfCharSet);
    w.U8(lfOutPrecision);
    w.U8(lfClipPrecision);
    w.U8(lfQuality);
    w.U8(lfPitchAndFamily);
    w.Bytes(lfFaceName.data(), lfFaceName.size());
    return w.Take();
}

bool LOGFONT::FromBytes(const char *data, std::size_t size)
{
    if (size < std::size_t(kByteSize))
        return false;
    ByteReader r(data, size);
    lfHeight = r.I32();
    lfWidth = r.I32();
    lfEscapement = r.I32();
    lfOrientation = r.I32();
    lfWeight = r.I32();
    lfItalic = r.U8();
    lfUnderline = r.U8();
    lfStrikeOut = r.U8();
    lfCharSet = r.U8();
    lfOutPrecision = r.U8();
    lfClipPrecision = r.U8();
    lfQuality = r.U8();
    lfPitchAndFamily = r.U8();
    std::memcpy(lfFaceName.data(), data + 28, lfFaceName.size());
    return true;
}

std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c)
{
    if (c == 0)
        return -1;
    const std::int64_t p = std::int64_t(a) * b;
    std::int64_t q = p / c;
    const std::int64_t rem = p % c;
    // Round half away from zero.
    if (2 * (rem < 0 ? -rem : rem) >= (c < 0 ? -std::int64_t(c) : std::int64_t(c)))
        q += ((p < 0) != (c < 0)) ? -1 : 1;
    if (q > INT32_MAX || q < INT32_MIN)
        return -1;
    return std::int32_t(q);
}

LOGFONT DefaultTextLogFont()
{
    LOGFONT lf;
    lf.lfHeight = -MulDiv(10, kLogPixelsY, 72);
    lf.SetFaceName(QStringLiteral("Arial"));
    lf.lfOutPrecision = 4;     // OUT_TT_PRECIS
    lf.lfClipPrecision = 0;
    lf.lfQuality = 2;          // PROOF_QUALITY
    lf.lfPitchAndFamily = 0x22; // VARIABLE_PITCH | FF_SWISS
    return lf;
}
