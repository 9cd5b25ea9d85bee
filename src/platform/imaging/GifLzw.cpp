// A small GIF LZW encoder of our own. DESIGN.md keeps LZW with giflib, and giflib still writes the
// container of every file and decodes every page we write (tests decode our pages through giflib,
// ImageMagick and gifsicle, and a fuzz target round-trips random index data); only the image data
// is coded here, because giflib cannot code a page narrower than its colour table.
//
// The code widths follow giflib's encoder exactly: a clear code first, the width grows after a
// code is written once the next free code reaches 2^width, and the table is cleared when the
// next free code would be 4095.
#include "platform/imaging/GifLzw.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace GifLzw {
namespace {

constexpr int kMaxCode = 4095;

// The code stream, packed least significant bit first into room for the worst case (a 12-bit
// code per pixel) and cut into sub-blocks at the end: the pixel loop only shifts and stores.
class BitSink {
public:
    explicit BitSink(std::size_t pixels)
        : m_size((pixels + pixels / 1024 + 8) * 2), m_raw(std::make_unique_for_overwrite<std::uint8_t[]>(m_size)),
          m_out(m_raw.get())
    {
    }
    void Put(int code, int width)
    {
        m_acc |= std::uint64_t(code) << m_bits;
        m_bits += width;
        if (m_bits >= 32) {
            for (int k = 0; k < 4; ++k)
                m_out[k] = std::uint8_t(m_acc >> (8 * k));
            m_out += 4;
            m_acc >>= 32;
            m_bits -= 32;
        }
    }
    QByteArray Finish()
    {
        for (; m_bits > 0; m_bits -= 8, m_acc >>= 8)
            *m_out++ = std::uint8_t(m_acc);
        const std::size_t n = std::size_t(m_out - m_raw.get());
        QByteArray blocks(qsizetype(n + (n + 254) / 255), Qt::Uninitialized);
        char *to = blocks.data();
        for (std::size_t at = 0; at < n; at += 255) {
            const std::size_t length = std::min<std::size_t>(255, n - at);
            *to++ = char(length);
            std::memcpy(to, m_raw.get() + at, length);
            to += length;
        }
        return blocks;
    }

private:
    std::size_t m_size;
    std::unique_ptr<std::uint8_t[]> m_raw;
    std::uint8_t *m_out;
    std::uint64_t m_acc = 0;
    int m_bits = 0;
};

// String table: (prefix code, next index) -> code, by open addressing with each string's key and
// code in one word, so that the lookup of every pixel reads one place in memory; plus child lists
// for the lossy search of a string's continuations.
class Table {
public:
    explicit Table(bool children) : m_slots(kSlots, kEmpty)
    {
        if (children) {
            m_firstChild.assign(kMaxCode + 1, -1);
            m_nextSibling.assign(kMaxCode + 1, -1);
            m_suffix.assign(kMaxCode + 1, 0);
        }
    }
    void Clear()
    {
        std::fill(m_slots.begin(), m_slots.end(), kEmpty);
        std::fill(m_firstChild.begin(), m_firstChild.end(), -1);
    }
    // The code of the string, or -1 with *free set to where Insert puts it.
    int Find(int prefix, int index, std::uint32_t *free) const
    {
        const std::uint32_t key = Key(prefix, index);
        for (std::uint32_t s = Slot(prefix, index);; s = (s + 1) & (kSlots - 1)) {
            const std::uint32_t entry = m_slots[s];
            if (entry >> kCodeBits == key)
                return int(entry & kCodeMask);
            if (entry == kEmpty) {
                *free = s;
                return -1;
            }
        }
    }
    // Adds the string at the place Find gave for it.
    void Insert(std::uint32_t free, int prefix, int index, int code)
    {
        m_slots[free] = Key(prefix, index) << kCodeBits | std::uint32_t(code);
        if (!m_firstChild.empty()) {
            m_suffix[std::size_t(code)] = std::uint8_t(index);
            m_nextSibling[std::size_t(code)] = m_firstChild[std::size_t(prefix)];
            m_firstChild[std::size_t(prefix)] = std::int16_t(code);
        }
    }
    // The continuation of `prefix` whose last index is closest in colour to `index`, within maxError.
    int Nearest(int prefix, int index, const Lossy &lossy, int *chosen) const
    {
        const QVector<QRgb> &pal = *lossy.palette;
        if (index >= pal.size() || index == lossy.transparentIndex)
            return -1;
        const QRgb want = pal[index];
        int best = -1, bestError = lossy.maxError + 1;
        for (int c = m_firstChild[std::size_t(prefix)]; c >= 0; c = m_nextSibling[std::size_t(c)]) {
            const int s = m_suffix[std::size_t(c)];
            if (s >= pal.size() || s == lossy.transparentIndex)
                continue;
            const QRgb have = pal[s];
            const int error = std::max({std::abs(qRed(have) - qRed(want)), std::abs(qGreen(have) - qGreen(want)),
                                        std::abs(qBlue(have) - qBlue(want))});
            if (error < bestError) {
                best = c;
                bestError = error;
                *chosen = s;
            }
        }
        return best;
    }

private:
    static constexpr std::uint32_t kSlots = 8192;
    static constexpr int kCodeBits = 12;
    static constexpr std::uint32_t kCodeMask = (1u << kCodeBits) - 1;
    // Prefix 4095 never occurs (the table is cleared before code 4095 is given out).
    static constexpr std::uint32_t kEmpty = 0xffffffffu;
    static std::uint32_t Key(int prefix, int index) { return (std::uint32_t(prefix) << 8) | std::uint32_t(index); }
    // The prefix, which the lookup before gave, is only scaled (one address computation); the
    // index, read straight from the pixels, is hashed meanwhile. Five is odd, so one index's
    // strings never share a place, and consecutive prefixes lie apart.
    static std::uint32_t Slot(int prefix, int index)
    {
        return (std::uint32_t(prefix) * 5 + ((std::uint32_t(index) * 2654435761u) >> 19)) & (kSlots - 1);
    }

    std::vector<std::uint32_t> m_slots;
    std::vector<std::int16_t> m_firstChild, m_nextSibling;
    std::vector<std::uint8_t> m_suffix;
};

} // namespace

int MinCodeSize(const std::uint8_t *pixels, std::size_t count)
{
    const std::uint8_t highest = count ? *std::max_element(pixels, pixels + count) : 0;
    int bits = 2;
    while (bits < 8 && (1 << bits) <= highest)
        ++bits;
    return bits;
}

QByteArray Encode(std::uint8_t *pixels, std::size_t count, int codeSize, const Lossy &lossy)
{
    codeSize = std::clamp(codeSize, 2, 8);
    const int clear = 1 << codeSize;
    const int end = clear + 1;
    const bool lossyOn = lossy.maxError > 0 && lossy.palette;
    BitSink sink(count);
    Table table(lossyOn);
    int width = codeSize + 1;
    int next = end + 1;
    auto put = [&](int code) {
        sink.Put(code, width);
        if (next >= (1 << width) && width < 12)
            ++width;
    };
    put(clear);
    if (count == 0) {
        put(end);
        return sink.Finish();
    }
    // Each string's code followed once more by its last index, the pixel before: within a run
    // of one index the next string is one read away, which depends only on the string before.
    std::int16_t repeated[kMaxCode + 1];
    std::fill(std::begin(repeated), std::end(repeated), std::int16_t(-1));
    int prefix = pixels[0];
    for (std::size_t i = 1; i < count; ++i) {
        const int index = pixels[i];
        if (index == pixels[i - 1] && repeated[prefix] >= 0) {
            prefix = repeated[prefix];
            continue;
        }
        std::uint32_t free = 0;
        int code = table.Find(prefix, index, &free);
        if (code < 0 && lossy.alternatives && lossy.alternatives[i] != index) {
            std::uint32_t unused = 0;
            code = table.Find(prefix, lossy.alternatives[i], &unused);
            if (code >= 0)
                pixels[i] = std::uint8_t(lossy.alternatives[i]);
        }
        if (code < 0 && lossyOn) {
            int chosen = index;
            code = table.Nearest(prefix, index, lossy, &chosen);
            if (code >= 0)
                pixels[i] = std::uint8_t(chosen);
        }
        if (code >= 0) {
            prefix = code;
            continue;
        }
        put(prefix);
        if (next >= kMaxCode) {
            put(clear);
            table.Clear();
            std::fill(std::begin(repeated), std::end(repeated), std::int16_t(-1));
            width = codeSize + 1;
            next = end + 1;
        } else {
            if (index == pixels[i - 1])
                repeated[prefix] = std::int16_t(next);
            table.Insert(free, prefix, index, next++);
        }
        prefix = index;
    }
    put(prefix);
    put(end);
    return sink.Finish();
}

} // namespace GifLzw
