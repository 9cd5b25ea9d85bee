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
#include <vector>

namespace GifLzw {
namespace {

constexpr int kMaxCode = 4095;

class BitSink {
public:
    // Room for the worst case (a code per pixel, at most 12 bits, and a length byte per 255),
    // written through a pointer and cut to what was written at the end.
    explicit BitSink(std::size_t pixels) : m_bytes(qsizetype((pixels + 2) * 2 + (pixels + 2) * 2 / 255 + 8), Qt::Uninitialized)
    {
        m_out = reinterpret_cast<std::uint8_t *>(m_bytes.data());
    }
    void Put(int code, int width)
    {
        m_acc |= std::uint32_t(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            Byte(std::uint8_t(m_acc));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    QByteArray Finish()
    {
        if (m_bits > 0)
            Byte(std::uint8_t(m_acc));
        m_acc = 0;
        m_bits = 0;
        if (m_inBlock > 0)
            *m_length = std::uint8_t(m_inBlock);
        m_bytes.truncate(qsizetype(m_out - reinterpret_cast<std::uint8_t *>(m_bytes.data())));
        m_bytes.squeeze(); // the pages' data is kept until the file is written
        return std::move(m_bytes);
    }

private:
    void Byte(std::uint8_t b)
    {
        if (m_inBlock == 0)
            m_length = m_out++;
        *m_out++ = b;
        if (++m_inBlock == 255) {
            *m_length = 255;
            m_inBlock = 0;
        }
    }
    QByteArray m_bytes;
    std::uint8_t *m_out = nullptr;
    std::uint8_t *m_length = nullptr;
    std::uint32_t m_acc = 0;
    int m_bits = 0;
    int m_inBlock = 0;
};

// String table: (prefix code, next index) -> code, by open addressing, plus child lists for the
// lossy search of a string's continuations.
class Table {
public:
    explicit Table(bool children) : m_keys(kSlots, kEmpty), m_codes(kSlots, 0)
    {
        if (children) {
            m_firstChild.assign(kMaxCode + 1, -1);
            m_nextSibling.assign(kMaxCode + 1, -1);
            m_suffix.assign(kMaxCode + 1, 0);
        }
    }
    void Clear()
    {
        std::fill(m_keys.begin(), m_keys.end(), kEmpty);
        std::fill(m_firstChild.begin(), m_firstChild.end(), -1);
    }
    int Find(int prefix, int index) const
    {
        const std::uint32_t key = Key(prefix, index);
        for (std::uint32_t s = Slot(key);; s = (s + 1) & (kSlots - 1)) {
            if (m_keys[s] == key)
                return m_codes[s];
            if (m_keys[s] == kEmpty)
                return -1;
        }
    }
    void Insert(int prefix, int index, int code)
    {
        const std::uint32_t key = Key(prefix, index);
        std::uint32_t s = Slot(key);
        while (m_keys[s] != kEmpty)
            s = (s + 1) & (kSlots - 1);
        m_keys[s] = key;
        m_codes[s] = std::uint16_t(code);
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
    static constexpr std::uint32_t kEmpty = 0xffffffffu;
    static std::uint32_t Key(int prefix, int index) { return (std::uint32_t(prefix) << 8) | std::uint32_t(index); }
    static std::uint32_t Slot(std::uint32_t key) { return (key * 2654435761u) >> 19; }

    std::vector<std::uint32_t> m_keys;
    std::vector<std::uint16_t> m_codes;
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
    int prefix = pixels[0];
    for (std::size_t i = 1; i < count; ++i) {
        const int index = pixels[i];
        int code = table.Find(prefix, index);
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
            width = codeSize + 1;
            next = end + 1;
        } else {
            table.Insert(prefix, index, next++);
        }
        prefix = index;
    }
    put(prefix);
    put(end);
    return sink.Finish();
}

} // namespace GifLzw
