#pragma once
// A packed device-independent bitmap: BITMAPINFOHEADER (40 bytes, little-endian), the colour
// table if any, then the pixel rows bottom-up, each padded to a multiple of 4 bytes. This is
// the picture block that frames, image items and the clipboards own; the bytes are the block,
// so copying a PackedDib copies the picture (blocks are never shared between owners).
//
// Pictures made by this system are 24 bits per pixel: a 468 x 60 block is 40 + 60 * 1404 =
// 84,280 bytes.
#include <QByteArray>
#include <QImage>
#include <QVector>
#include <cstddef>
#include <cstdint>
#include <vector>

struct PackedDib {
    std::vector<std::uint8_t> bytes;

    PackedDib() = default;
    explicit PackedDib(std::vector<std::uint8_t> b) : bytes(std::move(b)) {}
    static PackedDib FromByteArray(const QByteArray &b)
    {
        return PackedDib(std::vector<std::uint8_t>(b.begin(), b.end()));
    }
    QByteArray ToByteArray() const
    {
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    }

    // An empty block stands for "no picture".
    bool IsEmpty() const { return bytes.empty(); }
    std::size_t Size() const { return bytes.size(); }
    const std::uint8_t *Data() const { return bytes.data(); }

    bool operator==(const PackedDib &o) const = default;
};

// The header fields of a DIB that a QImage does not carry. They travel with a picture read
// from a block so that writing it back gives the same bytes.
struct DibHeaderExtras {
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    bool sizeImageZero = false; // the block said biSizeImage = 0 (allowed for BI_RGB)
    bool operator==(const DibHeaderExtras &o) const = default;
};

// What a block says of its own layout, for callers that keep a picture's palette.
struct DibFormat {
    int bitsPerPixel = 0;
    QVector<QRgb> colorTable; // the entries the block stores (biClrUsed, or 2^bits at 8 bits or less)
};

namespace Dib {
// Largest picture accepted from any outside source (DIB blocks, files): each side at most
// 32767 pixels and at most 64 million pixels in all. Checked before anything is allocated.
constexpr int kMaxSide = 32767;
constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
inline bool SizeAcceptable(qint64 w, qint64 h)
{
    return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

// Decodes a block into a QImage of Format_RGB32. Accepts BITMAPCOREHEADER (12), INFO (40),
// V4 (108) and V5 (124) headers; 1, 4, 8 bits with a colour table; 16 and 32 bits (BI_RGB or
// BI_BITFIELDS); 24 bits; bottom-up and top-down rows. Every size the header claims is
// checked against the block before allocating. Returns a null image for anything else
// (RLE compression, JPEG/PNG payloads, truncated or lying headers, oversized pictures).
QImage Decode(const std::uint8_t *data, std::size_t size, DibHeaderExtras *extras = nullptr,
              DibFormat *format = nullptr);
inline QImage Decode(const PackedDib &dib, DibHeaderExtras *extras = nullptr, DibFormat *format = nullptr)
{
    return Decode(dib.Data(), dib.Size(), extras, format);
}

// Encodes an image as a 24-bit bottom-up block with a BITMAPINFOHEADER and no colour table;
// padding bytes are zero. A null image gives an empty block.
PackedDib Encode24(const QImage &image, const DibHeaderExtras &extras = {});

// Rewrites the pixels inside `rect` of a block that Encode24 made from a picture of the image's
// size, so that it becomes the block Encode24 makes of the image when only that rectangle
// changed. False (block untouched) when the block is not such a block.
bool Update24(PackedDib *block, const QImage &image, const QRect &rect);
}
