#include "platform/imaging/GifPalette.h"

#include "platform/Parallel.h"
#include "platform/imaging/ColorQuant.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <numeric>

namespace GifPalette {

QVector<QRgb> CommonPalette(const std::vector<QVector<QRgb>> &palettes, const QVector<QRgb> &reserved, int maxColors)
{
    QHash<QRgb, int> pagesUsing;
    for (const QVector<QRgb> &palette : palettes)
        for (QRgb c : palette)
            ++pagesUsing[c | 0xFF000000u];
    QVector<QRgb> out;
    for (QRgb c : reserved)
        if (!out.contains(c | 0xFF000000u))
            out.push_back(c | 0xFF000000u);
    std::vector<std::pair<int, QRgb>> byUse;
    for (auto it = pagesUsing.cbegin(); it != pagesUsing.cend(); ++it)
        if (!out.contains(it.key()))
            byUse.emplace_back(-it.value(), it.key());
    std::sort(byUse.begin(), byUse.end());
    for (std::size_t i = 0; i < byUse.size() && out.size() < maxColors; ++i)
        out.push_back(byUse[i].second);
    return out;
}

void CoverMorePages(QVector<QRgb> *shared, const std::vector<QVector<QRgb>> &palettes, const QVector<QRgb> &reserved,
                    int maxColors)
{
    QHash<QRgb, int> ids;
    auto idOf = [&](QRgb c) {
        c |= 0xFF000000u;
        const auto it = ids.constFind(c);
        if (it != ids.cend())
            return it.value();
        const int id = int(ids.size());
        ids.insert(c, id);
        return id;
    };
    std::vector<std::vector<int>> pageIds(palettes.size());
    for (std::size_t i = 0; i < palettes.size(); ++i)
        for (QRgb c : palettes[i])
            pageIds[i].push_back(idOf(c));
    std::vector<int> slotIds;
    for (QRgb c : *shared)
        slotIds.push_back(idOf(c));
    const int count = int(ids.size());
    std::vector<bool> isReserved(std::size_t(count), false), inShared(std::size_t(count), false);
    for (QRgb c : reserved)
        if (ids.contains(c | 0xFF000000u))
            isReserved[std::size_t(ids.value(c | 0xFF000000u))] = true;
    for (int id : slotIds)
        inShared[std::size_t(id)] = true;
    std::vector<int> useCount(std::size_t(count), 0); // covered pages using the colour
    std::vector<bool> covered(palettes.size(), false);
    auto cover = [&](std::size_t i) {
        covered[i] = true;
        for (int id : pageIds[i])
            ++useCount[std::size_t(id)];
    };
    auto lacking = [&](std::size_t i) {
        int n = 0;
        for (int id : pageIds[i])
            n += !inShared[std::size_t(id)];
        return n;
    };
    for (std::size_t i = 0; i < palettes.size(); ++i)
        if (lacking(i) == 0)
            cover(i);

    std::vector<int> stamp(std::size_t(count), -1);
    for (;;) {
        std::vector<int> freeSlots;
        for (int s = 0; s < int(slotIds.size()); ++s) {
            const int id = slotIds[std::size_t(s)];
            if (!isReserved[std::size_t(id)] && useCount[std::size_t(id)] == 0)
                freeSlots.push_back(s);
        }
        const int empty = maxColors - int(slotIds.size());
        int best = -1, bestLacking = 0;
        for (std::size_t i = 0; i < palettes.size(); ++i) {
            if (covered[i])
                continue;
            const int n = lacking(int(i));
            if (best >= 0 && n >= bestLacking)
                continue;
            for (int id : pageIds[i])
                stamp[std::size_t(id)] = int(i);
            int room = empty;
            for (int slot : freeSlots)
                room += stamp[std::size_t(slotIds[std::size_t(slot)])] != int(i);
            if (n <= room) {
                best = int(i);
                bestLacking = n;
            }
        }
        if (best < 0)
            return;
        for (int id : pageIds[std::size_t(best)])
            stamp[std::size_t(id)] = best;
        std::size_t nextFree = 0;
        const std::vector<int> &wanted = pageIds[std::size_t(best)];
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            const int id = wanted[k];
            if (inShared[std::size_t(id)])
                continue;
            const QRgb colour = palettes[std::size_t(best)][int(k)] | 0xFF000000u;
            if (int(slotIds.size()) < maxColors) {
                slotIds.push_back(id);
                shared->push_back(colour);
            } else {
                while (nextFree < freeSlots.size() && stamp[std::size_t(slotIds[std::size_t(freeSlots[nextFree])])] == best)
                    ++nextFree;
                if (nextFree == freeSlots.size())
                    return; // cannot happen: the room was counted above
                const int slot = freeSlots[nextFree++];
                inShared[std::size_t(slotIds[std::size_t(slot)])] = false;
                slotIds[std::size_t(slot)] = id;
                (*shared)[slot] = colour;
            }
            inShared[std::size_t(id)] = true;
        }
        cover(std::size_t(best));
    }
}

bool Covers(const QVector<QRgb> &whole, const QVector<QRgb> &part)
{
    QSet<QRgb> have;
    for (QRgb c : whole)
        have.insert(c | 0xFF000000u);
    for (QRgb c : part)
        if (!have.contains(c | 0xFF000000u))
            return false;
    return true;
}

bool Remap(QImage *image, const QVector<QRgb> &from, const QVector<QRgb> &to)
{
    int lookup[256];
    QHash<QRgb, int> where;
    for (int i = 0; i < to.size(); ++i)
        where.insert(to[i] | 0xFF000000u, i);
    bool used[256] = {};
    const int w = image->width(), h = image->height();
    for (int y = 0; y < h; ++y) {
        const uchar *line = image->constScanLine(y);
        for (int x = 0; x < w; ++x)
            used[line[x]] = true;
    }
    for (int i = 0; i < 256; ++i) {
        lookup[i] = 0;
        if (!used[i])
            continue;
        if (i >= from.size())
            return false;
        const auto it = where.constFind(from[i] | 0xFF000000u);
        if (it == where.cend())
            return false;
        lookup[i] = it.value();
    }
    for (int y = 0; y < h; ++y) {
        uchar *line = image->scanLine(y);
        for (int x = 0; x < w; ++x)
            line[x] = uchar(lookup[line[x]]);
    }
    image->setColorTable(to);
    return true;
}

IndexMap IdentityMap()
{
    IndexMap map;
    for (int i = 0; i < 256; ++i)
        map[std::size_t(i)] = i;
    return map;
}

IndexMap PlaceEntries(QVector<QRgb> *palette, const QMap<int, QRgb> &wanted, int capacity)
{
    IndexMap map = IdentityMap();
    const int used = palette->size(); // entries pixels may refer to; any beyond are padding
    std::vector<bool> fixed(256, false);
    auto whereOld = [&](int now) {
        for (int o = 0; o < used; ++o)
            if (map[std::size_t(o)] == now)
                return o;
        return -1;
    };
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const int index = it.key();
        const QRgb colour = it.value() | 0xFF000000u;
        if (index < 0 || index > 255 || index >= capacity)
            continue;
        if (index < palette->size() && ((*palette)[index] | 0xFF000000u) == colour) {
            fixed[std::size_t(index)] = true;
            continue;
        }
        int from = -1;
        for (int i = 0; i < palette->size() && from < 0; ++i)
            if (i != index && !fixed[std::size_t(i)] && ((*palette)[i] | 0xFF000000u) == colour)
                from = i;
        if (index >= palette->size())
            palette->resize(index + 1, 0xFF000000u);
        const int oldAtIndex = whereOld(index);
        if (from >= 0) {
            std::swap((*palette)[from], (*palette)[index]);
            const int oldAtFrom = whereOld(from);
            if (oldAtFrom >= 0)
                map[std::size_t(oldAtFrom)] = index;
            if (oldAtIndex >= 0)
                map[std::size_t(oldAtIndex)] = from;
        } else {
            if (oldAtIndex >= 0) {
                if (palette->size() >= 256)
                    continue;
                palette->push_back((*palette)[index]);
                map[std::size_t(oldAtIndex)] = palette->size() - 1;
            }
            (*palette)[index] = colour;
        }
        fixed[std::size_t(index)] = true;
    }
    return map;
}

void ApplyMap(QImage *indexed, const IndexMap &map)
{
    if (map == IdentityMap())
        return;
    uchar lookup[256];
    for (int i = 0; i < 256; ++i)
        lookup[i] = uchar(map[std::size_t(i)]);
    ColorQuant::MapIndices(indexed, lookup);
}

std::vector<EntrySet> EntriesUsed(const std::vector<QImage> &indexed, const std::vector<bool> &local,
                                  const std::vector<std::vector<uchar>> &listed, const IndexMap &map)
{
    std::vector<EntrySet> before(indexed.size(), EntrySet{});
    if (listed.size() == indexed.size()) {
        for (std::size_t i = 0; i < indexed.size(); ++i)
            for (uchar k : listed[i])
                before[i][k] = true;
    } else {
        Parallel::ForEachItem(indexed.size(), [&](std::size_t i) {
            if (local[i])
                return;
            const QImage &image = indexed[i];
            const int width = image.width();
            for (int y = 0; y < image.height(); ++y) {
                const uchar *line = image.constScanLine(y);
                for (int x = 0; x < width; ++x)
                    before[i][line[x]] = true;
            }
        });
    }
    std::vector<EntrySet> used(indexed.size(), EntrySet{});
    for (std::size_t i = 0; i < indexed.size(); ++i)
        if (!local[i])
            for (int k = 0; k < 256; ++k)
                if (before[i][std::size_t(k)])
                    used[i][std::size_t(map[std::size_t(k)])] = true;
    return used;
}

IndexMap OrderByUse(QVector<QRgb> *shared, const std::vector<EntrySet> &used, const std::vector<bool> &local)
{
    const int size = int(shared->size());
    std::vector<int> pagesUsing(256, 0);
    std::vector<std::pair<int, std::size_t>> pages; // entries used, page
    for (std::size_t i = 0; i < used.size(); ++i) {
        if (local[i])
            continue;
        int count = 0;
        for (int k = 0; k < size; ++k)
            if (used[i][std::size_t(k)]) {
                ++pagesUsing[std::size_t(k)];
                ++count;
            }
        pages.emplace_back(count, i);
    }
    // Every page's colours come in one order, so it is sorted once: most used first, else by index.
    std::vector<int> byUse(std::size_t(size), 0);
    std::iota(byUse.begin(), byUse.end(), 0);
    std::stable_sort(byUse.begin(), byUse.end(),
                     [&](int a, int b) { return pagesUsing[std::size_t(a)] > pagesUsing[std::size_t(b)]; });
    std::stable_sort(pages.begin(), pages.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<int> order;
    std::vector<bool> placed(std::size_t(size), false);
    auto place = [&](int k) {
        if (!placed[std::size_t(k)]) {
            placed[std::size_t(k)] = true;
            order.push_back(k);
        }
    };
    for (const auto &page : pages)
        for (int k : byUse)
            if (used[page.second][std::size_t(k)])
                place(k);
    for (int k = 0; k < size; ++k)
        place(k);

    IndexMap map = IdentityMap();
    QVector<QRgb> sorted;
    for (std::size_t k = 0; k < order.size(); ++k) {
        map[std::size_t(order[k])] = int(k);
        sorted.push_back((*shared)[order[k]]);
    }
    *shared = sorted;
    return map;
}

} // namespace GifPalette
