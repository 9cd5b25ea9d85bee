#include "items/Sprite.h"

#include "items/ItemDrawing.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"
#include "platform/imaging/ImagingControl.h"

#include <cmath>

CSprite::CSprite() = default;

CSprite::CSprite(const CRect &position) : m_position(position) {}

CSprite::~CSprite() = default;

void CSprite::CopyCommonTo(CSprite &copy) const
{
    copy.m_lineColor = m_lineColor;
    copy.m_fillColor = m_fillColor;
    copy.m_penStyle = m_penStyle;
    copy.m_fillStyle = m_fillStyle;
    copy.m_penWidth = m_penWidth;
}

std::unique_ptr<CSprite> CSprite::Clone() const
{
    auto copy = std::make_unique<CSprite>(m_position);
    CopyCommonTo(*copy);
    return copy;
}

void CSprite::SetPlainDrawing(ImagingControl &ctrl) const
{
    ctrl.SetDrawPenColor(m_lineColor);
    ctrl.SetDrawPenStyle(m_penStyle);
    ctrl.SetDrawPenWidth(1);
    ctrl.SetDrawFillColor(m_fillColor);
    ctrl.SetDrawFillStyle(m_fillStyle);
}

void CSprite::Draw(ImagingControl &ctrl)
{
    const CRect r = BitmapToClient(ctrl, m_position).Normalized();
    SetPlainDrawing(ctrl);
    ctrl.DrawRectangleShape(r.left, r.top, r.Width(), r.Height());
}

void CSprite::DrawInverted(ImagingControl &ctrl, int /*handle*/)
{
    // The plain rectangle, whatever the item's own drawing: text and image items inherit this
    // as their rubber band.
    const DrawModeScope inverting(ctrl);
    CSprite::Draw(ctrl);
}

void CSprite::GetBounds(CRect *bounds) const
{
    *bounds = m_position;
}

void CSprite::DrawTracker(ImagingControl &ctrl)
{
    const int count = GetHandleCount();
    for (int n = 1; n <= count; ++n) {
        const CPoint p = BitmapToClient(ctrl, GetHandle(n));
        ctrl.SetDrawPenColor(0);
        ctrl.SetDrawPenStyle(0);
        ctrl.SetDrawPenWidth(1);
        ctrl.SetDrawFillColor(0xFFFFFF);
        ctrl.SetDrawFillStyle(0);
        ctrl.DrawRectangleShape(float(p.x) - 3, float(p.y) - 3, 7, 7);
    }
}

CPoint CSprite::BoxHandle(const CRect &r, int n)
{
    // Halves rounded toward zero, as integer division does.
    const std::int32_t w2 = std::int32_t((std::int64_t(r.right) - r.left) / 2);
    const std::int32_t h2 = std::int32_t((std::int64_t(r.bottom) - r.top) / 2);
    switch (n) {
    case 1: return {r.left, r.top};
    case 2: return {CRect::Moved(r.left, w2), r.top};
    case 3: return {r.right, r.top};
    case 4: return {r.right, CRect::Moved(r.top, h2)};
    case 5: return {r.right, r.bottom};
    case 6: return {CRect::Moved(r.left, w2), r.bottom};
    case 7: return {r.left, r.bottom};
    case 8: return {r.left, CRect::Moved(r.top, h2)};
    default: return {-1, -1};
    }
}

int CSprite::BoxHandleCursor(const CRect &r, int n)
{
    if (n < 1 || n > 8)
        return kCursorArrow;
    // An inverted rectangle has its handles mirrored on screen; show the cursor of where it is.
    static constexpr int kMirrorLeftRight[9] = {0, 3, 2, 1, 8, 7, 6, 5, 4};
    static constexpr int kMirrorTopBottom[9] = {0, 7, 6, 5, 4, 3, 2, 1, 8};
    static constexpr int kCursor[9] = {0, kCursorSizeNWSE, kCursorSizeNS, kCursorSizeNESW, kCursorSizeWE,
                                       kCursorSizeNWSE, kCursorSizeNS, kCursorSizeNESW, kCursorSizeWE};
    if (r.left > r.right)
        n = kMirrorLeftRight[n];
    if (r.top > r.bottom)
        n = kMirrorTopBottom[n];
    return kCursor[n];
}

CPoint CSprite::GetHandle(int n) const
{
    return BoxHandle(m_position, n);
}

int CSprite::GetHandleCount() const
{
    return 8;
}

int CSprite::GetHandleCursor(int n) const
{
    return BoxHandleCursor(m_position, n);
}

void CSprite::SetLineColor(COLORREF color)
{
    m_lineColor = color;
}

void CSprite::SetFillColor(COLORREF color)
{
    m_fillColor = color;
}

void CSprite::MoveHandleBy(CPoint delta, int handle)
{
    if (delta == CPoint(0, 0))
        return;
    CRect &r = m_position;
    switch (handle) {
    case -1: r.OffsetRect(delta.x, delta.y); break;
    // Edges saturate, as every other move of file coordinates does.
    case 1: r.left = CRect::Moved(r.left, delta.x); r.top = CRect::Moved(r.top, delta.y); break;
    case 2: r.top = CRect::Moved(r.top, delta.y); break;
    case 3: r.right = CRect::Moved(r.right, delta.x); r.top = CRect::Moved(r.top, delta.y); break;
    case 4: r.right = CRect::Moved(r.right, delta.x); break;
    case 5: r.right = CRect::Moved(r.right, delta.x); r.bottom = CRect::Moved(r.bottom, delta.y); break;
    case 6: r.bottom = CRect::Moved(r.bottom, delta.y); break;
    case 7: r.left = CRect::Moved(r.left, delta.x); r.bottom = CRect::Moved(r.bottom, delta.y); break;
    case 8: r.left = CRect::Moved(r.left, delta.x); break;
    default: break;
    }
}

int CSprite::HitSquareSide(float zoomPercent)
{
    const float z = zoomPercent * 0.01f;
    return int(std::trunc(7.0f / z + 0.5f));
}

int CSprite::HitTest(CPoint point, ImagingControl &viewCtrl, bool selected) const
{
    const int s = HitSquareSide(ZoomPercentOf(viewCtrl));
    const CPoint origin(point.x - s / 2, point.y - s / 2);
    const CRect square(origin.x, origin.y, origin.x + s, origin.y + s);
    if (selected) {
        const int count = GetHandleCount();
        for (int n = 1; n <= count; ++n) {
            if (square.PtInRect(GetHandle(n)))
                return n;
        }
    }
    if (m_position.Normalized().PtInRect(point))
        return -1;
    return 0;
}

bool CSprite::Intersects(const CRect &rect) const
{
    return CRect::Intersect(m_position.Normalized(), rect.Normalized());
}

bool CSprite::EditProperties()
{
    return false;
}

void CSprite::OnOpen() {}

std::unique_ptr<CSprite> CreateSpriteByClassName(std::string_view className)
{
    if (className == "CSprite")
        return std::make_unique<CSprite>();
    if (className == "CText")
        return std::make_unique<CText>();
    if (className == "CStamp")
        return std::make_unique<CStamp>();
    if (className == "CPrimitiveGraphics")
        return std::make_unique<CPrimitiveGraphics>();
    if (className == "CPolyline")
        return std::make_unique<CPolyline>();
    return nullptr;
}
