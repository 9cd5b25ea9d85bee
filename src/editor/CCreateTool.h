#pragma once
// The creation tools: a drag spans a new item cloned from the tool's prototype (rectangle,
// ellipse, line, text, image); the freehand tool records a stroke point by point. Both are
// one-shot: every release makes the select tool current again.
#include "editor/CItemTool.h"

class CCreateTool : public CItemTool {
public:
    explicit CCreateTool(std::unique_ptr<CSprite> prototype);

    void OnButtonDown(CFrameView &view, int shift, QPoint point) override;
    void OnButtonUp(CFrameView &view, int shift, QPoint point) override;
    void OnMouseMove(CFrameView &view, int shift, QPoint point) override;
};

class CFreehandTool : public CItemTool {
public:
    CFreehandTool();

    void OnButtonDown(CFrameView &view, int shift, QPoint point) override;
    void OnButtonUp(CFrameView &view, int shift, QPoint point) override;
    void OnMouseMove(CFrameView &view, int shift, QPoint point) override;
};
