#include "platform/imaging/PackedDib.h"

#include "platform/ByteIO.h"

#include <bit>
#include <climits>
#include <cstring>

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0; // largest value of the field

    explicit Channel(std::uint32_t m = 0) : mask(m)
    {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        max = std::uint64_t(m) >> shift;
    }
    int Extract(std::uint32_t px) const
    {
        if (mask == 0)
            return 0;
        const std::uint64_t v = (std::uint64_t(px) & mask) >> shift;
        return int((v * 255 + max / 2) / max);
    }
};

std::uint32_t LoadLE(const std::uint8_t *p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}

} // namespace

namespace Dib {

QImage Decode(const std::uint8_t *data, std::size_t size, DibHeaderExtras *extras, DibFormat *format)
{
    if (data == nullptr || size < 12)
        return {};
    ByteReader r(reinterpret_cast<const char *>(data), size);
    const std::uint32_t headerSize = r.U32();
    qint64 width = 0, height = 0;
    int bpp = 0;
    std::uint32_t compression = kBiRgb, colorsUsed = 0;
    std::int32_t xppm = 0, yppm = 0;
    std::uint32_t sizeImage = 0;
    bool core = false;
    if (headerSize == 12) {
        core = true;
        width = r.U16();
        height = r.U16();
        r.U16();
        bpp = r.U16();
    } else if (headerSize >= 40 && headerSize <= 124 && headerSize <= size) {
        width = r.I32();
        const std::int32_t h = r.I32();
        if (h == INT_MIN)
            return {};
        height = h;
        r.U16(); // planes
        bpp = r.U16();
        compression = r.U32();
        sizeImage = r.U32();
        xppm = r.I32();
        yppm = r.I32();
        colorsUsed = r.U32();
        r.U32(); // important colours
    } else {
        return {};
    }
    if (r.Failed())
        return {};
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (!SizeAcceptable(width, height))
        return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};

    // Channel masks: BI_RGB defaults, or the bit fields after (INFO) or inside (V4/V5) the header.
    Channel red, green, blue;
    std::size_t offset = headerSize;
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
        if (bpp != 16 && bpp != 32)
            return {};
        const std::size_t maskCount = compression == kBiAlphaBitfields ? 4 : 3;
        if (size < 40 + maskCount * 4)
            return {};
        red = Channel(LoadLE(data + 40, 4));
        green = Channel(LoadLE(data + 44, 4));
        blue = Channel(LoadLE(data + 48, 4));
        if (headerSize == 40)
            offset += maskCount * 4;
    } else if (compression == kBiRgb) {
        if (bpp == 16) {
            red = Channel(0x7C00);
            green = Channel(0x03E0);
            blue = Channel(0x001F);
        } else if (bpp == 32) {
            red = Channel(0x00FF0000);
            green = Channel(0x0000FF00);
            blue = Channel(0x000000FF);
        }
    } else {
        return {}; // RLE, JPEG and PNG payloads are not blocks this system makes or reads
    }

    // Colour table.
    QVector<QRgb> table;
    const std::size_t entrySize = core ? 3 : 4;
    std::size_t entries = colorsUsed;
    if (bpp <= 8) {
        if (entries == 0 || core)
            entries = std::size_t(1) << bpp;
        if (entries > 256)
            return {};
    } else if (entries > 256) {
        return {};
    }
    if (offset > size || (size - offset) / entrySize < entries)
        return {};
    QVector<QRgb> stored;
    stored.reserve(qsizetype(entries));
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t *e = data + offset + i * entrySize;
        stored.push_back(qRgb(e[2], e[1], e[0]));
    }
    if (bpp <= 8) {
        table = stored.mid(0, qsizetype(std::size_t(1) << bpp));
        table.resize(qsizetype(std::size_t(1) << bpp), qRgb(0, 0, 0));
    }
    offset += entries * entrySize;

    const qint64 stride = ((width * bpp + 31) / 32) * 4;
    if (offset > size || qint64(size - offset) / stride < height)
        return {};

    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const int w = int(width);
    for (int y = 0; y < int(height); ++y) {
        const int srcRow = topDown ? y : int(height) - 1 - y;
        const std::uint8_t *s = data + offset + qint64(srcRow) * stride;
        auto *d = reinterpret_cast<QRgb *>(image.scanLine(y));
        switch (bpp) {
        case 24:
            for (int x = 0; x < w; ++x, s += 3)
                d[x] = qRgb(s[2], s[1], s[0]);
            break;
        case 32:
        case 16: {
            const int step = bpp / 8;
            for (int x = 0; x < w; ++x, s += step) {
                const std::uint32_t px = LoadLE(s, step);
                d[x] = qRgb(red.Extract(px), green.Extract(px), blue.Extract(px));
            }
            break;
        }
        default: {
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (int x = 0; x < w; ++x) {
                const int byte = s[x / perByte];
                const int shift = 8 - bpp * (x % perByte + 1);
                d[x] = table[(byte >> shift) & mask];
            }
            break;
        }
        }
    }
    if (extras != nullptr) {
        extras->xPelsPerMeter = xppm;
        extras->yPelsPerMeter = yppm;
        extras->sizeImageZero = !core && sizeImage == 0;
    }
    if (format != nullptr) {
        format->bitsPerPixel = bpp;
        format->colorTable = std::move(stored);
    }
    return image;
}

namespace {
// Writes pixels [x0, x1) of the picture's rows [y0, y1) into a 24-bit bottom-up pixel array.
void Put24(const QImage &image, int x0, int x1, int y0, int y1, std::uint8_t *pixels, std::size_t stride)
{
    const int h = image.height();
    for (int y = y0; y < y1; ++y) {
        const auto *s = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        std::uint8_t *d = pixels + std::size_t(h - 1 - y) * stride + std::size_t(x0) * 3;
        for (int x = x0; x < x1; ++x, d += 3) {
            d[0] = std::uint8_t(qBlue(s[x]));
            d[1] = std::uint8_t(qGreen(s[x]));
            d[2] = std::uint8_t(qRed(s[x]));
        }
    }
}
} // namespace

PackedDib Encode24(const QImage &source, const DibHeaderExtras &extras)
{
    if (source.isNull())
        return {};
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const std::size_t stride = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
    const std::size_t imageBytes = stride * std::size_t(h);
    std::vector<std::uint8_t> out(40 + imageBytes, 0);
    ByteWriter header;
    header.U32(40);
    header.I32(w);
    header.I32(h);
    header.U16(1);
    header.U16(24);
    header.U32(kBiRgb);
    header.U32(extras.sizeImageZero ? 0 : std::uint32_t(imageBytes));
    header.I32(extras.xPelsPerMeter);
    header.I32(extras.yPelsPerMeter);
    header.U32(0);
    header.U32(0);
    std::memcpy(out.data(), header.Data().constData(), 40);
    Put24(image, 0, w, 0, h, out.data() + 40, stride);
    return PackedDib(std::move(out));
}

bool Update24(PackedDib *block, const QImage &image, const QRect &rect)
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return false;
    const int w = image.width(), h = image.height();
    const std::size_t stride = (std::size_t(w) * 3 + 3) & ~std::size_t(3);
    if (block->Size() != 40 + stride * std::size_t(h))
        return false;
    ByteReader header(reinterpret_cast<const char *>(block->Data()), 40);
    if (header.U32() != 40 || header.I32() != w || header.I32() != h || header.U16() != 1 || header.U16() != 24
        || header.U32() != kBiRgb)
        return false;
    const QRect r = rect & image.rect();
    if (!r.isEmpty())
        Put24(image, r.left(), r.right() + 1, r.top(), r.bottom() + 1, block->bytes.data() + 40, stride);
    return true;
}

} // namespace Dib
