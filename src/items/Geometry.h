#pragma once
// Points and rectangles of item geometry, in the Windows form the banner file stores: a rectangle
// is four signed 32-bit edges whose corners may be in either order (an item dragged up or to the
// left is stored inverted), and the right and bottom edges are excluded from its area.
#include <algorithm>
#include <cstdint>

struct CPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    constexpr CPoint() = default;
    constexpr CPoint(std::int32_t px, std::int32_t py) : x(px), y(py) {}
    friend constexpr bool operator==(const CPoint &, const CPoint &) = default;
    constexpr CPoint operator+(const CPoint &o) const { return {x + o.x, y + o.y}; }
    constexpr CPoint operator-(const CPoint &o) const { return {x - o.x, y - o.y}; }
};

struct CRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b)
        : left(l), top(t), right(r), bottom(b) {}
    constexpr CRect(CPoint topLeft, CPoint bottomRight)
        : left(topLeft.x), top(topLeft.y), right(bottomRight.x), bottom(bottomRight.y) {}
    friend constexpr bool operator==(const CRect &, const CRect &) = default;

    // Edges come from files and may lie anywhere: spans are taken in 64 bits and saturated, so
    // extreme coordinates never overflow.
    static constexpr std::int32_t Saturate(std::int64_t v)
    {
        return v > INT32_MAX ? INT32_MAX : (v < INT32_MIN ? INT32_MIN : std::int32_t(v));
    }
    static constexpr std::int32_t Span(std::int32_t from, std::int32_t to) { return Saturate(std::int64_t(to) - from); }
    static constexpr std::int32_t Moved(std::int32_t edge, std::int32_t by) { return Saturate(std::int64_t(edge) + by); }
    constexpr std::int32_t Width() const { return Span(left, right); }
    constexpr std::int32_t Height() const { return Span(top, bottom); }
    constexpr CPoint TopLeft() const { return {left, top}; }
    constexpr CPoint BottomRight() const { return {right, bottom}; }

    // Swaps the edges so that left <= right and top <= bottom.
    constexpr void NormalizeRect()
    {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    constexpr CRect Normalized() const
    {
        CRect r = *this;
        r.NormalizeRect();
        return r;
    }
    // Empty when it has no area: zero or negative width or height.
    constexpr bool IsRectEmpty() const { return right <= left || bottom <= top; }
    // Right and bottom edges excluded.
    constexpr bool PtInRect(CPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    constexpr void InflateRect(std::int32_t dx, std::int32_t dy)
    {
        left = Saturate(std::int64_t(left) - dx);
        top = Saturate(std::int64_t(top) - dy);
        right = Moved(right, dx);
        bottom = Moved(bottom, dy);
    }
    constexpr void OffsetRect(std::int32_t dx, std::int32_t dy)
    {
        left = Moved(left, dx);
        top = Moved(top, dy);
        right = Moved(right, dx);
        bottom = Moved(bottom, dy);
    }
    // The common area of two normalised rectangles; false (and an empty result) when there is none.
    static constexpr bool Intersect(const CRect &a, const CRect &b, CRect *out = nullptr)
    {
        const CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom));
        const bool any = !a.IsRectEmpty() && !b.IsRectEmpty() && !r.IsRectEmpty();
        if (out)
            *out = any ? r : CRect();
        return any;
    }
};
