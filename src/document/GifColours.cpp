#include "document/GifColours.h"

#include "platform/imaging/ColorQuant.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    const QImage page = ColorQuant::AsRgb32(image);
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

void PageColours::Append(const PageColours &later)
{
    for (std::uint32_t rgb : later.m_colours)
        Slot(rgb);
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

namespace {

// Counts the colours of `rgb`'s rows in the given order (row after row without one) up to
// limit + 1; with `met`, how many colours each row met first.
int CountRowColoursUpTo(const QImage &rgb, const std::vector<int> *order, int limit, std::vector<int> *met)
{
    ColorQuant::ColorIndex seen(limit + 1);
    const int width = rgb.width(), height = rgb.height();
    if (met)
        met->assign(std::size_t(height), 0);
    for (int k = 0; k < height; ++k) {
        const int y = order ? (*order)[std::size_t(k)] : k;
        const auto *p = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        const int before = seen.Size();
        int x = 0;
        for (; x < width && seen.Size() <= limit; ++x) {
            if (x > 0 && ((p[x] ^ p[x - 1]) & 0xFFFFFFu) == 0)
                continue;
            seen.Insert(p[x], 0);
        }
        if (met)
            (*met)[std::size_t(y)] = seen.Size() - before;
        if (seen.Size() > limit)
            break;
    }
    return seen.Size();
}

} // namespace

int CountColoursUpTo(const QImage &image, int limit)
{
    return CountRowColoursUpTo(ColorQuant::AsRgb32(image), nullptr, limit, nullptr);
}

bool MoreColoursThan(const QImage &image, int limit)
{
    return CountColoursUpTo(image, limit) > limit;
}

bool ColourCheck::MoreColoursThan(const QImage &image, int limit)
{
    const QImage rgb = ColorQuant::AsRgb32(image);
    if (int(m_rows.size()) != rgb.height()) {
        m_rows.resize(std::size_t(rgb.height()));
        std::iota(m_rows.begin(), m_rows.end(), 0);
    } else {
        // Rows richest in new colours first; the others keep their order.
        std::stable_sort(m_rows.begin(), m_rows.end(), [this](int a, int b) {
            return m_newColours[std::size_t(a)] > m_newColours[std::size_t(b)];
        });
    }
    return CountRowColoursUpTo(rgb, &m_rows, limit, &m_newColours) > limit;
}

namespace {

// How many pixels ahead colour lookups ask for their places in the colour index.
constexpr int kLookAhead = 12;

// What ForEachChangedPixel looks ahead with when nothing is to be asked for early.
struct NoLookAhead {
    void operator()(QRgb) const {}
};

// Calls fn(x, y, rgb) for every pixel, row after row, in which two pictures of the same size
// differ. With `ahead`, ahead(rgb) is called first with the colour kLookAhead pixels further on
// in the row, so that its lookup can be asked for while this one is done.
template <typename Fn, typename Ahead = NoLookAhead>
void ForEachChangedPixel(const QImage &page, const QImage &before, Fn &&fn, const Ahead &ahead = Ahead())
{
    const int width = page.width();
    const std::size_t rowBytes = std::size_t(width) * sizeof(QRgb);
    for (int y = 0; y < page.height(); ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(before.constScanLine(y));
        if (std::memcmp(p, q, rowBytes) == 0)
            continue;
        const auto changed = [&](int at) {
            if constexpr (!std::is_same_v<Ahead, NoLookAhead>) {
                if (at + kLookAhead < width)
                    ahead(p[at + kLookAhead]);
            }
            fn(at, y, p[at]);
        };
        int x = 0;
#if defined(__SSE2__)
        // Four pixels at a time: most of a changed row is as it was.
        for (; x + 4 <= width; x += 4) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + x));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q + x));
            for (unsigned differ = ~unsigned(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b)))) & 0xFu; differ;
                 differ &= differ - 1)
                changed(x + std::countr_zero(differ));
        }
#endif
        for (; x < width; ++x)
            if (p[x] != q[x])
                changed(x);
    }
}

// Writes the pixels of a page being reduced and keeps the run's count of its colours, through
// pointers taken once: its stores of bytes may alias anything, so the compiler would otherwise
// read the address of every vector again for each pixel. The count goes back to the run at the end.
class PageWriter {
public:
    PageWriter(CrowdedPages::Run &run, const QVector<QRgb> &palette, const std::vector<uchar> &colourOf)
        : m_run(run), m_palette(palette.constData()), m_colourOf(colourOf.data()), m_colourAt(run.colourAt.data()),
          m_counts(run.pixels.data()), m_distinct(run.distinct)
    {
    }
    ~PageWriter() { m_run.distinct = m_distinct; }
    PageWriter(const PageWriter &) = delete;
    PageWriter &operator=(const PageWriter &) = delete;

    // Pixel `at` becomes palette entry `entry`.
    void Put(QRgb *pixels, qsizetype at, int entry)
    {
        pixels[at] = m_palette[entry];
        const uchar colour = m_colourOf[entry];
        const uchar before = m_colourAt[at];
        if (before == colour)
            return; // counted already, and marked used when its count last left 0
        m_colourAt[at] = colour;
        if (m_counts[before]-- == 1)
            --m_distinct;
        if (m_counts[colour]++ == 0) {
            ++m_distinct;
            m_run.used[colour] = true;
        }
    }

private:
    CrowdedPages::Run &m_run;
    const QRgb *m_palette;
    const uchar *m_colourOf;
    uchar *m_colourAt;
    int *m_counts;
    int m_distinct;
};

// Above this many colours the colour index and its cache no longer fit the processor's own
// caches, and lookups ask ahead for their places.
constexpr int kFarColours = 1 << 15;

} // namespace

CrowdedPages::CrowdedPages(int maxColours, bool dither) : m_maxColours(maxColours), m_dither(dither) {}

CrowdedPages::~CrowdedPages() = default;
CrowdedPages::CrowdedPages(CrowdedPages &&) noexcept = default;
CrowdedPages &CrowdedPages::operator=(CrowdedPages &&) noexcept = default;

void CrowdedPages::Survey(const QImage &page)
{
    if (m_previous.isNull()) {
        if (m_continuation)
            m_first = page; // counted where it differs from the page before it, once that is known
        else
            m_histogram.AddImage(page);
    } else if (page.size() != m_previous.size()) {
        m_failed = true;
    } else {
        const bool far = m_histogram.Size() > kFarColours;
        ForEachChangedPixel(page, m_previous, [this](int, int, QRgb rgb) { m_histogram.Add(rgb); },
                            [this, far](QRgb ahead) {
                                if (far)
                                    m_histogram.Prefetch(ahead);
                            });
    }
    m_previous = page;
}

CrowdedPages CrowdedPages::Continuation() const
{
    CrowdedPages later(m_maxColours, m_dither);
    later.m_continuation = true;
    return later;
}

void CrowdedPages::Append(CrowdedPages &&later)
{
    if (!later.Surveyed())
        return;
    if (!Surveyed())
        m_histogram.AddImage(later.m_first);
    else if (later.m_first.size() != m_previous.size())
        m_failed = true;
    else
        ForEachChangedPixel(later.m_first, m_previous, [this](int, int, QRgb rgb) { m_histogram.Add(rgb); });
    m_histogram.Append(later.m_histogram);
    m_failed = m_failed || later.m_failed;
    m_previous = std::move(later.m_previous);
}

bool CrowdedPages::Choose()
{
    m_previous = QImage();
    if (m_failed || !ColorQuant::ChoosePalette(m_histogram, m_maxColours, &m_palette, &m_entries))
        return false;
    for (int i = 0; i < m_palette.size(); ++i)
        m_colourOf.push_back(uchar(m_palette.indexOf(m_palette[i])));
    if (m_dither) {
        m_dithered = std::make_unique<ColorQuant::DitheredMapping>(m_palette);
        if (!m_dithered->IsValid())
            m_dithered.reset(); // too few colours to spread an error over: mapped by colour alone
    }
    return true;
}

QImage CrowdedPages::Reduce(const QImage &page, Run &run) const
{
    // The pages come again as they came in the survey, so their colours are all in the palette
    // chosen; one that is not still gets the nearest entry.
    const auto entry = [this, &run](QRgb rgb) {
        const int slot = run.cache ? m_histogram.Find(rgb, *run.cache) : m_histogram.Find(rgb);
        return slot >= 0 ? int(m_entries[std::size_t(slot)]) : ColorQuant::NearestEntry(m_palette, rgb);
    };
    const int width = page.width();
    QImage reduced;
    if (run.previous.isNull()) {
        reduced = QImage(page.size(), QImage::Format_RGB32);
        const QImage dithered = m_dithered ? m_dithered->Map(page) : QImage();
        if (reduced.isNull() || (m_dithered && dithered.isNull()))
            return {};
        // Every pixel starts as entry 0's colour, counted; Put moves it to its own.
        run.colourAt.assign(std::size_t(width) * std::size_t(page.height()), m_colourOf[0]);
        std::fill(run.pixels.begin(), run.pixels.end(), 0);
        run.pixels[m_colourOf[0]] = int(run.colourAt.size());
        run.distinct = run.colourAt.empty() ? 0 : 1;
        PageWriter writer(run, m_palette, m_colourOf);
        auto *pixels = reinterpret_cast<QRgb *>(reduced.bits());
        for (int y = 0; y < page.height(); ++y) {
            const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
            const uchar *d = m_dithered ? dithered.constScanLine(y) : nullptr;
            QRgb last = width > 0 ? p[0] & 0xFFFFFFu : 0;
            int mapped = d || width == 0 ? 0 : entry(last);
            for (int x = 0; x < width; ++x) {
                if (!d && (p[x] & 0xFFFFFFu) != last) {
                    last = p[x] & 0xFFFFFFu;
                    mapped = entry(last);
                }
                writer.Put(pixels, qsizetype(y) * width + x, d ? d[x] : mapped);
            }
        }
        // Entry 0's colour was counted for every pixel without going through 0.
        if (run.pixels[m_colourOf[0]] > 0)
            run.used[m_colourOf[0]] = true;
    } else if (page.size() == run.previous.size()) {
        reduced = std::move(run.reduced);
        PageWriter writer(run, m_palette, m_colourOf);
        QRgb *pixels = nullptr;
        const auto changeable = [&] {
            if (!pixels)
                pixels = reinterpret_cast<QRgb *>(reduced.bits()); // a copy only while still shared
            return pixels;
        };
        if (m_dithered) {
            QRect changed;
            ForEachChangedPixel(page, run.previous, [&changed](int x, int y, QRgb) { changed |= QRect(x, y, 1, 1); });
            if (!changed.isEmpty()) {
                const QImage part = m_dithered->Map(page.copy(changed));
                if (part.isNull())
                    return {};
                for (int y = 0; y < part.height(); ++y) {
                    const uchar *d = part.constScanLine(y);
                    for (int x = 0; x < part.width(); ++x)
                        writer.Put(changeable(), qsizetype(changed.top() + y) * width + changed.left() + x, d[x]);
                }
            }
        } else {
            // Changed pixels come in runs of one colour as often as not (shapes, text).
            QRgb last = 0;
            int mapped = -1;
            const auto put = [&](int x, int y, QRgb rgb) {
                if (mapped < 0 || ((rgb ^ last) & 0xFFFFFFu) != 0) {
                    last = rgb;
                    mapped = entry(rgb);
                }
                writer.Put(changeable(), qsizetype(y) * width + x, mapped);
            };
            const bool far = m_histogram.Size() > kFarColours;
            ForEachChangedPixel(page, run.previous, put, [&](QRgb ahead) {
                if (far)
                    run.cache ? m_histogram.Prefetch(ahead, *run.cache) : m_histogram.Prefetch(ahead);
            });
        }
    }
    if (reduced.isNull())
        return {};
    run.previous = page;
    run.reduced = reduced;
    return reduced;
}

std::vector<QRgb> CrowdedPages::UsedColours(const Run &run) const
{
    std::vector<QRgb> out;
    for (int i = 0; i < m_palette.size(); ++i)
        if (run.used[std::size_t(i)])
            out.push_back(m_palette[i]);
    return out;
}

ExportColours::ExportColours(bool dither) : m_crowdedPages(m_maxColours, dither) {}

bool ExportColours::Survey(const QImage &page)
{
    // The first page decides whether pages are counted exactly or only checked for too many
    // colours; it is checked once for both.
    const bool first = !m_decided;
    const bool tooMany = (first || m_photo) && m_check.MoreColoursThan(page, m_maxColours);
    if (first)
        m_photo = tooMany;
    m_decided = true;
    const int count = !m_photo ? m_surveyed.Next(page) : tooMany ? m_maxColours + 1 : 0;
    m_most = std::max(m_most, count);
    m_crowded.push_back(count > m_maxColours && page.format() == QImage::Format_RGB32);
    if (m_crowded.back())
        m_crowdedPages.Survey(page);
    return !Reducing();
}

ExportColours ExportColours::Continuation() const
{
    ExportColours later(false);
    later.m_crowdedPages = m_crowdedPages.Continuation();
    later.m_decided = m_decided;
    later.m_photo = m_photo;
    return later;
}

void ExportColours::Append(ExportColours &&later)
{
    m_most = std::max(m_most, later.m_most);
    m_surveyed.Append(later.m_surveyed);
    m_crowded.insert(m_crowded.end(), later.m_crowded.begin(), later.m_crowded.end());
    m_crowdedPages.Append(std::move(later.m_crowdedPages));
}

bool ExportColours::Choose()
{
    m_chosen = m_crowdedPages.Surveyed() && m_crowdedPages.Choose();
    return m_chosen;
}

QImage ExportColours::Reduce(int k, const QImage &page)
{
    return Reduce(k, page, m_run);
}

QImage ExportColours::Reduce(int k, const QImage &page, WrittenRun &run) const
{
    if (std::size_t(k) >= m_crowded.size() || !m_crowded[std::size_t(k)]) {
        run.most = std::max(run.most, run.written.Next(page));
        return page;
    }
    const QImage written = m_crowdedPages.Reduce(page, run.crowded);
    run.most = std::max(run.most, run.crowded.distinct);
    return written;
}

void ExportColours::Append(WrittenRun &&later)
{
    m_run.most = std::max(m_run.most, later.most);
    m_run.written.Append(later.written);
    for (std::size_t i = 0; i < m_run.crowded.used.size(); ++i)
        m_run.crowded.used[i] = m_run.crowded.used[i] || later.crowded.used[i];
}

COLORREF ExportColours::TransparentColour(int *index) const
{
    *index = -1;
    PageColours used = Reducing() ? m_run.written : m_surveyed;
    if (Reducing())
        for (QRgb rgb : m_crowdedPages.UsedColours(m_run.crowded))
            used.Include(rgb);
    const int most = Reducing() ? m_run.most : m_most;
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
