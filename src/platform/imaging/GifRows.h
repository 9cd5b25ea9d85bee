#pragma once
// The order in which a GIF stores a page's rows, shared by the reader and the writer.
#include <gif_lib.h>

namespace GifCodec {

// Visits the rows of a page in the order the file stores them: top to bottom, or in the four
// passes of an interlaced page. Stops at the first row that fails.
template <typename Row>
int ForEachStoredRow(int height, bool interlaced, Row row)
{
    static const int kStart[4] = {0, 4, 2, 1};
    static const int kStep[4] = {8, 8, 4, 2};
    const int passes = interlaced ? 4 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        const int start = interlaced ? kStart[pass] : 0, step = interlaced ? kStep[pass] : 1;
        for (int y = start; y < height; y += step) {
            if (row(y) == GIF_ERROR)
                return GIF_ERROR;
        }
    }
    return GIF_OK;
}

} // namespace GifCodec
