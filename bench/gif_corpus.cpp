// Helper of bench/gif_compare.sh: builds banners of moving shapes and changing text over a flat or
// photographic background, renders their frames to PNG files for the peer tools, and times the
// editor's own GIF export and import of the same banners.
//   gif_corpus export flat|photo FRAMES OUTDIR [--no-frames]   frames in OUTDIR/frames, ours in OUTDIR/ours.gif
//   gif_corpus export flat|photo FRAMES OUTDIR --lossy N   the same banner, ours-lossy.gif at level N
//   gif_corpus estimate flat|photo FRAMES OUTDIR   times the background size estimate of the banner
//                                                 and compares it with the exported file
//   gif_corpus import GIF                        times opening the GIF as a banner
//   gif_corpus psnr GIF FRAMESDIR                 mean PSNR of the GIF's frames against the PNG frames
// Prints key=value lines (milliseconds, bytes) on standard output.
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "document/GifSizeEstimate.h"
#include "items/PrimitiveGraphics.h"
#include "items/Text.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/ImagingControl.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QImage Photo()
{
    QImage image(468, 60, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 468; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int n = int((seed >> 16) % 13) - 6;
            const int r = int(127 + 120 * std::sin(x / 40.0)) + n;
            const int g = int(127 + 110 * std::cos(y / 9.0 + x / 70.0)) + n;
            const int b = int(255.0 * x * y / (468.0 * 60.0)) + n;
            image.setPixel(x, y, qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255)));
        }
    return image;
}

void BuildBanner(CBannerDoc &doc, bool photo, int frames)
{
    doc.DeleteContents();
    const std::unique_ptr<PackedDib> background =
        photo ? std::make_unique<PackedDib>(Dib::Encode24(Photo())) : nullptr;
    for (int k = 0; k < frames; ++k) {
        auto frame = std::make_unique<CBannerFrame>(nullptr, RGB(250, 240, 200), 100);
        if (background)
            frame->SetBackground(std::make_unique<PackedDib>(*background));
        const int x = (k * 7) % 420;
        auto ball = std::make_unique<CPrimitiveGraphics>(CRect(x, 8, x + 40, 48));
        ball->m_shape = 2; // ellipse
        ball->m_fill = 1;
        ball->m_fillColor = RGB(200, 40, 40);
        ball->m_lineColor = RGB(90, 0, 0);
        frame->AddItem(std::move(ball));
        const int y = 5 + (k * 3) % 30;
        auto bar = std::make_unique<CPrimitiveGraphics>(CRect(300, y, 330, y + 20));
        bar->m_fill = 1;
        bar->m_fillColor = RGB(30, 60, 200);
        frame->AddItem(std::move(bar));
        auto text = std::make_unique<CText>(CRect(150, 20, 290, 50));
        text->m_text = QStringLiteral("Sale %1%").arg(10 + k % 60);
        text->m_lineColor = RGB(0, 0, 0);
        text->m_penWidth = 14;
        frame->AddItem(std::move(text));
        doc.m_frames.push_back(std::move(frame));
    }
    doc.m_bLoop = -1;
}

int Export(CoreContext &context, bool photo, int frames, const QString &outDir, bool writeFrames)
{
    CBannerDoc doc(context);
    BuildBanner(doc, photo, frames);
    QDir().mkpath(outDir + QStringLiteral("/frames"));
    ImagingControl &pages = context.WorkCtrl;
    doc.RenderAllFrames(&pages);
    for (int k = 0; writeFrames && k < pages.PageCount(); ++k) {
        pages.SetPageIndex(k);
        pages.BitmapHandle().image.convertToFormat(QImage::Format_RGB888).save(
            outDir + QStringLiteral("/frames/f-%1.png").arg(k, 5, 10, QLatin1Char('0')), "PNG", 10);
    }
    pages.SetPageList(0);
    const QString gif = outDir + (context.m_gifOptions.lossy ? QStringLiteral("/ours-lossy.gif") : QStringLiteral("/ours.gif"));
    QElapsedTimer timer;
    timer.start();
    const bool saved = doc.SaveAsGif(gif);
    const qint64 ns = timer.nsecsElapsed();
    if (!saved)
        return 1;
    std::printf("export_ms=%.1f\nexport_bytes=%lld\n", ns / 1e6, static_cast<long long>(QFileInfo(gif).size()));
    return 0;
}

// The estimate measures on the thread it is called from, as the editor's worker does.
int Estimate(CoreContext &context, bool photo, int frames, const QString &outDir)
{
    CBannerDoc doc(context);
    BuildBanner(doc, photo, frames);
    const QByteArray banner = BannerFile::Write(doc);
    QElapsedTimer timer;
    timer.start();
    const CBannerDoc::GifOutcome estimate =
        GifSizeEstimate::Measure(banner, context.m_gifOptions, context.m_memoryBudget, [] { return false; });
    const qint64 ns = timer.nsecsElapsed();
    QDir().mkpath(outDir);
    const QString gif = outDir + QStringLiteral("/estimated.gif");
    if (estimate.status != CBannerDoc::GifStatus::Ready || !doc.SaveAsGif(gif))
        return 1;
    const qint64 exported = QFileInfo(gif).size();
    std::printf("estimate_ms=%.1f\nestimate_bytes=%lld\nexport_bytes=%lld\nestimate_error_pct=%.3f\n", ns / 1e6,
                static_cast<long long>(estimate.bytes), static_cast<long long>(exported),
                100.0 * double(estimate.bytes - exported) / double(exported));
    return 0;
}

int Import(CoreContext &context, const QString &gif)
{
    context.m_gifWarnState = 2;
    CBannerDoc doc(context);
    QElapsedTimer timer;
    timer.start();
    const bool read = doc.ReadGif(gif);
    const qint64 ns = timer.nsecsElapsed();
    if (!read)
        return 1;
    std::printf("import_ms=%.1f\nimport_frames=%d\n", ns / 1e6, doc.GetFrameCount());
    return 0;
}

// The mean over frames of the peak signal-to-noise ratio (dB) of what the GIF shows.
int Psnr(CoreContext &context, const QString &gif, const QString &framesDir)
{
    context.m_gifWarnState = 2;
    CBannerDoc doc(context);
    if (!doc.ReadGif(gif))
        return 1;
    double sum = 0;
    for (int k = 0; k < doc.GetFrameCount(); ++k) {
        const QImage exact(framesDir + QStringLiteral("/f-%1.png").arg(k, 5, 10, QLatin1Char('0')));
        const QImage shown = doc.GetFrame(k)->m_hBackground ? Dib::Decode(*doc.GetFrame(k)->m_hBackground) : QImage();
        if (exact.size() != shown.size())
            return 1;
        double squares = 0;
        for (int y = 0; y < exact.height(); ++y)
            for (int x = 0; x < exact.width(); ++x) {
                const QRgb a = exact.pixel(x, y), b = shown.pixel(x, y);
                const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
                squares += dr * dr + dg * dg + db * db;
            }
        const double mse = squares / (3.0 * exact.width() * exact.height());
        sum += mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
    }
    std::printf("psnr_db=%.2f\n", sum / std::max(1, doc.GetFrameCount()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    ScriptedPrompts prompts;
    Prompts::Register(&prompts);
    CoreContext context;
    int result = 2;
    if (args.size() == 6 && args[0] == QLatin1String("export") && args[4] == QLatin1String("--lossy")) {
        context.m_gifOptions.lossy = args[5].toInt();
        result = Export(context, args[1] == QLatin1String("photo"), args[2].toInt(), args[3], false);
    } else if (args.size() == 3 && args[0] == QLatin1String("psnr")) {
        result = Psnr(context, args[1], args[2]);
    } else if ((args.size() == 4 || args.size() == 5) && args[0] == QLatin1String("export")) {
        result = Export(context, args[1] == QLatin1String("photo"), args[2].toInt(), args[3],
                        args.size() == 4 || args[4] != QLatin1String("--no-frames"));
    } else if (args.size() == 4 && args[0] == QLatin1String("estimate")) {
        result = Estimate(context, args[1] == QLatin1String("photo"), args[2].toInt(), args[3]);
    } else if (args.size() == 2 && args[0] == QLatin1String("import")) {
        result = Import(context, args[1]);
    } else {
        std::fputs("usage: gif_corpus export flat|photo FRAMES OUTDIR [--no-frames | --lossy N] | import GIF"
                   " | estimate flat|photo FRAMES OUTDIR | psnr GIF FRAMESDIR\n", stderr);
    }
    for (const auto &m : prompts.messages)
        std::fprintf(stderr, "%s\n", qPrintable(m.text));
    Prompts::Register(nullptr);
    return result;
}
