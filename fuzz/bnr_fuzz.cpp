// The banner file reader on arbitrary bytes: it must refuse or accept without crashing, and what
// it accepts must write back to bytes that read to the same document.
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"

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
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (BannerFile::Read(doc, bytes) != BannerFile::ReadResult::Ok)
        return 0;
    const QByteArray written = BannerFile::Write(doc);
    CBannerDoc again(*ctx);
    if (BannerFile::Read(again, written) != BannerFile::ReadResult::Ok || BannerFile::Write(again) != written)
        std::abort();
    return 0;
}
