#include "platform/imaging/ImagingDC.h"

#include <algorithm>
#include <vector>

namespace {

QRect Normalised(int left, int top, int right, int bottom)
{
    // Corners in any order; right and bottom are exclusive.
    const int l = std::min(left, right), r = std::max(left, right);
    const int t = std::min(top, bottom), b = std::max(top, bottom);
    return QRect(l, t, r - l, b - t);
}

// Calls f(x, y) once for each pixel of the border of r, clockwise from the top-left corner.
template <typename F> void ForEachBorderPixel(const QRect &r, F f)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const int l = r.left(), t = r.top(), rr = r.left() + r.width() - 1, b = r.top() + r.height() - 1;
    for (int x = l; x <= rr; ++x)
        f(x, t);
    for (int y = t + 1; y <= b; ++y)
        f(rr, y);
    if (b > t)
        for (int x = rr - 1; x >= l; --x)
            f(x, b);
    if (rr > l)
        for (int y = b - 1; y > t; --y)
            f(l, y);
}

QRgb *Pixel(QImage &img, int x, int y)
{
    if (x < 0 || y < 0 || x >= img.width() || y >= img.height())
        return nullptr;
    return reinterpret_cast<QRgb *>(img.scanLine(y)) + x;
}

} // namespace

namespace ImagingDC {

void DrawFocusRect(QImage &target, int left, int top, int right, int bottom)
{
    if (target.isNull())
        return;
    const QRect r = Normalised(left, top, right, bottom);
    // Checkerboard by position, so the same rectangle always inverts the same pixels.
    ForEachBorderPixel(r, [&](int x, int y) {
        if (((x + y) & 1) == 0)
            if (QRgb *p = Pixel(target, x, y))
                *p ^= 0x00FFFFFFu;
    });
}

void InvertFrame(QImage &target, int left, int top, int right, int bottom)
{
    if (target.isNull())
        return;
    ForEachBorderPixel(Normalised(left, top, right, bottom), [&](int x, int y) {
        if (QRgb *p = Pixel(target, x, y))
            *p ^= 0x00FFFFFFu;
    });
}

void FrameRect(QImage &target, int left, int top, int right, int bottom, QRgb color)
{
    if (target.isNull())
        return;
    ForEachBorderPixel(Normalised(left, top, right, bottom), [&](int x, int y) {
        if (QRgb *p = Pixel(target, x, y))
            *p = 0xFF000000u | color;
    });
}

void StretchCopy(QImage &target, const QRect &dstRect, const QImage &src, const QRect &srcRect)
{
    if (target.isNull() || src.isNull() || dstRect.width() <= 0 || dstRect.height() <= 0
        || srcRect.width() <= 0 || srcRect.height() <= 0)
        return;
    const QImage source = src.format() == QImage::Format_RGB32 || src.format() == QImage::Format_ARGB32
        ? src
        : src.convertToFormat(QImage::Format_RGB32);
    const QRect visible = dstRect.intersected(target.rect());
    if (visible.isEmpty())
        return;
    // Nearest source pixel for each destination column and row, from the pixel centres.
    std::vector<int> columns(std::size_t(visible.width()));
    for (int i = 0; i < visible.width(); ++i) {
        const qint64 dx = visible.left() + i - dstRect.left();
        const qint64 sx = srcRect.left() + (2 * dx + 1) * srcRect.width() / (2LL * dstRect.width());
        columns[std::size_t(i)] = int(sx);
    }
    for (int j = 0; j < visible.height(); ++j) {
        const qint64 dy = visible.top() + j - dstRect.top();
        const qint64 sy = srcRect.top() + (2 * dy + 1) * srcRect.height() / (2LL * dstRect.height());
        if (sy < 0 || sy >= source.height())
            continue;
        const auto *s = reinterpret_cast<const QRgb *>(source.constScanLine(int(sy)));
        auto *d = reinterpret_cast<QRgb *>(target.scanLine(visible.top() + j)) + visible.left();
        for (int i = 0; i < visible.width(); ++i) {
            const int sx = columns[std::size_t(i)];
            if (sx >= 0 && sx < source.width())
                d[i] = 0xFF000000u | s[sx];
        }
    }
}

}
