#pragma once
// Operations on the pictures that GetBitmapDC and GetWindowDC hand out (Format_RGB32), for the
// code that draws on them directly: the focus rectangle of net selection, the inverted
// rectangle of the Background dialog, framed rectangles and the stretched copy of image items.
// All are pixel-exact; the inverting ones restore the picture when done twice.
#include <QImage>
#include <QRect>
#include <QRgb>

namespace ImagingDC {
// The dotted focus rectangle (every other pixel of the border inverted), of the normalised
// rectangle given by its corners (right and bottom excluded). Drawing it twice erases it.
void DrawFocusRect(QImage &target, int left, int top, int right, int bottom);
// Inverts the one-pixel border of the normalised rectangle (right and bottom excluded): what a
// black pen with the "not XOR" mix mode and a hollow brush draws. Twice restores.
void InvertFrame(QImage &target, int left, int top, int right, int bottom);
// Paints the one-pixel border of the normalised rectangle (right and bottom excluded).
void FrameRect(QImage &target, int left, int top, int right, int bottom, QRgb color);
// Copies srcRect of src stretched into dstRect of target, taking the nearest pixel, clipped to
// the target (a source copy: no transparency, no aspect correction). Empty rectangles copy
// nothing. src may be any format; target must be Format_RGB32.
void StretchCopy(QImage &target, const QRect &dstRect, const QImage &src, const QRect &srcRect);
}
