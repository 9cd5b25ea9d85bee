#pragma once
// Decoding the LZW image data of one GIF page straight from the file's bytes. giflib still parses
// the container (descriptors, palettes, extensions); only the code stream is decoded here, because
// giflib's line-by-line decoder costs most of the time of reading a long animation.
//
// The decoder gives exactly what giflib 5.2's DGifGetLine gives, on damaged data too: the same
// indices, the same refusals, and the same place where the container goes on. That includes
// giflib's own readings of streams that break the rules (a code beyond the table, a chain that
// loops back on itself), so a damaged file reads the same as it always did.
#include <cstddef>
#include <cstdint>

namespace GifLzw {

enum class DecodeStatus {
    Ok,
    Truncated, // the data ends before the page does, or its end code comes early
    Defect,    // an empty data block before the end, or a code the table cannot resolve
};

struct Decoded {
    DecodeStatus status = DecodeStatus::Ok;
    std::size_t end = 0; // Ok: the offset just past the page's terminating empty block
    int highest = 0;     // Ok: the highest index among the `count` decoded
};

// Bytes `out` must have room for beyond `count`: the last code may run on past the page, and
// the decoder keeps a row of its own there.
constexpr std::size_t kDecodeSlack = 4096 + 512;

// Decodes `count` indices from the sub-blocks starting at data[at] (just after the minimum code
// size byte, whose value is codeSize, 0..8) into out[0, count), then passes the sub-blocks left
// up to the terminating empty one.
Decoded Decode(const std::uint8_t *data, std::size_t size, std::size_t at, int codeSize, std::uint8_t *out,
               std::size_t count);

} // namespace GifLzw
