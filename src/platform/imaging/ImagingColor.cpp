// ImagingControl: colour counting and reduction, and writing GIF files.
#include "platform/imaging/ImagingControl.h"

#include "platform/AtomicFile.h"
#include "platform/Parallel.h"
#include "platform/imaging/ColorQuant.h"
#include "platform/imaging/GifCodec.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <atomic>

namespace {

QVector<QRgb> Opaque(QVector<QRgb> palette)
{
    for (QRgb &c : palette)
        c |= 0xFF000000u;
    return palette;
}

// Colours every reduction must keep as palette entries: the user palette entries of all pages,
// then the transparent colours of transparent pages, each once.
QVector<QRgb> ReservedColors(const std::vector<const ImagingBitmap *> &pages, bool withTransparent)
{
    QVector<QRgb> out;
    auto add = [&](COLORREF c) {
        const QRgb rgb = ColorrefToQRgb(c);
        if (!out.contains(rgb))
            out.push_back(rgb);
    };
    for (const ImagingBitmap *p : pages)
        for (auto it = p->userPalette.cbegin(); it != p->userPalette.cend(); ++it)
            add(it.value());
    if (withTransparent)
        for (const ImagingBitmap *p : pages)
            if (p->transparent)
                add(p->transparentColor);
    return out;
}

int IndexOf(const QVector<QRgb> &palette, COLORREF color)
{
    const QRgb wanted = ColorrefToQRgb(color) & 0xFFFFFFu;
    for (int i = 0; i < palette.size(); ++i)
        if ((palette[i] & 0xFFFFFFu) == wanted)
            return i;
    return -1;
}

int NearestIndex(const QVector<QRgb> &palette, COLORREF color)
{
    return ColorQuant::NearestEntry(palette, ColorrefToQRgb(color));
}

QVector<QRgb> Padded(QVector<QRgb> palette, int size)
{
    while (palette.size() < size)
        palette.push_back(0xFF000000u);
    return palette;
}

int PaletteSizeFor(int colors)
{
    int size = 2;
    while (size < colors)
        size *= 2;
    return size;
}

// The reserved colours, then the colours used by the most pages, at most maxColors in all.
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

// Lets more pages use the global palette: a colour of it that no page fully covered by it uses
// is worth nothing there, so it gives way to the colours a page lacks; the pages that lack the
// fewest go first. A page once covered stays covered, and reserved colours stay.
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

// True when every colour of `part` is in `whole`.
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

// Rewrites an indexed picture from its palette `from` to the palette `to`; false (picture left
// as it was) when a colour it uses is not in `to`.
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

// Old palette index -> new palette index.
using IndexMap = std::array<int, 256>;

IndexMap IdentityMap()
{
    IndexMap map;
    for (int i = 0; i < 256; ++i)
        map[std::size_t(i)] = i;
    return map;
}

// Moves each wanted colour to its wanted palette index (index -> colour), swapping it with the
// entry there, or growing the palette when the index lies past its end but below `capacity`
// (an index at or past it is not honoured: the colour keeps its place). A colour already fixed
// at another index is written a second time. Returns where each old entry went; the pictures
// using the palette must be remapped with it. An index that cannot be honoured (the palette is
// full and the entry there is in use) is left as it is.
IndexMap PlaceEntries(QVector<QRgb> *palette, const QMap<int, QRgb> &wanted, int capacity = 256)
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
    const int w = indexed->width(), h = indexed->height();
    for (int y = 0; y < h; ++y) {
        uchar *line = indexed->scanLine(y);
        for (int x = 0; x < w; ++x)
            line[x] = lookup[line[x]];
    }
}

QMap<int, QRgb> WantedEntries(const ImagingBitmap &page)
{
    QMap<int, QRgb> out;
    for (auto it = page.userPalette.cbegin(); it != page.userPalette.cend(); ++it)
        out.insert(it.key(), ColorrefToQRgb(it.value()));
    return out;
}

// The entries of a palette a page uses.
using EntrySet = std::array<bool, 256>;

// The entries each page sharing the global palette uses once `map` is applied to it, from the
// exact listing's entries when there are any (listed), else read from the pixels; none for the
// pages with their own palette.
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

// Orders the global palette so that each page's highest index, and with it the width of its LZW
// codes, stays small: the pages with the fewest colours place theirs first, each page's colours
// in the order of how many pages use them (the transparent colour, which nearly every page uses,
// comes early), then the colours no page placed. Returns where each entry went; `used` holds the
// entries of the pages using the global palette, the others are skipped.
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

} // namespace

int ImagingControl::CountColors() const
{
    const QImage &image = Cur().image;
    return image.isNull() ? 0 : ColorQuant::CountColors(image);
}

int ImagingControl::ReduceColors(int bits, int dither, int paletteOption, int order)
{
    Q_UNUSED(dither);
    Q_UNUSED(paletteOption);
    Q_UNUSED(order);
    if (bits < 1 || bits > 8)
        return ImagingErrArgument;
    std::vector<ImagingBitmap *> pages;
    if (!m_pages.empty()) {
        for (ImagingBitmap &p : m_pages)
            pages.push_back(&p);
    } else if (!m_bitmap.image.isNull()) {
        pages.push_back(&m_bitmap);
    }
    if (pages.empty())
        return ImagingErrNoBitmap;
    std::vector<QImage> images;
    std::vector<const ImagingBitmap *> constPages;
    for (ImagingBitmap *p : pages) {
        if (p->image.isNull())
            return ImagingErrNoBitmap;
        images.push_back(p->image);
        constPages.push_back(p);
    }
    QVector<QRgb> palette;
    const std::vector<QImage> reduced =
        ColorQuant::ReduceShared(images, 1 << bits, &palette, ReservedColors(constPages, false), m_colorDithering);
    if (reduced.size() != pages.size())
        return ImagingErrArgument;
    palette = Opaque(palette);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        QImage indexed = reduced[i];
        indexed.setColorTable(Opaque(indexed.colorTable()));
        pages[i]->image = indexed.convertToFormat(QImage::Format_RGB32);
        pages[i]->palette = palette;
        pages[i]->region = {};
    }
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::SaveGif(const QString &path, int bits)
{
    QByteArray bytes;
    const int r = EncodeGif(bits, &bytes);
    if (r != ImagingOk)
        return r;
    return AtomicFile::Write(path, bytes, &m_fileError) ? ImagingOk : ImagingErrWrite;
}

int ImagingControl::EncodeGif(int bits, QByteArray *out, std::vector<int> *pageBytes)
{
    bits = std::clamp(bits, 1, 8);
    const int maxColors = 1 << bits;
    std::vector<const ImagingBitmap *> pages;
    if (!m_pages.empty()) {
        for (const ImagingBitmap &p : m_pages)
            pages.push_back(&p);
    } else if (!m_bitmap.image.isNull()) {
        pages.push_back(&m_bitmap);
    }
    if (pages.empty())
        return ImagingErrNoBitmap;
    for (const ImagingBitmap *p : pages)
        if (p->image.isNull() || p->left < 0 || p->top < 0 || p->left + p->image.width() > 65535
            || p->top + p->image.height() > 65535)
            return ImagingErrArgument;

    // One palette for the whole file when every colour fits (then nothing changes and the
    // pages share the global colour table); else a palette per page when each page fits on its
    // own; else one shared reduced palette, which keeps unchanged areas of consecutive pages
    // identical.
    std::vector<QImage> images;
    for (const ImagingBitmap *p : pages)
        images.push_back(p->image);
    const QVector<QRgb> reserved = ReservedColors(pages, true);
    std::vector<QImage> indexed(pages.size());
    std::vector<QVector<QRgb>> palettes(pages.size());
    std::vector<bool> local(pages.size(), false);
    // Listing every page's colours exactly shows at once whether all colours fit together. Such
    // pages hold places in their own lists of colours until they are mapped to their final
    // indices below (exact.entries says which palette entry each place has).
    ColorQuant::ExactPictures exact;
    const bool fitTogether = ColorQuant::ListExact(images, maxColors, reserved, &exact);
    QVector<QRgb> shared = exact.palette;
    bool perPage = !fitTogether && exact.colours.size() == pages.size();
    for (std::size_t i = 0; i < pages.size() && perPage; ++i)
        perPage = exact.colours[i].size() + reserved.size() <= std::size_t(maxColors);
    if (perPage) {
        // Each page on the reserved colours and its own, in the order they appear in it.
        std::atomic<bool> merged{true};
        Parallel::ForEachItem(pages.size(), [&](std::size_t i) {
            QVector<QRgb> palette;
            std::vector<std::vector<uchar>> entries;
            if (!ColorQuant::MergeColours(reserved, {&exact.colours[i], 1}, maxColors, &palette, &entries)) {
                merged = false;
                return;
            }
            indexed[i] = std::move(exact.places[i]);
            ColorQuant::PlacesToEntries(&indexed[i], entries.front(), palette);
            palettes[i] = Opaque(palette);
        });
        if (!merged)
            return ImagingErrNoMemory; // cannot happen: each page was counted to fit above
        // The colours most pages use form the global palette; a page whose colours all lie in
        // it is written with it, the others keep a palette of their own, only as large as they need.
        // The global palette is written only when it saves more palette bytes than it costs.
        shared = CommonPalette(palettes, reserved, maxColors);
        CoverMorePages(&shared, palettes, reserved, maxColors);
        std::vector<bool> fits(pages.size(), false);
        int saved = 0;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            fits[i] = Covers(shared, palettes[i]);
            if (fits[i])
                saved += PaletteSizeFor(palettes[i].size());
        }
        if (saved <= maxColors)
            shared.clear();
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (!shared.isEmpty() && fits[i] && Remap(&indexed[i], palettes[i], shared))
                palettes[i] = shared;
            else
                local[i] = true;
        }
    } else {
        const std::vector<QImage> all =
            fitTogether ? std::move(exact.places) : ColorQuant::ReduceQuantised(images, maxColors, &shared, reserved);
        if (all.size() != pages.size())
            return ImagingErrArgument;
        shared = Opaque(shared);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            indexed[i] = all[i];
            palettes[i] = shared;
        }
    }

    // Each page's user palette entries land at their indices: in the global palette for the
    // pages sharing it (the first page asking for an index has it), in a page's own palette
    // otherwise. The transparent index follows its colour's pixels.
    std::vector<int> transparentIndex(pages.size(), -1);
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (pages[i]->transparent)
            transparentIndex[i] = IndexOf(palettes[i], pages[i]->transparentColor);
    IndexMap sharedMap = IdentityMap();
    if (!shared.isEmpty()) {
        QMap<int, QRgb> wanted;
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (local[i])
                continue;
            const QMap<int, QRgb> entries = WantedEntries(*pages[i]);
            for (auto it = entries.cbegin(); it != entries.cend(); ++it)
                if (!wanted.contains(it.key()))
                    wanted.insert(it.key(), it.value());
        }
        sharedMap = PlaceEntries(&shared, wanted);
    }
    // The background colour travels in the global palette, so that the file reads back with it:
    // in an entry of its own when there is room, in a palette of just that colour when every
    // page has its own.
    const bool onlyBackground = shared.isEmpty();
    if (IndexOf(shared, m_backColor) < 0 && shared.size() < std::max(maxColors, PaletteSizeFor(shared.size())))
        shared.push_back(ColorrefToQRgb(m_backColor) | 0xFF000000u);
    std::vector<IndexMap> maps(pages.size(), sharedMap);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        // An own palette is written at the next power of two of its size; growing it further
        // only to hold an index would cost every such page up to 768 bytes and its compression.
        if (local[i])
            maps[i] = PlaceEntries(&palettes[i], WantedEntries(*pages[i]), 1 << GifCodec::BitsForColors(int(palettes[i].size())));
    }
    if (m_gifCompactPalette && !shared.isEmpty()) {
        const IndexMap order = OrderByUse(&shared, EntriesUsed(indexed, local, exact.entries, sharedMap), local);
        IndexMap both;
        for (std::size_t k = 0; k < both.size(); ++k)
            both[k] = order[std::size_t(sharedMap[k])];
        for (std::size_t i = 0; i < pages.size(); ++i)
            if (!local[i])
                maps[i] = both;
    }
    // The pages are independent from here on: each is mapped once, whatever the maps before.
    Parallel::ForEachItem(pages.size(), [&](std::size_t i) {
        IndexMap map = maps[i];
        if (fitTogether) { // from the places in the page's own list of colours
            map = IdentityMap();
            for (std::size_t k = 0; k < exact.entries[i].size(); ++k)
                map[k] = maps[i][exact.entries[i][k]];
        }
        ApplyMap(&indexed[i], map);
    });
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (!local[i])
            palettes[i] = shared;
        if (transparentIndex[i] >= 0)
            transparentIndex[i] = maps[i][std::size_t(transparentIndex[i])];
    }

    GifCodec::Animation anim;
    int width = 0, height = 0;
    for (const ImagingBitmap *p : pages) {
        width = std::max(width, p->left + p->image.width());
        height = std::max(height, p->top + p->image.height());
    }
    anim.width = width;
    anim.height = height;
    anim.loopCount = m_animationLoop ? m_animationLoopCount : -1;
    anim.lossyError = m_gifLossy;
    anim.globalPalette = Padded(shared, onlyBackground ? 2 : std::max(maxColors, PaletteSizeFor(shared.size())));
    // A global palette full of the pages' colours has no room: its nearest colour stands in.
    anim.backgroundIndex = IndexOf(shared, m_backColor) >= 0 ? IndexOf(shared, m_backColor) : NearestIndex(shared, m_backColor);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const ImagingBitmap &p = *pages[i];
        GifCodec::Page page;
        page.image = std::move(indexed[i]); // alone with its pixels: the colour table below copies none
        // Padding to 2^bits entries writes colour tables of exactly the requested depth; a page's
        // own palette only to the power of two its colours need.
        page.image.setColorTable(Padded(palettes[i], local[i] ? PaletteSizeFor(palettes[i].size())
                                                              : anim.globalPalette.size()));
        page.localPalette = local[i];
        page.left = p.left;
        page.top = p.top;
        page.delayMs = std::clamp(p.delayMs, 0, GifCodec::kMaxDelayMs);
        page.disposal = p.disposal;
        page.transparentIndex = transparentIndex[i];
        anim.pages.push_back(std::move(page));
    }
    return GifCodec::Write(anim, out, pageBytes);
}
