// The nearest palette entry of many colours at once, exactly. Colour space is cut into cubes of
// 16 levels a side; for each cube some colour falls in, the entries that can be nearest to some
// point of it are listed once: those no farther from it at their nearest than the entry that is
// nearest at its farthest. Each colour then looks only at its cube's few entries.
#include "platform/imaging/ColorQuant.h"

#include "platform/Parallel.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ColorQuant {
namespace {

constexpr int kCubeBits = 4; // levels a side: 1 << kCubeBits
constexpr int kCubeSide = 1 << kCubeBits;
constexpr int kCubes = 1 << (3 * (8 - kCubeBits));

int CubeOf(QRgb c)
{
    return (qRed(c) >> kCubeBits) << (2 * (8 - kCubeBits)) | (qGreen(c) >> kCubeBits) << (8 - kCubeBits)
        | (qBlue(c) >> kCubeBits);
}

// The lowest level of the cube in one channel.
int Low(int cube, int channel)
{
    return ((cube >> ((2 - channel) * (8 - kCubeBits))) & ((1 << (8 - kCubeBits)) - 1)) << kCubeBits;
}

// The entries channel by channel, so that the distances to all of them compute side by side.
struct Entries {
    std::vector<int> c[3];
    std::size_t size() const { return c[0].size(); }
};

// Per entry, the squared distances from the cube at its nearest and at its farthest point;
// returns the least of the farthest.
int CubeDistances(int cube, const Entries &entries, int *nearest, int *farthest)
{
    const std::size_t n = entries.size();
    std::fill(nearest, nearest + n, 0);
    std::fill(farthest, farthest + n, 0);
    for (int ch = 0; ch < 3; ++ch) {
        const int lo = Low(cube, ch), hi = lo + kCubeSide - 1;
        const int *v = entries.c[ch].data();
        for (std::size_t e = 0; e < n; ++e) {
            const int below = std::max(lo - v[e], 0) + std::max(v[e] - hi, 0);
            const int across = std::max(v[e] - lo, hi - v[e]);
            nearest[e] += below * below;
            farthest[e] += across * across;
        }
    }
    return *std::min_element(farthest, farthest + n);
}

// Every used cube's candidates in groups of four, as 16-bit pairs (red, green) and (blue, 0), so
// that one multiply-add gives two channels' squares for four entries at once. A group is filled
// out with a place no colour is near.
struct CandidateGroups {
    static constexpr std::int16_t kFar = 16000;
    std::vector<std::uint32_t> first; // per used cube, its first group; one more at the end
    std::vector<std::int16_t> redGreen, blueZero;
    std::vector<uchar> entry;

    CandidateGroups(const std::vector<std::vector<uchar>> &candidates, const Entries &entries)
    {
        first.reserve(candidates.size() + 1);
        for (const std::vector<uchar> &list : candidates) {
            first.push_back(std::uint32_t(entry.size() / 4));
            for (std::size_t k = 0; k < (list.size() + 3) / 4 * 4; ++k) {
                const bool real = k < list.size();
                const uchar e = real ? list[k] : 0;
                redGreen.push_back(real ? std::int16_t(entries.c[0][e]) : kFar);
                redGreen.push_back(real ? std::int16_t(entries.c[1][e]) : kFar);
                blueZero.push_back(real ? std::int16_t(entries.c[2][e]) : kFar);
                blueZero.push_back(0);
                entry.push_back(e);
            }
        }
        first.push_back(std::uint32_t(entry.size() / 4));
    }

    // The nearest of cube k's candidates to (r, g, b); the first of equally near ones.
    uchar Nearest(std::size_t k, int r, int g, int b) const
    {
        const std::size_t from = std::size_t(first[k]) * 4, to = std::size_t(first[k + 1]) * 4;
#if defined(__SSE2__)
        const __m128i colourRG = _mm_set1_epi32(int(std::uint32_t(g) << 16 | std::uint32_t(r)));
        const __m128i colourB = _mm_set1_epi32(b);
        __m128i best = _mm_set1_epi32(INT_MAX), bestAt = _mm_setzero_si128();
        __m128i at = _mm_setr_epi32(0, 1, 2, 3);
        const __m128i four = _mm_set1_epi32(4);
        for (std::size_t i = from; i < to; i += 4) {
            const __m128i rg = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(&redGreen[2 * i])), colourRG);
            const __m128i b0 = _mm_sub_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(&blueZero[2 * i])), colourB);
            const __m128i d = _mm_add_epi32(_mm_madd_epi16(rg, rg), _mm_madd_epi16(b0, b0));
            const __m128i nearer = _mm_cmpgt_epi32(best, d);
            best = _mm_or_si128(_mm_and_si128(nearer, d), _mm_andnot_si128(nearer, best));
            bestAt = _mm_or_si128(_mm_and_si128(nearer, at), _mm_andnot_si128(nearer, bestAt));
            at = _mm_add_epi32(at, four);
        }
        alignas(16) int distance[4], place[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(distance), best);
        _mm_store_si128(reinterpret_cast<__m128i *>(place), bestAt);
        int chosen = 0;
        for (int lane = 1; lane < 4; ++lane)
            if (distance[lane] < distance[chosen] || (distance[lane] == distance[chosen] && place[lane] < place[chosen]))
                chosen = lane;
        return entry[from + std::size_t(place[chosen])];
#else
        int best = INT_MAX;
        std::size_t bestAt = from;
        for (std::size_t i = from; i < to; ++i) {
            const int dr = redGreen[2 * i] - r, dg = redGreen[2 * i + 1] - g, db = blueZero[2 * i] - b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                bestAt = i;
            }
        }
        return entry[bestAt];
#endif
    }
};

} // namespace

void MapToNearest(const QVector<QRgb> &palette, const QRgb *colours, std::size_t count, uchar *indices)
{
    if (palette.isEmpty()) {
        std::fill(indices, indices + count, uchar(0));
        return;
    }
    Entries entries;
    for (int i = 0; i < palette.size() && i < 256; ++i) {
        entries.c[0].push_back(qRed(palette[i]));
        entries.c[1].push_back(qGreen(palette[i]));
        entries.c[2].push_back(qBlue(palette[i]));
    }

    // The cubes colours fall in, and per such cube its candidates in index order, so that the
    // first of equally near ones is the lowest index.
    std::vector<std::int16_t> slotOf(kCubes, -1);
    std::vector<int> used;
    for (std::size_t i = 0; i < count; ++i) {
        const int cube = CubeOf(colours[i]);
        std::int16_t &slot = slotOf[std::size_t(cube)];
        if (slot < 0) {
            slot = std::int16_t(used.size());
            used.push_back(cube);
        }
    }
    std::vector<std::vector<uchar>> candidates(used.size());
    constexpr std::size_t kCubesPerItem = 64;
    Parallel::ForEachItem((used.size() + kCubesPerItem - 1) / kCubesPerItem, [&](std::size_t item) {
        std::vector<int> nearest(entries.size()), farthest(entries.size());
        for (std::size_t k = item * kCubesPerItem, end = std::min(used.size(), k + kCubesPerItem); k < end; ++k) {
            const int bound = CubeDistances(used[k], entries, nearest.data(), farthest.data());
            for (std::size_t e = 0; e < entries.size(); ++e)
                if (nearest[e] <= bound)
                    candidates[k].push_back(uchar(e));
        }
    });

    const CandidateGroups groups(candidates, entries);
    constexpr std::size_t kChunk = 4096; // colours per item spread over the cores
    Parallel::ForEachItem((count + kChunk - 1) / kChunk, [&](std::size_t chunk) {
        for (std::size_t i = chunk * kChunk, end = std::min(count, i + kChunk); i < end; ++i)
            indices[i] = groups.Nearest(std::size_t(slotOf[std::size_t(CubeOf(colours[i]))]), qRed(colours[i]),
                                        qGreen(colours[i]), qBlue(colours[i]));
    });
}

} // namespace ColorQuant
