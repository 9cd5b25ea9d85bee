// ImagingControl: display state, coordinate conversion, the window surface and events.
#include "platform/imaging/ImagingControl.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Truncation toward zero of a single-precision value, kept inside int range.
int Trunc(float v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::clamp(v, -2.0e9f, 2.0e9f));
}

// A rectangle converted corner by corner (left-top and right-bottom as given, not normalised).
template <typename Convert>
QRect ByCorners(const QRect &r, Convert convert)
{
    int l, t, rr, b;
    r.getCoords(&l, &t, &rr, &b);
    const QPoint a = convert(QPoint(l, t)), c = convert(QPoint(rr, b));
    QRect out;
    out.setCoords(a.x(), a.y(), c.x(), c.y());
    return out;
}

} // namespace

void ImagingControl::SetWindowSize(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    if (width == m_windowWidth && height == m_windowHeight)
        return;
    m_windowWidth = width;
    m_windowHeight = height;
    if (width > 0 && height > 0) {
        m_surface = QImage(width, height, QImage::Format_RGB32);
        m_surface.fill(kWindowBackground);
    } else {
        m_surface = QImage();
    }
    ClampScroll();
    emit DisplayChanged();
    if (m_repaintOnChange && !m_surface.isNull())
        Repaint();
    emit ControlEvent(3);
}

void ImagingControl::SetScrollPosition(int x, int y)
{
    const int oldX = m_scrollX, oldY = m_scrollY;
    m_scrollX = x;
    m_scrollY = y;
    ClampScroll();
    if (m_scrollX == oldX && m_scrollY == oldY)
        return;
    emit DisplayChanged();
    if (m_repaintOnChange && !m_surface.isNull())
        Repaint();
    emit ControlEvent(3);
}

int ImagingControl::ScrollRangeX() const
{
    return std::max(0, int(std::ceil(DisplayWidth())) - m_windowWidth);
}

int ImagingControl::ScrollRangeY() const
{
    return std::max(0, int(std::ceil(DisplayHeight())) - m_windowHeight);
}

void ImagingControl::ClampScroll()
{
    m_scrollX = std::clamp(m_scrollX, 0, ScrollRangeX());
    m_scrollY = std::clamp(m_scrollY, 0, ScrollRangeY());
}

void ImagingControl::SetZoomPercent(float percent)
{
    if (!std::isfinite(percent) || !(percent > 0.0f) || percent > 100000.0f)
        return;
    if (percent == m_zoomPercent)
        return;
    m_zoomPercent = percent;
    BitmapChanged();
}

void ImagingControl::SetDisplaySizeMode(int mode)
{
    if (mode != DisplayActualSize && mode != DisplayFitWindow && mode != DisplayZoomed)
        return;
    if (mode == m_displaySizeMode)
        return;
    m_displaySizeMode = mode;
    BitmapChanged();
}

void ImagingControl::SetShowScrollBars(bool on)
{
    m_showScrollBars = on;
    emit DisplayChanged();
}

void ImagingControl::SetDisplayOption237(bool on)
{
    if (on == m_displayOption237)
        return;
    m_displayOption237 = on;
    BitmapChanged();
}

float ImagingControl::ScaleFor(int windowWidth, int windowHeight) const
{
    switch (m_displaySizeMode) {
    case DisplayActualSize:
        return 1.0f;
    case DisplayFitWindow: {
        const float bw = BitmapWidth(), bh = BitmapHeight();
        if (windowWidth <= 0 || windowHeight <= 0 || bw <= 0.0f || bh <= 0.0f)
            return 1.0f; // nothing to fit: the picture at its own size
        const float ww = float(windowWidth), wh = float(windowHeight);
        float z = std::min(ww / bw, wh / bh);
        // Rounding must never make the picture a pixel larger than the window (scroll bars).
        while (z > 0.0f && (bw * z > ww || bh * z > wh))
            z = std::nextafter(z, 0.0f);
        return z;
    }
    default:
        return m_zoomPercent * 0.01f;
    }
}

float ImagingControl::EffectiveZoomPercent() const
{
    if (m_displaySizeMode == DisplayZoomed)
        return m_zoomPercent;
    return Scale() * 100.0f;
}

QSizeF ImagingControl::DisplaySizeFor(int windowWidth, int windowHeight) const
{
    const float z = ScaleFor(windowWidth, windowHeight);
    return QSizeF(BitmapWidth() * z, BitmapHeight() * z);
}

float ImagingControl::DisplayWidth() const
{
    return BitmapWidth() * Scale();
}

float ImagingControl::DisplayHeight() const
{
    return BitmapHeight() * Scale();
}

// ---- Conversion -----------------------------------------------------------------------------

QPoint ImagingControl::BitmapToClient(QPoint p) const
{
    const float z = Scale();
    const float x = DisplayLeft() + (float(p.x()) - SourceLeft()) * z;
    const float y = DisplayTop() + (float(p.y()) - SourceTop()) * z;
    return QPoint(Trunc(x), Trunc(y));
}

QRect ImagingControl::BitmapToClient(const QRect &r) const
{
    return ByCorners(r, [this](QPoint p) { return BitmapToClient(p); });
}

QPoint ImagingControl::ClientToBitmap(QPoint p) const
{
    const float z = Scale();
    const float x = SourceLeft() + (float(p.x()) - DisplayLeft()) / z;
    const float y = SourceTop() + (float(p.y()) - DisplayTop()) / z;
    return QPoint(Trunc(x), Trunc(y));
}

QRect ImagingControl::ClientToBitmap(const QRect &r) const
{
    return ByCorners(r, [this](QPoint p) { return ClientToBitmap(p); });
}

// ---- Painting -------------------------------------------------------------------------------

void ImagingControl::Repaint()
{
    if (!m_surface.isNull()) {
        const QImage &picture = m_animationRunning && !m_animationCanvas.isNull() ? m_animationCanvas
                                                                                 : Cur().image;
        if (m_displayOption57 || picture.isNull())
            m_surface.fill(kWindowBackground);
        if (!picture.isNull()) {
            const float z = Scale();
            if (m_displayOption237 && z != 1.0f)
                PaintSmooth(picture, z);
            else
                PaintNearest(picture, z);
        }
    }
    emit ControlEvent(1);
    emit SurfaceChanged();
}

void ImagingControl::PaintNearest(const QImage &picture, float z)
{
    // Each window pixel shows the bitmap pixel that ClientToBitmap gives for it, so what the
    // user sees and what the conversion says always agree.
    const float dl = DisplayLeft(), dt = DisplayTop();
    const float dw = float(picture.width()) * z, dh = float(picture.height()) * z;
    std::vector<int> columns(std::size_t(m_windowWidth), -1);
    for (int x = 0; x < m_windowWidth; ++x) {
        const float rel = float(x) - dl;
        if (rel < 0.0f || rel >= dw)
            continue;
        const int bx = Trunc(SourceLeft() + rel / z);
        if (bx >= 0 && bx < picture.width())
            columns[std::size_t(x)] = bx;
    }
    for (int y = 0; y < m_windowHeight; ++y) {
        const float rel = float(y) - dt;
        if (rel < 0.0f || rel >= dh)
            continue;
        const int by = Trunc(SourceTop() + rel / z);
        if (by < 0 || by >= picture.height())
            continue;
        const auto *s = reinterpret_cast<const QRgb *>(picture.constScanLine(by));
        auto *d = reinterpret_cast<QRgb *>(m_surface.scanLine(y));
        for (int x = 0; x < m_windowWidth; ++x) {
            const int bx = columns[std::size_t(x)];
            if (bx >= 0)
                d[x] = 0xFF000000u | s[bx];
        }
    }
}

void ImagingControl::PaintSmooth(const QImage &picture, float z)
{
    // The same window pixels as PaintNearest covers, filled by bilinear filtering: softer for
    // looking at, never for editing (a window pixel is then a blend of bitmap pixels).
    const QRectF target(DisplayLeft(), DisplayTop(), double(picture.width()) * z, double(picture.height()) * z);
    const QRect covered = QRect(QPoint(int(std::ceil(target.left())), int(std::ceil(target.top()))),
                                QPoint(int(std::ceil(target.right())) - 1, int(std::ceil(target.bottom())) - 1))
                          & m_surface.rect();
    if (covered.isEmpty())
        return;
    QPainter painter(&m_surface);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setClipRect(covered);
    painter.drawImage(target, picture, QRectF(picture.rect()));
}

void ImagingControl::SetMouseCursor(int cursor)
{
    if (cursor == m_mouseCursor)
        return;
    m_mouseCursor = cursor;
    emit CursorChanged(cursor);
}

QImage *ImagingControl::GetWindowDC()
{
    if (m_surface.isNull())
        return nullptr;
    return &m_surface;
}

void ImagingControl::ReleaseWindowDC()
{
    emit SurfaceChanged();
}

// ---- Events ---------------------------------------------------------------------------------

void ImagingControl::RaiseMouseDown(int button, int shift, int x, int y)
{
    if (m_enabled20)
        emit MouseDown(button, shift, x, y);
}

void ImagingControl::RaiseMouseMove(int button, int shift, int x, int y)
{
    if (m_enabled20)
        emit MouseMove(button, shift, x, y);
}

void ImagingControl::RaiseMouseUp(int button, int shift, int x, int y)
{
    if (m_enabled20)
        emit MouseUp(button, shift, x, y);
}

void ImagingControl::RaiseDblClick()
{
    if (m_enabled20)
        emit DblClick();
}
