// Our LZW writer on arbitrary index data: the first bytes choose the page's width, the lossy
// error and the transparent index; the page is written, read back and must come back as
// the encoder said a decoder shows it (exactly the input when coding is exact). Then the same
// data is written again as a second page over the first, with some pixels transparent, and what
// a viewer shows must be the second picture within the error.
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

    // The second page: every pixel whose index is a multiple of three lets the first show through.
    const int clear = transparent >= 0 ? transparent : 255;
    GifCodec::Page over = page;
    over.transparentIndex = clear;
    over.disposal = 1;
    page.transparentIndex = -1;
    page.disposal = 1;
    const auto at = [&](int x, int y) { return data[std::size_t(y) * std::size_t(width) + std::size_t(x)]; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            over.image.scanLine(y)[x] = at(x, y) % 3 == 0 ? std::uint8_t(clear) : std::uint8_t(at(x, y) == clear ? 0 : at(x, y));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (page.image.scanLine(y)[x] == clear)
                page.image.scanLine(y)[x] = 1; // the first page is opaque
    anim.pages = {page, over};
    if (GifCodec::Write(anim, &bytes) != GifCodec::Ok)
        __builtin_trap();
    if (GifCodec::Read(bytes, &back) != GifCodec::Ok || back.pages.size() != 2)
        __builtin_trap();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int first = page.image.constScanLine(y)[x], second = over.image.constScanLine(y)[x];
            const QRgb exact = palette[second == clear ? first : second];
            const int now = back.pages[1].image.constScanLine(y)[x];
            const QRgb shown = now == clear ? palette[back.pages[0].image.constScanLine(y)[x]] : palette[now];
            if (std::abs(qRed(exact) - qRed(shown)) > error || std::abs(qGreen(exact) - qGreen(shown)) > error
                || std::abs(qBlue(exact) - qBlue(shown)) > error || (second != clear && now == clear))
                __builtin_trap();
        }
    return 0;
}
