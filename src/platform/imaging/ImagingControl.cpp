// ImagingControl: the bitmap, the page list and regions.
#include "platform/imaging/ImagingControl.h"

#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// Float positions truncate toward zero, float sizes round to the nearest pixel.
int Pos(float v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::clamp(v, -1e9f, 1e9f));
}
int Extent(float v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::lround(std::clamp(v, -1e9f, 1e9f)));
}

} // namespace

ImagingControl::ImagingControl(QObject *parent) : QObject(parent)
{
}

ImagingControl::~ImagingControl() = default;

const ImagingBitmap &ImagingControl::Cur() const
{
    if (!m_pages.empty())
        return m_pages[std::size_t(m_pageIndex)];
    return m_bitmap;
}

ImagingBitmap &ImagingControl::CurMut()
{
    if (!m_pages.empty())
        return m_pages[std::size_t(m_pageIndex)];
    return m_bitmap;
}

void ImagingControl::BitmapChanged()
{
    ClampScroll();
    emit DisplayChanged();
    if (m_repaintOnChange && m_windowWidth > 0 && m_windowHeight > 0)
        Repaint();
}

// ---- Bitmap ---------------------------------------------------------------------------------

ImagingBitmap ImagingControl::BitmapHandle() const
{
    return Cur();
}

void ImagingControl::SetBitmapHandle(const ImagingBitmap &handle)
{
    ImagingBitmap copy = handle;
    if (!copy.image.isNull() && copy.image.format() != QImage::Format_RGB32)
        copy.image = copy.image.convertToFormat(QImage::Format_RGB32);
    if (copy.image.isNull())
        copy = ImagingBitmap{}; // discarding the picture drops its attributes with it
    CurMut() = copy;
    BitmapChanged();
}

bool ImagingControl::HasBitmap() const
{
    return !Cur().image.isNull();
}

float ImagingControl::BitmapWidth() const
{
    return float(Cur().image.width());
}

float ImagingControl::BitmapHeight() const
{
    return float(Cur().image.height());
}

int ImagingControl::CreateBitmap(float width, float height, int bits)
{
    const int w = Extent(width), h = Extent(height);
    if (bits < 1 || bits > 32 || !Dib::SizeAcceptable(w, h))
        return ImagingErrArgument;
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull())
        return ImagingErrNoMemory;
    image.fill(0xFFFFFFFF);
    ImagingBitmap &b = CurMut();
    b.image = image;
    b.palette.clear();
    b.region = {};
    b.dib = {};
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::FillColor(COLORREF color)
{
    ImagingBitmap &b = CurMut();
    if (b.image.isNull())
        return ImagingErrNoBitmap;
    // A picture still shared with a handle or page taken from it gets fresh pixels instead of a
    // copy of the old ones: the fill overwrites every pixel anyway (rendering many frames in a row).
    if (!b.image.isDetached())
        b.image = QImage(b.image.size(), b.image.format());
    b.image.fill(ColorrefToQRgb(color));
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::SetFromDIB(const PackedDib &dib)
{
    ImagingBitmap &b = CurMut();
    b.region = {};
    b.palette.clear();
    if (dib.IsEmpty()) {
        b.image = QImage();
        b.dib = {};
        BitmapChanged();
        return ImagingOk;
    }
    DibHeaderExtras extras;
    QImage image = Dib::Decode(dib, &extras);
    b.image = image;
    b.dib = image.isNull() ? DibHeaderExtras{} : extras;
    BitmapChanged();
    return image.isNull() ? ImagingErrFormat : ImagingOk;
}

PackedDib ImagingControl::GetAsDIB() const
{
    const ImagingBitmap &b = Cur();
    return Dib::Encode24(b.image, b.dib);
}

int ImagingControl::ResizeBitmap(float width, float height, int flags)
{
    ImagingBitmap &b = CurMut();
    if (b.image.isNull())
        return ImagingErrNoBitmap;
    const int w = Extent(width), h = Extent(height);
    if (!Dib::SizeAcceptable(w, h))
        return ImagingErrArgument;
    QImage scaled = b.image.scaled(w, h, Qt::IgnoreAspectRatio,
                                   flags == 0 ? Qt::FastTransformation : Qt::SmoothTransformation);
    if (scaled.isNull())
        return ImagingErrNoMemory;
    b.image = scaled.convertToFormat(QImage::Format_RGB32);
    b.region = {};
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::TrimBitmap(float left, float top, float width, float height)
{
    ImagingBitmap &b = CurMut();
    if (b.image.isNull())
        return ImagingErrNoBitmap;
    const QRect wanted(Pos(left), Pos(top), Extent(width), Extent(height));
    const QRect r = wanted.intersected(b.image.rect());
    if (r.isEmpty() || wanted.width() <= 0 || wanted.height() <= 0)
        return ImagingErrArgument;
    b.image = b.image.copy(r);
    b.region = {};
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::CombineBitmap(float left, float top, float width, float height,
                                  const ImagingBitmap &src, float srcLeft, float srcTop, int operation)
{
    ImagingBitmap &b = CurMut();
    if (b.image.isNull() || src.image.isNull())
        return ImagingErrNoBitmap;
    if (operation != 800 && operation != 1024 && operation != 1280)
        return ImagingErrArgument;
    const QImage source = src.image.format() == QImage::Format_RGB32
        ? src.image
        : src.image.convertToFormat(QImage::Format_RGB32);
    const qint64 dx = Pos(left), dy = Pos(top), sx = Pos(srcLeft), sy = Pos(srcTop);
    const qint64 w = Extent(width), h = Extent(height);
    const qint64 x0 = std::max<qint64>({0, -dx, -sx});
    const qint64 y0 = std::max<qint64>({0, -dy, -sy});
    const qint64 x1 = std::min<qint64>({w, b.image.width() - dx, source.width() - sx});
    const qint64 y1 = std::min<qint64>({h, b.image.height() - dy, source.height() - sy});
    if (x0 >= x1 || y0 >= y1)
        return ImagingOk; // nothing overlaps
    const bool masked = operation == 800 && !src.region.mask.isNull()
        && src.region.mask.size() == source.size();
    for (qint64 y = y0; y < y1; ++y) {
        auto *d = reinterpret_cast<QRgb *>(b.image.scanLine(int(dy + y))) + dx;
        const auto *s = reinterpret_cast<const QRgb *>(source.constScanLine(int(sy + y))) + sx;
        const uchar *m = masked ? src.region.mask.constScanLine(int(sy + y)) + sx : nullptr;
        for (qint64 x = x0; x < x1; ++x) {
            switch (operation) {
            case 800:
                if (m == nullptr || m[x] != 0)
                    d[x] = s[x];
                break;
            case 1024:
                d[x] = 0xFF000000u | ((d[x] ^ s[x]) & 0x00FFFFFFu);
                break;
            default:
                d[x] = qRgb(std::abs(qRed(d[x]) - qRed(s[x])), std::abs(qGreen(d[x]) - qGreen(s[x])),
                            std::abs(qBlue(d[x]) - qBlue(s[x])));
                break;
            }
        }
    }
    BitmapChanged();
    return ImagingOk;
}

QImage *ImagingControl::GetBitmapDC()
{
    ImagingBitmap &b = CurMut();
    if (b.image.isNull())
        return nullptr;
    b.image.detach();
    return &b.image;
}

void ImagingControl::ReleaseBitmapDC()
{
    BitmapChanged();
}

// ---- Pages ----------------------------------------------------------------------------------

void ImagingControl::SetPageList(int value)
{
    if (value != 0)
        return;
    SetAnimationRunning(false);
    m_pages.clear();
    m_pageIndex = 0;
    m_bitmap = ImagingBitmap{};
    BitmapChanged();
}

void ImagingControl::SetPageIndex(int index)
{
    if (index < 0 || index >= PageCount() || index == m_pageIndex)
        return;
    m_pageIndex = index;
    BitmapChanged();
}

int ImagingControl::InsertPage(int index, const ImagingBitmap &bitmap)
{
    if (bitmap.image.isNull() || index < -1 || index > PageCount())
        return ImagingErrArgument;
    ImagingBitmap copy = bitmap;
    if (copy.image.format() != QImage::Format_RGB32)
        copy.image = copy.image.convertToFormat(QImage::Format_RGB32);
    if (index == -1)
        index = PageCount();
    if (m_pages.empty()) {
        m_bitmap = ImagingBitmap{}; // the selected page is the bitmap from now on
        m_pageIndex = 0;
    } else if (index <= m_pageIndex) {
        ++m_pageIndex;
    }
    m_pages.insert(m_pages.begin() + index, std::move(copy));
    BitmapChanged();
    return ImagingOk;
}

int ImagingControl::DeletePage(int index)
{
    if (index < 0 || index >= PageCount())
        return ImagingErrArgument;
    m_pages.erase(m_pages.begin() + index);
    if (m_pageIndex > index || m_pageIndex >= PageCount())
        m_pageIndex = std::max(0, m_pageIndex - 1);
    if (m_pages.empty())
        SetAnimationRunning(false);
    BitmapChanged();
    return ImagingOk;
}

COLORREF ImagingControl::PaletteEntry(int index) const
{
    const QVector<QRgb> &p = Cur().palette;
    if (index < 0 || index >= p.size())
        return 0;
    return QRgbToColorref(p[index]);
}

void ImagingControl::SetPaletteEntry(int index, COLORREF color)
{
    if (index < 0 || index > 255)
        return;
    ImagingBitmap &b = CurMut();
    const QRgb c = ColorrefToQRgb(color);
    if (index >= b.palette.size()) {
        b.palette.resize(index + 1, qRgb(0, 0, 0));
        b.palette[index] = c;
        return;
    }
    const QRgb old = b.palette[index];
    b.palette[index] = c;
    if (old == c || b.image.isNull() || b.palette.count(old) > 0)
        return;
    // A palette entry is a colour of the picture: its pixels change with it.
    for (int y = 0; y < b.image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(b.image.scanLine(y));
        for (int x = 0; x < b.image.width(); ++x)
            if (line[x] == old)
                line[x] = c;
    }
    BitmapChanged();
}

COLORREF ImagingControl::PageUserPaletteEntry(int index) const
{
    return Cur().userPalette.value(index, 0);
}

void ImagingControl::SetPageUserPaletteEntry(int index, COLORREF color)
{
    if (index < 0 || index > 255)
        return;
    CurMut().userPalette[index] = color & 0xFFFFFF;
}

// ---- Regions --------------------------------------------------------------------------------

int ImagingControl::RegionFromColor(COLORREF color, int mode)
{
    ImagingBitmap &b = CurMut();
    if (b.image.isNull())
        return ImagingErrNoBitmap;
    const QRgb c = ColorrefToQRgb(color) & 0x00FFFFFFu;
    const bool selectOthers = mode == 6;
    QImage mask(b.image.size(), QImage::Format_Grayscale8);
    if (mask.isNull())
        return ImagingErrNoMemory;
    int minX = INT_MAX, minY = INT_MAX, maxX = -1, maxY = -1;
    for (int y = 0; y < b.image.height(); ++y) {
        const auto *s = reinterpret_cast<const QRgb *>(b.image.constScanLine(y));
        uchar *m = mask.scanLine(y);
        for (int x = 0; x < b.image.width(); ++x) {
            const bool same = (s[x] & 0x00FFFFFFu) == c;
            const bool in = same != selectOthers;
            m[x] = in ? 255 : 0;
            if (in) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
    }
    b.region.mask = mask;
    b.region.bounds = maxX < 0 ? QRect() : QRect(QPoint(minX, minY), QPoint(maxX, maxY));
    return ImagingOk;
}

float ImagingControl::RegionLeft() const
{
    return Cur().region.bounds.isEmpty() ? 0.0f : float(Cur().region.bounds.left());
}

float ImagingControl::RegionTop() const
{
    return Cur().region.bounds.isEmpty() ? 0.0f : float(Cur().region.bounds.top());
}

float ImagingControl::RegionWidth() const
{
    return Cur().region.bounds.isEmpty() ? 0.0f : float(Cur().region.bounds.width());
}

float ImagingControl::RegionHeight() const
{
    return Cur().region.bounds.isEmpty() ? 0.0f : float(Cur().region.bounds.height());
}

void ImagingControl::FreeRegion()
{
    CurMut().region = {};
}
