#include "document/GifColours.h"

#include "platform/imaging/ColorQuant.h"
#include "platform/imaging/ImagingControl.h"

#include <cstring>

namespace GifColours {

namespace {
constexpr std::size_t kWords = (std::size_t(1) << 24) / 64;
inline std::uint32_t ToRgb(COLORREF c)
{
    return std::uint32_t(GetRValue(c)) << 16 | std::uint32_t(GetGValue(c)) << 8 | std::uint32_t(GetBValue(c));
}
} // namespace

ColourSet::ColourSet() : m_bits(kWords, 0), m_page(kWords, 0) {}

bool ColourSet::TestAndSet(std::uint32_t rgb)
{
    std::uint64_t &word = m_bits[rgb >> 6];
    const std::uint64_t bit = std::uint64_t(1) << (rgb & 63);
    if (word & bit)
        return false;
    word |= bit;
    ++m_count;
    return true;
}

int ColourSet::AddImage(const QImage &image)
{
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint32_t> seen;
    seen.reserve(256);
    const int width = rgb.width();
    const int height = rgb.height();
    for (int y = 0; y < height; ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        std::uint32_t last = 0xFFFFFFFFu;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = p[x] & 0xFFFFFFu;
            if (c == last)
                continue;
            last = c;
            std::uint64_t &word = m_page[c >> 6];
            const std::uint64_t bit = std::uint64_t(1) << (c & 63);
            if (word & bit)
                continue;
            word |= bit;
            seen.push_back(c);
            TestAndSet(c);
        }
    }
    for (std::uint32_t c : seen)
        m_page[c >> 6] = 0;
    return int(seen.size());
}

void ColourSet::AddChanged(const QImage &image, const QImage &previous)
{
    if (previous.size() != image.size() || previous.format() != image.format()
        || image.format() != QImage::Format_RGB32) {
        AddImage(image);
        return;
    }
    const int width = image.width();
    const int height = image.height();
    const std::size_t rowBytes = std::size_t(width) * sizeof(QRgb);
    for (int y = 0; y < height; ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(previous.constScanLine(y));
        if (std::memcmp(p, q, rowBytes) == 0)
            continue;
        for (int x = 0; x < width; ++x)
            if (p[x] != q[x])
                TestAndSet(p[x] & 0xFFFFFFu);
    }
}

bool ColourSet::Has(COLORREF colour) const
{
    const std::uint32_t rgb = ToRgb(colour);
    return (m_bits[rgb >> 6] >> (rgb & 63)) & 1;
}

bool ColourSet::HasNear(COLORREF colour) const
{
    const std::uint32_t r0 = GetRValue(colour) & 0xF8, g0 = GetGValue(colour) & 0xF8, b0 = GetBValue(colour) & 0xF8;
    for (std::uint32_t r = r0; r < r0 + 8; ++r)
        for (std::uint32_t g = g0; g < g0 + 8; ++g) {
            // The eight blue values of one (r, g) lie in one 64-bit word.
            const std::uint32_t first = r << 16 | g << 8 | b0;
            const std::uint64_t mask = std::uint64_t(0xFF) << (first & 63);
            if (m_bits[first >> 6] & mask)
                return true;
        }
    return false;
}

std::optional<COLORREF> ColourSet::FirstUnused() const
{
    for (std::size_t w = 0; w < kWords; ++w) {
        if (m_bits[w] == ~std::uint64_t(0))
            continue;
        for (int b = 0; b < 64; ++b)
            if (!((m_bits[w] >> b) & 1)) {
                const std::uint32_t rgb = std::uint32_t(w * 64 + std::size_t(b));
                return RGB(int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
            }
    }
    return std::nullopt;
}

namespace {

// Whether a picture has more than `limit` colours; stops counting as soon as it knows.
bool MoreColoursThan(const QImage &image, int limit)
{
    ColorQuant::ColorIndex seen(limit + 1);
    const int width = image.width();
    const int height = image.height();
    for (int y = 0; y < height; ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QRgb last = 0;
        for (int x = 0; x < width; ++x) {
            if (x > 0 && p[x] == last)
                continue;
            last = p[x];
            seen.Insert(p[x], 0);
            if (seen.Size() > limit)
                return true;
        }
    }
    return false;
}

} // namespace

std::vector<int> ReduceCrowdedPages(ImagingControl &control, int maxColours)
{
    std::vector<int> crowded;
    std::vector<QImage> pictures;
    for (int k = 0; k < control.PageCount(); ++k) {
        control.SetPageIndex(k);
        const QImage picture = control.BitmapHandle().image;
        if (picture.format() == QImage::Format_RGB32 && MoreColoursThan(picture, maxColours)) {
            crowded.push_back(k);
            pictures.push_back(picture);
        }
    }
    if (crowded.empty())
        return crowded;

    // Consecutive pages mostly agree, and the mapping depends on a pixel's colour alone: the
    // quantiser sees the first crowded page whole and of each later one only the pixels that
    // differ from the page before, gathered in one strip; the pages are rebuilt from the result.
    const QSize size = pictures.front().size();
    std::vector<std::vector<int>> changedAt(pictures.size());
    std::vector<QRgb> strip;
    for (std::size_t i = 1; i < pictures.size(); ++i) {
        const QImage &page = pictures[i];
        const QImage &before = pictures[i - 1];
        if (page.size() != size)
            return {};
        const int width = size.width();
        for (int y = 0; y < size.height(); ++y) {
            const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
            const auto *q = reinterpret_cast<const QRgb *>(before.constScanLine(y));
            if (std::memcmp(p, q, std::size_t(width) * sizeof(QRgb)) == 0)
                continue;
            for (int x = 0; x < width; ++x)
                if (p[x] != q[x]) {
                    changedAt[i].push_back(y * width + x);
                    strip.push_back(p[x]);
                }
        }
    }
    std::vector<QImage> toReduce{pictures.front()};
    if (!strip.empty()) {
        QImage stripImage(int(strip.size()), 1, QImage::Format_RGB32);
        std::memcpy(stripImage.scanLine(0), strip.data(), strip.size() * sizeof(QRgb));
        toReduce.push_back(stripImage);
    }
    QVector<QRgb> palette;
    const std::vector<QImage> reduced = ColorQuant::ReduceShared(toReduce, maxColours, &palette);
    if (reduced.size() != toReduce.size())
        return {}; // left as they are; the caller reports the pages that still do not fit

    QImage page = reduced.front().convertToFormat(QImage::Format_RGB32);
    const uchar *mappedStrip = strip.empty() ? nullptr : reduced.back().constScanLine(0);
    std::size_t next = 0;
    for (std::size_t i = 0; i < crowded.size(); ++i) {
        if (i > 0) {
            page.detach();
            auto *pixels = reinterpret_cast<QRgb *>(page.bits());
            const int stride = page.bytesPerLine() / int(sizeof(QRgb));
            for (int at : changedAt[i]) {
                const int y = at / size.width(), x = at % size.width();
                pixels[y * stride + x] = palette[mappedStrip[next++]] | 0xFF000000u;
            }
        }
        control.SetPageIndex(crowded[i]);
        QImage *target = control.GetBitmapDC();
        if (target)
            *target = page;
        control.ReleaseBitmapDC();
    }
    return crowded;
}

} // namespace GifColours
