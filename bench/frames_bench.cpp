// The Frames View of long banners: rebuilding the strip (after a frame is added, deleted or its
// background changes) up to the first paint of a 500 x 700 window, for 100 and 1000 frames of ten
// items over a background picture each; and the memory the view adds for 1000 frames after it was
// scrolled through from the first cell to the last.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CBannerView.h"
#include "shell/CDocManager.h"
#include "shell/DocumentCommands.h"
#include "shell/LogoBackgroundWnd.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "support/SampleFrame.h"

#include <QApplication>
#include <QFile>
#include <QScrollBar>
#include "support/EditorBenchMain.h"
#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {
CBannerApp *g_app = nullptr;

double ResidentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// A banner of `count` frames in a Banner View window; its document.
CBannerDoc &MakeBanner(int count)
{
    CMainFrame &main = *g_app->MainFrame();
    main.Router().Execute(ID_FILE_NEW);
    CBannerDoc &doc = g_app->Documents()->Documents().back()->Doc();
    ImagingControl &work = g_app->Context().WorkCtrl;
    work.CreateBitmap(doc.m_fWidth, doc.m_fHeight, 24);
    work.FillColor(0x336699);
    work.SetDrawPersistent(true);
    work.SetDrawFillColor(0x99CC33);
    work.DrawEllipseShape(20, 5, 400, 50);
    const PackedDib background = work.GetAsDIB();
    doc.DeleteContents();
    for (int i = 0; i < count; ++i) {
        auto frame = std::make_unique<CBannerFrame>(std::make_unique<PackedDib>(background), 0xFFFFFF, 100);
        FillSampleFrame(*frame, 10, i, work);
        doc.m_frames.push_back(std::move(frame));
    }
    return doc;
}

CBannerView *OpenFramesView(CBannerDoc &doc)
{
    CMainFrame &main = *g_app->MainFrame();
    doc.OnViewFrames();
    CChildFrame *child = main.ActiveChildFrame();
    auto *view = qobject_cast<CBannerView *>(child->View());
    child->resize(child->size() - view->size() + QSize(500, 700));
    QCoreApplication::processEvents();
    return view;
}

void CloseAll()
{
    for (const auto &d : g_app->Documents()->Documents())
        d->Doc().SetModifiedFlag(false);
    g_app->MainFrame()->MdiClient()->closeAllSubWindows();
    QCoreApplication::processEvents();
}

void BM_RebuildStripAndPaint(benchmark::State &state)
{
    CBannerDoc &doc = MakeBanner(int(state.range(0)));
    CBannerView *view = OpenFramesView(doc);
    for (auto _ : state) {
        view->RebuildStrip();
        view->MarkSelection(doc.GetCurrentFrameIndex());
        view->viewport()->repaint();
    }
    state.counters["frames"] = double(doc.GetFrameCount());
    state.counters["cells_drawn"] = double(view->CachedCells());
    CloseAll();
}
BENCHMARK(BM_RebuildStripAndPaint)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_FramesViewMemory1000(benchmark::State &state)
{
    for (auto _ : state) {
        CBannerDoc &doc = MakeBanner(1000);
        const double before = ResidentMegabytes();
        CBannerView *view = OpenFramesView(doc);
        QScrollBar *bar = view->verticalScrollBar();
        for (int y = 0; y <= bar->maximum(); y += bar->pageStep()) {
            bar->setValue(y);
            view->viewport()->repaint();
        }
        bar->setValue(bar->maximum());
        view->viewport()->repaint();
        state.counters["view_MB"] = ResidentMegabytes() - before;
        state.counters["process_MB"] = ResidentMegabytes();
        state.counters["cells_kept"] = double(view->CachedCells());
        CloseAll();
    }
}
BENCHMARK(BM_FramesViewMemory1000)->Iterations(1)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv)
{
    return RunEditorBenchmarks(argc, argv, g_app);
}
