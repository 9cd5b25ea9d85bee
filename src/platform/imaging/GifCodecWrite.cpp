// Writing animated GIFs: giflib writes the container, our own LZW writer the image data of every
// page, each page coded on one of a few threads (the bytes do not depend on the thread).
#include "platform/imaging/GifCodec.h"

#include "platform/Parallel.h"
#include "platform/imaging/GifLzw.h"
#include "platform/imaging/GifRows.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace GifCodec {
namespace {

int WriteBytes(GifFileType *gif, const GifByteType *buffer, int length)
{
    auto *out = static_cast<QByteArray *>(gif->UserData);
    out->append(reinterpret_cast<const char *>(buffer), length);
    return length;
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

CodedPage CodePage(const Page &page, const QVector<QRgb> &global, int lossyError)
{
    const QImage &img = page.image;
    const int w = img.width();
    const int h = img.height();
    // The indices in stored order, masked to the colour table as giflib's own encoder does.
    const QVector<QRgb> palette = img.colorTable();
    const QVector<QRgb> &table = UsesLocalPalette(page, global) ? palette : global;
    const std::uint8_t mask = std::uint8_t((1 << std::max(BitsForColors(int(table.size())), 2)) - 1);
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
    out.data = GifLzw::Encode(indices.data(), indices.size(), out.codeSize, lossy);
    return out;
}

// Every page coded, on a thread per core: pages are coded independently, so the bytes are the
// same whichever thread codes which page.
std::vector<CodedPage> CodePages(const Animation &animation)
{
    std::vector<CodedPage> coded(animation.pages.size());
    Parallel::ForEachItem(coded.size(), [&](std::size_t i) {
        coded[i] = CodePage(animation.pages[i], animation.globalPalette, animation.lossyError);
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
