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

QImage AsRgb32(const QImage &image)
{
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

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

// Maps every run through lookup(rgb) -> index, into a new Indexed8 image (colour table set later).
template <typename Lookup>
bool MapImage(const QImage &src, QImage *out, Lookup &&lookup)
{
    QImage dst(src.size(), QImage::Format_Indexed8);
    if (dst.isNull() && !src.isNull())
        return false;
    bool ok = true;
    ForEachRun(src, [&](int y, int x0, int x1, QRgb rgb) {
        const int index = ok ? lookup(rgb) : -1;
        if (index < 0) {
            ok = false;
            return;
        }
        std::memset(dst.scanLine(y) + x0, index, size_t(x1 - x0));
    });
    if (ok)
        *out = std::move(dst);
    return ok;
}

struct LiqDeleter {
    void operator()(liq_attr *p) const { liq_attr_destroy(p); }
    void operator()(liq_histogram *p) const { liq_histogram_destroy(p); }
    void operator()(liq_result *p) const { liq_result_destroy(p); }
};

// libimagequant's palette for the colours and their pixel counts, at most maxColors entries.
QVector<QRgb> Quantise(const std::vector<liq_histogram_entry> &histogram, int maxColors)
{
    // libgomp busy-waits its idle threads, which on a small machine costs more than the threads
    // gain. The setting is per calling thread, so it is made before every quantisation.
    omp_set_num_threads(1);
    std::unique_ptr<liq_attr, LiqDeleter> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), maxColors) != LIQ_OK || liq_set_speed(attr.get(), 4) != LIQ_OK)
        return {};
    std::unique_ptr<liq_histogram, LiqDeleter> hist(liq_histogram_create(attr.get()));
    if (!hist
        || liq_histogram_add_colors(hist.get(), attr.get(), histogram.data(), int(histogram.size()), 0.0) != LIQ_OK)
        return {};
    liq_result *raw = nullptr;
    if (liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || !raw)
        return {};
    std::unique_ptr<liq_result, LiqDeleter> result(raw);
    const liq_palette *pal = liq_get_palette(result.get());
    QVector<QRgb> palette;
    for (unsigned i = 0; pal && i < pal->count; ++i)
        palette.append(qRgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b));
    return palette;
}

int Nearest(QRgb rgb, const QVector<QRgb> &palette, int from)
{
    const int r = qRed(rgb), g = qGreen(rgb), b = qBlue(rgb);
    int best = from;
    int bestDistance = INT_MAX;
    for (int i = from; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - r, dg = qGreen(palette[i]) - g, db = qBlue(palette[i]) - b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

} // namespace

// ---- ColorIndex ----------------------------------------------------------------------------

ColorIndex::ColorIndex(int expectedColors)
{
    int bits = 4;
    while (bits < 30 && (1 << bits) < expectedColors * 2)
        ++bits;
    m_keys.assign(size_t(1) << bits, kEmpty);
    m_values.assign(size_t(1) << bits, -1);
    m_shift = 32 - bits;
}

int ColorIndex::Find(QRgb color) const
{
    const std::uint32_t key = color & 0xffffff;
    const std::uint32_t mask = std::uint32_t(m_keys.size() - 1);
    for (std::uint32_t i = Slot(key, m_shift);; i = (i + 1) & mask) {
        if (m_keys[i] == key)
            return m_values[i];
        if (m_keys[i] == kEmpty)
            return -1;
    }
}

int ColorIndex::Insert(QRgb color, int index)
{
    const std::uint32_t key = color & 0xffffff;
    const std::uint32_t mask = std::uint32_t(m_keys.size() - 1);
    for (std::uint32_t i = Slot(key, m_shift);; i = (i + 1) & mask) {
        if (m_keys[i] == key)
            return m_values[i];
        if (m_keys[i] == kEmpty) {
            m_keys[i] = key;
            m_values[i] = index;
            if (size_t(++m_size) * 2 > m_keys.size())
                Grow();
            return index;
        }
    }
}

void ColorIndex::Grow()
{
    std::vector<std::uint32_t> keys;
    std::vector<int> values;
    keys.swap(m_keys);
    values.swap(m_values);
    m_keys.assign(keys.size() * 2, kEmpty);
    m_values.assign(keys.size() * 2, -1);
    m_shift -= 1;
    m_size = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != kEmpty)
            Insert(keys[i], values[i]);
    }
}

// ---- counting and reduction ------------------------------------------------------------------

int CountColors(const QImage &image)
{
    if (image.isNull())
        return 0;
    if (image.format() == QImage::Format_Indexed8) {
        bool used[256] = {};
        for (int y = 0; y < image.height(); ++y) {
            const uchar *row = image.constScanLine(y);
            for (int x = 0; x < image.width(); ++x)
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

bool MapExact(const QImage &image, const QVector<QRgb> &palette, QImage *out)
{
    ColorIndex index(int(palette.size()));
    for (int i = 0; i < palette.size(); ++i)
        index.Insert(palette[i], i);
    QImage mapped;
    QRgb last = kNoColor;
    int lastIndex = -1;
    if (!MapImage(AsRgb32(image), &mapped, [&](QRgb rgb) {
            if (rgb != last) {
                last = rgb;
                lastIndex = index.Find(rgb);
            }
            return lastIndex;
        }))
        return false;
    mapped.setColorTable(palette);
    *out = std::move(mapped);
    return true;
}

std::vector<QImage> ReduceShared(const std::vector<QImage> &images, int maxColors, QVector<QRgb> *palette,
                                 const QVector<QRgb> &reserved)
{
    palette->clear();
    maxColors = std::min(maxColors, 256);
    if (maxColors < 1 || reserved.size() > maxColors)
        return {};
    std::vector<QImage> sources;
    sources.reserve(images.size());
    for (const QImage &image : images)
        sources.push_back(AsRgb32(image));

    // Exact attempt: build the palette in order of first appearance after the reserved colours.
    QVector<QRgb> colors;
    ColorIndex index(maxColors);
    for (QRgb c : reserved) {
        index.Insert(c, int(colors.size()));
        colors.append(c | 0xff000000u);
    }
    std::vector<QImage> out(sources.size());
    bool fits = true;
    for (size_t i = 0; fits && i < sources.size(); ++i) {
        QRgb last = kNoColor;
        int lastIndex = -1;
        fits = MapImage(sources[i], &out[i], [&](QRgb rgb) {
            if (rgb != last) {
                last = rgb;
                lastIndex = index.Find(rgb);
                if (lastIndex < 0 && colors.size() < maxColors) {
                    lastIndex = index.Insert(rgb, int(colors.size()));
                    colors.append(rgb | 0xff000000u);
                }
            }
            return lastIndex;
        });
    }

    if (!fits) {
        const int available = maxColors - int(reserved.size());
        if (available < 2)
            return {};
        // One histogram over all images, then one palette for all of them.
        ColorIndex seen(4096);
        std::vector<liq_histogram_entry> histogram;
        for (const QImage &src : sources) {
            ForEachRun(src, [&](int, int x0, int x1, QRgb rgb) {
                const int slot = seen.Insert(rgb, int(histogram.size()));
                if (slot == int(histogram.size()))
                    histogram.push_back({liq_color{uchar(qRed(rgb)), uchar(qGreen(rgb)), uchar(qBlue(rgb)), 255}, 0u});
                histogram[size_t(slot)].count += unsigned(x1 - x0);
            });
        }
        const QVector<QRgb> chosen = Quantise(histogram, available);
        if (chosen.isEmpty())
            return {};
        colors.resize(reserved.size());
        for (QRgb c : chosen)
            colors.append(c | 0xff000000u);
        // Each distinct colour is matched once: exactly to a reserved entry, else to the nearest chosen one.
        ColorIndex nearest(int(histogram.size()));
        const int firstChosen = int(reserved.size());
        for (size_t i = 0; i < sources.size(); ++i) {
            QRgb last = kNoColor;
            int lastIndex = -1;
            const bool mapped = MapImage(sources[i], &out[i], [&](QRgb rgb) {
                if (rgb != last) {
                    last = rgb;
                    lastIndex = nearest.Find(rgb);
                    if (lastIndex < 0) {
                        const int exact = index.Find(rgb);
                        lastIndex = nearest.Insert(rgb, exact >= 0 && exact < firstChosen ? exact
                                                                                          : Nearest(rgb, colors, firstChosen));
                    }
                }
                return lastIndex;
            });
            if (!mapped)
                return {};
        }
    }
    for (QImage &image : out)
        image.setColorTable(colors);
    *palette = colors;
    return out;
}

} // namespace ColorQuant
