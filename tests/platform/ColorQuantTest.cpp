#include <gtest/gtest.h>

#include "platform/imaging/ColorQuant.h"

#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <set>

using namespace ColorQuant;

namespace {

// A smooth full-colour picture with tens of thousands of colours, like a photograph.
QImage Gradient(int w, int h, int shift = 0)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x + shift) * 255 / (w - 1 + shift), y * 255 / (h - 1),
                                    (x * 3 + y * 7 + shift) % 256 / 2 + 64));
    return img;
}

QImage Blocks(int w, int h, int colors, int seed)
{
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int c = ((x / 3) * 7 + (y / 2) * 13 + seed) % colors;
            img.setPixel(x, y, qRgba(c, 255 - c, (c * 37) & 255, (x & 1) ? 255 : 40)); // alpha is ignored
        }
    return img;
}

QRgb At(const QImage &indexed, int x, int y)
{
    return indexed.colorTable()[indexed.pixelIndex(x, y)];
}

double Psnr(const QImage &a, const QImage &indexed)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = At(indexed, x, y);
            const double dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

TEST(ColorQuantTest, CountsDistinctColoursExactly)
{
    EXPECT_EQ(CountColors(QImage()), 0);
    QImage flat(468, 60, QImage::Format_RGB32);
    flat.fill(qRgb(1, 2, 3));
    EXPECT_EQ(CountColors(flat), 1);
    EXPECT_EQ(CountColors(Blocks(90, 40, 77, 0)), 77); // alpha does not make colours distinct
    QImage many(1024, 1024, QImage::Format_RGB32); // every pixel its own colour
    for (int y = 0; y < 1024; ++y) {
        auto *row = reinterpret_cast<QRgb *>(many.scanLine(y));
        for (int x = 0; x < 1024; ++x)
            row[x] = 0xff000000u | quint32(y << 10 | x) << 2;
    }
    EXPECT_EQ(CountColors(many), 1 << 20);
    // Indexed pictures count the colours in use, not the table; duplicate entries count once.
    QImage indexed(3, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(5, 5, 5), qRgb(6, 6, 6), qRgb(5, 5, 5), qRgb(9, 9, 9)});
    indexed.setPixel(0, 0, 0);
    indexed.setPixel(1, 0, 2);
    indexed.setPixel(2, 0, 1);
    EXPECT_EQ(CountColors(indexed), 2);
    QImage rgb888(20, 20, QImage::Format_RGB888); // other formats are converted first
    rgb888.fill(qRgb(7, 8, 9));
    rgb888.setPixel(19, 19, qRgb(9, 8, 7));
    EXPECT_EQ(CountColors(rgb888), 2);
}

TEST(ColorQuantTest, ExactReductionChangesNoPixel)
{
    const std::vector<QImage> images = {Blocks(468, 60, 150, 0), Blocks(100, 30, 180, 5)};
    const QRgb reserved = qRgb(254, 0, 254);
    QVector<QRgb> palette;
    const std::vector<QImage> out = ReduceShared(images, 255, &palette, {reserved});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(palette[0], reserved);
    EXPECT_EQ(palette.size(), 1 + 180);
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(out[i].format(), QImage::Format_Indexed8);
        EXPECT_EQ(out[i].colorTable(), palette);
        for (int y = 0; y < images[i].height(); ++y)
            for (int x = 0; x < images[i].width(); ++x) {
                ASSERT_EQ(At(out[i], x, y), images[i].pixel(x, y) | 0xff000000u);
                ASSERT_NE(out[i].pixelIndex(x, y), 0);
            }
    }
    // Exactly as many colours as allowed is still exact; one more than allowed is not.
    const QImage full = Blocks(300, 40, 256, 1);
    ASSERT_EQ(ReduceShared({full}, 256, &palette).size(), 1u);
    EXPECT_EQ(palette.size(), 256);
    const std::vector<QImage> over = ReduceShared({full}, 256, &palette, {reserved});
    ASSERT_EQ(over.size(), 1u);
    EXPECT_LE(palette.size(), 256);
    EXPECT_EQ(palette[0], reserved);
    // A picture that uses a reserved colour gets the reserved entry for it.
    QImage uses(4, 1, QImage::Format_RGB32);
    uses.fill(qRgb(1, 1, 1));
    uses.setPixel(2, 0, reserved);
    const std::vector<QImage> mapped = ReduceShared({uses}, 2, &palette, {reserved});
    ASSERT_EQ(mapped.size(), 1u);
    EXPECT_EQ(palette, (QVector<QRgb>{reserved, qRgb(1, 1, 1)}));
    EXPECT_EQ(mapped[0].pixelIndex(2, 0), 0);
    EXPECT_EQ(mapped[0].pixelIndex(1, 0), 1);
    // The exact mapping alone says when the colours do not fit, and leaves nothing behind.
    std::vector<QImage> exact;
    ASSERT_TRUE(ReduceExact({full}, 256, &palette, &exact));
    EXPECT_EQ(exact.size(), 1u);
    EXPECT_EQ(palette.size(), 256);
    EXPECT_FALSE(ReduceExact({uses, full}, 256, &palette, &exact, {reserved}));
    EXPECT_TRUE(palette.isEmpty());
    EXPECT_TRUE(exact.empty());
    // Impossible requests fail instead of returning more colours than allowed.
    EXPECT_TRUE(ReduceShared({full}, 2, &palette, {reserved}).empty());
    EXPECT_TRUE(ReduceShared({uses}, 0, &palette).empty());
}

TEST(ColorQuantTest, PhotographicReductionSharesOnePaletteAndKeepsQuality)
{
    const QImage a = Gradient(468, 60);
    QImage b = a;
    for (int y = 10; y < 30; ++y) // a second page that differs only in one rectangle
        for (int x = 100; x < 160; ++x)
            b.setPixel(x, y, qRgb(x, 255 - y, 7));
    ASSERT_GT(CountColors(a), 10000);
    // A reserved colour right inside the gradient's range that the picture itself does not use.
    QRgb reserved = qRgb(128, 128, 129);
    bool used = false;
    for (int y = 0; y < a.height() && !used; ++y)
        for (int x = 0; x < a.width() && !used; ++x)
            used = (a.pixel(x, y) & 0xffffff) == (reserved & 0xffffff);
    ASSERT_FALSE(used);

    QVector<QRgb> palette;
    const std::vector<QImage> out = ReduceShared({a, b}, 255, &palette, {reserved});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_LE(palette.size(), 255);
    EXPECT_GT(palette.size(), 128);
    EXPECT_EQ(palette[0], reserved);
    EXPECT_LE(CountColors(out[0]), 255);
    EXPECT_GT(Psnr(a, out[0]), 30.0) << palette.size();
    std::printf("photographic page: %d colours -> %d, PSNR %.1f dB\n", CountColors(a), int(palette.size()), Psnr(a, out[0]));
    EXPECT_GT(Psnr(b, out[1]), 30.0);
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            ASSERT_NE(out[0].pixelIndex(x, y), 0) << "a near colour took the reserved entry";
            // Unchanged pixels of the two pages get the same index: differencing stays small.
            if (a.pixel(x, y) == b.pixel(x, y)) {
                ASSERT_EQ(out[0].pixelIndex(x, y), out[1].pixelIndex(x, y));
            }
        }
}

TEST(ColorQuantTest, MapExactAndColorIndex)
{
    const QVector<QRgb> palette = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(10, 200, 30)};
    QImage img(5, 2, QImage::Format_RGB32);
    img.fill(qRgb(10, 200, 30));
    img.setPixel(4, 1, qRgb(255, 255, 255));
    QImage out;
    ASSERT_TRUE(MapExact(img, palette, &out));
    EXPECT_EQ(out.pixelIndex(0, 0), 2);
    EXPECT_EQ(out.pixelIndex(4, 1), 1);
    EXPECT_EQ(out.colorTable(), palette);
    img.setPixel(0, 0, qRgb(1, 1, 1));
    QImage untouched;
    EXPECT_FALSE(MapExact(img, palette, &untouched));
    EXPECT_TRUE(untouched.isNull());

    ColorIndex index(4);
    std::set<QRgb> inserted;
    QRandomGenerator rng(42);
    for (int i = 0; i < 100000; ++i) {
        const QRgb c = rng.generate() & 0xffffff;
        if (inserted.insert(c).second) {
            EXPECT_EQ(index.Insert(c | 0xff000000u, i), i);
        }
    }
    EXPECT_EQ(index.Size(), int(inserted.size()));
    EXPECT_GE(index.Find(*inserted.begin()), 0);
    EXPECT_EQ(index.Find(qRgba(0x12, 0x34, 0x56, 0)) >= 0, inserted.count(0x123456) > 0);
}

TEST(ColorQuantTest, ExactReductionOfManyPagesKeepsTheOrderOfFirstAppearance)
{
    // Pages of different sizes whose colours partly repeat, so that each page's new colours first
    // appear somewhere in the middle of the list, whichever thread lists which page.
    std::vector<QImage> pages;
    for (int i = 0; i < 37; ++i) {
        QImage page(1 + i * 13 % 97, 1 + i % 5, QImage::Format_RGB32);
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                page.setPixel(x, y, qRgb((x * 7 + i * 3) % 50, y * 40, 9));
        pages.push_back(page);
    }
    const QVector<QRgb> reserved = {qRgb(255, 0, 255), qRgb(5, 0, 9)}; // the second one is used by the pages
    QVector<QRgb> expected = {reserved[0] | 0xff000000u, reserved[1] | 0xff000000u};
    for (const QImage &page : pages)
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (!expected.contains(page.pixel(x, y) | 0xff000000u))
                    expected.push_back(page.pixel(x, y) | 0xff000000u);
    ASSERT_LE(expected.size(), 256);
    QVector<QRgb> palette;
    std::vector<QImage> out;
    ASSERT_TRUE(ReduceExact(pages, 256, &palette, &out, reserved));
    EXPECT_EQ(palette, expected);
    ASSERT_EQ(out.size(), pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        ASSERT_EQ(out[i].size(), pages[i].size());
        for (int y = 0; y < pages[i].height(); ++y)
            for (int x = 0; x < pages[i].width(); ++x)
                ASSERT_EQ(At(out[i], x, y), pages[i].pixel(x, y)) << i;
    }
    // Every page fits alone, but not all together.
    EXPECT_FALSE(ReduceExact(pages, int(expected.size()) - 1, &palette, &out, reserved));
    EXPECT_TRUE(palette.isEmpty());
    EXPECT_TRUE(out.empty());
}

TEST(ColorQuantTest, ManyColoursFindTheSameNearestEntryAsOneByOne)
{
    // Palettes with equal entries and entries equally far from many colours (a coarse grid), and
    // random ones; colours in runs of neighbours, as a histogram lists them, and at random.
    QRandomGenerator random(5);
    for (int round = 0; round < 6; ++round) {
        QVector<QRgb> palette;
        const int size = 1 + random.bounded(256);
        for (int i = 0; i < size; ++i)
            palette.append(round % 2 ? qRgb(random.bounded(256), random.bounded(256), random.bounded(256))
                                     : qRgb(i % 4 * 64, i / 4 % 4 * 64, i / 16 % 4 * 64));
        if (size > 3)
            palette[size - 1] = palette[1];
        std::vector<QRgb> colours;
        for (int i = 0; i < 20000; ++i)
            colours.push_back(i % 2 ? qRgb(random.bounded(256), random.bounded(256), random.bounded(256))
                                    : qRgb(i % 256, (i / 7) % 256, 255 - i % 256));
        colours.push_back(qRgb(32, 32, 32)); // halfway between grid entries in every channel
        std::vector<uchar> indices(colours.size());
        MapToNearest(palette, colours.data(), colours.size(), indices.data());
        for (std::size_t i = 0; i < colours.size(); ++i)
            ASSERT_EQ(indices[i], NearestEntry(palette, colours[i])) << round << " " << i;
    }
}
