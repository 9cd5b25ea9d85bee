// The Banner View on screen: repainting a frame of 200 items at 100 % and at 800 % in a
// 1000 × 500 window (render of the visible part, items and trackers drawn over it, and the
// copy to the widget). Run with --benchmark_repetitions=N to get medians.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "editor/CFrameView.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "support/SampleFrame.h"

#include <QApplication>
#include "support/EditorBenchMain.h"
#include <benchmark/benchmark.h>

namespace {
CBannerApp *g_app = nullptr;

void BM_RepaintBannerView200Items(benchmark::State &state)
{
    CMainFrame &main = *g_app->MainFrame();
    main.Router().Execute(ID_FILE_NEW);
    CChildFrame *child = main.ActiveChildFrame();
    auto *view = qobject_cast<CFrameView *>(child->View());
    CBannerDoc &doc = view->GetDocument();
    FillSampleFrame(*doc.GetCurrentFrame(), 200, 1, g_app->Context().WorkCtrl);
    // A few selected items draw their trackers too.
    int index = 0;
    for (const auto &item : doc.GetCurrentFrame()->Items())
        if (index++ % 40 == 0)
            view->Select(item.get(), true);
    const auto zoom = state.range(0);
    for (unsigned id = ID_VIEW_ZOOMIN; view->Control().ZoomPercent() < float(zoom);)
        main.Router().Execute(id);
    child->resize(child->size() - view->size() + QSize(1000, 500));
    QCoreApplication::processEvents();
    for (auto _ : state) {
        view->Window()->InvalidateAll();
        view->Window()->UpdateNow();
    }
    state.counters["zoom"] = double(view->Control().ZoomPercent());
    doc.SetModifiedFlag(false);
    child->close();
    QCoreApplication::processEvents();
}
BENCHMARK(BM_RepaintBannerView200Items)->Arg(100)->Arg(800)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv)
{
    return RunEditorBenchmarks(argc, argv, g_app);
}
