// vellumark-cli: batch work on banners with the editor's own reading, writing and rendering.
//   info FILE --json        the banner as one JSON object
//   info FILE --gif-report  the GIF the export would write of it, page by page, as JSON
//   convert IN OUT [--lossy N] [--budget BYTES]
//                           .bnr or GIF in, .bnr or GIF out, chosen by name as the editor does;
//                           a GIF with lossy coding from level N (0..255), or the least lossy
//                           level whose file has at most BYTES bytes
//   render IN FRAME OUT.png frame FRAME (from 0) as rendered into a frame picture
// Exit status: 0 done, 1 failed (the editor's message on standard error), 2 wrong usage.
#include "BannerInfo.h"
#include "GifReport.h"
#include "ConsolePrompts.h"

#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "document/GifProgress.h"
#include "platform/AtomicFile.h"
#include "platform/ByteIO.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QJsonDocument>
#include <cstdio>
#include <cstring>
#include <limits>
#include <malloc.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
enum Exit { kDone = 0, kFailed = 1, kUsage = 2 };

// The application object. Text is drawn with fonts, which only the GUI application provides, and
// starting that costs more than many a whole command: it is made only once a banner with text is
// to be drawn.
class CliApplication {
public:
    CliApplication(int &argc, char **argv)
        : m_argc(argc), m_argv(argv), m_app(std::make_unique<QCoreApplication>(argc, argv))
    {
    }
    void ProvideFontsFor(const CBannerDoc &doc)
    {
        if (qobject_cast<QGuiApplication *>(m_app.get()) || !HasText(doc))
            return;
        m_app.reset();
        m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
    }

private:
    static bool HasText(const CBannerDoc &doc)
    {
        for (int k = 0; k < doc.GetFrameCount(); ++k)
            for (const auto &item : doc.GetFrame(k)->Items())
                if (item->ClassName() == "CText")
                    return true;
        return false;
    }

    int &m_argc;
    char **m_argv;
    std::unique_ptr<QCoreApplication> m_app;
};

int Usage(const char *why = nullptr)
{
    if (why)
        std::fprintf(stderr, "vellumark-cli: %s\n", why);
    std::fputs("usage: vellumark-cli info FILE --json\n"
               "       vellumark-cli info FILE --gif-report\n"
               "       vellumark-cli convert IN OUT [--lossy N] [--budget BYTES]\n"
               "       vellumark-cli render IN FRAME OUT.png\n",
               stderr);
    return kUsage;
}

bool Open(CBannerDoc &doc, const QString &path)
{
    return doc.OnOpenDocument(path);
}

int Info(CoreContext &context, const QString &path)
{
    CBannerDoc doc(context);
    if (!Open(doc, path))
        return kFailed;
    const QByteArray json = QJsonDocument(BannerInfoJson(doc)).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? kDone : kFailed;
}

int GifReport(CliApplication &app, CoreContext &context, const QString &path)
{
    CBannerDoc doc(context);
    QJsonObject report;
    if (!Open(doc, path))
        return kFailed;
    app.ProvideFontsFor(doc);
    if (!GifReportJson(doc, &report))
        return kFailed;
    const QByteArray json = QJsonDocument(report).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, std::size_t(json.size()), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? kDone : kFailed;
}

// Takes "--name VALUE" out of args: the value as a whole number within [low, high]. False when
// the option is there without a valid value.
bool TakeOption(QStringList *args, const QString &name, qint64 low, qint64 high, qint64 *value)
{
    const qsizetype at = args->indexOf(name);
    if (at < 0)
        return true;
    bool numeric = false;
    *value = at + 1 < args->size() ? args->at(at + 1).toLongLong(&numeric) : 0;
    if (!numeric || *value < low || *value > high)
        return false;
    args->remove(at, 2);
    return true;
}

int Convert(CliApplication &app, CoreContext &context, const QString &in, const QString &out)
{
    // The name decides the format as Save As does; anything else is refused before reading.
    const QString lower = out.toLower();
    if (!lower.contains(QLatin1String(".bnr")) && !lower.contains(QLatin1String(".gif"))) {
        Prompts::Instance().Message(CBannerDoc::InvalidExtensionMessage(), Prompts::Icon::Stop);
        return kFailed;
    }
    CBannerDoc doc(context);
    if (!Open(doc, in))
        return kFailed;
    app.ProvideFontsFor(doc);
    return doc.OnSaveDocument(out) ? kDone : kFailed;
}

int Render(CliApplication &app, CoreContext &context, const QString &in, const QString &frameArg, const QString &out)
{
    bool numeric = false;
    const int index = frameArg.toInt(&numeric);
    if (!numeric)
        return Usage("FRAME must be a frame number, counted from 0");
    CBannerDoc doc(context);
    if (!Open(doc, in))
        return kFailed;
    app.ProvideFontsFor(doc);
    if (index < 0 || index >= doc.GetFrameCount()) {
        const QByteArray why = QStringLiteral("frame %1 is outside the banner (frames 0 to %2)")
                                   .arg(index)
                                   .arg(doc.GetFrameCount() - 1)
                                   .toLocal8Bit();
        return Usage(why.constData());
    }
    ImagingControl &ctrl = context.RenderCtrl;
    ctrl.SetPageList(0);
    ctrl.CreateBitmap(doc.m_fWidth, doc.m_fHeight, 24);
    ctrl.SetDrawPersistent(true);
    doc.GetFrame(index)->RenderInto(ctrl);
    const QImage *bitmap = ctrl.GetBitmapDC();
    QImage picture = bitmap ? bitmap->convertToFormat(QImage::Format_RGB888) : QImage();
    ctrl.ReleaseBitmapDC();
    // 96 dots per inch, the screen's, whether or not the GUI application (and its screen) was
    // started for this banner.
    picture.setDotsPerMeterX(3780);
    picture.setDotsPerMeterY(3780);
    QString error;
    const bool written = !picture.isNull() && AtomicFile::Write(out, [&picture](QIODevice &device) {
        QImageWriter writer(&device, "png");
        return writer.write(picture);
    }, &error);
    if (!written) {
        Prompts::Instance().Message(QStringLiteral("Cannot save the file \"%1\": %2.").arg(out, error),
                                    Prompts::Icon::Stop);
        return kFailed;
    }
    return kDone;
}

// Long GIF reads and writes show a line that counts the frames, only for a person watching.
void ShowProgressOnTerminal()
{
    if (!::isatty(STDERR_FILENO))
        return;
    GifProgress::SetHandler([](GifProgress::Task task, int done, int total) {
        if (done >= total) {
            std::fputs("\r\033[K", stderr); // the line goes; messages start clean
        } else {
            std::fprintf(stderr, "\r%s frame %d of %d", task == GifProgress::Task::Import ? "Reading" : "Writing",
                         done + 1, total);
        }
        std::fflush(stderr);
    });
}
} // namespace

int main(int argc, char *argv[])
{
    // Pictures of a banner's frames come and go one after the other: memory once taken stays with
    // the process for the next ones, instead of going back to the system and being faulted in
    // afresh each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    // Runs without a display: the offscreen platform unless the caller chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (cron, ssh) Qt falls back to a private runtime folder but says so on
    // standard error, which carries only the editor's messages here: make the folder ourselves.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray runtime = QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(uint(getuid()));
        if (::mkdir(runtime.constData(), 0700) == 0 || QFileInfo(QString::fromLocal8Bit(runtime)).isDir())
            qputenv("XDG_RUNTIME_DIR", runtime);
    }
    CliApplication app(argc, argv);

    ConsolePrompts prompts;
    Prompts::Register(&prompts);
    CoreContext context;
    context.m_gifWarnState = 2; // a batch tool never shows the animated-GIF warning
    context.m_batch = true;
    ShowProgressOnTerminal();

    QStringList args = QCoreApplication::arguments().mid(1);
    qint64 lossy = 0, budget = 0;
    if (!args.isEmpty() && args[0] == QLatin1String("convert")
        && (!TakeOption(&args, QStringLiteral("--lossy"), 0, 255, &lossy)
            || !TakeOption(&args, QStringLiteral("--budget"), 1, std::numeric_limits<qint32>::max(), &budget))) {
        Prompts::Register(nullptr);
        return Usage("--lossy takes a level from 0 to 255, --budget a positive number of bytes");
    }
    context.m_gifOptions.lossy = int(lossy);
    context.m_gifOptions.budget = budget;
    // The banner is read through a mapping of its file: one shortened by another program while
    // the command runs fails the command instead of crashing it.
    if (args.size() >= 2)
        EndOnUnreadableMapping(QStringLiteral("Cannot read \"%1\": another program changed the file while it was read.\n")
                                   .arg(QFileInfo(args[1]).fileName())
                                   .toLocal8Bit(),
                               kFailed);

    int result = kUsage;
    if (args.size() == 3 && args[0] == QLatin1String("info") && args[2] == QLatin1String("--json"))
        result = Info(context, args[1]);
    else if (args.size() == 3 && args[0] == QLatin1String("info") && args[2] == QLatin1String("--gif-report"))
        result = GifReport(app, context, args[1]);
    else if (args.size() == 3 && args[0] == QLatin1String("convert"))
        result = Convert(app, context, args[1], args[2]);
    else if (args.size() == 4 && args[0] == QLatin1String("render"))
        result = Render(app, context, args[1], args[2], args[3]);
    else
        result = Usage();
    Prompts::Register(nullptr);
    // What the command wrote is complete by now. What is left is taking down the document and
    // the libraries' objects, memory the system takes back anyway: it would cost a millisecond.
    std::fflush(nullptr);
    std::_Exit(result);
}
