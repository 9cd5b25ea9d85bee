// The document's GIF import on arbitrary bytes: the checked read (format, banner size, warning
// state) and LoadGif itself, which composes pages of any size and offset onto the banner.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "platform/ScriptedPrompts.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace {
struct Harness {
    Harness()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "gif_import_fuzz";
        static char *argv[] = {name, nullptr};
        app = new QGuiApplication(argc, argv);
        Prompts::Register(&prompts);
        context = new CoreContext;
        context->m_gifWarnState = 2;
        // A budget of a few dozen frames, so that inputs within -max_len reach its refusal.
        context->m_memoryBudget = 16ll * 1024 * 1024;
        path = dir.path() + QStringLiteral("/input.gif");
    }
    QGuiApplication *app = nullptr;
    ScriptedPrompts prompts;
    CoreContext *context = nullptr;
    QTemporaryDir dir;
    QString path;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Harness harness;
    {
        QFile file(harness.path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    {
        CBannerDoc doc(*harness.context);
        doc.ReadGif(harness.path);
    }
    {
        CBannerDoc doc(*harness.context);
        if (doc.LoadGif(harness.path, harness.context->FileCtrl) && doc.GetFrameCount() < 1)
            __builtin_trap(); // a successful read always gives frames
    }
    harness.prompts.messages.clear();
    return 0;
}
