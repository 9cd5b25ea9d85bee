// Rendering the banner model: one frame with 200 items into RenderCtrl, and every frame of a
// 100-frame banner into a page list. Run with --benchmark_repetitions=N to get medians.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "support/SampleFrame.h"

#include <QGuiApplication>
#include "support/BenchMain.h"
#include <benchmark/benchmark.h>

namespace {

CoreContext *g_ctx = nullptr;

void BM_RenderFrame200Items(benchmark::State &state)
{
    CBannerFrame frame(nullptr, RGB(240, 240, 255), 100);
    FillSampleFrame(frame, 200, 1, g_ctx->WorkCtrl);
    ImagingControl &render = g_ctx->RenderCtrl;
    render.CreateBitmap(468, 60, 24);
    render.SetDrawPersistent(true);
    for (auto _ : state) {
        frame.RenderInto(render);
        benchmark::DoNotOptimize(render.HasBitmap());
    }
}
BENCHMARK(BM_RenderFrame200Items)->Unit(benchmark::kMillisecond);

void BM_RenderAllFrames100(benchmark::State &state)
{
    CBannerDoc doc(*g_ctx);
    doc.OnNewDocument();
    for (int i = 1; i < 100; ++i)
        doc.AddFrame(std::make_unique<CBannerFrame>(nullptr, RGB(255, i * 2, 0), 100));
    // Every frame has a few items; every tenth a background picture.
    ImagingControl &work = g_ctx->WorkCtrl;
    work.CreateBitmap(468, 60, 24);
    work.FillColor(RGB(20, 40, 60));
    const PackedDib background = work.GetAsDIB();
    for (int i = 0; i < 100; ++i) {
        FillSampleFrame(*doc.GetFrame(i), 8, i, work);
        if (i % 10 == 0)
            doc.GetFrame(i)->SetBackground(std::make_unique<PackedDib>(background));
    }
    ImagingControl target;
    for (auto _ : state) {
        doc.RenderAllFrames(&target);
        benchmark::DoNotOptimize(target.PageCount());
    }
}
BENCHMARK(BM_RenderAllFrames100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenUnlessSet();
    QGuiApplication app(argc, argv);
    CoreContext ctx;
    g_ctx = &ctx;
    const int result = RunBenchmarks(argc, argv);
    g_ctx = nullptr;
    return result;
}
