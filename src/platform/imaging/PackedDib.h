#pragma once
// A packed device-independent bitmap: BITMAPINFOHEADER (40 bytes, little-endian), the colour
// table if any, then the pixel rows bottom-up, each padded to a multiple of 4 bytes. This is
// the picture block that frames, image items and the clipboards own; the bytes are the block,
// and a copy of a PackedDib is a picture of its own (bytes shared between copies are never
// changed in place).
//
// Pictures made by this system are 24 bits per pixel: a 468 x 60 block is 40 + 60 * 1404 =
// 84,280 bytes.
//
// A block's bytes can also stay where they are, in memory something else keeps alive (a file's
// read-only mapping): copies share them, and changing them in place first copies them.
//
// A block can also be made as another block with some new pixels (Patched): it keeps only the
// pixels that differ and a reference to the other block, and composes its bytes the first time
// they are read. Frames read from a GIF share the pixels their pages do not change this way, so a
// reader that never looks at the pictures holds only what each page changed. A composed block
// lets go of the block it was made from.
#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QVector>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct PackedDib {
    PackedDib() = default;
    explicit PackedDib(std::vector<std::uint8_t> b) : m_bytes(std::move(b)) {}
    // The `size` bytes at `data`, which stay valid as long as `owner` lives.
    PackedDib(std::shared_ptr<const void> owner, const std::uint8_t *data, std::size_t size)
        : m_owner(std::move(owner)), m_view(data), m_viewSize(size)
    {
    }
    static PackedDib FromByteArray(const QByteArray &b)
    {
        return PackedDib(std::vector<std::uint8_t>(b.begin(), b.end()));
    }
    // The block of `image` when `base` is the block Dib::Encode24 makes of a picture of the image's
    // size that agrees with it outside `rect`; its bytes are composed when first read. `before`
    // is that picture, to keep only the pixels inside `rect` that differ from it (any other, such
    // as a null image: every pixel of the rectangle is kept). Any other base gives the image's
    // whole block at once.
    static PackedDib Patched(const PackedDib &base, const QImage &before, const QImage &image, const QRect &rect);
    // The same, and `before` (a picture of the image's size) then has the image's colours inside
    // `rect`: only the pixels that differ are copied.
    static PackedDib Patched(const PackedDib &base, QImage *before, const QImage &image, const QRect &rect);

    QByteArray ToByteArray() const
    {
        return QByteArray(reinterpret_cast<const char *>(Data()), qsizetype(Size()));
    }

    // An empty block stands for "no picture".
    bool IsEmpty() const { return Size() == 0; }
    std::size_t Size() const;
    const std::uint8_t *Data() const { return Bytes().data(); }
    std::span<const std::uint8_t> Bytes() const;
    // The bytes to change in place; a block made by Patched, or whose bytes are kept elsewhere,
    // first gets a copy of them of its own.
    std::vector<std::uint8_t> &MutableBytes();
    // False while a patched block holds only its rectangle of pixels, its bytes not composed yet.
    bool IsComposed() const;

    bool operator==(const PackedDib &o) const;

private:
    struct Patch;
    static PackedDib Patched(const PackedDib &base, const QImage &before, const QImage &image, const QRect &rect,
                             QImage *update);
    static void Compose(Patch *patch);

    std::vector<std::uint8_t> m_bytes;
    std::shared_ptr<Patch> m_patch; // set: the bytes are the patch's, composed on first read
    std::shared_ptr<const void> m_owner; // set: the bytes are the m_viewSize at m_view, kept by it
    const std::uint8_t *m_view = nullptr;
    std::size_t m_viewSize = 0;
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
