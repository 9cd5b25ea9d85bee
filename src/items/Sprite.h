#pragma once
// CSprite: the base of every item a user places on a frame. Items keep their geometry in frame
// pixels and draw themselves only through an imaging control, converting to the control's pixels
// with its zoom and display position. The fields are public: the banner file reads and writes
// them directly, in the record layout of each class.
#include "items/Geometry.h"
#include "platform/Colorref.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

class ImagingControl;

class CSprite {
public:
    // Without arguments: what a banner file reader constructs; every field then comes from the file.
    CSprite();
    // From the rectangle an item is created with; the other fields get their defaults.
    explicit CSprite(const CRect &position);
    virtual ~CSprite();

    CSprite(const CSprite &) = delete;
    CSprite &operator=(const CSprite &) = delete;

    // The serializable class name ("CSprite", "CText", ...) and schema (always 0).
    virtual std::string_view ClassName() const { return "CSprite"; }
    static constexpr std::uint16_t kSchema = 0;

    // 1. A new item of the same class: rectangle, colours, styles and pen width copied, class fields
    //    as each class says, reserved words zero. The caller owns it.
    virtual std::unique_ptr<CSprite> Clone() const;
    // 2. Paints the item through the control.
    virtual void Draw(ImagingControl &ctrl);
    // 3. The outline in the inverting draw mode (drawing it twice restores the picture).
    virtual void DrawInverted(ImagingControl &ctrl, int handle);
    // 4. Everything the item paints, in frame pixels.
    virtual void GetBounds(CRect *bounds) const;
    CRect GetBounds() const
    {
        CRect r;
        GetBounds(&r);
        return r;
    }
    // 5. White 7 x 7 squares with a black outline on every handle, the same size at every zoom.
    virtual void DrawTracker(ImagingControl &ctrl);
    // 6. The frame point of handle n (1-based); (-1, -1) for a number outside the handles.
    virtual CPoint GetHandle(int n) const;
    // 7. Eight box handles.
    virtual int GetHandleCount() const;
    // 8. The control's cursor code over handle n; -1 is the whole item.
    virtual int GetHandleCursor(int n) const;
    // 9, 10.
    virtual void SetLineColor(COLORREF color);
    virtual void SetFillColor(COLORREF color);
    // 11. Moves one handle by delta in frame pixels; handle -1 moves the whole item.
    virtual void MoveHandleBy(CPoint delta, int handle);
    // 12. A handle number when point (frame pixels) is on a handle and `selected`, -1 inside the
    //     item, 0 elsewhere. The view's control gives the zoom that sizes the handle test square.
    virtual int HitTest(CPoint point, ImagingControl &viewCtrl, bool selected) const;
    // 13. Whether the normalised rectangle and the normalised argument share any area.
    virtual bool Intersects(const CRect &rect) const;
    // 14. Lets the user edit the item; true when confirmed (the item may have changed).
    virtual bool EditProperties();
    // 15. Called once on a newly placed item.
    virtual void OnOpen();

    // Handles of the eight-handle items and their cursor codes, shared with the subclasses that keep them.
    static CPoint BoxHandle(const CRect &r, int n);
    static int BoxHandleCursor(const CRect &r, int n);
    // Side in frame pixels of the square that is 7 screen pixels wide at this zoom.
    static int HitSquareSide(float zoomPercent);

    // Cursor codes of the imaging control.
    enum Cursor { kCursorDefault = 0, kCursorArrow = 1, kCursorCross = 2, kCursorSizeNESW = 6,
                  kCursorSizeNS = 7, kCursorSizeNWSE = 8, kCursorSizeWE = 9 };

    CRect m_position;
    COLORREF m_lineColor = 0;
    COLORREF m_fillColor = 0xFFFFFF;
    std::uint16_t m_penStyle = 0;
    std::uint16_t m_fillStyle = 1;
    std::int16_t m_penWidth = 10;
    // Seven reserved words R1..R7 in declaration order: no behaviour, kept for the file only.
    std::array<std::uint32_t, 7> m_reserved{};

protected:
    // Copies the fields every Clone copies (not the reserved words).
    void CopyCommonTo(CSprite &copy) const;
    // Sets the pen and fill of the plain item drawing.
    void SetPlainDrawing(ImagingControl &ctrl) const;
};

// Creates an item from its serializable class name with the constructor without arguments;
// nothing for a name that is not one of the five item classes.
std::unique_ptr<CSprite> CreateSpriteByClassName(std::string_view className);
