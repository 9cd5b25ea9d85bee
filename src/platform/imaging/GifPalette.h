#pragma once
// The palettes of a GIF being written, at the level of palette entries: which colours the global
// palette holds, where wanted entries go, in what order entries come, and the maps that move the
// pages' indices along. The steps of ImagingControl::EncodeGif.
#include <QImage>
#include <QMap>
#include <QVector>
#include <array>
#include <vector>

namespace GifPalette {

// The reserved colours, then the colours used by the most pages, at most maxColors in all.
QVector<QRgb> CommonPalette(const std::vector<QVector<QRgb>> &palettes, const QVector<QRgb> &reserved, int maxColors);

// Lets more pages use the global palette: a colour of it that no page fully covered by it uses
// is worth nothing there, so it gives way to the colours a page lacks; the pages that lack the
// fewest go first. A page once covered stays covered, and reserved colours stay.
void CoverMorePages(QVector<QRgb> *shared, const std::vector<QVector<QRgb>> &palettes, const QVector<QRgb> &reserved,
                    int maxColors);

// True when every colour of `part` is in `whole`.
bool Covers(const QVector<QRgb> &whole, const QVector<QRgb> &part);

// Rewrites an indexed picture from its palette `from` to the palette `to`; false (picture left
// as it was) when a colour it uses is not in `to`.
bool Remap(QImage *image, const QVector<QRgb> &from, const QVector<QRgb> &to);

// Old palette index -> new palette index.
using IndexMap = std::array<int, 256>;

// Every index to itself.
IndexMap IdentityMap();

// Moves each wanted colour to its wanted palette index (index -> colour), swapping it with the
// entry there, or growing the palette when the index lies past its end but below `capacity`
// (an index at or past it is not honoured: the colour keeps its place). A colour already fixed
// at another index is written a second time. Returns where each old entry went; the pictures
// using the palette must be remapped with it. An index that cannot be honoured (the palette is
// full and the entry there is in use) is left as it is.
IndexMap PlaceEntries(QVector<QRgb> *palette, const QMap<int, QRgb> &wanted, int capacity = 256);

// Moves an indexed picture's pixels along a map (nothing to do for the identity).
void ApplyMap(QImage *indexed, const IndexMap &map);

// The entries of a palette a page uses.
using EntrySet = std::array<bool, 256>;

// The entries each page sharing the global palette uses once `map` is applied to it, from the
// exact listing's entries when there are any (listed), else read from the pixels; none for the
// pages with their own palette.
std::vector<EntrySet> EntriesUsed(const std::vector<QImage> &indexed, const std::vector<bool> &local,
                                  const std::vector<std::vector<uchar>> &listed, const IndexMap &map);

// Orders the global palette so that each page's highest index, and with it the width of its LZW
// codes, stays small: the pages with the fewest colours place theirs first, each page's colours
// in the order of how many pages use them (the transparent colour, which nearly every page uses,
// comes early), then the colours no page placed. Returns where each entry went; `used` holds the
// entries of the pages using the global palette, the others are skipped.
IndexMap OrderByUse(QVector<QRgb> *shared, const std::vector<EntrySet> &used, const std::vector<bool> &local);

} // namespace GifPalette
