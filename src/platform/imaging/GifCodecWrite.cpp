// Writing animated GIFs: giflib writes the container, our own LZW writer the image data of every
// page, each page coded on one of a few threads (the bytes do not depend on the thread).
#include "platform/imaging/GifCodec.h"

#include "platform/Parallel.h"
#include "platform/imaging/GifLzw.h"
#include "platform/imaging/GifRows.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace GifCodec {
namespace {

int WriteBytes(GifFileType *gif, const GifByteType *buffer, int length)
{
    auto *out = static_cast<QByteArray *>(gif->UserData);
    out->append(reinterpret_cast<const char *>(buffer), length);
    return length;
}

// The indices a colour table of this size gives pages, as giflib's own encoder masks them: at
// least two bits' worth.
std::uint8_t IndexMask(qsizetype tableSize)
{
    return std::uint8_t((1 << std::max(BitsForColors(int(tableSize)), 2)) - 1);
}

// A colour map padded with black to the power of two that holds the palette.
ColorMapObject *MakeColorMap(const QVector<QRgb> &palette)
{
    const int size = 1 << BitsForColors(int(palette.size()));
    GifColorType colors[256] = {};
    for (int i = 0; i < palette.size(); ++i)
        colors[i] = GifColorType{GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])),
                                 GifByteType(qBlue(palette[i]))};
    return GifMakeMapObject(size, colors);
}

struct MapDeleter {
    ColorMapObject *map;
    ~MapDeleter() { GifFreeMapObject(map); }
};

bool SameColors(const QVector<QRgb> &page, const QVector<QRgb> &global)
{
    if (page.size() > global.size())
        return false;
    for (int i = 0; i < page.size(); ++i) {
        if ((page[i] & 0xffffff) != (global[i] & 0xffffff))
            return false;
    }
    return true;
}

bool PageIsWritable(const Page &page, const QVector<QRgb> &global)
{
    const QImage &img = page.image;
    if (img.isNull() || img.format() != QImage::Format_Indexed8)
        return false;
    if (img.width() > 65535 || img.height() > 65535 || page.left < 0 || page.left > 65535 || page.top < 0
        || page.top > 65535)
        return false;
    if (img.colorCount() > 256 || (img.colorCount() == 0 && global.isEmpty()))
        return false;
    return page.disposal >= 0 && page.disposal <= 3 && page.transparentIndex >= -1 && page.transparentIndex <= 255;
}

int PutLoop(GifFileType *gif, int loopCount)
{
    static const GifByteType kNetscape[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const int n = std::min(loopCount, 65535);
    const GifByteType sub[3] = {1, GifByteType(n & 0xff), GifByteType(n >> 8)};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR
        || EGifPutExtensionBlock(gif, sizeof kNetscape, kNetscape) == GIF_ERROR
        || EGifPutExtensionBlock(gif, sizeof sub, sub) == GIF_ERROR || EGifPutExtensionTrailer(gif) == GIF_ERROR)
        return GIF_ERROR;
    return GIF_OK;
}

bool UsesLocalPalette(const Page &page, const QVector<QRgb> &global)
{
    const QVector<QRgb> palette = page.image.colorTable();
    return !palette.isEmpty() && (page.localPalette || !SameColors(palette, global));
}

// A page's image data: the code size its indices need and the LZW sub-blocks.
struct CodedPage {
    int codeSize = 0;
    QByteArray data;
};

// What each page's transparent pixels let through, as indices of the global palette: per pixel
// (row after row) the index a viewer shows there once the page is drawn, which is the page's own
// index where it is opaque. Empty for a page with no transparency. Only for animations whose pages
// all share the global palette and one transparent index, stay in place (disposal 0 or 1) and are
// not interlaced, as the editor's are; otherwise for no page.
std::vector<std::vector<std::uint8_t>> WhatShowsThrough(const Animation &animation)
{
    std::vector<std::vector<std::uint8_t>> out(animation.pages.size());
    const QVector<QRgb> &global = animation.globalPalette;
    int transparent = -1;
    for (const Page &page : animation.pages) {
        if (page.disposal > 1 || page.interlaced || global.isEmpty() || UsesLocalPalette(page, global)
            || (page.transparentIndex >= 0 && transparent >= 0 && page.transparentIndex != transparent))
            return out;
        if (page.transparentIndex >= 0)
            transparent = page.transparentIndex;
    }
    if (transparent < 0)
        return out;
    const int width = animation.width, height = animation.height;
    const std::uint8_t mask = IndexMask(global.size());
    // What a viewer shows, as indices; the transparent index where nothing is shown yet.
    std::vector<std::uint8_t> canvas(std::size_t(width) * std::size_t(height), std::uint8_t(transparent));
    for (std::size_t i = 0; i < animation.pages.size(); ++i) {
        const Page &page = animation.pages[i];
        const QImage &img = page.image;
        const int w = std::min(img.width(), width - page.left), h = std::min(img.height(), height - page.top);
        const bool see = page.transparentIndex >= 0;
        if (see)
            out[i].assign(std::size_t(img.width()) * std::size_t(img.height()), std::uint8_t(transparent));
        // A page wholly off the screen (a screen of width 0, say) shows nothing.
        if (w <= 0 || h <= 0)
            continue;
        for (int y = 0; y < h; ++y) {
            const uchar *line = img.constScanLine(y);
            std::uint8_t *shown = canvas.data() + std::size_t(page.top + y) * std::size_t(width) + std::size_t(page.left);
            std::uint8_t *under = see ? out[i].data() + std::size_t(y) * std::size_t(img.width()) : nullptr;
            int x = 0;
#if defined(__SSE2__)
            const __m128i clear = _mm_set1_epi8(char(see ? transparent : -1)), masks = _mm_set1_epi8(char(mask));
            for (; x + 16 <= w; x += 16) {
                const __m128i k = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(line + x)), masks);
                const __m128i through = see ? _mm_cmpeq_epi8(k, clear) : _mm_setzero_si128();
                const __m128i was = _mm_loadu_si128(reinterpret_cast<const __m128i *>(shown + x));
                const __m128i now = _mm_or_si128(_mm_and_si128(through, was), _mm_andnot_si128(through, k));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(shown + x), now);
                if (under)
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(under + x), now);
            }
#endif
            for (; x < w; ++x) {
                const std::uint8_t k = line[x] & mask;
                if (!see || k != transparent)
                    shown[x] = k;
                if (under)
                    under[x] = shown[x];
            }
        }
    }
    return out;
}

// How many runs of equal indices there are, counted over rows laid end to end.
std::size_t Runs(const std::uint8_t *indices, std::size_t count)
{
    std::size_t runs = count ? 1 : 0, k = 1;
#if defined(__SSE2__)
    // A one per index unlike the one before, summed eight bytes at a time (no bit count, which
    // is a library call on processors the build does not assume).
    const __m128i ones = _mm_set1_epi8(1);
    __m128i sums = _mm_setzero_si128();
    for (; k + 16 <= count; k += 16) {
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + k));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + k - 1));
        const __m128i differ = _mm_andnot_si128(_mm_cmpeq_epi8(now, before), ones);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(differ, _mm_setzero_si128()));
    }
    std::uint64_t halves[2];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(halves), sums);
    runs += std::size_t(halves[0] + halves[1]);
#endif
    for (; k < count; ++k)
        runs += indices[k] != indices[k - 1];
    return runs;
}

// Another way to write a page whose transparent pixels let colours through, besides filling
// every such pixel with the colour beneath it or leaving them all transparent. In the stretches,
// a stretch of transparent pixels (rows laid end to end) over one colour is that colour, and one
// over several stays transparent, so that an unchanged busy background gives long runs of the
// transparent index while an unchanged flat one joins the runs around it. `either` gives each
// pixel the other index that shows the same there, for strings that may run on over either (its
// own where there is none).
struct Stretches {
    bool filled = true; // every stretch is over one colour: the stretches are the filled page
    std::vector<std::uint8_t> pixels, either; // only when not filled
};

// `beneath` is `indices` where the page is opaque.
Stretches MakeStretches(const std::vector<std::uint8_t> &indices, const std::vector<std::uint8_t> &beneath,
                        std::uint8_t transparent)
{
    Stretches out;
    const std::size_t n = indices.size();
    for (std::size_t k = 0; k < n;) {
        if (indices[k] != transparent) {
            ++k;
            continue;
        }
        std::size_t end = k + 1;
        bool oneColour = true;
        for (; end < n && indices[end] == transparent; ++end)
            oneColour = oneColour && beneath[end] == beneath[k];
        if (!oneColour) {
            if (out.filled) {
                out.filled = false;
                out.pixels = beneath;
                out.either = indices;
            }
            const auto from = std::ptrdiff_t(k), to = std::ptrdiff_t(end);
            std::fill(out.pixels.begin() + from, out.pixels.begin() + to, transparent);
            std::copy(beneath.begin() + from, beneath.begin() + to, out.either.begin() + from);
        }
        k = end;
    }
    return out;
}

CodedPage CodePage(const Page &page, const QVector<QRgb> &global, int lossyError, std::vector<std::uint8_t> beneath)
{
    const QImage &img = page.image;
    const int w = img.width();
    const int h = img.height();
    // The indices in stored order, masked to the colour table as giflib's own encoder does.
    const QVector<QRgb> palette = img.colorTable();
    const QVector<QRgb> &table = UsesLocalPalette(page, global) ? palette : global;
    const std::uint8_t mask = IndexMask(table.size());
    std::vector<std::uint8_t> indices(std::size_t(w) * std::size_t(h));
    std::uint8_t *at = indices.data();
    std::uint8_t used = 0; // every index or'ed together: its highest bit is the highest index's
    // Eight indices at a time (masking and or'ing bytes is the same in any byte order).
    const std::uint64_t masks = 0x0101010101010101ull * mask;
    std::uint64_t usedEight = 0;
    ForEachStoredRow(h, page.interlaced, [&](int y) {
        const uchar *line = img.constScanLine(y);
        int x = 0;
        for (; x + 8 <= w; x += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, line + x, 8);
            eight &= masks;
            std::memcpy(at + x, &eight, 8);
            usedEight |= eight;
        }
        for (; x < w; ++x) {
            at[x] = line[x] & mask;
            used |= at[x];
        }
        at += w;
        return GIF_OK;
    });
    for (int k = 0; k < 8; ++k)
        used |= std::uint8_t(usedEight >> (8 * k));
    CodedPage out;
    out.codeSize = GifLzw::MinCodeSize(&used, 1);
    GifLzw::Lossy lossy;
    lossy.maxError = lossyError;
    lossy.palette = &table;
    lossy.transparentIndex = page.transparentIndex;
    if (beneath.empty()) {
        out.data = GifLzw::Encode(indices.data(), indices.size(), out.codeSize, lossy);
        return out;
    }
    // A transparent pixel over a colour may as well be that colour; only indices the code size
    // holds may stand in. Which way of writing such pixels is shortest depends on the picture in
    // ways the runs of equal indices do not tell, so the two likeliest are coded and the shorter
    // kept. When every unchanged stretch is of one colour, the stretches are the filled page,
    // which is written when it has fewer runs than the page as it is (transparent, with strings
    // running on over either index), else the page as it is. Otherwise, when the filled page has
    // not many more runs than the stretches (the background is mostly flat), the filled page and
    // the stretches; else (it is busy) the page as it is and the stretches, both with strings
    // running on over either index.
    const int codes = 1 << out.codeSize;
    for (std::size_t k = 0; codes < 256 && k < beneath.size(); ++k)
        if (beneath[k] >= codes)
            beneath[k] = indices[k];
    Stretches ways = MakeStretches(indices, beneath, std::uint8_t(page.transparentIndex));
    const auto keepShorter = [&](std::vector<std::uint8_t> pixels, const std::uint8_t *either) {
        GifLzw::Lossy way = lossy;
        way.alternatives = either;
        QByteArray data = GifLzw::Encode(pixels.data(), pixels.size(), out.codeSize, way);
        if (out.data.isEmpty() || data.size() < out.data.size())
            out.data = std::move(data);
    };
    if (ways.filled) {
        if (Runs(beneath.data(), beneath.size()) < Runs(indices.data(), indices.size()))
            keepShorter(std::move(beneath), nullptr);
        else
            keepShorter(std::move(indices), beneath.data());
        return out;
    }
    const std::size_t stretchRuns = Runs(ways.pixels.data(), ways.pixels.size());
    if (Runs(beneath.data(), beneath.size()) <= stretchRuns + stretchRuns / 4) {
        keepShorter(std::move(beneath), nullptr);
        keepShorter(std::move(ways.pixels), nullptr);
    } else {
        keepShorter(std::move(indices), beneath.data());
        keepShorter(std::move(ways.pixels), ways.either.data());
    }
    return out;
}

// Every page coded, on a thread per core: pages are coded independently, so the bytes are the
// same whichever thread codes which page.
std::vector<CodedPage> CodePages(const Animation &animation)
{
    std::vector<CodedPage> coded(animation.pages.size());
    std::vector<std::vector<std::uint8_t>> beneath = WhatShowsThrough(animation);
    Parallel::ForEachItem(coded.size(), [&](std::size_t i) {
        coded[i] = CodePage(animation.pages[i], animation.globalPalette, animation.lossyError, std::move(beneath[i]));
    });
    return coded;
}

int PutPage(GifFileType *gif, const Page &page, int centiseconds, const QVector<QRgb> &global, const CodedPage &coded)
{
    GraphicsControlBlock gcb;
    gcb.DisposalMode = page.disposal;
    gcb.UserInputFlag = false;
    gcb.DelayTime = centiseconds;
    gcb.TransparentColor = page.transparentIndex >= 0 ? page.transparentIndex : NO_TRANSPARENT_COLOR;
    GifByteType control[4];
    const size_t length = EGifGCBToExtension(&gcb, control);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), control) == GIF_ERROR)
        return GIF_ERROR;

    const QImage &img = page.image;
    const bool local = UsesLocalPalette(page, global);
    MapDeleter map{local ? MakeColorMap(img.colorTable()) : nullptr};
    if (local && !map.map)
        return GIF_ERROR;
    if (!local && gif->Image.ColorMap) {
        // giflib 5.2.1 drops the previous page's local map without freeing it when this page has none.
        GifFreeMapObject(gif->Image.ColorMap);
        gif->Image.ColorMap = nullptr;
    }
    if (EGifPutImageDesc(gif, page.left, page.top, img.width(), img.height(), page.interlaced, map.map) == GIF_ERROR)
        return GIF_ERROR;
    // giflib has just written the code size of the colour table as the last byte; the page is
    // coded at the size its indices need instead, and the data goes out as raw sub-blocks.
    // Patched in place: giflib 5.2's EGifPutImageDesc always writes that byte (EGifPutCode does not).
    auto *bytes = static_cast<QByteArray *>(gif->UserData);
    if (bytes->isEmpty())
        return GIF_ERROR;
    bytes->back() = char(coded.codeSize);
    bytes->append(coded.data);
    return EGifPutCodeNext(gif, nullptr); // the empty block that ends the data
}
} // namespace

int BitsForColors(int colors)
{
    int bits = 1;
    while (bits < 8 && (1 << bits) < colors)
        ++bits;
    return bits;
}
std::vector<int> Centiseconds(const std::vector<Page> &pages)
{
    // Each page's delay is the rounded running time so far minus what the pages before it were
    // given, so rounding never adds up over many short frames.
    std::vector<int> out;
    qint64 totalMs = 0, written = 0;
    for (const Page &page : pages) {
        totalMs += std::clamp(page.delayMs, 0, kMaxDelayMs);
        const int cs = int(std::clamp<qint64>((totalMs + 5) / 10 - written, 0, 65535));
        written += cs;
        out.push_back(cs);
    }
    return out;
}

int Write(const Animation &animation, QByteArray *out, std::vector<int> *pageBytes)
{
    out->clear();
    if (animation.pages.empty())
        return ErrNoPages;
    const QVector<QRgb> &global = animation.globalPalette;
    if (animation.width < 0 || animation.width > 65535 || animation.height < 0 || animation.height > 65535
        || global.size() > 256)
        return ErrWrite;
    for (const Page &page : animation.pages) {
        if (!PageIsWritable(page, global))
            return ErrWrite;
    }

    const std::vector<CodedPage> coded = CodePages(animation);
    // Room for the whole file at once, so that it is not copied as it grows: the coded pages, and
    // per page at most a control block, a descriptor, a full local palette and a few more bytes.
    qsizetype size = 13 + 3 * 256 + 19 + 1;
    for (const CodedPage &page : coded)
        size += page.data.size() + 8 + 10 + 3 * 256 + 2;
    QByteArray bytes;
    bytes.reserve(size);
    int error = 0;
    GifFileType *gif = EGifOpen(&bytes, WriteBytes, &error);
    if (!gif)
        return error == E_GIF_ERR_NOT_ENOUGH_MEM ? ErrNoMemory : ErrWrite;
    EGifSetGifVersion(gif, true);

    bool ok = true;
    {
        MapDeleter globalMap{global.isEmpty() ? nullptr : MakeColorMap(global)};
        const int background = std::clamp(animation.backgroundIndex, 0, 255);
        ok = (global.isEmpty() || globalMap.map)
            && EGifPutScreenDesc(gif, animation.width, animation.height, 8, background, globalMap.map) != GIF_ERROR;
    }
    if (ok && animation.loopCount >= 0)
        ok = PutLoop(gif, animation.loopCount) != GIF_ERROR;
    const std::vector<int> delays = Centiseconds(animation.pages);
    if (pageBytes)
        pageBytes->clear();
    for (size_t i = 0; ok && i < animation.pages.size(); ++i) {
        const qsizetype before = bytes.size();
        ok = PutPage(gif, animation.pages[i], delays[i], global, coded[i]) != GIF_ERROR;
        if (pageBytes)
            pageBytes->push_back(int(bytes.size() - before));
    }
    // Closing writes the trailer and frees the encoder whatever happened before.
    if (EGifCloseFile(gif, &error) == GIF_ERROR)
        ok = false;
    if (!ok)
        return ErrWrite;
    *out = std::move(bytes);
    return Ok;
}

} // namespace GifCodec
