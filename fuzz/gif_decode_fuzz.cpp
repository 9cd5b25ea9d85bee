// Our LZW decoder against giflib's on arbitrary image data. The first bytes choose the code size,
// the page's size and interlacing, and a screen that may cut the page; the rest is the page's data
// and whatever follows it. Both decoders must accept or refuse alike, for the same reason, give the
// same indices and leave the file at the same place; GifCodec::Read must keep the same page.
#include "platform/imaging/GifCodec.h"
#include "platform/imaging/GifLzwDecode.h"

#include <gif_lib.h>

#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Input {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t pos = 0;
    bool hitEnd = false;
};

int ReadInput(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *in = static_cast<Input *>(gif->UserData);
    const std::size_t n = std::min(std::size_t(std::max(length, 0)), in->size - in->pos);
    if (n < std::size_t(std::max(length, 0)))
        in->hitEnd = true;
    std::memcpy(buffer, in->data + in->pos, n);
    in->pos += n;
    return int(n);
}

// giflib's reading of the page: the outcome as GifCodec reports it, the indices in stored order
// and where the file goes on.
GifLzw::DecodeStatus GiflibDecode(const QByteArray &file, int w, int h, std::vector<std::uint8_t> *indices,
                                  std::size_t *end)
{
    Input in{reinterpret_cast<const std::uint8_t *>(file.constData()), std::size_t(file.size())};
    int error = 0;
    GifFileType *gif = DGifOpen(&in, ReadInput, &error);
    if (!gif)
        __builtin_trap(); // the header is ours and whole
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR || type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR)
        __builtin_trap();
    indices->assign(std::size_t(w) * std::size_t(h), 0);
    int r = GIF_OK;
    for (int y = 0; y < h && r == GIF_OK; ++y)
        r = DGifGetLine(gif, indices->data() + std::size_t(y) * std::size_t(w), w);
    const int why = gif->Error;
    DGifCloseFile(gif, nullptr);
    *end = in.pos;
    if (r == GIF_OK)
        return GifLzw::DecodeStatus::Ok;
    return in.hitEnd || why == D_GIF_ERR_EOF_TOO_SOON || why == D_GIF_ERR_READ_FAILED ? GifLzw::DecodeStatus::Truncated
                                                                                      : GifLzw::DecodeStatus::Defect;
}

void Put16(QByteArray *b, int v)
{
    b->append(char(v & 0xff));
    b->append(char(v >> 8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 8)
        return 0;
    const int codeSize = data[0] % 9;
    const int w = 1 + data[1] % 128, h = 1 + data[2] % 128;
    const bool interlaced = data[3] & 1;
    const int screenW = 1 + data[4] % 160, screenH = 1 + data[5] % 160;
    const int left = data[6] % 64, top = data[7] % 64;

    QByteArray file("GIF89a");
    Put16(&file, screenW);
    Put16(&file, screenH);
    file.append("\x80\x00\x00", 3); // a global table of two entries
    file.append("\x00\x00\x00\xff\xff\xff", 6);
    file.append(',');
    Put16(&file, left);
    Put16(&file, top);
    Put16(&file, w);
    Put16(&file, h);
    file.append(char(interlaced ? 0x40 : 0x00));
    file.append(char(codeSize));
    const std::size_t at = std::size_t(file.size());
    file.append(reinterpret_cast<const char *>(data + 8), qsizetype(size - 8));

    std::vector<std::uint8_t> expected;
    std::size_t expectedEnd = 0;
    const GifLzw::DecodeStatus status = GiflibDecode(file, w, h, &expected, &expectedEnd);

    const std::size_t count = expected.size();
    std::vector<std::uint8_t> got(count + GifLzw::kDecodeSlack);
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(file.constData());
    const GifLzw::Decoded decoded = GifLzw::Decode(bytes, std::size_t(file.size()), at, codeSize, got.data(), count);
    if (decoded.status != status)
        __builtin_trap();
    if (status == GifLzw::DecodeStatus::Ok
        && (decoded.end != expectedEnd || std::memcmp(got.data(), expected.data(), count) != 0
            || decoded.highest != *std::max_element(expected.begin(), expected.end())))
        __builtin_trap();

    // The reader keeps the page's part on the screen, rows in their places, or refuses the file.
    GifCodec::Animation anim;
    const int read = GifCodec::Read(file, &anim, -1, nullptr, true);
    if (status != GifLzw::DecodeStatus::Ok) {
        if (read == GifCodec::Ok)
            __builtin_trap();
        return 0;
    }
    if (read != GifCodec::Ok)
        return 0; // what follows the page is damaged
    const GifCodec::Page &page = anim.pages.front();
    const int keptW = std::max(0, std::min(w, screenW - left)), keptH = std::max(0, std::min(h, screenH - top));
    if (keptW == 0 || keptH == 0) {
        if (!page.image.isNull())
            __builtin_trap();
        return 0;
    }
    if (page.image.width() != keptW || page.image.height() != keptH)
        __builtin_trap();
    std::vector<int> rowOf; // stored row -> page row
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
        for (int y = interlaced ? kStart[pass] : 0; y < h; y += interlaced ? kStep[pass] : 1)
            rowOf.push_back(y);
    int highest = 0;
    for (int k = 0; k < h; ++k) {
        if (rowOf[std::size_t(k)] >= keptH)
            continue;
        const std::uint8_t *want = expected.data() + std::size_t(k) * std::size_t(w);
        if (std::memcmp(page.image.constScanLine(rowOf[std::size_t(k)]), want, std::size_t(keptW)) != 0)
            __builtin_trap();
        highest = std::max<int>(highest, *std::max_element(want, want + keptW));
    }
    if (page.image.colorCount() != std::max(2, highest + 1))
        __builtin_trap();
    return 0;
}
