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

    constexpr std::size_t kChunk = 4096; // colours per item spread over the cores
    Parallel::ForEachItem((count + kChunk - 1) / kChunk, [&](std::size_t chunk) {
        for (std::size_t i = chunk * kChunk, end = std::min(count, i + kChunk); i < end; ++i) {
            const int r = qRed(colours[i]), g = qGreen(colours[i]), b = qBlue(colours[i]);
            int best = INT_MAX, bestIndex = 0;
            for (const uchar e : candidates[std::size_t(slotOf[std::size_t(CubeOf(colours[i]))])]) {
                const int dr = entries.c[0][e] - r, dg = entries.c[1][e] - g, db = entries.c[2][e] - b;
                const int d = dr * dr + dg * dg + db * db;
                if (d < best) {
                    best = d;
                    bestIndex = e;
                }
            }
            indices[i] = uchar(bestIndex);
        }
    });
}

} // namespace ColorQuant
