#pragma once
// The logical-font record of a text item: the 60-byte ANSI LOGFONT that the banner file stores.
// It is held field by field and written byte by byte; the face-name bytes after the terminator
// are carried as they stand, so a record read from a file writes back unchanged.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

struct LOGFONT {
    static constexpr int kFaceSize = 32;   // LF_FACESIZE
    static constexpr int kByteSize = 60;   // the record in a banner file

    std::int32_t lfHeight = 0;
    std::int32_t lfWidth = 0;
    std::int32_t lfEscapement = 0;
    std::int32_t lfOrientation = 0;
    std::int32_t lfWeight = 0;
    std::uint8_t lfItalic = 0;
    std::uint8_t lfUnderline = 0;
    std::uint8_t lfStrikeOut = 0;
    std::uint8_t lfCharSet = 0;
    std::uint8_t lfOutPrecision = 0;
    std::uint8_t lfClipPrecision = 0;
    std::uint8_t lfQuality = 0;
    std::uint8_t lfPitchAndFamily = 0;
    std::array<char, kFaceSize> lfFaceName{};

    friend bool operator==(const LOGFONT &, const LOGFONT &) = default;

    // The face name up to its terminator (or all 32 bytes when none), decoded from Windows-1252.
    QString FaceName() const;
    // Writes the name and a terminator the way strcpy would, truncated to 31 bytes; the bytes
    // after the terminator keep their values.
    void SetFaceName(const QString &name);

    // Exactly 60 bytes, little-endian, in field order.
    QByteArray ToBytes() const;
    // Reads 60 bytes; false when fewer are given (the record is then unchanged).
    bool FromBytes(const char *data, std::size_t size);
};

// The screen resolution every text size is measured at, whatever the real screen.
constexpr int kLogPixelsY = 96;

// a × b / c rounded to the nearest integer (halves away from zero), as Windows' MulDiv;
// -1 when c is 0.
std::int32_t MulDiv(std::int32_t a, std::int32_t b, std::int32_t c);

// The text item's default font: 10-point Arial (lfHeight -13 at 96 dots per inch), TrueType
// precision, proof quality, variable-pitch Swiss family, everything else zero.
LOGFONT DefaultTextLogFont();
