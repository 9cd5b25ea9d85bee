// GifCodec::Read on arbitrary bytes: every page, one page, pages cut to the screen within a
// budget, and a rewrite of what was read.
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
    // Pages cut to the screen, within a pixel budget.
    if (GifCodec::Read(bytes, &anim, -1, nullptr, true, 1 << 20) == GifCodec::Ok) {
        for (const GifCodec::Page &page : anim.pages)
            if (!page.image.isNull() && anim.width > 0 && anim.height > 0
                && (page.left + page.image.width() > anim.width || page.top + page.image.height() > anim.height))
                __builtin_trap();
    }
    return 0;
}
