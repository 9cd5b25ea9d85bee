#pragma once
// CPolyline: a freehand stroke, the points in the order they were recorded. Its rectangle is
// always the bounding box of its points, and every point is a handle.
#include "items/PrimitiveGraphics.h"

#include <vector>

class CPolyline : public CPrimitiveGraphics {
public:
    CPolyline();
    explicit CPolyline(const CRect &position);

    std::string_view ClassName() const override { return "CPolyline"; }

    std::unique_ptr<CSprite> Clone() const override;
    void Draw(ImagingControl &ctrl) override;
    // Handle -1: every segment; handle n: the segments that meet at point n.
    void DrawInverted(ImagingControl &ctrl, int handle) override;
    CPoint GetHandle(int n) const override;
    int GetHandleCount() const override;
    int GetHandleCursor(int n) const override;
    // Handle -1 moves every point, handle n only point n; the rectangle follows.
    void MoveHandleBy(CPoint delta, int handle) override;
    bool CanFill() const override;

    // Appends a point unless it equals the last one, and recomputes the rectangle.
    void AddPoint(CPoint point);
    // The rectangle becomes the bounding box of the points (inclusive); with no points nothing
    // changes. True when the rectangle changed.
    bool RecalcBounds();

    std::vector<CPoint> m_points;
    std::uint8_t m_closed = 0; // answers CanFill; the editor never sets it, a file may

private:
    void DrawSegment(ImagingControl &ctrl, std::size_t from) const;
};
