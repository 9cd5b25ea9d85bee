#pragma once
// CStamp: an imported picture stretched to fill the item's rectangle. The item owns its picture,
// a packed DIB, or has none and then shows a placeholder on the screen.
#include "items/Sprite.h"
#include "platform/imaging/PackedDib.h"

#include <QString>

class CStamp : public CSprite {
public:
    CStamp();
    explicit CStamp(const CRect &position);
    ~CStamp() override;

    std::string_view ClassName() const override { return "CStamp"; }

    // Same rectangle (the other fields at their defaults) and its own copy of the picture.
    std::unique_ptr<CSprite> Clone() const override;
    void Draw(ImagingControl &ctrl) override;
    // Offers the file dialog and replaces the picture with the chosen file's. A file that cannot
    // be decoded is reported and leaves the item's picture as it was. Always true.
    bool EditProperties() override;
    void OnOpen() override;

    bool HasPicture() const { return m_hDib != nullptr; }
    // Takes the block as the item's picture (an empty block or none: no picture).
    void SetPicture(std::unique_ptr<PackedDib> dib);

    static QString Placeholder();
    static QString FileFilter();

    std::unique_ptr<PackedDib> m_hDib;
};
