#pragma once
// One device-independent bitmap with a palette made for it, drawn unscaled or stretched. The
// splash window shows its picture through it. Pixels are read by the packed-DIB decoder, so a
// bitmap resource and a picture block are read by the same code.
#include "items/Geometry.h"
#include "platform/imaging/PackedDib.h"

#include <QImage>
#include <QVector>
#include <cstdint>

class QPainter;

// The description of an attached bitmap; all zero when none is attached.
struct DibDescription {
    std::int32_t type = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t widthBytes = 0; // bytes per stored row, padded to 4
    std::uint16_t planes = 0;
    std::uint16_t bitsPixel = 0;
    bool operator==(const DibDescription &) const = default;
};

// A logical palette: the colour table's entries in table order, or the screen's halftone
// palette for a bitmap without a colour table.
struct DibPalette {
    QVector<QRgb> entries;
    bool halftone = false;
    bool IsEmpty() const { return entries.isEmpty(); }
    // The 6 x 6 x 6 colour cube a true-colour picture is shown with on a palette screen.
    static DibPalette Halftone();
};

class CDib {
public:
    CDib() = default;
    ~CDib() { Release(); }
    CDib(const CDib &) = delete;
    CDib &operator=(const CDib &) = delete;

    // Loads the bitmap resource `id` (a BMP file among the program's resources). False when it
    // is missing or cannot be read; the CDib stays empty then.
    bool LoadFromResource(unsigned id);
    // Takes the picture of a packed DIB block, describes it and makes its palette. False (and
    // empty) when the block cannot be read.
    bool Attach(const PackedDib &block);
    void Release();

    bool IsEmpty() const { return m_image.isNull(); }
    // (0, 0) when empty.
    QSize GetSize() const;
    const DibDescription &Description() const { return m_description; }
    const DibPalette &Palette() const { return m_palette; }
    // Copies up to `maximum` colour-table entries and returns how many the bitmap has (0 for a
    // bitmap of more than 8 bits per pixel).
    int GetColorTable(QRgb *entries, int maximum) const;

    // Draws `source` of the bitmap into `destination`. Missing rectangles mean the whole bitmap
    // at the painter's origin; with `useDrawDib` a -1 width or height stands for the bitmap's
    // own. `palette` (or the bitmap's own) is the palette the picture is realised with; on a
    // true-colour surface it leaves the picture unchanged. False when nothing is attached.
    bool Draw(QPainter &painter, const CRect *destination = nullptr, const CRect *source = nullptr,
              bool useDrawDib = true, const DibPalette *palette = nullptr, bool foreground = false) const;
    // The plain transfer: a copy when the sizes match, else a stretch that drops or repeats
    // whole rows and columns (no smoothing).
    static bool DrawBitmap(QPainter &painter, const CDib &dib, const CRect *destination = nullptr,
                           const CRect *source = nullptr);

private:
    QImage m_image;
    DibDescription m_description;
    DibPalette m_palette;
    QVector<QRgb> m_colorTable;
};
