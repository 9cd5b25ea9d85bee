#include "shell/CommandLinePrint.h"

#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "platform/Prompts.h"
#include "shell/FramePrinting.h"

#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

#include <cstdio>

namespace {
// The file's own read failures reach standard error as well as the user's prompts.
class EchoingPrompts : public Prompts {
public:
    explicit EchoingPrompts(Prompts &inner) : m_inner(inner) {}
    Answer Message(const QString &text, Icon icon, Buttons buttons) override
    {
        std::fprintf(stderr, "vellumark: %s\n", text.toLocal8Bit().constData());
        return m_inner.Message(text, icon, buttons);
    }
    std::optional<FileChoice> OpenFile(const FileDialog &) override { return std::nullopt; }
    std::optional<FileChoice> SaveFile(const FileDialog &) override { return std::nullopt; }
    std::optional<COLORREF> ChooseColor(COLORREF) override { return std::nullopt; }
    std::optional<FontChoice> ChooseFont(const FontChoice &) override { return std::nullopt; }
    bool ShowGifWarning() override { return false; }

private:
    Prompts &m_inner;
};

class ScopedPrompts {
public:
    ScopedPrompts() : m_previous(Prompts::Instance()), m_echo(m_previous) { Prompts::Register(&m_echo); }
    ~ScopedPrompts() { Prompts::Register(&m_previous); }
    int Fail(const QString &text)
    {
        m_echo.Message(text, Prompts::Icon::Stop, Prompts::Buttons::Ok);
        return 1;
    }

private:
    Prompts &m_previous;
    EchoingPrompts m_echo;
};

QPrinterInfo ChoosePrinter(const QString &name)
{
    if (!name.isEmpty())
        return QPrinterInfo::printerInfo(name);
    QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull() && !QPrinterInfo::availablePrinters().isEmpty())
        printer = QPrinterInfo::availablePrinters().front();
    return printer;
}
} // namespace

namespace CommandLinePrint {

std::optional<int> Run(const QStringList &arguments)
{
    const QString form = arguments.value(1);
    if (form != QLatin1String("--print") && form != QLatin1String("--print-to"))
        return std::nullopt;
    ScopedPrompts prompts;
    const bool named = form == QLatin1String("--print-to");
    if (arguments.size() != (named ? 4 : 3))
        return prompts.Fail(QStringLiteral("Usage: vellumark --print FILE, or vellumark --print-to PRINTER FILE."));
    const QString printerName = named ? arguments[2] : QString();
    const QString path = QFileInfo(arguments.back()).absoluteFilePath();

    CoreContext context;
    // Printing asks nothing: the animated-GIF notice stays away.
    context.m_gifWarnState = 2;
    CBannerDoc doc(context);
    if (!doc.OnOpenDocument(path))
        return 1;
    const QPrinterInfo info = ChoosePrinter(printerName);
    if (info.isNull())
        return prompts.Fail(named ? QStringLiteral("There is no printer named \"%1\".").arg(printerName)
                                  : QStringLiteral("No printers are installed."));
    QPrinter printer(info);
    printer.setDocName(QFileInfo(path).fileName());
    if (!FramePrinting::Print(doc, printer))
        return prompts.Fail(QStringLiteral("Cannot print \"%1\" on \"%2\".")
                                .arg(QFileInfo(path).fileName(), info.printerName()));
    return 0;
}

} // namespace CommandLinePrint
