// GifCodec::Read on arbitrary bytes: every page, one page, and a rewrite of what was read.
#include "platform/imaging/GifCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    int w = 0, h = 0;
    GifCodec::ReadInfo(bytes, &w, &h);
    GifCodec::Animation anim;
    if (GifCodec::Read(bytes, &anim) == GifCodec::Ok) {
        // Whatever we read, we can write, and read back alike.
        QByteArray again;
        if (GifCodec::Write(anim, &again) != GifCodec::Ok)
            __builtin_trap();
        GifCodec::Animation second;
        if (GifCodec::Read(again, &second) != GifCodec::Ok || second.pages.size() != anim.pages.size())
            __builtin_trap();
    }
    GifCodec::Read(bytes, &anim, 1);
    return 0;
}
