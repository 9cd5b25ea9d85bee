#include "document/GifColours.h"

#include "platform/imaging/ColorQuant.h"
#include "platform/imaging/ImagingControl.h"

#include <algorithm>
#include <cstring>

namespace GifColours {

namespace {
constexpr std::size_t kNearBoxes = std::size_t(1) << 15;

inline std::uint32_t ToRgb(COLORREF c)
{
    return std::uint32_t(GetRValue(c)) << 16 | std::uint32_t(GetGValue(c)) << 8 | std::uint32_t(GetBValue(c));
}

inline std::uint32_t NearBox(std::uint32_t rgb)
{
    return (rgb >> 19 & 0x1F) << 10 | (rgb >> 11 & 0x1F) << 5 | (rgb >> 3 & 0x1F);
}
} // namespace

PageColours::PageColours() : m_slots(1024), m_near(kNearBoxes / 64, 0) {}

int PageColours::Slot(std::uint32_t rgb)
{
    const int slot = m_slots.Insert(rgb, int(m_colours.size()));
    if (slot == int(m_colours.size())) {
        m_colours.push_back(rgb);
        m_pixels.push_back(0);
        const std::uint32_t box = NearBox(rgb);
        m_near[box >> 6] |= std::uint64_t(1) << (box & 63);
    }
    return slot;
}

void PageColours::Add(std::uint32_t rgb, int pixels)
{
    int &count = m_pixels[std::size_t(Slot(rgb))];
    m_distinct += count == 0;
    count += pixels;
}

void PageColours::Remove(std::uint32_t rgb)
{
    int &count = m_pixels[std::size_t(m_slots.Find(rgb))];
    m_distinct -= count == 1;
    --count;
}

int PageColours::Next(const QImage &image)
{
    const QImage page = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                            ? image
                            : image.convertToFormat(QImage::Format_RGB32);
    const int width = page.width();
    const int height = page.height();
    if (m_previous.size() != page.size()) {
        std::fill(m_pixels.begin(), m_pixels.end(), 0);
        m_distinct = 0;
        for (int y = 0; y < height; ++y) {
            const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
            for (int x = 0; x < width;) {
                const QRgb c = p[x] & 0xFFFFFFu;
                int end = x + 1;
                while (end < width && (p[end] & 0xFFFFFFu) == c)
                    ++end;
                Add(c, end - x);
                x = end;
            }
        }
    } else {
        const std::size_t rowBytes = std::size_t(width) * sizeof(QRgb);
        for (int y = 0; y < height; ++y) {
            const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
            const auto *q = reinterpret_cast<const QRgb *>(m_previous.constScanLine(y));
            if (std::memcmp(p, q, rowBytes) == 0)
                continue;
            for (int x = 0; x < width; ++x) {
                const QRgb now = p[x] & 0xFFFFFFu, before = q[x] & 0xFFFFFFu;
                if (now == before)
                    continue;
                Add(now, 1);
                Remove(before);
            }
        }
    }
    m_previous = page;
    return m_distinct;
}

bool PageColours::Has(COLORREF colour) const
{
    return m_slots.Find(ToRgb(colour)) >= 0;
}

bool PageColours::HasNear(COLORREF colour) const
{
    const std::uint32_t box = NearBox(ToRgb(colour));
    return (m_near[box >> 6] >> (box & 63)) & 1;
}

std::optional<COLORREF> PageColours::FirstUnused() const
{
    std::vector<std::uint64_t> used((std::size_t(1) << 24) / 64, 0);
    for (std::uint32_t rgb : m_colours)
        used[rgb >> 6] |= std::uint64_t(1) << (rgb & 63);
    for (std::size_t w = 0; w < used.size(); ++w) {
        if (used[w] == ~std::uint64_t(0))
            continue;
        for (int b = 0; b < 64; ++b)
            if (!((used[w] >> b) & 1)) {
                const std::uint32_t rgb = std::uint32_t(w * 64 + std::size_t(b));
                return RGB(int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
            }
    }
    return std::nullopt;
}

bool MoreColoursThan(const QImage &image, int limit)
{
    const QImage rgb = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                           ? image
                           : image.convertToFormat(QImage::Format_RGB32);
    ColorQuant::ColorIndex seen(limit + 1);
    const int width = rgb.width();
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            if (x > 0 && ((p[x] ^ p[x - 1]) & 0xFFFFFFu) == 0)
                continue;
            seen.Insert(p[x], 0);
            if (seen.Size() > limit)
                return true;
        }
    }
    return false;
}

std::vector<int> ReduceCrowdedPages(ImagingControl &control, int maxColours, const std::vector<int> &colours)
{
    std::vector<int> crowded;
    std::vector<QImage> pictures;
    PageColours counts;
    for (int k = 0; k < control.PageCount(); ++k) {
        control.SetPageIndex(k);
        const QImage picture = control.BitmapHandle().image;
        const int n = std::size_t(k) < colours.size() ? colours[std::size_t(k)] : counts.Next(picture);
        if (picture.format() == QImage::Format_RGB32 && n > maxColours) {
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

    // Dithered, a pixel's colour depends on its neighbours: the first page is dithered whole and
    // each later one only inside the rectangle that changed, so the rest stays as on the page
    // before and frame differencing still leaves it out.
    ColorQuant::DitheredMapping dithered(control.ColorDithering() ? palette : QVector<QRgb>());
    QImage page = (dithered.IsValid() ? dithered.Map(pictures.front()) : reduced.front())
                      .convertToFormat(QImage::Format_RGB32);
    if (page.isNull())
        return {};
    const uchar *mappedStrip = strip.empty() ? nullptr : reduced.back().constScanLine(0);
    std::size_t next = 0;
    for (std::size_t i = 0; i < crowded.size(); ++i) {
        if (i > 0 && dithered.IsValid() && !changedAt[i].empty()) {
            QRect changed;
            for (int at : changedAt[i])
                changed |= QRect(at % size.width(), at / size.width(), 1, 1);
            const QImage part = dithered.Map(pictures[i].copy(changed)).convertToFormat(QImage::Format_RGB32);
            if (part.isNull())
                return {};
            page.detach();
            for (int y = 0; y < part.height(); ++y)
                std::memcpy(page.scanLine(changed.top() + y) + changed.left() * int(sizeof(QRgb)), part.constScanLine(y),
                            std::size_t(part.width()) * sizeof(QRgb));
        } else if (i > 0) {
            page.detach();
            auto *pixels = reinterpret_cast<QRgb *>(page.bits());
            const int stride = page.bytesPerLine() / int(sizeof(QRgb));
            for (int at : changedAt[i]) {
                const int y = at / size.width(), x = at % size.width();
                pixels[y * stride + x] = palette[mappedStrip[next++]] | 0xFF000000u;
            }
        }
        control.SetPageIndex(crowded[i]);
        // Handed over whole: drawing into the page's own picture would first copy it, since the
        // list above still shares it.
        ImagingBitmap reducedPage = control.BitmapHandle();
        reducedPage.image = page;
        control.SetBitmapHandle(reducedPage);
    }
    return crowded;
}

} // namespace GifColours
