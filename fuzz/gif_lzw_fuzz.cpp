// Our LZW writer on arbitrary index data: the first bytes choose the page's width, the lossy
// error and the transparent index; the page is written, read back and must come back as
// the encoder said a decoder shows it (exactly the input when coding is exact).
#include "platform/imaging/GifCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const int width = 1 + data[0] % 64;
    const int error = data[1] % 4 == 0 ? data[1] / 8 : 0;
    const int transparent = data[2] % 2 ? data[3] : -1;
    data += 4;
    size -= 4;
    const int height = int(size) / width;
    if (height == 0 || height > 4096)
        return 0;
    QVector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.append(qRgb(i, (i * 37) & 255, 255 - i));
    GifCodec::Animation anim;
    anim.width = width;
    anim.height = height;
    anim.globalPalette = palette;
    anim.lossyError = error;
    GifCodec::Page page;
    page.image = QImage(width, height, QImage::Format_Indexed8);
    page.image.setColorTable(palette);
    page.transparentIndex = transparent;
    page.interlaced = (data[0] & 1) != 0;
    for (int y = 0; y < height; ++y)
        std::memcpy(page.image.scanLine(y), data + std::size_t(y) * std::size_t(width), std::size_t(width));
    anim.pages.push_back(page);
    QByteArray bytes;
    if (GifCodec::Write(anim, &bytes) != GifCodec::Ok)
        __builtin_trap();
    GifCodec::Animation back;
    if (GifCodec::Read(bytes, &back) != GifCodec::Ok || back.pages.size() != 1)
        __builtin_trap();
    const QImage &got = back.pages[0].image;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int was = data[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            const int now = got.constScanLine(y)[x];
            const QRgb a = palette[was], b = palette[now];
            const bool near = std::abs(qRed(a) - qRed(b)) <= error && std::abs(qGreen(a) - qGreen(b)) <= error
                && std::abs(qBlue(a) - qBlue(b)) <= error;
            if (!near || (was == transparent) != (now == transparent))
                __builtin_trap();
        }
    return 0;
}
