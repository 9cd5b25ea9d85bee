// Counting the colours of a run of banner pages through the pixels that change from page to page.
#include "document/GifColours.h"
#include "platform/imaging/ColorQuant.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QImage Noise(int w, int h, int colours, quint32 seed)
{
    QRandomGenerator rng(seed);
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int c = int(rng.bounded(colours));
            image.setPixel(x, y, qRgb(c, c * 3 & 0xFF, 255 - c));
        }
    return image;
}

} // namespace

TEST(GifColoursTest, CountsEveryPageAsAFullCountWould)
{
    // Pages that change a little, a lot, not at all, in size and in format, and pictures whose
    // alpha differs but not their colours.
    std::vector<QImage> pages;
    QImage page = Noise(60, 20, 40, 1);
    pages.push_back(page);
    page.setPixel(3, 3, qRgb(1, 2, 3)); // a new colour
    pages.push_back(page);
    pages.push_back(page);
    for (int x = 0; x < 60; ++x) // a colour disappears as a stripe is painted over
        for (int y = 0; y < 20; ++y)
            if (x < 30)
                page.setPixel(x, y, qRgb(9, 9, 9));
    pages.push_back(page);
    pages.push_back(Noise(60, 20, 255, 2));
    pages.push_back(Noise(50, 20, 7, 3));
    QImage translucent = pages.back().convertToFormat(QImage::Format_ARGB32);
    translucent.setPixel(0, 0, translucent.pixel(0, 0) & 0x00FFFFFFu);
    pages.push_back(translucent);
    pages.push_back(Noise(50, 20, 7, 3).convertToFormat(QImage::Format_RGB888));

    GifColours::PageColours counts;
    ColorQuant::ColorIndex all;
    for (std::size_t k = 0; k < pages.size(); ++k) {
        EXPECT_EQ(counts.Next(pages[k]), ColorQuant::CountColors(pages[k])) << "page " << k;
        const QImage rgb = pages[k].convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); ++y)
            for (int x = 0; x < rgb.width(); ++x)
                all.Insert(rgb.pixel(x, y), 0);
    }
    EXPECT_EQ(counts.Count(), all.Size());
    EXPECT_TRUE(counts.Has(RGB(1, 2, 3)));
    EXPECT_TRUE(counts.Has(RGB(9, 9, 9)));
    EXPECT_FALSE(counts.Has(RGB(9, 9, 10)));
}

TEST(GifColoursTest, FindsColoursNoPageUses)
{
    GifColours::PageColours counts;
    QImage page(4, 1, QImage::Format_RGB32);
    page.setPixel(0, 0, qRgb(0, 0, 0));
    page.setPixel(1, 0, qRgb(0, 0, 1));
    page.setPixel(2, 0, qRgb(200, 100, 7));
    page.setPixel(3, 0, qRgb(0, 0, 2));
    counts.Next(page);
    // Near: the same top five bits in every channel.
    EXPECT_TRUE(counts.HasNear(RGB(205, 103, 0)));
    EXPECT_FALSE(counts.HasNear(RGB(208, 103, 0)));
    EXPECT_FALSE(counts.HasNear(RGB(0, 0, 8)));
    EXPECT_TRUE(counts.HasNear(RGB(7, 7, 7)));
    ASSERT_TRUE(counts.FirstUnused().has_value());
    EXPECT_EQ(*counts.FirstUnused(), RGB(0, 0, 3));
    // A colour used on an earlier page stays used after it left the picture.
    page.fill(qRgb(0, 0, 3));
    EXPECT_EQ(counts.Next(page), 1);
    EXPECT_TRUE(counts.Has(RGB(0, 0, 1)));
    EXPECT_EQ(*counts.FirstUnused(), RGB(0, 0, 4));
}

TEST(GifColoursTest, KnowsWhenAPictureHasMoreColoursThanALimit)
{
    const QImage exact = Noise(64, 64, 255, 5); // 4096 pixels: every one of the 255 colours occurs
    ASSERT_EQ(ColorQuant::CountColors(exact), 255);
    EXPECT_FALSE(GifColours::MoreColoursThan(exact, 255));
    EXPECT_TRUE(GifColours::MoreColoursThan(exact, 254));
    QImage more = exact;
    more.setPixel(63, 63, qRgb(1, 2, 3)); // one more colour, in the very last pixel
    EXPECT_TRUE(GifColours::MoreColoursThan(more, 255));
    // Alpha does not make colours distinct.
    QImage translucent = exact.convertToFormat(QImage::Format_ARGB32);
    translucent.setPixel(0, 0, translucent.pixel(0, 0) & 0x00FFFFFFu);
    EXPECT_FALSE(GifColours::MoreColoursThan(translucent, 255));

    // Pages checked one after another look first at the rows where the page before had many
    // colours; the answers stay those of the pages alone. A page of many colours in its lower
    // half comes between pages whose colours lie elsewhere.
    QImage lower(64, 64, QImage::Format_RGB32);
    lower.fill(qRgb(9, 9, 9));
    for (int y = 32; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            lower.setPixel(x, y, qRgb(x, y, 7));
    GifColours::ColourCheck check;
    for (const QImage *page : std::initializer_list<const QImage *>{&lower, &exact, &more, &lower, &translucent, &exact, &more})
        for (const int limit : {254, 255, 2047, 2048})
            EXPECT_EQ(check.MoreColoursThan(*page, limit), GifColours::MoreColoursThan(*page, limit)) << limit;
}
