// The Banner View on screen: repainting a frame of 200 items at 100 % and at 800 % in a
// 1000 × 500 window (render of the visible part, items and trackers drawn over it, and the
// copy to the widget), and one mouse move of a drag of 50 items. Run with
// --benchmark_repetitions=N to get medians.
#include "document/BannerDoc.h"
#include "document/BannerFrame.h"
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

// A new banner of `items` sample items in a Banner View of 1000 × 500 at `zoom` percent; the
// selection holds every `selectEvery`-th item.
CFrameView *OpenSampleView(int items, int selectEvery, float zoom)
{
    CMainFrame &main = *g_app->MainFrame();
    main.Router().Execute(ID_FILE_NEW);
    CChildFrame *child = main.ActiveChildFrame();
    auto *view = qobject_cast<CFrameView *>(child->View());
    CBannerFrame &frame = *view->GetDocument().GetCurrentFrame();
    FillSampleFrame(frame, items, 1, g_app->Context().WorkCtrl);
    int index = 0;
    for (const auto &item : frame.Items())
        if (index++ % selectEvery == 0)
            view->Select(item.get(), true);
    while (view->Control().ZoomPercent() < zoom)
        main.Router().Execute(ID_VIEW_ZOOMIN);
    child->resize(child->size() - view->size() + QSize(1000, 500));
    QCoreApplication::processEvents();
    return view;
}

void CloseSampleView(CFrameView *view)
{
    view->GetDocument().SetModifiedFlag(false);
    g_app->MainFrame()->ActiveChildFrame()->close();
    QCoreApplication::processEvents();
}

void BM_RepaintBannerView200Items(benchmark::State &state)
{
    // A few selected items draw their trackers too.
    CFrameView *view = OpenSampleView(200, 40, float(state.range(0)));
    for (auto _ : state) {
        view->Window()->InvalidateAll();
        view->Window()->UpdateNow();
    }
    state.counters["zoom"] = double(view->Control().ZoomPercent());
    CloseSampleView(view);
}
BENCHMARK(BM_RepaintBannerView200Items)->Arg(100)->Arg(800)->Unit(benchmark::kMillisecond);

// One mouse move while 50 selected items are dragged at 800 % in a 1000 × 500 window: the
// select tool erases and redraws every inverted outline, and the window shows the result.
void BM_DragMove50ItemsAt800(benchmark::State &state)
{
    CFrameView *view = OpenSampleView(50, 1, 800.0f);
    ImagingControl &ctrl = view->Control();
    const CRect r = view->GetDocument().GetCurrentFrame()->Items().back()->m_position.Normalized();
    const QPoint press = ctrl.BitmapToClient(QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    ctrl.RaiseMouseDown(1, 0, press.x(), press.y());
    int step = 0;
    for (auto _ : state) {
        // Eight control pixels are one frame pixel: every move shifts the outlines.
        const QPoint at = press + QPoint((++step % 2) * 8, 0);
        ctrl.RaiseMouseMove(1, 0, at.x(), at.y());
        view->Window()->viewport()->repaint();
    }
    ctrl.RaiseMouseUp(1, 0, press.x(), press.y());
    state.counters["items"] = double(view->Selection().size());
    CloseSampleView(view);
}
BENCHMARK(BM_DragMove50ItemsAt800)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv)
{
    return RunEditorBenchmarks(argc, argv, g_app);
}
