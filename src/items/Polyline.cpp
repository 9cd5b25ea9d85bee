#include "items/Polyline.h"

#include "items/ItemDrawing.h"
#include "platform/imaging/ImagingControl.h"

#include <algorithm>

CPolyline::CPolyline() = default;

CPolyline::CPolyline(const CRect &position) : CPrimitiveGraphics(position) {}

std::unique_ptr<CSprite> CPolyline::Clone() const
{
    auto copy = std::make_unique<CPolyline>(m_position);
    CopyShapeTo(*copy);
    for (const CPoint &p : m_points)
        copy->AddPoint(p);
    return copy;
}

void CPolyline::DrawSegment(ImagingControl &ctrl, std::size_t from) const
{
    const CPoint a = BitmapToClient(ctrl, m_points[from]);
    const CPoint b = BitmapToClient(ctrl, m_points[from + 1]);
    ctrl.DrawLineShape(a.x, a.y, b.x, b.y);
}

void CPolyline::Draw(ImagingControl &ctrl)
{
    SetPenAndFill(ctrl);
    for (std::size_t i = 1; i < m_points.size(); ++i)
        DrawSegment(ctrl, i - 1);
}

void CPolyline::DrawInverted(ImagingControl &ctrl, int handle)
{
    SetPenAndFill(ctrl);
    const DrawModeScope inverting(ctrl);
    const std::size_t count = m_points.size();
    if (handle == -1) {
        for (std::size_t i = 1; i < count; ++i)
            DrawSegment(ctrl, i - 1);
    } else if (handle == 1) {
        if (count >= 2)
            DrawSegment(ctrl, 0);
    } else if (handle > 1 && std::size_t(handle) <= count) {
        const std::size_t n = std::size_t(handle);
        DrawSegment(ctrl, n - 2);
        if (n < count)
            DrawSegment(ctrl, n - 1);
    }
}

CPoint CPolyline::GetHandle(int n) const
{
    if (n < 1 || std::size_t(n) > m_points.size())
        return {-1, -1};
    return m_points[std::size_t(n) - 1];
}

int CPolyline::GetHandleCount() const
{
    return int(m_points.size());
}

int CPolyline::GetHandleCursor(int n) const
{
    return n == -1 ? kCursorDefault : kCursorCross;
}

void CPolyline::MoveHandleBy(CPoint delta, int handle)
{
    if (delta == CPoint(0, 0))
        return;
    auto move = [delta](CPoint &p) { p = CPoint(CRect::Moved(p.x, delta.x), CRect::Moved(p.y, delta.y)); };
    if (handle == -1) {
        for (CPoint &p : m_points)
            move(p);
    } else if (handle >= 1 && std::size_t(handle) <= m_points.size()) {
        move(m_points[std::size_t(handle) - 1]);
    }
    RecalcBounds();
}

bool CPolyline::CanFill() const
{
    return m_closed != 0;
}

void CPolyline::AddPoint(CPoint point)
{
    if (!m_points.empty() && m_points.back() == point)
        return;
    m_points.push_back(point);
    RecalcBounds();
}

bool CPolyline::RecalcBounds()
{
    if (m_points.empty())
        return false;
    CRect box(m_points.front(), m_points.front());
    for (const CPoint &p : m_points) {
        box.left = std::min(box.left, p.x);
        box.top = std::min(box.top, p.y);
        box.right = std::max(box.right, p.x);
        box.bottom = std::max(box.bottom, p.y);
    }
    const bool changed = box != m_position;
    m_position = box;
    return changed;
}
