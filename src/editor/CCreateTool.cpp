#include "editor/CCreateTool.h"

#include "editor/CFrameView.h"
#include "editor/CSelectTool.h"
#include "editor/ItemEdits.h"
#include "items/ItemDrawing.h"
#include "items/Polyline.h"
#include "platform/imaging/ImagingWindow.h"

namespace {
CPoint ToFrame(CFrameView &view, QPoint point)
{
    return ClientToBitmap(view.Control(), CPoint(point.x(), point.y()));
}

// A fresh working copy of the prototype, alone in the drag list, spanning the point.
CSprite *StartWorkingCopy(CFrameView &view, const CSprite &prototype, CPoint p)
{
    DragState &drag = ItemTools::Instance().Drag();
    drag.DragList.clear();
    // A pending repaint would wipe the feedback drawn next.
    view.Window()->UpdateNow();
    drag.DragList.push_back(prototype.Clone());
    CSprite *item = drag.DragList.back().get();
    item->m_position = CRect(p.x, p.y, p.x, p.y);
    return item;
}

// The working copy, out of the drag list; none when no press started one.
std::unique_ptr<CSprite> TakeWorkingCopy()
{
    DragState &drag = ItemTools::Instance().Drag();
    std::unique_ptr<CSprite> item;
    if (!drag.DragList.empty())
        item = std::move(drag.DragList.front());
    drag.DragList.clear();
    return item;
}
} // namespace

CCreateTool::CCreateTool(std::unique_ptr<CSprite> prototype) : CItemTool(kCreate, std::move(prototype)) {}

void CCreateTool::OnButtonDown(CFrameView &view, int shift, QPoint point)
{
    CItemTool::OnButtonDown(view, shift, point);
    DragState &drag = ItemTools::Instance().Drag();
    const CPoint p = ToFrame(view, point);
    CSprite *item = StartWorkingCopy(view, *Prototype(), p);
    drag.mode = DragState::Mode::MoveResize;
    drag.activeHandle = 1;
    item->DrawInverted(view.Control(), 1);
    drag.lastDocPoint = p;
}

void CCreateTool::OnMouseMove(CFrameView &view, int shift, QPoint point)
{
    view.Control().SetMouseCursor(CSprite::kCursorCross);
    // Handle 1 of the new item follows the mouse; the corner where the drag began stays.
    ItemTools::Instance().Select().OnMouseMove(view, shift, point);
}

void CCreateTool::OnButtonUp(CFrameView &view, int shift, QPoint point)
{
    DragState &drag = ItemTools::Instance().Drag();
    const bool wasDown = drag.buttonDown;
    CItemTool::OnButtonUp(view, shift, point);
    drag.mode = DragState::Mode::None;
    std::unique_ptr<CSprite> item = TakeWorkingCopy();
    if (!wasDown || !item)
        return;
    // Erased here rather than left to the repaint, so that a click that creates nothing leaves
    // no inverted pixel behind.
    item->DrawInverted(view.Control(), 1);
    if (point != drag.pressPoint)
        ItemEdits::PlaceCreatedItem(view, std::move(item));
}

CFreehandTool::CFreehandTool() : CItemTool(kCreate, std::make_unique<CPolyline>()) {}

void CFreehandTool::OnButtonDown(CFrameView &view, int shift, QPoint point)
{
    CItemTool::OnButtonDown(view, shift, point);
    ItemTools::Instance().Drag().mode = DragState::Mode::None;
    const CPoint p = ToFrame(view, point);
    static_cast<CPolyline *>(StartWorkingCopy(view, *Prototype(), p))->AddPoint(p);
}

void CFreehandTool::OnMouseMove(CFrameView &view, int shift, QPoint point)
{
    CItemTool::OnMouseMove(view, shift, point);
    DragState &drag = ItemTools::Instance().Drag();
    if (!drag.buttonDown || drag.DragList.empty())
        return;
    auto *stroke = static_cast<CPolyline *>(drag.DragList.front().get());
    const std::size_t before = stroke->m_points.size();
    stroke->AddPoint(ToFrame(view, point));
    // A move within the same frame pixel adds no point; drawing the newest segment again
    // would erase it from the feedback.
    if (stroke->m_points.size() != before)
        stroke->DrawInverted(view.Control(), int(stroke->m_points.size()));
}

void CFreehandTool::OnButtonUp(CFrameView &view, int shift, QPoint point)
{
    DragState &drag = ItemTools::Instance().Drag();
    if (drag.buttonDown) {
        if (std::unique_ptr<CSprite> stroke = TakeWorkingCopy()) {
            stroke->DrawInverted(view.Control(), -1);
            ItemEdits::PlaceStroke(view, std::move(stroke));
        }
    }
    CItemTool::OnButtonUp(view, shift, point);
}
