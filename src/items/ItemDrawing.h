#pragma once
// Small helpers of the items' drawing code: geometry conversion through the control (corner by
// corner, truncated toward zero, as the control does it), the inverting draw-mode bracket, and
// member-by-member set-up of the control's font and text box.
#include "items/Geometry.h"
#include "platform/imaging/ImagingControl.h"

#include <QPoint>
#include <QRect>

namespace ItemDrawingDetail {
// One conversion of the control applied to a point, or to a rectangle corner by corner.
template <QPoint (ImagingControl::*Convert)(QPoint) const>
inline CPoint Point(const ImagingControl &ctrl, CPoint p)
{
    const QPoint q = (ctrl.*Convert)(QPoint(p.x, p.y));
    return {q.x(), q.y()};
}
template <QPoint (ImagingControl::*Convert)(QPoint) const>
inline CRect Rect(const ImagingControl &ctrl, const CRect &r)
{
    const CPoint a = Point<Convert>(ctrl, {r.left, r.top}), b = Point<Convert>(ctrl, {r.right, r.bottom});
    return {a.x, a.y, b.x, b.y};
}
} // namespace ItemDrawingDetail

inline CPoint BitmapToClient(const ImagingControl &ctrl, CPoint p)
{
    return ItemDrawingDetail::Point<&ImagingControl::BitmapToClient>(ctrl, p);
}
inline CRect BitmapToClient(const ImagingControl &ctrl, const CRect &r)
{
    return ItemDrawingDetail::Rect<&ImagingControl::BitmapToClient>(ctrl, r);
}
inline CPoint ClientToBitmap(const ImagingControl &ctrl, CPoint p)
{
    return ItemDrawingDetail::Point<&ImagingControl::ClientToBitmap>(ctrl, p);
}
inline CRect ClientToBitmap(const ImagingControl &ctrl, const CRect &r)
{
    return ItemDrawingDetail::Rect<&ImagingControl::ClientToBitmap>(ctrl, r);
}

// The zoom the control shows its bitmap at (ZoomPercent unless it shows actual size or fits).
inline float ZoomPercentOf(const ImagingControl &ctrl)
{
    return ctrl.EffectiveZoomPercent();
}

// Reads DrawMode and switches to 6 (inverting) for its lifetime; restores the value read.
class DrawModeScope {
public:
    explicit DrawModeScope(ImagingControl &ctrl) : m_ctrl(ctrl), m_saved(ctrl.DrawMode()) { ctrl.SetDrawMode(6); }
    ~DrawModeScope() { m_ctrl.SetDrawMode(m_saved); }
    DrawModeScope(const DrawModeScope &) = delete;
    DrawModeScope &operator=(const DrawModeScope &) = delete;

private:
    ImagingControl &m_ctrl;
    int m_saved;
};

inline void SetTextBox(ImagingControl &ctrl, const CRect &r)
{
    ctrl.SetTextBoxTop(float(r.top));
    ctrl.SetTextBoxLeft(float(r.left));
    ctrl.SetTextBoxWidth(float(double(r.right) - r.left));
    ctrl.SetTextBoxHeight(float(double(r.bottom) - r.top));
}
