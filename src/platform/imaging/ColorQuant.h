#pragma once
// Colour counting and palette reduction. Exact whenever the colours fit (the palette is built
// directly, no quantiser run); libimagequant otherwise, with one palette shared by all images so
// that unchanged areas of consecutive pages map to the same indices.
#include <QImage>
#include <QVector>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace ColorQuant {

// The picture in a 32-bit RGB format (alpha ignored): itself when it is one, else converted.
QImage AsRgb32(const QImage &image);

// Exact number of distinct RGB colours (alpha ignored; for Indexed8 only the entries in use).
int CountColors(const QImage &image);

// Reduces images (RGB32/ARGB32; other formats are converted, alpha is ignored) to one shared
// palette of at most maxColors (1..256) entries and returns them as Format_Indexed8 with that
// colour table; *palette receives it too.
// - When all images (with the reserved colours) have <= maxColors colours the mapping is exact.
// - Otherwise libimagequant chooses maxColors - reserved.size() colours (at least 2 are needed),
//   without dithering, so a pixel's index depends on its colour alone (frame differencing relies on it).
// - reserved colours come first: (*palette)[i] == reserved[i]. A pixel maps to a reserved entry
//   only when it has exactly that colour, so a reserved "transparent" colour is never picked up
//   by near colours.
// - dither: the pictures are mapped onto the chosen colours with error diffusion instead, so a
//   pixel's index depends on its neighbours too; exact mappings and reserved colours are not dithered.
// Returns an empty vector when the reduction is impossible (too few colours left) or fails.
std::vector<QImage> ReduceShared(const std::vector<QImage> &images, int maxColors, QVector<QRgb> *palette,
                                 const QVector<QRgb> &reserved = {}, bool dither = false);
// ReduceShared for images already known not to fit exactly: straight to libimagequant.
std::vector<QImage> ReduceQuantised(const std::vector<QImage> &images, int maxColors, QVector<QRgb> *palette,
                                    const QVector<QRgb> &reserved = {}, bool dither = false);

// The entry of a palette nearest to a colour (squared distance over the three channels); 0 for
// an empty palette.
int NearestEntry(const QVector<QRgb> &palette, QRgb rgb);
// NearestEntry of each of `count` colours into indices[i] (the lowest index among equally near
// entries), fast for many colours and spread over the cores.
void MapToNearest(const QVector<QRgb> &palette, const QRgb *colours, std::size_t count, uchar *indices);

// Maps pictures onto one fixed palette with libimagequant's error diffusion, whose dither map
// keeps edges and flat areas free of noise. Every picture mapped uses the same palette.
class DitheredMapping {
public:
    // 2 to 256 colours (alpha ignored); otherwise, or when libimagequant fails, IsValid() is false.
    explicit DitheredMapping(const QVector<QRgb> &palette);
    ~DitheredMapping();
    DitheredMapping(const DitheredMapping &) = delete;
    DitheredMapping &operator=(const DitheredMapping &) = delete;

    bool IsValid() const;
    // The picture (any format, alpha ignored) as Format_Indexed8 with the palette as colour
    // table; a null image on failure.
    QImage Map(const QImage &image);

private:
    struct Quantiser;
    std::unique_ptr<Quantiser> m_liq;
    QVector<QRgb> m_palette;
    std::vector<uchar> m_index; // libimagequant's entry -> the entry of m_palette
};

// The images (as for ReduceShared) mapped exactly onto one shared palette: the reserved colours
// first, then the others in order of first appearance. False when they have more than maxColors
// colours together; *palette and *out are then empty.
bool ReduceExact(const std::vector<QImage> &images, int maxColors, QVector<QRgb> *palette, std::vector<QImage> *out,
                 const QVector<QRgb> &reserved = {});

// ReduceExact one step short, for callers that remap the pictures anyway and so write each pixel
// once: each picture's pixels as places in a list of its own colours (in order of first
// appearance), and, when all fit together, the palette with the entry of each place.
struct ExactPictures {
    QVector<QRgb> palette;
    std::vector<QImage> places;              // Format_Indexed8 without a colour table
    std::vector<std::vector<QRgb>> colours;  // per picture: its colours (RGB, top byte 0)
    std::vector<std::vector<uchar>> entries; // per picture: place -> palette entry
};
// True when the pictures fit together. Otherwise palette and entries are empty, and places and
// colours are there when every picture has at most maxColors colours of its own.
bool ListExact(const std::vector<QImage> &images, int maxColors, const QVector<QRgb> &reserved, ExactPictures *out);
// The palette of listed colours: the reserved colours, then each list's new colours in order; and
// each list's palette entries. False when that is more than maxColors (1..256) colours.
bool MergeColours(const QVector<QRgb> &reserved, std::span<const std::vector<QRgb>> lists, int maxColors,
                  QVector<QRgb> *palette, std::vector<std::vector<uchar>> *entries);
// Rewrites a picture of places as the palette entries `entries` gives them, with the palette as
// its colour table.
void PlacesToEntries(QImage *places, const std::vector<uchar> &entries, const QVector<QRgb> &palette);
// Rewrites every index k of an indexed picture as lookup[k].
void MapIndices(QImage *indexed, const uchar (&lookup)[256]);

// Exact RGB -> index lookup (open addressing), for mapping pictures onto a known palette quickly.
class ColorIndex {
public:
    explicit ColorIndex(int expectedColors = 256);
    // The index stored for the colour (alpha ignored), or -1.
    int Find(QRgb color) const
    {
        const std::uint32_t key = color & 0xffffff;
        const std::uint32_t mask = std::uint32_t(m_slots.size() - 1);
        for (std::uint32_t i = Hash(key, m_shift);; i = (i + 1) & mask) {
            if (m_slots[i].key == key)
                return m_slots[i].value;
            if (m_slots[i].key == kEmpty)
                return -1;
        }
    }
    // Finds colours one after the other, writing the index of each (all below 256) to indices, up
    // to the first colour not stored; returns how many were found. Quicker than Find for whole
    // rows: no pixel waits for the one before it.
    int FindEach(const QRgb *colors, int count, uchar *indices) const
    {
        const Slot *table = m_slots.data();
        const std::uint32_t mask = std::uint32_t(m_slots.size() - 1);
        const int shift = m_shift;
        for (int n = 0; n < count; ++n) {
            const std::uint32_t key = colors[n] & 0xffffff;
            std::uint32_t i = Hash(key, shift);
            while (table[i].key != key) {
                if (table[i].key == kEmpty)
                    return n;
                i = (i + 1) & mask;
            }
            indices[n] = uchar(table[i].value);
        }
        return count;
    }
    // Stores index for the colour unless it is there already; returns the stored index.
    int Insert(QRgb color, int index);
    int Size() const { return m_size; }
    // Makes room for this many colours in all.
    void Reserve(int colours);
    // Asks for the place of the colour to be read into the cache, ahead of a Find or Insert. The
    // empty asm marks the call as doing something: GCC counts a prefetch as no effect, takes a
    // function that only prefetches for one without effects, and drops calls of it.
    void Prefetch(QRgb color) const
    {
        const Slot *place = &m_slots[Hash(color & 0xffffff, m_shift)];
        __builtin_prefetch(place);
        asm volatile("" : : "r"(place));
    }

private:
    void Grow();
    void Rehash(int bits);
    static std::uint32_t Hash(std::uint32_t key, int shift) { return (key * 2654435761u) >> shift; }

    static constexpr std::uint32_t kEmpty = 0xffffffffu;
    // A colour and its index side by side, so that a lookup reads one place in memory.
    struct Slot {
        std::uint32_t key; // kEmpty or an RGB value (top byte 0)
        int value;
    };
    std::vector<Slot> m_slots;
    int m_shift = 24;                  // 32 - log2(table size)
    int m_size = 0;
};

// The colours of pictures and their pixel counts, in the order they first appear (alpha
// ignored), gathered piece by piece: whole pictures, runs of pixels, single pixels. A cache of
// 64K colours (half a megabyte) in front of the index answers for the colours met lately, which
// in the pages of one animation are most of them, those of a few photographs included.
class Histogram {
    struct Cached {
        QRgb key;
        int slot;
    };
    static constexpr int kCacheBits = 16;
    static constexpr std::size_t kCacheSize = std::size_t(1) << kCacheBits;
    static constexpr QRgb kNone = 0xffffffffu; // no colour (they have top byte 0)

public:
    // Colours met lately and their slots. The histogram has one for itself; another thread that
    // looks colours up in it needs one of its own. Its room is taken when it is first used.
    class Cache {
        friend class Histogram;
        Cached &At(QRgb key)
        {
            if (m_entries.empty())
                m_entries.assign(kCacheSize, {kNone, -1});
            return m_entries[CacheSlot(key)];
        }
        std::vector<Cached> m_entries;
    };

    explicit Histogram(int expectedColors = 4096) : m_slots(expectedColors) {}
    void Add(QRgb color, unsigned pixels = 1)
    {
        const QRgb key = color & 0xffffff;
        if (key != m_last || m_lastSlot < 0) {
            m_last = key;
            Cached &cached = m_cache.At(key);
            if (cached.key != key) {
                cached = {key, m_slots.Insert(key, int(m_colors.size()))};
                if (cached.slot == int(m_colors.size())) {
                    m_colors.push_back(key);
                    m_counts.push_back(0);
                }
            }
            m_lastSlot = cached.slot;
        }
        m_counts[std::size_t(m_lastSlot)] += pixels;
    }
    // Every pixel, row after row.
    void AddImage(const QImage &image);
    // Adds the colours another histogram gathered, in its order: the same as adding here what
    // was added there.
    void Append(const Histogram &later);
    int Size() const { return int(m_colors.size()); }
    // The colour's place in the order of first appearance, or -1.
    int Find(QRgb color) const { return Find(color, m_cache); }
    int Find(QRgb color, Cache &cache) const
    {
        const QRgb key = color & 0xffffff;
        Cached &cached = cache.At(key);
        if (cached.key != key) {
            const int slot = m_slots.Find(key);
            if (slot < 0)
                return -1;
            cached = {key, slot};
        }
        return cached.slot;
    }
    // Asks for what Find(color, cache) reads to be brought into the processor's cache.
    void Prefetch(QRgb color, const Cache &cache) const
    {
        const QRgb key = color & 0xffffff;
        if (!cache.m_entries.empty())
            __builtin_prefetch(&cache.m_entries[CacheSlot(key)]);
        m_slots.Prefetch(key);
    }
    void Prefetch(QRgb color) const { Prefetch(color, m_cache); }
    QRgb Color(int slot) const { return m_colors[std::size_t(slot)]; }
    // Every colour, by slot (RGB, top byte 0).
    const QRgb *Colors() const { return m_colors.data(); }
    unsigned Count(int slot) const { return m_counts[std::size_t(slot)]; }

private:
    static std::size_t CacheSlot(QRgb key) { return (key * 2654435761u) >> (32 - kCacheBits); }

    ColorIndex m_slots;
    mutable Cache m_cache;
    std::vector<QRgb> m_colors; // RGB, top byte 0
    std::vector<unsigned> m_counts;
    QRgb m_last = 0;
    int m_lastSlot = -1;
};

// The palette of at most maxColors (1..256) opaque entries that ReduceShared chooses for pictures
// with the histogram's colours and no reserved ones, and the entry each colour maps to without
// dithering (*entries, by slot): the colours themselves in order when they fit, else
// libimagequant's choice. False when they cannot be reduced.
bool ChoosePalette(const Histogram &histogram, int maxColors, QVector<QRgb> *palette, std::vector<uchar> *entries);

// Maps an image exactly onto palette (alpha ignored). False, leaving *out untouched, when a pixel's
// colour is not in the palette.
bool MapExact(const QImage &image, const QVector<QRgb> &palette, QImage *out);

} // namespace ColorQuant
