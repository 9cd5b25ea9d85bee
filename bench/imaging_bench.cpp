// The imaging engine on banner-size work: writing and reading a 100-page GIF, reducing a
// photographic page to 256 colours, and the two comparisons of the GIF writer.
#include "platform/imaging/ImagingControl.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

namespace {

constexpr int kWidth = 468, kHeight = 60;

// A photographic-looking banner: smooth gradients with grain, so nearly every pixel differs.
QImage PhotoPage(quint32 seed)
{
    QImage img(kWidth, kHeight, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int grain = int(rng.bounded(24)) - 12;
            img.setPixel(x, y, qRgb(std::clamp(x * 255 / kWidth + grain, 0, 255),
                                    std::clamp(y * 255 / kHeight + grain, 0, 255),
                                    std::clamp(128 + (x - y) / 4 + grain, 0, 255)));
        }
    return img;
}

// 100 banner pages of an animation: a 64-colour background and a moving block, as the GIF
// writer hands them over after frame differencing and colour reduction.
void FillHundredPages(ImagingControl &c)
{
    QImage base(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            base.setPixel(x, y, qRgb((x / 8) * 32 % 256, (y / 8) * 32 % 256, 96));
    c.SetPageList(0);
    for (int i = 0; i < 100; ++i) {
        ImagingBitmap page;
        page.image = base.copy();
        for (int y = 10; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                page.image.setPixel((i * 4 + x) % kWidth, y, qRgb(255, 255, 0));
        page.delayMs = 100;
        page.disposal = 1;
        c.InsertPage(-1, page);
    }
    c.SetAnimationLoop(true);
}

void BM_SaveFileHundredPageGif(benchmark::State &state)
{
    QTemporaryDir dir;
    ImagingControl c;
    FillHundredPages(c);
    const QString path = dir.path() + "/banner.gif";
    for (auto _ : state)
        benchmark::DoNotOptimize(c.SaveFile(path, ImagingFormatGif, 8));
}
BENCHMARK(BM_SaveFileHundredPageGif)->Unit(benchmark::kMillisecond);

void BM_LoadFileHundredPageGif(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/banner.gif";
    {
        ImagingControl c;
        FillHundredPages(c);
        if (c.SaveFile(path, ImagingFormatGif, 8) != 0)
            state.SkipWithError("could not write the GIF");
    }
    ImagingControl c;
    for (auto _ : state)
        benchmark::DoNotOptimize(c.LoadFile(path, 24, 1, -1));
}
BENCHMARK(BM_LoadFileHundredPageGif)->Unit(benchmark::kMillisecond);

void BM_ReduceColorsPhotographicPage(benchmark::State &state)
{
    ImagingBitmap photo;
    photo.image = PhotoPage(1);
    ImagingControl c;
    for (auto _ : state) {
        state.PauseTiming();
        c.SetBitmapHandle(photo);
        state.ResumeTiming();
        benchmark::DoNotOptimize(c.ReduceColors(8, 2, 0, 0));
    }
}
BENCHMARK(BM_ReduceColorsPhotographicPage)->Unit(benchmark::kMillisecond);

// The GIF writer's changed rectangle of one page: combine 1024, region, restore, combine 1280,
// region, restore.
void BM_CombineBitmapComparisons(benchmark::State &state)
{
    ImagingControl page, composed;
    ImagingBitmap b;
    b.image = PhotoPage(2);
    composed.SetBitmapHandle(b);
    QImage changed = b.image.copy();
    for (int y = 20; y < 25; ++y)
        for (int x = 200; x < 210; ++x)
            changed.setPixel(x, y, qRgb(0, 0, 0));
    ImagingBitmap k;
    k.image = changed;
    for (auto _ : state) {
        for (int op : {1024, 1280}) {
            page.SetBitmapHandle(k);
            page.CombineBitmap(0, 0, kWidth, kHeight, composed.BitmapHandle(), 0, 0, op);
            page.RegionFromColor(0, 6);
            benchmark::DoNotOptimize(page.RegionWidth());
            page.FreeRegion();
        }
    }
}
BENCHMARK(BM_CombineBitmapComparisons)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
