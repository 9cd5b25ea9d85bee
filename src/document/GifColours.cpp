#include "document/GifColours.h"

#include "platform/imaging/ColorQuant.h"

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

namespace {

// Calls fn(x, y) for every pixel, row after row, in which two pictures of the same size differ.
template <typename Fn>
void ForEachChangedPixel(const QImage &page, const QImage &before, Fn &&fn)
{
    const int width = page.width();
    const std::size_t rowBytes = std::size_t(width) * sizeof(QRgb);
    for (int y = 0; y < page.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(before.constScanLine(y));
        if (std::memcmp(p, q, rowBytes) == 0)
            continue;
        for (int x = 0; x < width; ++x)
            if (p[x] != q[x])
                fn(x, y, p[x]);
    }
}

} // namespace

CrowdedPages::CrowdedPages(int maxColours, bool dither) : m_maxColours(maxColours), m_dither(dither) {}

CrowdedPages::~CrowdedPages() = default;

void CrowdedPages::Survey(const QImage &page)
{
    if (m_previous.isNull()) {
        m_histogram.AddImage(page);
    } else if (page.size() != m_previous.size()) {
        m_failed = true;
    } else {
        ForEachChangedPixel(page, m_previous, [this](int, int, QRgb rgb) { m_histogram.Add(rgb); });
    }
    m_previous = page;
}

bool CrowdedPages::Choose()
{
    m_previous = QImage();
    if (m_failed || !ColorQuant::ChoosePalette(m_histogram, m_maxColours, &m_palette, &m_entries))
        return false;
    if (m_dither) {
        m_dithered = std::make_unique<ColorQuant::DitheredMapping>(m_palette);
        if (!m_dithered->IsValid())
            m_dithered.reset(); // too few colours to spread an error over: mapped by colour alone
    }
    return true;
}

QImage CrowdedPages::Reduce(const QImage &page)
{
    // The pages come again as they came in the survey, so their colours are all in the palette
    // chosen; one that is not still gets the nearest entry.
    const auto entry = [this](QRgb rgb) {
        const int slot = m_histogram.Find(rgb);
        return slot >= 0 ? m_palette[m_entries[std::size_t(slot)]] : m_palette[ColorQuant::NearestEntry(m_palette, rgb)];
    };
    QImage reduced;
    if (m_previous.isNull()) {
        if (m_dithered) {
            reduced = m_dithered->Map(page).convertToFormat(QImage::Format_RGB32);
        } else {
            reduced = QImage(page.size(), QImage::Format_RGB32);
            const int width = page.width();
            QRgb last = 0, mapped = entry(0);
            for (int y = 0; y < page.height() && !reduced.isNull(); ++y) {
                const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
                auto *r = reinterpret_cast<QRgb *>(reduced.scanLine(y));
                for (int x = 0; x < width; ++x) {
                    const QRgb rgb = p[x] & 0xFFFFFFu;
                    if (rgb != last) {
                        last = rgb;
                        mapped = entry(rgb);
                    }
                    r[x] = mapped;
                }
            }
        }
    } else if (page.size() == m_previous.size()) {
        reduced = m_reduced;
        if (m_dithered) {
            QRect changed;
            ForEachChangedPixel(page, m_previous, [&changed](int x, int y, QRgb) { changed |= QRect(x, y, 1, 1); });
            if (!changed.isEmpty()) {
                const QImage part = m_dithered->Map(page.copy(changed)).convertToFormat(QImage::Format_RGB32);
                if (part.isNull())
                    return {};
                for (int y = 0; y < part.height(); ++y)
                    std::memcpy(reduced.scanLine(changed.top() + y) + changed.left() * int(sizeof(QRgb)),
                                part.constScanLine(y), std::size_t(part.width()) * sizeof(QRgb));
            }
        } else {
            QRgb *pixels = nullptr;
            qsizetype stride = 0;
            ForEachChangedPixel(page, m_previous, [&](int x, int y, QRgb rgb) {
                if (!pixels) {
                    pixels = reinterpret_cast<QRgb *>(reduced.bits()); // the copy is made once
                    stride = reduced.bytesPerLine() / qsizetype(sizeof(QRgb));
                }
                pixels[y * stride + x] = entry(rgb);
            });
        }
    }
    if (reduced.isNull())
        return {};
    m_previous = page;
    m_reduced = reduced;
    return reduced;
}

ExportColours::ExportColours(bool dither) : m_crowdedPages(m_maxColours, dither) {}

bool ExportColours::Survey(const QImage &page)
{
    if (m_crowded.empty())
        m_photo = MoreColoursThan(page, m_maxColours);
    const int count = !m_photo ? m_surveyed.Next(page) : MoreColoursThan(page, m_maxColours) ? m_maxColours + 1 : 0;
    m_most = std::max(m_most, count);
    m_crowded.push_back(count > m_maxColours && page.format() == QImage::Format_RGB32);
    if (m_crowded.back())
        m_crowdedPages.Survey(page);
    return !Reducing();
}

bool ExportColours::Choose()
{
    m_chosen = m_crowdedPages.Surveyed() && m_crowdedPages.Choose();
    return m_chosen;
}

QImage ExportColours::Reduce(int k, const QImage &page)
{
    const QImage written = std::size_t(k) < m_crowded.size() && m_crowded[std::size_t(k)] ? m_crowdedPages.Reduce(page) : page;
    if (!written.isNull())
        m_mostWritten = std::max(m_mostWritten, m_written.Next(written));
    return written;
}

COLORREF ExportColours::TransparentColour(int *index) const
{
    *index = -1;
    const PageColours &used = Reducing() ? m_written : m_surveyed;
    const int most = Reducing() ? m_mostWritten : m_most;
    if ((Reducing() && !m_chosen) || most > m_maxColours)
        return 0;
    // The candidates in the order they are tried: the 256 colours of a 3-3-2 palette, then red 248.
    const auto candidate = [](int i) {
        return i == 256 ? RGB(248, 0, 0) : RGB(i & 0xE0, (i & 0x1C) << 3, (i & 0x03) << 6);
    };
    // One far from all colours used (not agreeing in the top five bits of every channel with any
    // of them), so that it stays apart from the pictures in any palette; else any unused one.
    for (int i = 0; i <= 256; ++i)
        if (!used.HasNear(candidate(i))) {
            *index = most;
            return candidate(i);
        }
    for (int i = 0; i <= 256; ++i)
        if (!used.Has(candidate(i))) {
            *index = most;
            return candidate(i);
        }
    const std::optional<COLORREF> unused = used.FirstUnused();
    if (!unused)
        return 0;
    *index = most;
    return *unused;
}

} // namespace GifColours
