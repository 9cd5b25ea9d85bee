#pragma once
// The mouse tools of the Banner View. The view hands every mouse event of its imaging control
// to the current tool; tools give feedback by inverted drawing on the control's window surface
// and change the document only when the button is released (through ItemEdits).
#include "items/Geometry.h"

#include <QPoint>
#include <memory>
#include <vector>

class CFrameView;
class CSprite;
class CPrimitiveGraphics;
class CSelectTool;
class CCreateTool;
class CFreehandTool;

class CItemTool {
public:
    enum Kind { kSelect = 0, kCreate = 2 };

    CItemTool(int kind, std::unique_ptr<CSprite> prototype);
    virtual ~CItemTool();
    CItemTool(const CItemTool &) = delete;
    CItemTool &operator=(const CItemTool &) = delete;

    // Points are control pixels; shift is the control's mask (1 Shift, 2 Ctrl).
    virtual void OnButtonDown(CFrameView &view, int shift, QPoint point);
    virtual void OnDoubleClick(CFrameView &view, int shift, QPoint point);
    virtual void OnButtonUp(CFrameView &view, int shift, QPoint point);
    virtual void OnMouseMove(CFrameView &view, int shift, QPoint point);

    int Kind() const { return m_kind; }
    // What a creation tool clones; none for the select tool.
    CSprite *Prototype() const { return m_prototype.get(); }

private:
    int m_kind;
    std::unique_ptr<CSprite> m_prototype;
};

// The one drag that can be under way in the application, whichever view it happens in.
struct DragState {
    enum class Mode { None, NetSelection, MoveResize };

    bool buttonDown = false;
    CFrameView *view = nullptr; // where the press was
    int shift = 0;         // at the press
    QPoint pressPoint;     // control pixels
    QPoint lastPoint;      // control pixels
    Mode mode = Mode::None;
    int activeHandle = -1; // a handle number, or -1 for whole items
    CPoint lastDocPoint;   // frame pixels, from which each step's delta is measured
    // Working copies being dragged or created, owned here until a frame takes them.
    std::vector<std::unique_ptr<CSprite>> DragList;
};

// The application's tools, created once with their prototypes, the current tool and the drag state.
class ItemTools {
public:
    static ItemTools &Instance();
    ~ItemTools();

    CItemTool *Current() const { return m_current; }
    // Makes the registered tool of this kind and prototype current; when none matches the
    // current tool stays and the answer is false.
    bool Choose(int kind, const CSprite *prototype);
    const std::vector<CItemTool *> &List() const { return m_list; }

    CSelectTool &Select() const { return *m_select; }
    CCreateTool &Text() const { return *m_text; }
    CCreateTool &Shape() const { return *m_shape; }
    CCreateTool &Image() const { return *m_image; }
    CFreehandTool &Freehand() const { return *m_freehand; }
    // The shape tool's prototype, whose m_shape the Rectangle, Ellipse and Line commands set.
    CPrimitiveGraphics &ShapePrototype() const;

    DragState &Drag() { return m_drag; }
    // Ends a drag whose release never reached a tool, changing nothing; a creation tool hands
    // back to the select tool as at any release.
    void AbandonDrag();
    // Draws the feedback of a drag under way in `view` again, after a repaint of the view
    // (scrolling, say) has painted over it, so that the next erasing finds it.
    void RedrawFeedback(CFrameView &view);

private:
    ItemTools();
    template <class Tool> Tool *Register(std::unique_ptr<Tool> tool);

    std::vector<std::unique_ptr<CItemTool>> m_owned;
    std::vector<CItemTool *> m_list;
    CSelectTool *m_select = nullptr;
    CCreateTool *m_text = nullptr;
    CCreateTool *m_shape = nullptr;
    CCreateTool *m_image = nullptr;
    CFreehandTool *m_freehand = nullptr;
    CItemTool *m_current = nullptr;
    DragState m_drag;
};
