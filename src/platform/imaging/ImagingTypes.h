#pragma once
// Value types of the imaging engine: what a bitmap handle carries, the text font, result codes
// and file format codes.
#include "platform/Colorref.h"
#include "platform/imaging/PackedDib.h"

#include <QImage>
#include <QMap>
#include <QRect>
#include <QString>
#include <QVector>

// Result codes of ImagingControl methods: 0 is success. The numbers are what the editor shows
// after "Lead Error Code:", so keep them stable.
enum ImagingResult : short {
    ImagingOk = 0,
    ImagingErrOpen = 1,        // the file cannot be opened or read
    ImagingErrFormat = 2,      // not a picture format we read (or not what its name says)
    ImagingErrTruncated = 3,   // the data ends early or is corrupt
    ImagingErrTooLarge = 4,    // the picture exceeds Dib::kMaxSide / Dib::kMaxPixels
    ImagingErrNoPages = 5,     // a GIF without any image
    ImagingErrWrite = 6,       // the file cannot be written
    ImagingErrNoMemory = 7,
    ImagingErrNoBitmap = 8,    // the operation needs a bitmap and there is none
    ImagingErrArgument = 9,    // an argument is out of range (page index, size, bits, format)
    ImagingErrBudget = 10,     // the pages would need more memory than MemoryBudget allows
};

// What a result code means, in words for a message ("the data ends early or is corrupt").
QString ImagingResultText(int result);

// File formats of ReadFileInfo/InfoFormat and SaveFile.
enum ImagingFormat {
    ImagingFormatUnknown = 0,
    ImagingFormatBmp = 1,
    ImagingFormatGif = 2,
    ImagingFormatJpeg = 3,
    ImagingFormatPng = 4,
    ImagingFormatTiff = 5,
    ImagingFormatWebp = 6,
    ImagingFormatOther = 7, // any other format a Qt image plug-in reads (read only)
};

// A selection of pixels of a bitmap (RegionFromColor). mask is Format_Grayscale8 of the bitmap's
// size, non-zero inside; bounds is the bounding rectangle of the selected pixels (empty when
// none are selected).
struct ImagingRegion {
    QImage mask;
    QRect bounds;
    bool IsNull() const { return mask.isNull(); }
};

// One picture with the attributes of the page it is or becomes: what BitmapHandle hands from
// one control to another. Copying is cheap (the pixels are implicitly shared) and every copy is
// independent: changing one never changes another.
struct ImagingBitmap {
    QImage image;               // Format_RGB32; null when there is no picture
    int delayMs = 0;            // PageDelay
    int left = 0, top = 0;      // PageLeft, PageTop: offset on the animation's logical screen
    int disposal = 0;           // PageDisposal, 0..3 as in GIF
    bool transparent = false;   // PageTransparent
    COLORREF transparentColor = 0; // PageTransparentColor
    QVector<QRgb> palette;      // PaletteEntry: the page palette after ReduceColors or a GIF load
    QMap<int, COLORREF> userPalette; // PageUserPaletteEntry: entries ReduceColors/SaveFile keep fixed
    ImagingRegion region;       // RegionFromColor; CombineBitmap copies only the region's pixels
    DibHeaderExtras dib;        // header fields kept from SetFromDIB for a byte-identical GetAsDIB

    bool IsNull() const { return image.isNull(); }
};

// The text font ("a standard font object"), set member by member by the callers. Size is in
// whole points at a logical 96 dots per inch; Weight uses the LOGFONT scale (0 = normal, 400
// regular, 700 bold). Bold true draws at least at weight 700.
struct ImagingFont {
    QString Name = QStringLiteral("Arial");
    int Size = 10;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool Strikethrough = false;
    int Weight = 400;
};
