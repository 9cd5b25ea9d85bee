// The nearest palette entry of many colours at once: an exact search over the entries sorted by
// green, which stops in each direction once green alone is farther than the best so far.
#include "platform/imaging/ColorQuant.h"

#include "platform/Parallel.h"

#include <algorithm>
#include <vector>

namespace ColorQuant {

void MapToNearest(const QVector<QRgb> &palette, const QRgb *colours, std::size_t count, uchar *indices)
{
    if (palette.isEmpty()) {
        std::fill(indices, indices + count, uchar(0));
        return;
    }
    struct Entry {
        int g, r, b, index;
    };
    std::vector<Entry> byGreen;
    for (int i = 0; i < palette.size() && i < 256; ++i)
        byGreen.push_back({qGreen(palette[i]), qRed(palette[i]), qBlue(palette[i]), i});
    std::sort(byGreen.begin(), byGreen.end(), [](const Entry &a, const Entry &b) { return a.g < b.g || (a.g == b.g && a.index < b.index); });
    const int n = int(byGreen.size());
    constexpr std::size_t kChunk = 4096; // colours per item spread over the cores
    Parallel::ForEachItem((count + kChunk - 1) / kChunk, [&](std::size_t chunk) {
        int at = 0; // where the last colour's entry lies: neighbouring colours are often alike
        for (std::size_t i = chunk * kChunk, end = std::min(count, i + kChunk); i < end; ++i) {
            const int r = qRed(colours[i]), g = qGreen(colours[i]), b = qBlue(colours[i]);
            const auto distance = [&](const Entry &e) {
                return (e.r - r) * (e.r - r) + (e.g - g) * (e.g - g) + (e.b - b) * (e.b - b);
            };
            int best = distance(byGreen[std::size_t(at)]), bestIndex = byGreen[std::size_t(at)].index, bestAt = at;
            const auto consider = [&](int k) {
                const int d = distance(byGreen[std::size_t(k)]);
                if (d < best || (d == best && byGreen[std::size_t(k)].index < bestIndex)) {
                    best = d;
                    bestIndex = byGreen[std::size_t(k)].index;
                    bestAt = k;
                }
            };
            const int start = int(std::lower_bound(byGreen.begin(), byGreen.end(), g,
                                                   [](const Entry &e, int green) { return e.g < green; })
                                  - byGreen.begin());
            // Every entry whose green alone is no farther than the best distance is looked at, so
            // the nearest, and the lowest index among equally near ones, is never passed over.
            for (int k = start; k < n && (byGreen[std::size_t(k)].g - g) * (byGreen[std::size_t(k)].g - g) <= best; ++k)
                consider(k);
            for (int k = start - 1; k >= 0 && (g - byGreen[std::size_t(k)].g) * (g - byGreen[std::size_t(k)].g) <= best; --k)
                consider(k);
            indices[i] = uchar(bestIndex);
            at = bestAt;
        }
    });
}

} // namespace ColorQuant
