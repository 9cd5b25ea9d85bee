// ImagingControl: colour counting and reduction, and writing GIF files.
#include "platform/imaging/ImagingControl.h"

#include "platform/AtomicFile.h"
#include "platform/Parallel.h"
#include "platform/imaging/ColorQuant.h"
#include "platform/imaging/GifCodec.h"
#include "platform/imaging/GifPalette.h"

#include <algorithm>
#include <atomic>

using namespace GifPalette;

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

QMap<int, QRgb> WantedEntries(const ImagingBitmap &page)
{
    QMap<int, QRgb> out;
    for (auto it = page.userPalette.cbegin(); it != page.userPalette.cend(); ++it)
        out.insert(it.key(), ColorrefToQRgb(it.value()));
    return out;
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
        std::vector<char> onShared(pages.size(), false); // not vector<bool>: written from several threads
        Parallel::ForEachItem(pages.size(), [&](std::size_t i) {
            onShared[i] = !shared.isEmpty() && fits[i] && Remap(&indexed[i], palettes[i], shared);
            if (onShared[i])
                palettes[i] = shared;
        });
        for (std::size_t i = 0; i < pages.size(); ++i)
            local[i] = !onShared[i];
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
