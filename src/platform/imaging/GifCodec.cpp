#include "platform/imaging/GifCodec.h"

#include "platform/imaging/GifLzw.h"
#include "platform/imaging/GifLzwDecode.h"
#include "platform/imaging/GifRows.h"

#include <gif_lib.h>

#include <QRect>

#include <algorithm>
#include <cstring>
#include <memory>

namespace GifCodec {
namespace {

// ---- reading -------------------------------------------------------------------------------

struct MemoryInput {
    const GifByteType *data = nullptr;
    qint64 size = 0;
    qint64 pos = 0;
    bool hitEnd = false; // a read asked for more bytes than were left: the file is truncated
};

int ReadBytes(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *in = static_cast<MemoryInput *>(gif->UserData);
    if (length <= 0)
        return 0;
    const qint64 n = std::min<qint64>(length, in->size - in->pos);
    if (n < length)
        in->hitEnd = true;
    if (n > 0) {
        std::memcpy(buffer, in->data + in->pos, size_t(n));
        in->pos += n;
    }
    return int(n);
}

struct DecoderCloser {
    GifFileType *gif;
    ~DecoderCloser()
    {
        if (gif)
            DGifCloseFile(gif, nullptr);
    }
};

int MapDecodeError(int gifError, const MemoryInput &in)
{
    if (in.hitEnd)
        return ErrTruncated;
    switch (gifError) {
    case D_GIF_ERR_NOT_ENOUGH_MEM:
        return ErrNoMemory;
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_EOF_TOO_SOON:
    case D_GIF_ERR_NO_SCRN_DSCR:
    case D_GIF_ERR_NO_IMAG_DSCR:
        return ErrTruncated;
    default:
        return ErrNotGif;
    }
}

// Checks the six signature bytes ourselves: giflib only looks at "GIF" and its version query
// is unreliable. Returns Ok, ErrNotGif or ErrTruncated.
int CheckSignature(const QByteArray &bytes)
{
    static const char k87[] = "GIF87a";
    static const char k89[] = "GIF89a";
    const qsizetype n = std::min<qsizetype>(bytes.size(), 6);
    if (std::memcmp(bytes.constData(), k87, size_t(n)) != 0 && std::memcmp(bytes.constData(), k89, size_t(n)) != 0)
        return ErrNotGif;
    return bytes.size() < 13 ? ErrTruncated : Ok; // signature + logical screen descriptor
}

QVector<QRgb> ToPalette(const ColorMapObject *map)
{
    QVector<QRgb> palette;
    if (!map || !map->Colors || map->ColorCount <= 0)
        return palette;
    palette.reserve(map->ColorCount);
    for (int i = 0; i < map->ColorCount; ++i)
        palette.append(qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
    return palette;
}

// Graphic control values waiting for the next image descriptor.
struct Control {
    int delayMs = 0;
    int disposal = 0;
    int transparentIndex = -1;
};

Control ParseControl(const GifByteType *block)
{
    Control c;
    if (!block || block[0] < 4)
        return c;
    const int flags = block[1];
    c.disposal = (flags >> 2) & 7;
    if (c.disposal > 3) // reserved values: decoders treat them as "not specified"
        c.disposal = 0;
    c.delayMs = (block[2] | (block[3] << 8)) * 10;
    c.transparentIndex = (flags & 1) ? block[4] : -1;
    return c;
}

bool IsLoopApplication(const GifByteType *block)
{
    return block && block[0] == 11
        && (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0);
}

// Reads the extension's remaining sub-blocks; picks up the loop count from a looping application block.
int ReadExtension(GifFileType *gif, int code, GifByteType *first, Control *control, int *loopCount)
{
    if (code == GRAPHICS_EXT_FUNC_CODE && first)
        *control = ParseControl(first);
    const bool loopBlock = code == APPLICATION_EXT_FUNC_CODE && IsLoopApplication(first);
    GifByteType *block = first;
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return GIF_ERROR;
        if (loopBlock && block && block[0] >= 3 && block[1] == 1)
            *loopCount = block[2] | (block[3] << 8);
    }
    return GIF_OK;
}

int SkipImageData(GifFileType *gif)
{
    int codeSize = 0;
    GifByteType *block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        return GIF_ERROR;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            return GIF_ERROR;
    }
    return GIF_OK;
}

// Room for one page's indices as stored, reused page after page. Not zeroed: a damaged page that
// claims many pixels costs only the memory its data fills.
struct PageIndices {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
};

// The page's image data, decoded from the bytes after the code size byte giflib has just read;
// each row keeps its part in `kept` (page coordinates). `indices` is room for the whole page. Every
// kept pixel must index the colour table: damaged files get `palette` padded with black.
int DecodeRows(MemoryInput *in, const GifImageDesc &desc, const QRect &kept, QVector<QRgb> palette,
               PageIndices *indices, QImage *image)
{
    const int w = desc.Width;
    const std::size_t count = std::size_t(w) * std::size_t(desc.Height);
    if (indices->size < count + GifLzw::kDecodeSlack) {
        indices->size = count + GifLzw::kDecodeSlack;
        indices->bytes.reset(new std::uint8_t[indices->size]);
    }
    const auto at = std::size_t(in->pos);
    const GifLzw::Decoded decoded = GifLzw::Decode(in->data, std::size_t(in->size), at, in->data[at - 1], indices->bytes.get(), count);
    if (decoded.status != GifLzw::DecodeStatus::Ok)
        return decoded.status == GifLzw::DecodeStatus::Truncated ? ErrTruncated : ErrNotGif;
    in->pos = qint64(decoded.end);
    if (image->isNull())
        return Ok;
    const bool whole = kept == QRect(0, 0, w, desc.Height);
    int highest = whole ? decoded.highest : 0;
    const std::uint8_t *row = indices->bytes.get();
    ForEachStoredRow(desc.Height, desc.Interlace, [&](int y) {
        if (y >= kept.top() && y <= kept.bottom()) {
            const std::uint8_t *from = row + kept.left();
            std::memcpy(image->scanLine(y - kept.top()), from, size_t(kept.width()));
            if (!whole)
                highest = std::max<int>(highest, *std::max_element(from, from + kept.width()));
        }
        row += w;
        return GIF_OK;
    });
    if (highest >= palette.size())
        palette.resize(highest + 1, qRgb(0, 0, 0));
    image->setColorTable(palette);
    return Ok;
}

// Pixels decoded and pixels kept so far, and how many may be kept.
struct PixelCount {
    qint64 decoded = 0;
    qint64 kept = 0;
    qint64 maxKept = kMaxTotalPixels;
};

int ReadImage(GifFileType *gif, const QVector<QRgb> &globalPalette, const Control &control, PixelCount *count,
              bool clipToScreen, PageIndices *indices, Page *page)
{
    const GifImageDesc &desc = gif->Image;
    const int w = desc.Width;
    const int h = desc.Height;
    if (w <= 0 || h <= 0)
        return ErrNotGif;
    if (w > kMaxSide || h > kMaxSide || qint64(w) * h > kMaxPagePixels)
        return ErrTooLarge;
    count->decoded += qint64(w) * h;
    if (count->decoded > kMaxTotalPixels)
        return ErrTooLarge;
    const QVector<QRgb> palette = desc.ColorMap ? ToPalette(desc.ColorMap) : globalPalette;
    if (palette.isEmpty())
        return ErrNotGif;

    // The part of the page that is kept, in page coordinates.
    QRect kept(0, 0, w, h);
    const QRect screen(-desc.Left, -desc.Top, gif->SWidth, gif->SHeight);
    if (clipToScreen && !screen.isEmpty())
        kept &= screen;
    count->kept += qint64(std::max(0, kept.width())) * std::max(0, kept.height());
    if (count->kept > count->maxKept)
        return ErrBudget;
    QImage image;
    if (!kept.isEmpty()) {
        image = QImage(kept.size(), QImage::Format_Indexed8);
        if (image.isNull())
            return ErrNoMemory;
    }
    const int decoded = DecodeRows(static_cast<MemoryInput *>(gif->UserData), desc, kept, palette, indices, &image);
    if (decoded != Ok)
        return decoded;

    page->image = std::move(image);
    page->left = desc.Left + (kept.isEmpty() ? 0 : kept.left());
    page->top = desc.Top + (kept.isEmpty() ? 0 : kept.top());
    page->delayMs = control.delayMs;
    page->disposal = control.disposal;
    page->transparentIndex = control.transparentIndex;
    page->interlaced = desc.Interlace;
    page->localPalette = desc.ColorMap != nullptr;
    return Ok;
}

} // namespace

int ReadInfo(const QByteArray &bytes, int *width, int *height)
{
    const int sig = CheckSignature(bytes);
    if (sig != Ok)
        return sig;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const int w = p[6] | (p[7] << 8);
    const int h = p[8] | (p[9] << 8);
    if (width)
        *width = w;
    if (height)
        *height = h;
    return (w > kMaxSide || h > kMaxSide) ? ErrTooLarge : Ok;
}

int Read(const QByteArray &bytes, Animation *out, int onlyPage, std::vector<int> *pageBytes, bool clipToScreen,
         qint64 maxKeptPixels)
{
    *out = Animation();
    int w = 0, h = 0;
    const int info = ReadInfo(bytes, &w, &h);
    if (info != Ok)
        return info;

    MemoryInput in;
    in.data = reinterpret_cast<const GifByteType *>(bytes.constData());
    in.size = bytes.size();
    int error = 0;
    DecoderCloser closer{DGifOpen(&in, ReadBytes, &error)};
    GifFileType *gif = closer.gif;
    if (!gif)
        return MapDecodeError(error, in);

    Animation anim;
    anim.width = gif->SWidth;
    anim.height = gif->SHeight;
    anim.globalPalette = ToPalette(gif->SColorMap);
    anim.backgroundIndex = anim.globalPalette.isEmpty() ? -1 : gif->SBackGroundColor;

    Control control;
    PixelCount pixels;
    pixels.maxKept = maxKeptPixels;
    PageIndices indices;
    int pageNumber = 0;
    qint64 pageStart = in.pos;
    std::vector<int> shares;
    int result = Ok;
    for (bool done = false; !done && result == Ok;) {
        const qint64 recordStart = in.pos;
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            // Nothing left where a record would start: only the trailer is missing.
            if (recordStart == in.size && !anim.pages.empty())
                break;
            result = MapDecodeError(gif->Error, in);
            break;
        }
        switch (type) {
        case IMAGE_DESC_RECORD_TYPE: {
            if (DGifGetImageDesc(gif) == GIF_ERROR) {
                result = MapDecodeError(gif->Error, in);
                break;
            }
            const int number = pageNumber++;
            if (onlyPage >= 0 && number != onlyPage) {
                if (SkipImageData(gif) == GIF_ERROR)
                    result = MapDecodeError(gif->Error, in);
                pageStart = in.pos;
                control = Control();
                break;
            }
            Page page;
            result = ReadImage(gif, anim.globalPalette, control, &pixels, clipToScreen, &indices, &page);
            if (result != Ok)
                break;
            anim.pages.push_back(std::move(page));
            shares.push_back(int(in.pos - pageStart));
            pageStart = in.pos;
            control = Control();
            done = onlyPage >= 0; // the one page asked for is here
            break;
        }
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType *first = nullptr;
            if (DGifGetExtension(gif, &code, &first) == GIF_ERROR
                || ReadExtension(gif, code, first, &control, &anim.loopCount) == GIF_ERROR)
                result = MapDecodeError(gif->Error, in);
            break;
        }
        case TERMINATE_RECORD_TYPE:
            done = true;
            break;
        default:
            result = ErrNotGif;
            break;
        }
    }
    // A file cut short keeps the complete pages before the cut.
    if (result == ErrTruncated && !anim.pages.empty()) {
        anim.damage = result;
        result = Ok;
    }
    if (result != Ok)
        return result;
    if (anim.pages.empty())
        return ErrNoPages;
    *out = std::move(anim);
    if (pageBytes)
        *pageBytes = std::move(shares);
    return Ok;
}

} // namespace GifCodec
