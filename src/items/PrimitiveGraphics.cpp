#include "items/PrimitiveGraphics.h"

#include "items/ItemContext.h"
#include "items/ItemDrawing.h"
#include "platform/imaging/ImagingControl.h"

#include <cmath>

CPrimitiveGraphics::CPrimitiveGraphics()
{
    m_penWidth = 1;
}

CPrimitiveGraphics::CPrimitiveGraphics(const CRect &position) : CSprite(position)
{
    m_penWidth = 1;
}

void CPrimitiveGraphics::CopyShapeTo(CPrimitiveGraphics &copy) const
{
    CopyCommonTo(copy);
    copy.m_shape = m_shape;
    copy.m_fill = m_fill;
}

std::unique_ptr<CSprite> CPrimitiveGraphics::Clone() const
{
    auto copy = std::make_unique<CPrimitiveGraphics>(m_position);
    CopyShapeTo(*copy);
    return copy;
}

std::int32_t CPrimitiveGraphics::PenWidthAtZoom(float zoomPercent, std::int16_t penWidth)
{
    return std::int32_t(std::trunc(zoomPercent * float(penWidth) * 0.01f));
}

void CPrimitiveGraphics::SetPenAndFill(ImagingControl &ctrl) const
{
    ctrl.SetDrawPenColor(m_lineColor);
    ctrl.SetDrawPenStyle(0);
    ctrl.SetDrawPenWidth(PenWidthAtZoom(ZoomPercentOf(ctrl), m_penWidth));
    ctrl.SetDrawFillColor(m_fillColor);
    ctrl.SetDrawFillStyle(m_fill ? 0 : 1);
}

void CPrimitiveGraphics::DrawShape(ImagingControl &ctrl)
{
    // Not normalised: a line runs from the first stored corner to the second.
    const CRect r = BitmapToClient(ctrl, m_position);
    SetPenAndFill(ctrl);
    switch (m_shape) {
    case kEllipse: ctrl.DrawEllipseShape(r.left, r.top, r.Width(), r.Height()); break;
    case kLine: ctrl.DrawLineShape(r.left, r.top, r.right, r.bottom); break;
    default: ctrl.DrawRectangleShape(r.left, r.top, r.Width(), r.Height()); break;
    }
}

void CPrimitiveGraphics::Draw(ImagingControl &ctrl)
{
    DrawShape(ctrl);
}

void CPrimitiveGraphics::DrawInverted(ImagingControl &ctrl, int /*handle*/)
{
    const DrawModeScope inverting(ctrl);
    DrawShape(ctrl);
}

void CPrimitiveGraphics::GetBounds(CRect *bounds) const
{
    *bounds = m_position.Normalized();
    bounds->InflateRect(m_penWidth, m_penWidth);
}

bool CPrimitiveGraphics::EditProperties()
{
    ItemDialogs *dialogs = ItemContext::Current().dialogs;
    if (!dialogs)
        return false;
    ItemDialogs::ShapeProperties props;
    props.fill = m_fill != 0;
    props.lineColor = m_lineColor;
    props.fillColor = m_fillColor;
    props.penWidth = m_penWidth;
    props.canFill = CanFill();
    if (!dialogs->EditShape(props))
        return false;
    m_fill = props.fill ? 1 : 0;
    m_lineColor = props.lineColor;
    m_fillColor = props.fillColor;
    m_penWidth = props.penWidth;
    return true;
}

bool CPrimitiveGraphics::CanFill() const
{
    return m_shape != kLine;
}
