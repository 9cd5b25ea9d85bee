// Rendering the banner model: one frame with 200 items into RenderCtrl, and every frame of a
// 100-frame banner into a page list. Run with --benchmark_repetitions=N to get medians.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

namespace {

CoreContext *g_ctx = nullptr;

// A mix of every item kind spread over the banner, the kinds in turn.
void FillFrame(CBannerFrame &frame, int count, int seed)
{
    ImagingControl &work = g_ctx->WorkCtrl;
    work.CreateBitmap(40, 20, 24);
    work.FillColor(RGB(200, 100, 50));
    const PackedDib picture = work.GetAsDIB();
    for (int i = 0; i < count; ++i) {
        const int x = (i * 37 + seed * 11) % 440;
        const int y = (i * 13 + seed * 7) % 40;
        const CRect r(x, y, x + 28, y + 20);
        switch (i % 6) {
        case 0:
        case 1: {
            auto g = std::make_unique<CPrimitiveGraphics>(r);
            g->m_shape = std::int16_t(i % 3);
            g->m_fill = i % 2;
            g->m_fillColor = RGB(i * 5, 255 - i, seed * 3);
            g->m_penWidth = std::int16_t(1 + i % 3);
            frame.AddItem(std::move(g));
            break;
        }
        case 2: {
            auto t = std::make_unique<CText>(r);
            t->m_text = QStringLiteral("Sale %1").arg(i);
            frame.AddItem(std::move(t));
            break;
        }
        case 3: {
            auto p = std::make_unique<CPolyline>();
            for (int k = 0; k < 12; ++k)
                p->AddPoint({x + k * 2, y + (k * 7) % 20});
            frame.AddItem(std::move(p));
            break;
        }
        case 4: {
            auto s = std::make_unique<CStamp>(r);
            s->SetPicture(std::make_unique<PackedDib>(picture));
            frame.AddItem(std::move(s));
            break;
        }
        default: {
            auto g = std::make_unique<CPrimitiveGraphics>(r);
            g->m_shape = CPrimitiveGraphics::kEllipse;
            g->m_fill = 1;
            frame.AddItem(std::move(g));
            break;
        }
        }
    }
}

void BM_RenderFrame200Items(benchmark::State &state)
{
    CBannerFrame frame(nullptr, RGB(240, 240, 255), 100);
    FillFrame(frame, 200, 1);
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
        FillFrame(*doc.GetFrame(i), 8, i);
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    CoreContext ctx;
    g_ctx = &ctx;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_ctx = nullptr;
    return 0;
}
