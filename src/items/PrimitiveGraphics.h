#pragma once
// CPrimitiveGraphics: a rectangle, ellipse or line, told apart by m_shape, drawn with a pen whose
// width follows the zoom.
#include "items/Sprite.h"

class CPrimitiveGraphics : public CSprite {
public:
    enum Shape : std::int16_t { kRectangle = 0, kEllipse = 1, kLine = 2 };

    CPrimitiveGraphics();
    explicit CPrimitiveGraphics(const CRect &position);

    std::string_view ClassName() const override { return "CPrimitiveGraphics"; }

    std::unique_ptr<CSprite> Clone() const override;
    void Draw(ImagingControl &ctrl) override;
    void DrawInverted(ImagingControl &ctrl, int handle) override;
    // The normalised rectangle enlarged by the pen width on every side.
    void GetBounds(CRect *bounds) const override;
    using CSprite::GetBounds;
    // The Item properties dialog; false (nothing changed) when none is registered or on Cancel.
    bool EditProperties() override;
    // Whether the fill controls of the Item properties dialog are offered: not for a line.
    virtual bool CanFill() const;

    // Pen width in control pixels at the control's zoom, truncated toward zero.
    static std::int32_t PenWidthAtZoom(float zoomPercent, std::int16_t penWidth);

    std::int16_t m_shape = kRectangle; // any value other than 1 and 2 draws a rectangle
    std::uint32_t m_fill = 0;          // 32-bit boolean: fill rectangles and ellipses

protected:
    // Pen and fill, common to every drawing of shapes and strokes.
    void SetPenAndFill(ImagingControl &ctrl) const;
    void CopyShapeTo(CPrimitiveGraphics &copy) const;

private:
    void DrawShape(ImagingControl &ctrl);
};
