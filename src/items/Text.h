#pragma once
// CText: text of one or more lines drawn into the item's rectangle in the item's font and colour.
// m_penWidth is the size in whole points and is what drawing uses; m_logFont carries the face,
// weight and effects (its lfHeight is the same size, kept in step by the Text Properties dialog).
#include "items/LogFont.h"
#include "items/Sprite.h"
#include "platform/imaging/ImagingTypes.h"

#include <QString>

class CText : public CSprite {
public:
    CText();
    explicit CText(const CRect &position);

    std::string_view ClassName() const override { return "CText"; }

    std::unique_ptr<CSprite> Clone() const override;
    void Draw(ImagingControl &ctrl) override;
    // The Text Properties dialog; false when none is registered or the user cancels.
    bool EditProperties() override;
    void OnOpen() override;

    // What an empty text item shows on the screen, never in a frame picture.
    static QString Placeholder();
    // The imaging font text of this record is drawn with at a size in points.
    static ImagingFont DrawingFont(const LOGFONT &logFont, std::int16_t points);
    // The drawn size in points at a zoom: whole points, truncated, held in 16 bits.
    static std::int16_t DrawnPointSize(float zoomPercent, std::int16_t points);

    LOGFONT m_logFont;
    QString m_text; // lines separated by CR LF
};
