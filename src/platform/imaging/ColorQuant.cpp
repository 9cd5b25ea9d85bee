#include "platform/imaging/ColorQuant.h"

#include <libimagequant.h>
#include <omp.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace ColorQuant {
namespace {

constexpr QRgb kNoColor = 0xffffffffu; // never equal to a colour with its alpha masked off
// libimagequant speed (1 slowest .. 10 fastest). With the colours merged into boxes first (see
// Quantise) even the slower settings take about a millisecond; 7 keeps nearly all of their quality.
constexpr int kSpeed = 7;
// Colours libimagequant is given at most, per palette entry wanted.
constexpr int kColoursPerEntry = 4;

// Calls fn(rgb, runLength) for each run of equal colours in a row; flat pictures cost one lookup per run.
template <typename Fn>
void ForEachRun(const QImage &image, Fn &&fn)
{
    const int w = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int x = 0;
        while (x < w) {
            const QRgb rgb = row[x] & 0xffffff;
            int end = x + 1;
            while (end < w && (row[end] & 0xffffff) == rgb)
                ++end;
            fn(y, x, end, rgb);
            x = end;
        }
    }
}

// Maps the pixels through lookup(rgb) -> index (-1: no index) into a new Indexed8 image (colour
// table set later). Neighbours mostly share their colour, so lookup is asked only where it changes.
template <typename Lookup>
bool MapImage(const QImage &src, QImage *out, Lookup &&lookup)
{
    QImage dst(src.size(), QImage::Format_Indexed8);
    if (dst.isNull() && !src.isNull())
        return false;
    // The rows through one pointer: scanLine() checks for sharing at every call.
    uchar *const bits = dst.bits();
    const qsizetype stride = dst.bytesPerLine();
    const int w = src.width();
    QRgb last = kNoColor;
    int index = -1;
    for (int y = 0; y < src.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        uchar *line = bits + y * stride;
        for (int x = 0; x < w; ++x) {
            const QRgb rgb = row[x] & 0xffffff;
            if (rgb != last) {
                last = rgb;
                index = lookup(rgb);
                if (index < 0)
                    return false;
            }
            line[x] = uchar(index);
        }
    }
    *out = std::move(dst);
    return true;
}

struct LiqDeleter {
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_histogram *p) const { liq_histogram_destroy(p); }
    void operator()(liq_image *p) const { liq_image_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};

// The histogram with colours that agree in all but the low `shift` bits of each channel merged
// into their weighted mean.
std::vector<liq_histogram_entry> Merged(const std::vector<liq_histogram_entry> &histogram, int shift)
{
    struct Sum {
        std::uint64_t r = 0, g = 0, b = 0, n = 0;
    };
    ColorIndex buckets(int(histogram.size() >> (shift * 2)) + 16);
    std::vector<Sum> sums;
    for (const liq_histogram_entry &e : histogram) {
        const QRgb key = qRgb(e.color.r >> shift, e.color.g >> shift, e.color.b >> shift);
        const int slot = buckets.Insert(key, int(sums.size()));
        if (slot == int(sums.size()))
            sums.emplace_back();
        Sum &sum = sums[std::size_t(slot)];
        sum.r += std::uint64_t(e.color.r) * e.count;
        sum.g += std::uint64_t(e.color.g) * e.count;
        sum.b += std::uint64_t(e.color.b) * e.count;
        sum.n += e.count;
    }
    std::vector<liq_histogram_entry> out;
    out.reserve(sums.size());
    for (const Sum &sum : sums) {
        const std::uint64_t n = std::max<std::uint64_t>(sum.n, 1), half = n / 2;
        out.push_back({liq_color{uchar((sum.r + half) / n), uchar((sum.g + half) / n), uchar((sum.b + half) / n), 255},
                       unsigned(std::min<std::uint64_t>(sum.n, UINT_MAX))});
    }
    return out;
}

// How many boxes of 2^shift levels a side the colours of the histogram fall in.
std::size_t BoxesUsed(const std::vector<liq_histogram_entry> &histogram, int shift)
{
    const int bits = 8 - shift;
    std::vector<std::uint64_t> boxes((std::size_t(1) << (3 * bits)) / 64 + 1, 0);
    std::size_t count = 0;
    for (const liq_histogram_entry &e : histogram) {
        const std::uint32_t box = std::uint32_t(e.color.r >> shift) << (2 * bits)
            | std::uint32_t(e.color.g >> shift) << bits | std::uint32_t(e.color.b >> shift);
        std::uint64_t &word = boxes[box >> 6];
        const std::uint64_t bit = std::uint64_t(1) << (box & 63);
        count += (word & bit) == 0;
        word |= bit;
    }
    return count;
}

// The fewest low bits per channel (at most 5) to drop so that at most `wanted` colours remain.
// Fewer boxes are never used by more colours, so the shifts are tried from the largest down:
// the small shifts, whose tables of boxes are the largest, are left out when they cannot do.
int MergeShift(const std::vector<liq_histogram_entry> &histogram, std::size_t wanted)
{
    if (histogram.size() <= wanted)
        return 0;
    int shift = 5;
    while (shift > 1 && BoxesUsed(histogram, shift - 1) <= wanted)
        --shift;
    return shift;
}

// libimagequant's palette of at most maxColors entries for the colours of the histogram (each
// with its pixel count), and for each of those colours the index of the entry it maps to. Each
// distinct colour is mapped once, so a pixel's index depends on its colour alone.
bool Quantise(const Histogram &counted, int maxColors, QVector<QRgb> *palette, std::vector<uchar> *indices)
{
    std::vector<liq_histogram_entry> histogram;
    histogram.reserve(std::size_t(counted.Size()));
    for (int slot = 0; slot < counted.Size(); ++slot) {
        const QRgb rgb = counted.Color(slot);
        histogram.push_back({liq_color{uchar(qRed(rgb)), uchar(qGreen(rgb)), uchar(qBlue(rgb)), 255}, counted.Count(slot)});
    }
    // libgomp busy-waits its idle threads, which on a small machine costs more than the threads
    // gain. The setting is per calling thread, so it is made before every quantisation.
    omp_set_num_threads(1);
    if (histogram.empty())
        return false;
    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), maxColors) != LIQ_OK || liq_set_speed(attr.get(), kSpeed) != LIQ_OK)
        return false;
    std::unique_ptr<liq_histogram, LiqDeleter> hist(liq_histogram_create(attr.get()));
    // A photograph has about as many colours as pixels, and libimagequant's time grows with the
    // colours it is given; it chooses as well from their means over small boxes of the colour
    // cube. The boxes grow (to at most 32 levels a side) until few colours are left.
    const int shift = MergeShift(histogram, std::size_t(kColoursPerEntry * maxColors));
    const std::vector<liq_histogram_entry> merged = shift > 0 ? Merged(histogram, shift) : histogram;
    if (!hist
        || liq_histogram_add_colors(hist.get(), attr.get(), merged.data(), int(merged.size()), 0.0) != LIQ_OK)
        return false;
    liq_result *raw = nullptr;
    if (liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || !raw)
        return false;
    std::unique_ptr<liq_result, LiqDeleter> result(raw);
    if (liq_set_dithering_level(result.get(), 0.0f) != LIQ_OK)
        return false;

    const liq_palette *pal = liq_get_palette(result.get());
    if (!pal || pal->count == 0 || pal->count > 256)
        return false;
    QVector<QRgb> chosen;
    for (unsigned i = 0; i < pal->count; ++i)
        chosen.append(qRgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b));
    // Each distinct colour goes to its nearest entry, and each entry then moves to the mean of
    // the colours it got, weighted by their pixels: the squared error of the pixels, which is
    // what the eye and PSNR see, only falls.
    const std::size_t count = std::size_t(counted.Size());
    const QRgb *colours = counted.Colors();
    indices->assign(count, 0);
    MapToNearest(chosen, colours, count, indices->data());
    struct Sum {
        std::uint64_t r = 0, g = 0, b = 0, n = 0;
    };
    std::vector<Sum> sums(std::size_t(chosen.size()));
    for (std::size_t i = 0; i < count; ++i) {
        Sum &sum = sums[(*indices)[i]];
        const std::uint64_t n = counted.Count(int(i));
        sum.r += n * std::uint64_t(qRed(colours[i]));
        sum.g += n * std::uint64_t(qGreen(colours[i]));
        sum.b += n * std::uint64_t(qBlue(colours[i]));
        sum.n += n;
    }
    palette->clear();
    for (int e = 0; e < chosen.size(); ++e) {
        const Sum &sum = sums[std::size_t(e)];
        const std::uint64_t half = sum.n / 2;
        palette->append(sum.n ? qRgb(int((sum.r + half) / sum.n), int((sum.g + half) / sum.n), int((sum.b + half) / sum.n))
                              : chosen[e]);
    }
    return true;
}

} // namespace

QImage AsRgb32(const QImage &image)
{
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

// ---- ColorIndex ----------------------------------------------------------------------------

ColorIndex::ColorIndex(int expectedColors)
{
    int bits = 4;
    while (bits < 30 && (1 << bits) < expectedColors * 2)
        ++bits;
    m_slots.assign(size_t(1) << bits, Slot{kEmpty, -1});
    m_shift = 32 - bits;
}

int ColorIndex::Insert(QRgb color, int index)
{
    const std::uint32_t key = color & 0xffffff;
    const std::uint32_t mask = std::uint32_t(m_slots.size() - 1);
    for (std::uint32_t i = Hash(key, m_shift);; i = (i + 1) & mask) {
        if (m_slots[i].key == key)
            return m_slots[i].value;
        if (m_slots[i].key == kEmpty) {
            m_slots[i] = Slot{key, index};
            if (size_t(++m_size) * 2 > m_slots.size())
                Grow();
            return index;
        }
    }
}

void ColorIndex::Grow()
{
    Rehash(33 - m_shift);
}

void ColorIndex::Reserve(int colours)
{
    int bits = 32 - m_shift;
    while (bits < 30 && (std::size_t(1) << bits) < std::size_t(colours) * 2)
        ++bits;
    if (bits > 32 - m_shift)
        Rehash(bits);
}

void ColorIndex::Rehash(int bits)
{
    std::vector<Slot> before;
    before.swap(m_slots);
    m_slots.assign(std::size_t(1) << bits, Slot{kEmpty, -1});
    m_shift = 32 - bits;
    m_size = 0;
    for (const Slot &slot : before) {
        if (slot.key != kEmpty)
            Insert(slot.key, slot.value);
    }
}

int NearestEntry(const QVector<QRgb> &palette, QRgb rgb)
{
    int best = 0;
    int bestDistance = INT_MAX;
    for (int i = 0; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - qRed(rgb), dg = qGreen(palette[i]) - qGreen(rgb),
                  db = qBlue(palette[i]) - qBlue(rgb);
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

// ---- DitheredMapping -------------------------------------------------------------------------

struct DitheredMapping::Quantiser {
    std::unique_ptr<liq_attr, LiqDeleter> attr;
    std::unique_ptr<liq_result, LiqDeleter> result;
};

DitheredMapping::DitheredMapping(const QVector<QRgb> &palette) : m_liq(std::make_unique<Quantiser>())
{
    if (palette.size() < 2 || palette.size() > 256)
        return;
    omp_set_num_threads(1);
    m_liq->attr.reset(liq_attr_create());
    // Every entry is a fixed colour and there is room for no other, so the quantiser keeps the
    // palette as it is (only its order may change) and the remapping does not refine it either.
    if (!m_liq->attr || liq_set_max_colors(m_liq->attr.get(), int(palette.size())) != LIQ_OK)
        return;
    std::unique_ptr<liq_histogram, LiqDeleter> hist(liq_histogram_create(m_liq->attr.get()));
    if (!hist)
        return;
    std::vector<liq_histogram_entry> entries;
    for (QRgb c : palette) {
        const liq_color colour{uchar(qRed(c)), uchar(qGreen(c)), uchar(qBlue(c)), 255};
        entries.push_back({colour, 1u});
        if (liq_histogram_add_fixed_color(hist.get(), colour, 0.0) != LIQ_OK)
            return;
    }
    if (liq_histogram_add_colors(hist.get(), m_liq->attr.get(), entries.data(), int(entries.size()), 0.0) != LIQ_OK)
        return;
    liq_result *raw = nullptr;
    if (liq_histogram_quantize(hist.get(), m_liq->attr.get(), &raw) != LIQ_OK || !raw)
        return;
    m_liq->result.reset(raw);
    const liq_palette *pal = liq_get_palette(raw);
    if (liq_set_dithering_level(raw, 1.0f) != LIQ_OK || !pal || pal->count == 0 || pal->count > 256) {
        m_liq->result.reset();
        return;
    }
    m_palette.clear();
    for (QRgb c : palette)
        m_palette.append(c | 0xff000000u);
    for (unsigned i = 0; i < pal->count; ++i)
        m_index.push_back(uchar(NearestEntry(m_palette, qRgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b))));
}

DitheredMapping::~DitheredMapping() = default;

bool DitheredMapping::IsValid() const
{
    return bool(m_liq->result);
}

QImage DitheredMapping::Map(const QImage &image)
{
    if (!IsValid() || image.isNull())
        return {};
    omp_set_num_threads(1);
    const QImage rgba = image.convertToFormat(QImage::Format_RGBX8888);
    const int w = rgba.width(), h = rgba.height();
    std::vector<const void *> rows(std::size_t(h), nullptr);
    for (int y = 0; y < h; ++y)
        rows[std::size_t(y)] = rgba.constScanLine(y);
    std::unique_ptr<liq_image, LiqDeleter> liqImage(
        liq_image_create_rgba_rows(m_liq->attr.get(), const_cast<void **>(rows.data()), w, h, 0.0));
    QImage out(w, h, QImage::Format_Indexed8);
    if (!liqImage || out.isNull())
        return {};
    std::vector<unsigned char *> outRows(std::size_t(h), nullptr);
    for (int y = 0; y < h; ++y)
        outRows[std::size_t(y)] = out.scanLine(y);
    if (liq_write_remapped_image_rows(m_liq->result.get(), liqImage.get(), outRows.data()) != LIQ_OK)
        return {};
    for (int y = 0; y < h; ++y) {
        uchar *row = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            if (row[x] >= m_index.size())
                return {};
            row[x] = m_index[row[x]];
        }
    }
    out.setColorTable(m_palette);
    return out;
}

// ---- counting and reduction ------------------------------------------------------------------

int CountColors(const QImage &image)
{
    if (image.isNull())
        return 0;
    if (image.format() == QImage::Format_Indexed8) {
        bool used[256] = {};
        const int width = image.width();
        for (int y = 0; y < image.height(); ++y) {
            const uchar *row = image.constScanLine(y);
            for (int x = 0; x < width; ++x)
                used[row[x]] = true;
        }
        const QVector<QRgb> table = image.colorTable();
        ColorIndex colors;
        for (int i = 0; i < 256; ++i) {
            if (used[i]) // an index past the table shows as black
                colors.Insert(i < table.size() ? table[i] : qRgb(0, 0, 0), 0);
        }
        return colors.Size();
    }
    ColorIndex colors(1024);
    ForEachRun(AsRgb32(image), [&](int, int, int, QRgb rgb) { colors.Insert(rgb, 0); });
    return colors.Size();
}

void Histogram::AddImage(const QImage &image)
{
    ForEachRun(AsRgb32(image), [this](int, int x0, int x1, QRgb rgb) { Add(rgb, unsigned(x1 - x0)); });
}

void Histogram::Append(const Histogram &later)
{
    // Room for all at once: the index is rebuilt once, not each time it fills up.
    m_slots.Reserve(Size() + later.Size());
    m_colors.reserve(m_colors.size() + later.m_colors.size());
    m_counts.reserve(m_counts.size() + later.m_counts.size());
    // The index is far larger than the processor's caches: each colour's place is asked for a
    // few colours ahead, so that the reads overlap.
    constexpr int kAhead = 16;
    for (int slot = 0; slot < later.Size(); ++slot) {
        const QRgb key = later.m_colors[std::size_t(slot)];
        if (slot + kAhead < later.Size())
            m_slots.Prefetch(later.m_colors[std::size_t(slot + kAhead)]);
        const int at = m_slots.Insert(key, Size());
        if (at == Size()) {
            m_colors.push_back(key);
            m_counts.push_back(0);
        }
        m_counts[std::size_t(at)] += later.m_counts[std::size_t(slot)];
    }
}

bool ChoosePalette(const Histogram &histogram, int maxColors, QVector<QRgb> *palette, std::vector<uchar> *entries)
{
    palette->clear();
    entries->clear();
    maxColors = std::min(maxColors, 256);
    if (maxColors < 1 || histogram.Size() == 0)
        return false;
    if (histogram.Size() <= maxColors) {
        for (int slot = 0; slot < histogram.Size(); ++slot) {
            palette->append(histogram.Color(slot) | 0xff000000u);
            entries->push_back(uchar(slot));
        }
        return true;
    }
    if (maxColors < 2 || !Quantise(histogram, maxColors, palette, entries))
        return false;
    for (QRgb &c : *palette)
        c |= 0xff000000u;
    return true;
}

bool MapExact(const QImage &image, const QVector<QRgb> &palette, QImage *out)
{
    ColorIndex index(int(palette.size()));
    for (int i = 0; i < palette.size(); ++i)
        index.Insert(palette[i], i);
    QImage mapped;
    if (!MapImage(AsRgb32(image), &mapped, [&](QRgb rgb) { return index.Find(rgb); }))
        return false;
    mapped.setColorTable(palette);
    *out = std::move(mapped);
    return true;
}

std::vector<QImage> ReduceShared(const std::vector<QImage> &images, int maxColors, QVector<QRgb> *palette,
                                 const QVector<QRgb> &reserved, bool dither)
{
    std::vector<QImage> out;
    if (ReduceExact(images, maxColors, palette, &out, reserved))
        return out;
    return ReduceQuantised(images, maxColors, palette, reserved, dither);
}

std::vector<QImage> ReduceQuantised(const std::vector<QImage> &images, int maxColors, QVector<QRgb> *palette,
                                    const QVector<QRgb> &reserved, bool dither)
{
    palette->clear();
    std::vector<QImage> out;
    maxColors = std::min(maxColors, 256);
    if (maxColors < 1 || reserved.size() > maxColors)
        return {};
    std::vector<QImage> sources;
    sources.reserve(images.size());
    for (const QImage &image : images)
        sources.push_back(AsRgb32(image));
    QVector<QRgb> colors;
    ColorIndex index(maxColors);
    for (QRgb c : reserved) {
        index.Insert(c, int(colors.size()));
        colors.append(c | 0xff000000u);
    }
    const int available = maxColors - int(reserved.size());
    if (available < 2)
        return {};
    out.assign(sources.size(), QImage());
    // One histogram over all images, then one palette for all of them.
    Histogram histogram;
    for (const QImage &src : sources)
        histogram.AddImage(src);
    QVector<QRgb> chosen;
    std::vector<uchar> chosenIndex;
    if (!Quantise(histogram, available, &chosen, &chosenIndex))
        return {};
    colors.resize(reserved.size());
    for (QRgb c : chosen)
        colors.append(c | 0xff000000u);
    const int firstChosen = int(reserved.size());
    if (dither && chosen.size() > 1) {
        DitheredMapping mapping(chosen);
        for (size_t i = 0; i < sources.size(); ++i) {
            QImage mapped = mapping.Map(sources[i]);
            if (mapped.isNull())
                return {};
            for (int y = 0; y < mapped.height(); ++y) {
                uchar *row = mapped.scanLine(y);
                const auto *src = reinterpret_cast<const QRgb *>(sources[i].constScanLine(y));
                for (int x = 0; x < mapped.width(); ++x) {
                    const int exact = firstChosen > 0 ? index.Find(src[x]) : -1;
                    row[x] = uchar(exact >= 0 ? exact : firstChosen + row[x]);
                }
            }
            mapped.setColorTable(colors);
            out[i] = std::move(mapped);
        }
        *palette = colors;
        return out;
    }
    // A colour maps exactly to a reserved entry, else to the entry chosen for it.
    std::vector<int> target(std::size_t(histogram.Size()));
    for (int slot = 0; slot < histogram.Size(); ++slot) {
        const int exact = index.Find(histogram.Color(slot));
        target[std::size_t(slot)] = exact >= 0 && exact < firstChosen ? exact : firstChosen + chosenIndex[std::size_t(slot)];
    }
    for (size_t i = 0; i < sources.size(); ++i) {
        if (!MapImage(sources[i], &out[i], [&](QRgb rgb) { return target[size_t(histogram.Find(rgb))]; }))
            return {};
    }
    for (QImage &image : out)
        image.setColorTable(colors);
    *palette = colors;
    return out;
}

} // namespace ColorQuant
