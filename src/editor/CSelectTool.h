#pragma once
// The select tool: click and Shift-click selection, net selection with a focus rectangle, moving
// the selection, resizing the single selected item by a handle, copying by Ctrl at the release,
// and editing the single selected item by double-click.
#include "editor/CItemTool.h"

class CSelectTool : public CItemTool {
public:
    CSelectTool();

    void OnButtonDown(CFrameView &view, int shift, QPoint point) override;
    void OnDoubleClick(CFrameView &view, int shift, QPoint point) override;
    void OnButtonUp(CFrameView &view, int shift, QPoint point) override;
    // Also what the creation tools call while a new item's corner follows the mouse.
    void OnMouseMove(CFrameView &view, int shift, QPoint point) override;

    // The dotted focus rectangle of net selection; drawing it twice erases it.
    static void DrawNetRect(CFrameView &view, QPoint from, QPoint to);
};
