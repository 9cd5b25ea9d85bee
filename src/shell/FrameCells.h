#pragma once
// The picture of one frame as the Frames View lists it: a grey cell holding the frame's picture at
// 100 % and a caption line with its index and display time. The view and the printout draw
// cells through this one function.
#include "platform/Colorref.h"

#include <QImage>
#include <QRect>
#include <QString>

class CBannerDoc;

namespace FrameCells {
inline constexpr COLORREF StripGrey = RGB(190, 190, 190);
inline constexpr COLORREF SelectionBlue = RGB(0, 0, 255);

// Sizes from the document's banner width W and height H: a cell is W + 2 wide and H + 30 high.
struct Geometry {
    int width = 0;      // W, the thumbnail's width
    int height = 0;     // H, the thumbnail's height
    int stripWidth = 0; // StripWidth
    int cellHeight = 0; // CellHeight
    static Geometry Of(const CBannerDoc &doc);
    // Cell `index` in strip coordinates.
    QRect Cell(int index) const { return QRect(0, index * cellHeight, stripWidth, cellHeight); }
};

// "Frame : 0       Duration : 1000ms" for frame `index`.
QString Caption(const CBannerDoc &doc, int index);

// Cell `index` (stripWidth x cellHeight, RGB32): the frame rendered at 100 % and copied in at
// (1, 1), its caption below; the border ring is left grey. A null
// image for an index outside the frames.
QImage DrawCell(const CBannerDoc &doc, int index);
} // namespace FrameCells
