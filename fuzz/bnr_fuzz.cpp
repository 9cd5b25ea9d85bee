// The banner file reader on arbitrary bytes: it must refuse or accept without crashing, and what
// it accepts must write back to bytes that read to the same document. Read from a device (as files
// are, a window at a time), or from memory its pictures stay in (as a batch run reads a file), it
// must come to the same result.
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "platform/ByteIO.h"

#include <QBuffer>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static CoreContext *ctx = [] {
        auto *context = new CoreContext;
        // A budget of a few dozen frames, so that inputs within -max_len reach its refusal.
        context->m_memoryBudget = 16ll * 1024 * 1024;
        return context;
    }();
    CBannerDoc doc(*ctx);
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const BannerFile::ReadResult result = BannerFile::Read(doc, bytes);
    {
        QBuffer device(&bytes);
        device.open(QIODevice::ReadOnly);
        ByteReader reader(&device, size);
        CBannerDoc fromDevice(*ctx);
        if (BannerFile::Read(fromDevice, reader) != result
            || (result == BannerFile::ReadResult::Ok && BannerFile::Write(fromDevice) != BannerFile::Write(doc)))
            std::abort();
        // Kept alone, in memory of its own, so that a read past its end is seen.
        std::shared_ptr<char[]> kept(new char[size]);
        if (size > 0)
            std::memcpy(kept.get(), data, size);
        CBannerDoc inPlace(*ctx);
        if (BannerFile::Read(inPlace, std::shared_ptr<const char>(kept, kept.get()), size) != result
            || (result == BannerFile::ReadResult::Ok && BannerFile::Write(inPlace) != BannerFile::Write(doc)))
            std::abort();
    }
    if (result != BannerFile::ReadResult::Ok)
        return 0;
    const QByteArray written = BannerFile::Write(doc);
    CBannerDoc again(*ctx);
    if (BannerFile::Read(again, written) != BannerFile::ReadResult::Ok || BannerFile::Write(again) != written)
        std::abort();
    return 0;
}
