// The GIF LZW decoder. Strings are not walked back through the table as giflib does for every code:
// each entry remembers where its string was first written to the page, and a code copies it from
// there, so a pixel costs a fraction of a byte copy. That holds while the table was built by the
// rules; after a code beyond the table (a damaged stream) the page goes on entry by entry, with
// giflib's limits, until the next clear code starts a fresh table.
#include "platform/imaging/GifLzwDecode.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace GifLzw {
namespace {

constexpr int kMaxCode = 4095;
// Room past the page for the last code's string, copied 16 bytes at a time.
constexpr std::size_t kRunOn = kMaxCode + 1 + 32;
static_assert(kDecodeSlack >= kRunOn + 256 + 16, "the literals' row fits the slack");
// What a chain that leads out of the table reaches. giflib pushes that value as a pixel, so a
// damaged stream can show it as its low byte.
constexpr int kNoCode = 4098;

// The code stream. Bytes of the current sub-block are taken as needed; the next sub-block is
// opened only when a code needs its bits, as giflib does, so a bad block after the last code a
// page needs is never seen.
class CodeInput {
public:
    CodeInput(const std::uint8_t *data, std::size_t size, std::size_t at)
        : m_data(data), m_size(size), m_pos(at), m_blockEnd(at)
    {
    }

    bool Read(int bits, int *code, DecodeStatus *why)
    {
        if (m_have < bits && m_blockEnd - m_pos >= 8) {
            // As many whole bytes as the accumulator takes, in one load.
            std::uint64_t eight = 0;
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(&eight, m_data + m_pos, sizeof eight);
            } else {
                for (int i = 7; i >= 0; --i)
                    eight = (eight << 8) | m_data[m_pos + std::size_t(i)];
            }
            m_acc |= eight << m_have;
            m_pos += std::size_t(63 - m_have) >> 3;
            m_have |= 56;
        }
        while (m_have < bits) {
            if (m_pos < m_blockEnd) {
                m_acc |= std::uint64_t(m_data[m_pos++]) << m_have;
                m_have += 8;
            } else if (!OpenBlock(m_pos, why)) {
                return false;
            }
        }
        *code = int(m_acc & ((1u << bits) - 1));
        m_acc >>= bits;
        m_have -= bits;
        return true;
    }

    // After the page's last code: the rest of the current sub-block and those after it, up to and
    // including the empty one. Returns the offset past it, or 0 with *why.
    std::size_t SkipRest(DecodeStatus *why)
    {
        std::size_t p = m_blockEnd;
        for (;;) {
            if (p >= m_size) {
                *why = DecodeStatus::Truncated;
                return 0;
            }
            const std::size_t n = m_data[p];
            if (n == 0)
                return p + 1;
            if (m_size - p - 1 < n) {
                *why = DecodeStatus::Truncated;
                return 0;
            }
            p += 1 + n;
        }
    }

private:
    bool OpenBlock(std::size_t p, DecodeStatus *why)
    {
        if (p >= m_size) {
            *why = DecodeStatus::Truncated;
            return false;
        }
        const std::size_t n = m_data[p];
        if (n == 0) { // the data ends before the end code
            *why = DecodeStatus::Defect;
            return false;
        }
        if (m_size - p - 1 < n) {
            *why = DecodeStatus::Truncated;
            return false;
        }
        m_pos = p + 1;
        m_blockEnd = m_pos + n;
        return true;
    }

    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos;
    std::size_t m_blockEnd;
    std::uint64_t m_acc = 0;
    int m_have = 0;
};

// Copies n bytes that end at or before `to`, 16 at a time: the page buffer has room past its end,
// and bytes read past the string's end are overwritten later.
inline void CopyString(std::uint8_t *to, const std::uint8_t *from, std::size_t n)
{
    for (std::size_t i = 0; i < n; i += 16) {
        std::uint8_t chunk[16];
        std::memcpy(chunk, from + i, sizeof chunk);
        std::memcpy(to + i, chunk, sizeof chunk);
    }
}

class Decoder {
public:
    Decoder(int codeSize, std::uint8_t *out) : m_codeSize(codeSize), m_clear(1 << codeSize), m_out(out) {}

    Decoded Run(const std::uint8_t *data, std::size_t size, std::size_t at, std::size_t count)
    {
        // Everything the loop changes is local: stores of pixels could otherwise be any member.
        CodeInput in(data, size, at);
        Decoded result;
        std::uint8_t *o = m_out;
        const std::uint8_t *const end = m_out + count;
        // The table's state lives in locals here, as few as can be; ExactStep works on the members,
        // brought up to date around it.
        const int clear = m_clear;
        int running = clear + 2, bits = m_codeSize + 1, limit = 1 << bits;
        // Codes below `fast` are entries made by the rules (literals and clear codes among them,
        // told apart by their length); 0 once a code beyond the table made them irregular.
        int fast = clear + 2;
        // The entry the next code defines: the last code's string and one index more.
        Entry pending{0, 1, std::uint16_t(kNoCode)};
        // Literals are entries too, their strings in a row of every index past the room the last
        // code may need, so that the common codes go one way; clear and end codes have no string.
        const std::size_t literalsAt = count + kRunOn;
        for (int i = 0; i < clear; ++i) {
            m_out[literalsAt + std::size_t(i)] = std::uint8_t(i);
            m_entries[i] = Entry{std::uint32_t(literalsAt + std::size_t(i)), 1, 0};
            m_used[i] = 0;
        }
        m_entries[clear].length = m_entries[clear + 1].length = 0;
        while (o < end) {
            int code = 0;
            if (!in.Read(bits, &code, &result.status))
                return result;
            // Widths grow as giflib's do: every code read counts, clear codes included, up to the
            // count that stays once codes are 12 bits wide.
            if (++running > limit) [[unlikely]] {
                if (bits < 12) {
                    ++bits;
                    limit <<= 1;
                } else {
                    running = kMaxCode + 2;
                }
            }
            std::uint8_t *const start = o;
            if (code < fast && m_entries[code].length != 0) [[likely]] {
                const Entry e = m_entries[code];
                CopyString(o, m_out + e.at, e.length);
                o += e.length;
                m_used[code] = 1;
            } else if (code == clear) {
                running = clear + 2;
                bits = m_codeSize + 1;
                limit = 1 << bits;
                fast = clear + 2;
                pending = Entry{0, 1, std::uint16_t(kNoCode)};
                continue;
            } else if (code == clear + 1) {
                result.status = DecodeStatus::Truncated;
                return result;
            } else if (code == running - 2 && fast != 0) {
                // The entry being defined: the last string and its own first index.
                const std::size_t lastLength = pending.length - 1u;
                CopyString(o, m_out + pending.at, lastLength);
                o[lastLength] = m_out[pending.at];
                o += lastLength + 1;
            } else {
                if (fast != 0) {
                    TakeSuffixes(fast);
                    m_defined = fast;
                    fast = 0;
                }
                m_wasIrregular = true;
                m_last = pending.prefix;
                if (!ExactStep(code, running - 2, &o)) {
                    result.status = DecodeStatus::Defect;
                    return result;
                }
                pending.prefix = std::uint16_t(code);
                continue;
            }
            // The first code after a clear code defines nothing: its entry is the end code.
            if (running - 2 == fast)
                m_entries[fast++] = pending;
            pending = Entry{std::uint32_t(start - m_out), std::uint16_t(o - start + 1), std::uint16_t(code)};
        }
        result.end = in.SkipRest(&result.status);
        if (result.end == 0)
            return result;
        if (m_wasIrregular) {
            result.highest = *std::max_element(m_out, m_out + count);
        } else {
            result.highest = clear - 1;
            while (result.highest > 0 && !m_used[result.highest])
                --result.highest;
        }
        return result;
    }

private:
    // An entry made by the rules: its string, where it was first written, is the prefix's string
    // and the index added.
    struct Entry {
        std::uint32_t at;
        std::uint16_t length;
        std::uint16_t prefix;
    };

    // For ExactStep: every entry's prefix and added index, from the strings so far.
    void TakeSuffixes(int defined)
    {
        for (int c = m_clear + 2; c < defined; ++c) {
            m_prefix[c] = m_entries[c].prefix;
            m_suffix[c] = m_out[m_entries[c].at + m_entries[c].length - 1u];
        }
    }

    bool Defined(int code) const { return code >= m_clear + 2 && code < m_defined; }

    // The first index of a code's string as giflib finds it: down the prefixes, at most 4096 steps.
    int FirstIndex(int code) const
    {
        for (int i = 0; code > m_clear && i++ <= kMaxCode;) {
            if (code > kMaxCode)
                return kNoCode;
            code = Defined(code) ? m_prefix[code] : kNoCode;
        }
        return code;
    }

    // Any code, by giflib's rules: a code beyond the table stands for the last string and the
    // first index it can find of the code itself, and the entry defined then points at whatever the
    // last code was. From here to the next clear code, strings are walked back through the table.
    bool ExactStep(int code, int entry, std::uint8_t **o)
    {
        std::uint8_t stack[kMaxCode + 1];
        int sp = 0;
        if (code < m_clear) {
            stack[sp++] = std::uint8_t(code);
        } else {
            int c = code;
            if (!Defined(code)) {
                stack[sp++] = std::uint8_t(FirstIndex(code == entry ? m_last : code));
                c = m_last;
            }
            while (sp < kMaxCode && c > m_clear && c <= kMaxCode) {
                if (!Defined(c)) // its prefix leads out of the table
                    return false;
                stack[sp++] = m_suffix[c];
                c = m_prefix[c];
            }
            if (sp >= kMaxCode || c > kMaxCode)
                return false;
            stack[sp++] = std::uint8_t(c);
        }
        std::uint8_t *p = *o;
        while (sp > 0)
            *p++ = stack[--sp];
        *o = p;
        if (m_last != kNoCode && entry == m_defined) {
            m_prefix[entry] = std::uint16_t(m_last);
            ++m_defined;
            m_suffix[entry] = std::uint8_t(FirstIndex(code == entry ? m_last : code));
        }
        m_last = code;
        return true;
    }

    const int m_codeSize;
    const int m_clear;
    std::uint8_t *const m_out;
    int m_defined = 0;           // entries [clear + 2, m_defined) are set, for ExactStep
    int m_last = kNoCode;
    bool m_wasIrregular = false; // a code beyond the table came on this page
    Entry m_entries[kMaxCode + 1];
    std::uint8_t m_used[kMaxCode + 1]; // codes read (literals: indices written) while regular
    // ExactStep's table: each entry's prefix code and the index it adds.
    std::uint16_t m_prefix[kMaxCode + 1];
    std::uint8_t m_suffix[kMaxCode + 1];
};

} // namespace

Decoded Decode(const std::uint8_t *data, std::size_t size, std::size_t at, int codeSize, std::uint8_t *out,
               std::size_t count)
{
    Decoder decoder(std::clamp(codeSize, 0, 8), out);
    return decoder.Run(data, size, at, count);
}

} // namespace GifLzw
