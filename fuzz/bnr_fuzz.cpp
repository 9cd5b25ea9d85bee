// The banner file reader on arbitrary bytes: it must refuse or accept without crashing, and what
// it accepts must write back to bytes that read to the same document. Read from a device (as files
// are, a window at a time), it must come to the same result.
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "platform/ByteIO.h"

#include <QBuffer>
#include <cstdlib>

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
    }
    if (result != BannerFile::ReadResult::Ok)
        return 0;
    const QByteArray written = BannerFile::Write(doc);
    CBannerDoc again(*ctx);
    if (BannerFile::Read(again, written) != BannerFile::ReadResult::Ok || BannerFile::Write(again) != written)
        std::abort();
    return 0;
}
