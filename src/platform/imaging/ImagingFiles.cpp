// ImagingControl: reading and writing picture files. GIF goes through GifCodec (giflib) with
// every page attribute; other formats through Qt's image readers and writers.
#include "platform/imaging/ImagingControl.h"

#include "platform/AtomicFile.h"
#include "platform/imaging/GifCodec.h"

#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace {

// Picture files larger than this are refused before reading them into memory.
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;

bool LooksLikeGif(const QByteArray &head)
{
    return head.startsWith("GIF87a") || head.startsWith("GIF89a");
}

int FormatCode(const QByteArray &qtFormat)
{
    const QByteArray f = qtFormat.toLower();
    if (f == "bmp" || f == "dib")
        return ImagingFormatBmp;
    if (f == "gif")
        return ImagingFormatGif;
    if (f == "jpeg" || f == "jpg")
        return ImagingFormatJpeg;
    if (f == "png")
        return ImagingFormatPng;
    if (f == "tif" || f == "tiff")
        return ImagingFormatTiff;
    if (f == "webp")
        return ImagingFormatWebp;
    return ImagingFormatOther;
}

int ReaderError(const QImageReader &reader)
{
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
    case QImageReader::DeviceError:
        return ImagingErrOpen;
    case QImageReader::UnsupportedFormatError:
        return ImagingErrFormat;
    default:
        return ImagingErrTruncated;
    }
}

// A picture with an alpha channel is flattened onto white, as a 24-bit picture shows it.
QImage To24(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(0xFFFFFFFF);
    QPainter p(&out);
    p.drawImage(0, 0, image);
    return out;
}

// The colour a GIF page's transparent pixels get at 24 bits: the palette entry, unless another
// entry has the same colour; then a colour the palette does not have, so RegionFromColor on
// PageTransparentColor selects exactly the transparent pixels.
QRgb TransparentStandIn(const QVector<QRgb> &table, int index)
{
    const QRgb wanted = table[index] | 0xFF000000u;
    std::vector<QRgb> others;
    others.reserve(std::size_t(table.size()));
    for (int i = 0; i < table.size(); ++i)
        if (i != index)
            others.push_back(table[i] | 0xFF000000u);
    std::sort(others.begin(), others.end());
    const auto taken = [&](QRgb c) { return std::binary_search(others.begin(), others.end(), c); };
    if (!taken(wanted))
        return wanted;
    for (QRgb c = 0; c <= 0xFFFFFF; ++c) {
        const QRgb candidate = 0xFF000000u | (wanted ^ c);
        if (!taken(candidate))
            return candidate;
    }
    return wanted;
}

COLORREF BackColorOf(const GifCodec::Animation &anim)
{
    if (anim.backgroundIndex >= 0 && anim.backgroundIndex < anim.globalPalette.size())
        return QRgbToColorref(anim.globalPalette[anim.backgroundIndex]);
    return 0xFFFFFF;
}

// A GIF page's colours at 24 bits: its colour table, opaque, with the transparent entry given
// its stand-in colour.
struct GifPageColours {
    QVector<QRgb> palette;
    bool transparent = false;
    COLORREF transparentColor = 0;
};

GifPageColours ColoursOf(const QVector<QRgb> &colorTable, int transparentIndex)
{
    GifPageColours c;
    c.palette = colorTable;
    for (QRgb &entry : c.palette)
        entry |= 0xFF000000u;
    QVector<QRgb> &table = c.palette;
    if (transparentIndex >= 0 && transparentIndex < table.size()) {
        table[transparentIndex] = TransparentStandIn(table, transparentIndex);
        c.transparent = true;
        c.transparentColor = QRgbToColorref(table[transparentIndex]);
    } else {
        // No transparency: the transparent colour is one the page does not have, so selecting
        // "every pixel not of PageTransparentColor" selects the whole page.
        QVector<QRgb> withSpare = table;
        withSpare.push_back(table.isEmpty() ? 0xFF000000u : table.front());
        c.transparentColor = QRgbToColorref(TransparentStandIn(withSpare, int(withSpare.size()) - 1));
    }
    return c;
}

// The page with its attributes and colours; its picture is left to the caller.
ImagingBitmap GifPageAttributes(const GifCodec::Page &page, const GifPageColours &colours)
{
    ImagingBitmap b;
    b.transparent = colours.transparent;
    b.transparentColor = colours.transparentColor;
    b.palette = colours.palette;
    b.delayMs = page.delayMs;
    b.left = page.left;
    b.top = page.top;
    b.disposal = page.disposal;
    return b;
}

ImagingBitmap FromGifPage(const GifCodec::Page &page)
{
    ImagingBitmap b = GifPageAttributes(page, ColoursOf(page.image.colorTable(), page.transparentIndex));
    QImage indexed = page.image;
    indexed.setColorTable(b.palette);
    b.image = indexed.convertToFormat(QImage::Format_RGB32);
    return b;
}

} // namespace

QString ImagingResultText(int result)
{
    switch (result) {
    case ImagingOk: return QStringLiteral("no error");
    case ImagingErrOpen: return QStringLiteral("the file cannot be opened or read");
    case ImagingErrFormat: return QStringLiteral("the data is not a picture that can be read");
    case ImagingErrTruncated: return QStringLiteral("the data ends early or is corrupt");
    case ImagingErrTooLarge: return QStringLiteral("the picture is too large");
    case ImagingErrNoPages: return QStringLiteral("the file holds no picture");
    case ImagingErrWrite: return QStringLiteral("the file cannot be written");
    case ImagingErrNoMemory: return QStringLiteral("there is not enough memory");
    case ImagingErrNoBitmap: return QStringLiteral("there is no picture");
    case ImagingErrArgument: return QStringLiteral("a value is out of range");
    case ImagingErrBudget: return QStringLiteral("the pictures need more memory than is allowed");
    default: return QStringLiteral("unknown error");
    }
}

int ImagingControl::ReadFileInfo(const QString &path, int page)
{
    Q_UNUSED(page);
    m_infoWidth = m_infoHeight = 0;
    m_infoFormat = ImagingFormatUnknown;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ImagingErrOpen;
    const QByteArray head = file.read(64);
    if (LooksLikeGif(head)) {
        int w = 0, h = 0;
        const int r = GifCodec::ReadInfo(head, &w, &h);
        if (r != GifCodec::Ok && r != GifCodec::ErrTooLarge)
            return r;
        m_infoWidth = float(w);
        m_infoHeight = float(h);
        m_infoFormat = ImagingFormatGif;
        return ImagingOk;
    }
    file.close();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return ReaderError(reader);
    const QSize size = reader.size();
    m_infoWidth = float(std::max(0, size.width()));
    m_infoHeight = float(std::max(0, size.height()));
    m_infoFormat = FormatCode(reader.format());
    return ImagingOk;
}

int ImagingControl::LoadFile(const QString &path, int bits, int page, int count)
{
    m_loadDamage = 0;
    if (bits < 0 || bits > 32 || count == 0 || count < -1)
        return ImagingErrArgument;
    const int first = std::max(page, 1) - 1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ImagingErrOpen;
    if (file.size() > kMaxFileBytes)
        return ImagingErrTooLarge;
    if (LooksLikeGif(file.peek(6))) {
        file.close();
        QByteArray bytes;
        const int read = ReadGifBytes(path, &bytes);
        return read == ImagingOk ? LoadGif(bytes, first, count) : read;
    }
    file.close();
    return LoadOther(path, first, count);
}

int ImagingControl::ReadGifBytes(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ImagingErrOpen;
    if (file.size() > kMaxFileBytes)
        return ImagingErrTooLarge;
    if (!LooksLikeGif(file.peek(6)))
        return ImagingErrFormat;
    *bytes = file.readAll();
    return bytes->size() == file.size() ? ImagingOk : ImagingErrOpen;
}

void ImagingControl::TakeAnimationInfo(const GifCodec::Animation &anim, bool loop)
{
    m_backColor = BackColorOf(anim);
    if (loop) {
        m_animationLoop = anim.loopCount >= 0;
        m_animationLoopCount = std::max(0, anim.loopCount);
    }
    m_loadDamage = anim.damage;
}

int ImagingControl::ReadGifPages(const QString &path, const GifPageTaker &take)
{
    m_loadDamage = 0;
    GifCodec::Animation anim;
    {
        QByteArray bytes;
        const int read = ReadGifBytes(path, &bytes);
        if (read != ImagingOk)
            return read;
        const int r = GifCodec::Read(bytes, &anim, -1, nullptr, true, m_memoryBudget / 5);
        if (r != GifCodec::Ok)
            return r;
    }
    if (anim.pages.empty())
        return ImagingErrNoPages;
    SetAnimationRunning(false);
    m_pages.clear();
    m_pageIndex = 0;
    m_bitmap = ImagingBitmap{};
    TakeAnimationInfo(anim, true);
    BitmapChanged();
    const int count = int(anim.pages.size());
    // Pages mostly share one palette: its colours are worked out once.
    QVector<QRgb> lastTable;
    int lastTransparent = -2;
    GifPageColours colours;
    for (int i = 0; i < count; ++i) {
        GifCodec::Page &source = anim.pages[std::size_t(i)];
        const QVector<QRgb> table = source.image.colorTable();
        if (table != lastTable || source.transparentIndex != lastTransparent) {
            colours = ColoursOf(table, source.transparentIndex);
            lastTable = table;
            lastTransparent = source.transparentIndex;
        }
        ImagingBitmap page = GifPageAttributes(source, colours);
        page.image = std::move(source.image);
        page.image.setColorTable(page.palette);
        if (!take(i, count, page))
            break;
    }
    return ImagingOk;
}

int ImagingControl::LoadGif(const QByteArray &bytes, int first, int count)
{
    GifCodec::Animation anim;
    // Pages of an animation are only ever shown on its screen: they keep only that part.
    // Each kept pixel is decoded at 8 bits and held at 32.
    const int r = GifCodec::Read(bytes, &anim, count == 1 ? first : -1, nullptr, count != 1, m_memoryBudget / 5);
    if (r != GifCodec::Ok)
        return r;
    if (anim.pages.empty() || (first >= int(anim.pages.size()) && count != 1))
        return ImagingErrNoPages;

    std::vector<ImagingBitmap> pages;
    if (count == 1) {
        pages.push_back(FromGifPage(anim.pages.front()));
    } else {
        const std::size_t end = count < 0 ? anim.pages.size() : std::min(anim.pages.size(), std::size_t(first + count));
        for (std::size_t i = std::size_t(first); i < end; ++i)
            pages.push_back(FromGifPage(anim.pages[i]));
    }
    const COLORREF back = BackColorOf(anim);
    if (count == 1) {
        // One page stands alone: it is shown where it lies on the logical screen.
        ImagingBitmap &p = pages.front();
        const int w = std::max(anim.width, p.left + p.image.width());
        const int h = std::max(anim.height, p.top + p.image.height());
        if (!Dib::SizeAcceptable(w, h))
            return ImagingErrTooLarge;
        QImage canvas(w, h, QImage::Format_RGB32);
        if (canvas.isNull())
            return ImagingErrNoMemory;
        canvas.fill(ColorrefToQRgb(back));
        const QRgb key = ColorrefToQRgb(p.transparentColor);
        for (int y = 0; y < p.image.height(); ++y) {
            const auto *s = reinterpret_cast<const QRgb *>(p.image.constScanLine(y));
            auto *d = reinterpret_cast<QRgb *>(canvas.scanLine(p.top + y)) + p.left;
            for (int x = 0; x < p.image.width(); ++x)
                if (!p.transparent || s[x] != key)
                    d[x] = s[x];
        }
        ImagingBitmap single;
        single.image = canvas;
        single.delayMs = p.delayMs;
        SetAnimationRunning(false);
        m_pages.clear();
        m_pageIndex = 0;
        m_bitmap = single;
    } else {
        SetAnimationRunning(false);
        m_pages = std::move(pages);
        m_pageIndex = 0;
        m_bitmap = ImagingBitmap{};
    }
    TakeAnimationInfo(anim, count != 1); // one page leaves the loop settings as they were
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::LoadOther(const QString &path, int first, int count)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return ReaderError(reader);
    const QSize size = reader.size();
    if (size.isValid() && !Dib::SizeAcceptable(size.width(), size.height()))
        return ImagingErrTooLarge;
    if (first > 0 && !reader.jumpToImage(first))
        return ImagingErrNoPages;
    std::vector<ImagingBitmap> pages;
    while (count < 0 || int(pages.size()) < count) {
        ImagingBitmap b;
        b.delayMs = std::max(0, reader.nextImageDelay());
        QImage image;
        if (!reader.read(&image)) {
            if (pages.empty())
                return ReaderError(reader);
            break;
        }
        if (!Dib::SizeAcceptable(image.width(), image.height()))
            return ImagingErrTooLarge;
        b.image = To24(image);
        if (b.image.isNull())
            return ImagingErrNoMemory;
        pages.push_back(std::move(b));
        if (!reader.supportsAnimation() && reader.imageCount() <= 1)
            break;
    }
    SetAnimationRunning(false);
    if (count == 1) {
        m_pages.clear();
        m_pageIndex = 0;
        m_bitmap = pages.front();
    } else {
        m_pages = std::move(pages);
        m_pageIndex = 0;
        m_bitmap = ImagingBitmap{};
    }
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::SaveFile(const QString &path, int format, int bits, int quality, int flags)
{
    Q_UNUSED(flags);
    m_fileError.clear();
    if (format == ImagingFormatGif)
        return SaveGif(path, bits);
    const char *qtFormat = nullptr;
    switch (format) {
    case ImagingFormatBmp: qtFormat = "bmp"; break;
    case ImagingFormatJpeg: qtFormat = "jpeg"; break;
    case ImagingFormatPng: qtFormat = "png"; break;
    case ImagingFormatTiff: qtFormat = "tiff"; break;
    case ImagingFormatWebp: qtFormat = "webp"; break;
    default: return ImagingErrArgument;
    }
    const QImage image = Cur().image;
    if (image.isNull())
        return ImagingErrNoBitmap;
    const bool written = AtomicFile::Write(path, [&](QIODevice &file) {
        QImageWriter writer(&file, qtFormat);
        if (quality > 0)
            writer.setQuality(std::min(quality, 100));
        return writer.write(image);
    }, &m_fileError);
    return written ? ImagingOk : ImagingErrWrite;
}
