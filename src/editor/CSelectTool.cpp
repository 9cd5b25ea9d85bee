#include "editor/CSelectTool.h"

#include "document/BannerFrame.h"
#include "editor/CFrameView.h"
#include "editor/ItemEdits.h"
#include "items/ItemDrawing.h"
#include "items/Sprite.h"
#include "platform/imaging/ImagingDC.h"
#include "platform/imaging/ImagingWindow.h"

namespace {
constexpr int kShift = 1;
constexpr int kCtrl = 2;

CPoint ToFrame(CFrameView &view, QPoint point)
{
    return ClientToBitmap(view.Control(), CPoint(point.x(), point.y()));
}
} // namespace

CSelectTool::CSelectTool() : CItemTool(kSelect, nullptr) {}

void CSelectTool::DrawNetRect(CFrameView &view, QPoint from, QPoint to)
{
    if (QImage *dc = view.Control().GetWindowDC()) {
        ImagingDC::DrawFocusRect(*dc, from.x(), from.y(), to.x(), to.y());
        view.Control().ReleaseWindowDC();
    }
}

void CSelectTool::OnButtonDown(CFrameView &view, int shift, QPoint point)
{
    DragState &drag = ItemTools::Instance().Drag();
    const CPoint p = ToFrame(view, point);
    drag.mode = DragState::Mode::None;
    const std::vector<CSprite *> &selection = view.Selection();
    if (selection.size() == 1) {
        const int h = selection.front()->HitTest(p, view.Control(), true);
        if (h != 0) {
            drag.activeHandle = h;
            drag.mode = DragState::Mode::MoveResize;
        }
    }
    CBannerFrame *frame = view.ShownFrameObject();
    if (drag.mode == DragState::Mode::None && frame) {
        if (CSprite *item = frame->ObjectAt(p)) {
            drag.mode = DragState::Mode::MoveResize;
            drag.activeHandle = -1;
            if (!view.IsSelected(item))
                view.Select(item, (shift & kShift) != 0);
            else if (shift & kShift)
                view.Deselect(item);
        }
    }
    // The selection may have asked for a repaint: let it happen now, or it would wipe the
    // feedback drawn next and leave its erasing to draw it instead.
    view.Window()->UpdateNow();
    if (drag.mode == DragState::Mode::MoveResize) {
        drag.DragList.clear();
        for (CSprite *item : view.Selection()) {
            drag.DragList.push_back(item->Clone());
            drag.DragList.back()->DrawInverted(view.Control(), drag.activeHandle);
        }
    } else {
        if (!(shift & kShift)) {
            view.Select(nullptr, false);
            view.Window()->UpdateNow();
        }
        drag.mode = DragState::Mode::NetSelection;
        DrawNetRect(view, point, point);
    }
    drag.lastDocPoint = p;
    CItemTool::OnButtonDown(view, shift, point);
}

void CSelectTool::OnMouseMove(CFrameView &view, int shift, QPoint point)
{
    ItemTools &tools = ItemTools::Instance();
    DragState &drag = tools.Drag();
    const bool current = tools.Current() == this;
    if (!drag.buttonDown) {
        if (!current)
            return;
        const std::vector<CSprite *> &selection = view.Selection();
        if (selection.size() == 1) {
            const int h = selection.front()->HitTest(ToFrame(view, point), view.Control(), true);
            if (h != 0) {
                view.Control().SetMouseCursor(selection.front()->GetHandleCursor(h));
                return;
            }
        }
        CItemTool::OnMouseMove(view, shift, point);
        return;
    }
    if (drag.mode == DragState::Mode::NetSelection) {
        DrawNetRect(view, drag.pressPoint, drag.lastPoint);
        DrawNetRect(view, drag.pressPoint, point);
        CItemTool::OnMouseMove(view, shift, point);
        return;
    }
    const CPoint p = ToFrame(view, point);
    const CPoint delta = p - drag.lastDocPoint;
    if (drag.mode == DragState::Mode::MoveResize && !(delta == CPoint())) {
        for (const auto &copy : drag.DragList) {
            copy->DrawInverted(view.Control(), drag.activeHandle);
            copy->MoveHandleBy(delta, drag.activeHandle);
            copy->DrawInverted(view.Control(), drag.activeHandle);
        }
    }
    drag.lastDocPoint = p;
    drag.lastPoint = point;
    if (drag.mode == DragState::Mode::MoveResize && current) {
        if (!drag.DragList.empty())
            view.Control().SetMouseCursor(drag.DragList.back()->GetHandleCursor(drag.activeHandle));
    } else if (current) {
        CItemTool::OnMouseMove(view, shift, point);
    }
}

void CSelectTool::OnButtonUp(CFrameView &view, int shift, QPoint point)
{
    DragState &drag = ItemTools::Instance().Drag();
    if (!drag.buttonDown)
        return;
    // The feedback is erased here once; no repaint from now on may draw it again.
    const DragState::Mode mode = drag.mode;
    drag.mode = DragState::Mode::None;
    if (mode == DragState::Mode::NetSelection) {
        DrawNetRect(view, drag.pressPoint, drag.lastPoint);
        const CRect net = CRect(drag.pressPoint.x(), drag.pressPoint.y(), drag.lastPoint.x(), drag.lastPoint.y())
                              .Normalized();
        view.SelectWithinRect(net, (drag.shift & kShift) != 0);
    } else if (mode == DragState::Mode::MoveResize) {
        for (const auto &copy : drag.DragList)
            copy->DrawInverted(view.Control(), drag.activeHandle);
        std::vector<std::unique_ptr<CSprite>> copies = std::move(drag.DragList);
        drag.DragList.clear();
        if (copies.empty()) {
            // Shift-clicking the only selected item leaves nothing to move.
        } else if (shift & kCtrl) {
            ItemEdits::AddCopies(view, std::move(copies));
        } else {
            ItemEdits::ReplaceByCopies(view, std::move(copies), drag.activeHandle >= 0);
        }
    }
    CItemTool::OnButtonUp(view, shift, point);
}

void CSelectTool::OnDoubleClick(CFrameView &view, int shift, QPoint point)
{
    if (view.Selection().size() == 1)
        ItemEdits::EditItem(view, view.Selection().front());
    CItemTool::OnDoubleClick(view, shift, point);
}
