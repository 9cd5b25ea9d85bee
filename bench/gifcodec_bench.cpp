// GIF codec and colour reduction on banner-size pages.
#include "platform/imaging/ColorQuant.h"
#include "platform/imaging/GifCodec.h"

#include "support/BenchMain.h"
#include <benchmark/benchmark.h>

#include <QPainter>

namespace {

constexpr int kW = 468, kH = 60;

QImage Photographic(int shift = 0)
{
    QImage img(kW, kH, QImage::Format_RGB32);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            img.setPixel(x, y, qRgb((x + shift) * 255 / (kW - 1 + shift), y * 255 / (kH - 1),
                                    (x * 3 + y * 7 + shift) % 256 / 2 + 64));
    return img;
}

// A flat banner page: a background, a few shapes, a moving block.
QImage Flat(int frame)
{
    QImage img(kW, kH, QImage::Format_RGB32);
    img.fill(qRgb(255, 255, 240));
    QPainter p(&img);
    p.fillRect(10, 10, 120, 40, QColor(0, 64, 160));
    p.fillRect(200 + frame % 200, 15, 40, 30, QColor(220, 30, 30));
    p.fillRect(380, 5, 60, 50, QColor(20, 160, 60));
    return img;
}

// 100 pages: a full first page, then the block's changed rectangle with transparency, as an exporter writes.
GifCodec::Animation Banner()
{
    GifCodec::Animation anim;
    anim.width = kW;
    anim.height = kH;
    anim.loopCount = 0;
    std::vector<QImage> frames;
    for (int i = 0; i < 100; ++i)
        frames.push_back(Flat(i));
    QVector<QRgb> palette;
    std::vector<QImage> indexed = ColorQuant::ReduceShared(frames, 255, &palette, {qRgb(1, 2, 3)});
    anim.globalPalette = palette;
    for (int i = 0; i < 100; ++i) {
        GifCodec::Page page;
        page.delayMs = 100;
        page.disposal = 1;
        if (i == 0) {
            page.image = indexed[0];
        } else {
            const QRect changed(199 + (i - 1) % 200, 15, 42, 30);
            page.image = indexed[size_t(i)].copy(changed);
            page.left = changed.left();
            page.top = changed.top();
            page.transparentIndex = 0;
        }
        anim.pages.push_back(page);
    }
    return anim;
}

void BM_WriteBanner100(benchmark::State &state)
{
    const GifCodec::Animation anim = Banner();
    QByteArray bytes;
    for (auto _ : state) {
        GifCodec::Write(anim, &bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(bytes.size());
}
BENCHMARK(BM_WriteBanner100)->Unit(benchmark::kMillisecond);

void BM_ReadBanner100(benchmark::State &state)
{
    QByteArray bytes;
    GifCodec::Write(Banner(), &bytes);
    GifCodec::Animation anim;
    for (auto _ : state) {
        GifCodec::Read(bytes, &anim);
        benchmark::DoNotOptimize(anim.pages.data());
    }
}
BENCHMARK(BM_ReadBanner100)->Unit(benchmark::kMillisecond);

void BM_ReduceSharedPhotographicPage(benchmark::State &state)
{
    const std::vector<QImage> page = {Photographic()};
    QVector<QRgb> palette;
    for (auto _ : state) {
        auto out = ColorQuant::ReduceShared(page, 255, &palette, {qRgb(1, 2, 3)});
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ReduceSharedPhotographicPage)->Unit(benchmark::kMillisecond);

void BM_ReduceSharedPhotographic10Pages(benchmark::State &state)
{
    std::vector<QImage> pages;
    for (int i = 0; i < 10; ++i)
        pages.push_back(Photographic(i * 3));
    QVector<QRgb> palette;
    for (auto _ : state) {
        auto out = ColorQuant::ReduceShared(pages, 255, &palette, {qRgb(1, 2, 3)});
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ReduceSharedPhotographic10Pages)->Unit(benchmark::kMillisecond);

void BM_ExactMapFlatPage(benchmark::State &state)
{
    const std::vector<QImage> page = {Flat(7)};
    QVector<QRgb> palette;
    for (auto _ : state) {
        auto out = ColorQuant::ReduceShared(page, 255, &palette, {qRgb(1, 2, 3)});
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ExactMapFlatPage)->Unit(benchmark::kMicrosecond);

void BM_MapExactPhotographicPage(benchmark::State &state)
{
    const QImage page = Photographic();
    QVector<QRgb> palette;
    const QImage reduced = ColorQuant::ReduceShared({page}, 255, &palette).front();
    const QImage rgb = reduced.convertToFormat(QImage::Format_RGB32);
    QImage out;
    for (auto _ : state) {
        ColorQuant::MapExact(rgb, palette, &out);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_MapExactPhotographicPage)->Unit(benchmark::kMicrosecond);

void BM_CountColorsPhotographicPage(benchmark::State &state)
{
    const QImage page = Photographic();
    for (auto _ : state)
        benchmark::DoNotOptimize(ColorQuant::CountColors(page));
}
BENCHMARK(BM_CountColorsPhotographicPage)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenUnlessSet();
    return RunBenchmarks(argc, argv);
}
