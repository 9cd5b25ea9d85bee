#pragma once
// The LZW image data of one GIF page: the minimum code size byte's value and the code stream cut
// into sub-blocks. giflib writes everything else of a file; its own encoder ties a page's code
// size to the size of the colour table, so a page using few entries of a large table would pay
// wider codes than its indices need. This encoder codes at the width the indices allow.
//
// Lossy coding (maxError > 0) lets a string run on over a pixel whose palette colour differs from
// the string's colour at that place by at most maxError in every channel, so the code stream gets
// shorter at the cost of exactness; the transparent index is matched exactly in both directions,
// because what shows through it is not its palette colour.
//
// Where another index shows the same as a pixel's (the colour a transparent pixel lets through),
// a string may run on over the pixel with either, exact or not.
#include <QByteArray>
#include <QRgb>
#include <QVector>
#include <cstddef>
#include <cstdint>

namespace GifLzw {

// The smallest minimum code size (2..8) that codes every index of `pixels`.
int MinCodeSize(const std::uint8_t *pixels, std::size_t count);

struct Lossy {
    int maxError = 0;              // 0: exact
    const QVector<QRgb> *palette = nullptr; // colours of the indices (required when maxError > 0)
    int transparentIndex = -1;
    // Per pixel, an index that shows the same there; the pixel's own where no other does
    // (nullptr: none anywhere).
    const std::uint8_t *alternatives = nullptr;
};

// Codes `pixels` (each < 2^codeSize) with the given minimum code size (2..8). Returns the data
// sub-blocks (each a length byte and up to 255 bytes), without the code size byte and without
// the terminating empty block. With lossy coding or alternatives, `pixels` is rewritten to what a
// decoder reads. Alternatives must be below 2^codeSize.
QByteArray Encode(std::uint8_t *pixels, std::size_t count, int codeSize, const Lossy &lossy = {});

} // namespace GifLzw
