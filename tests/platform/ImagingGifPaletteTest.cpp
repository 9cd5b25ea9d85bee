// Palettes of written GIFs when the pages together have more colours than one palette holds but
// each page fits: a global palette of the colours most pages use, own palettes only where needed.
#include "TestSupport.h"

#include "platform/imaging/GifCodec.h"
#include "platform/imaging/ImagingControl.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

// A page of `width` columns, each in its own colour from `first` on.
ImagingBitmap Columns(int first, int width)
{
    ImagingBitmap page;
    page.image = QImage(width, 4, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x)
        for (int y = 0; y < 4; ++y)
            page.image.setPixel(x, y, qRgb(first + x, 255 - first - x, (first + x) * 3 & 0xFF));
    page.delayMs = 100;
    return page;
}

} // namespace

TEST(ImagingGifPaletteTest, CommonColoursShareTheGlobalPaletteAndRareOnesGetSmallOwnPalettes)
{
    ImagingControl control;
    // Five pages with colours 0..99, one with 100..149: 150 colours in all, 100 at most per page.
    for (int k = 0; k < 5; ++k)
        ASSERT_EQ(control.InsertPage(-1, Columns(0, 100)), 0);
    ASSERT_EQ(control.InsertPage(-1, Columns(100, 50)), 0);
    const QString path = TestSupport::NewTempDir() + QStringLiteral("/palettes.gif");
    ASSERT_EQ(control.SaveFile(path, ImagingFormatGif, 7, 0, 0), 0);

    GifCodec::Animation gif;
    ASSERT_EQ(GifCodec::Read(TestSupport::ReadFile(path), &gif), GifCodec::Ok);
    ASSERT_EQ(gif.pages.size(), 6u);
    EXPECT_EQ(gif.globalPalette.size(), 128);
    for (int k = 0; k < 5; ++k)
        EXPECT_FALSE(gif.pages[std::size_t(k)].localPalette) << k;
    EXPECT_TRUE(gif.pages[5].localPalette);
    EXPECT_EQ(gif.pages[5].image.colorTable().size(), 64); // 50 colours need no more
    for (int k = 0; k < 6; ++k) {
        control.SetPageIndex(k);
        const QImage expected = control.BitmapHandle().image;
        const QImage written = gif.pages[std::size_t(k)].image.convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(written.size(), expected.size());
        for (int x = 0; x < expected.width(); ++x)
            EXPECT_EQ(written.pixel(x, 0) & 0xFFFFFF, expected.pixel(x, 0) & 0xFFFFFF) << k << "," << x;
    }
}

namespace {

constexpr QRgb kKey = 0xFF0000F8; // the colour the tests keep at fixed palette indices

// Marks the first `count` pixels of every row with the key colour, as frame differencing marks
// unchanged pixels, and makes the page transparent in it.
void MarkTransparent(ImagingBitmap *page, int count)
{
    for (int y = 0; y < page->image.height(); ++y)
        for (int x = 0; x < count; ++x)
            page->image.setPixel(x, y, kKey);
    page->transparent = true;
    page->transparentColor = QRgbToColorref(kKey);
}

// Saves the control as a GIF of `bits` bits and reads the file back page by page as stored.
GifCodec::Animation SaveAndRead(ImagingControl &control, int bits)
{
    const QString path = TestSupport::NewTempDir() + QStringLiteral("/entries.gif");
    EXPECT_EQ(control.SaveFile(path, ImagingFormatGif, bits, 0, 0), 0);
    GifCodec::Animation gif;
    EXPECT_EQ(GifCodec::Read(TestSupport::ReadFile(path), &gif), GifCodec::Ok);
    return gif;
}

// Every written page shows what the control's page shows, each drawn in turn over the pages
// before (the writer may give a transparent pixel the colour that shows through it).
void ExpectSamePixels(ImagingControl &control, const GifCodec::Animation &gif)
{
    ASSERT_EQ(int(gif.pages.size()), control.PageCount());
    ASSERT_TRUE(gif.width > 0 && gif.height > 0);
    QImage wanted(gif.width, gif.height, QImage::Format_RGB32), shown(gif.width, gif.height, QImage::Format_RGB32);
    wanted.fill(0);
    shown.fill(0);
    for (int k = 0; k < control.PageCount(); ++k) {
        control.SetPageIndex(k);
        const ImagingBitmap &page = control.BitmapHandle();
        const GifCodec::Page &out = gif.pages[std::size_t(k)];
        ASSERT_EQ(out.image.size(), page.image.size());
        for (int y = 0; y < page.image.height(); ++y)
            for (int x = 0; x < page.image.width(); ++x) {
                const QRgb want = page.image.pixel(x, y);
                if (!page.transparent || QRgbToColorref(want) != page.transparentColor)
                    wanted.setPixel(out.left + x, out.top + y, want);
                if (out.image.pixelIndex(x, y) != out.transparentIndex)
                    shown.setPixel(out.left + x, out.top + y, out.image.pixel(x, y));
                ASSERT_EQ(shown.pixel(out.left + x, out.top + y) & 0xFFFFFF, wanted.pixel(out.left + x, out.top + y) & 0xFFFFFF)
                    << k << ": " << x << "," << y;
            }
    }
}

} // namespace

TEST(ImagingGifPaletteTest, UserEntriesLandAtTheirIndicesOfTheGlobalPalette)
{
    ImagingControl control;
    for (int k = 0; k < 3; ++k) {
        ImagingBitmap page = Columns(0, 20);
        if (k > 0)
            MarkTransparent(&page, 3 + k);
        page.userPalette.insert(7, QRgbToColorref(kKey));
        ASSERT_EQ(control.InsertPage(-1, page), 0);
    }
    // Page 0 also wants white at 40, past the 32 entries of 5 bits, and red twice.
    control.SetPageIndex(0);
    control.SetPageUserPaletteEntry(40, RGB(255, 255, 255));
    control.SetPageUserPaletteEntry(2, RGB(255, 0, 0));
    control.SetPageUserPaletteEntry(9, RGB(255, 0, 0));
    EXPECT_EQ(control.PageUserPaletteEntry(7), QRgbToColorref(kKey));
    const GifCodec::Animation gif = SaveAndRead(control, 5);

    ASSERT_EQ(gif.globalPalette.size(), 64); // grown to the power of two that holds entry 40
    EXPECT_EQ(gif.globalPalette[7], kKey);
    EXPECT_EQ(gif.globalPalette[40], 0xFFFFFFFFu);
    EXPECT_EQ(gif.globalPalette[2], 0xFFFF0000u);
    EXPECT_EQ(gif.globalPalette[9], 0xFFFF0000u);
    EXPECT_EQ(gif.pages[0].transparentIndex, -1);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_FALSE(gif.pages[k].localPalette) << k;
        if (k > 0) {
            EXPECT_EQ(gif.pages[k].transparentIndex, 7) << k;
            EXPECT_EQ(gif.pages[k].image.pixelIndex(0, 0), 7) << k;
        }
    }
    ExpectSamePixels(control, gif);
}

TEST(ImagingGifPaletteTest, UserEntriesLandInOwnPalettesWithinTheSizeTheyAreWrittenAt)
{
    // Five pages share colours 0..99; the last has 100..149 and keeps an own palette, which 51
    // colours (the key included) write at 64 entries.
    auto build = [](ImagingControl &control, int index) {
        for (int k = 0; k < 6; ++k) {
            ImagingBitmap page = k < 5 ? Columns(0, 100) : Columns(100, 50);
            if (k > 0)
                MarkTransparent(&page, 2);
            page.userPalette.insert(index, QRgbToColorref(kKey));
            ASSERT_EQ(control.InsertPage(-1, page), 0);
        }
    };
    ImagingControl inside;
    build(inside, 40);
    const GifCodec::Animation gif = SaveAndRead(inside, 7);
    ASSERT_EQ(gif.globalPalette.size(), 128);
    EXPECT_EQ(gif.globalPalette[40], kKey);
    ASSERT_TRUE(gif.pages[5].localPalette);
    ASSERT_EQ(gif.pages[5].image.colorTable().size(), 64);
    EXPECT_EQ(gif.pages[5].image.colorTable()[40], kKey);
    for (std::size_t k = 1; k < 6; ++k)
        EXPECT_EQ(gif.pages[k].transparentIndex, 40) << k;
    ExpectSamePixels(inside, gif);

    // An index past the own palette's size is kept in the global palette only: growing every own
    // palette to reach it would cost far more bytes than the index is worth. The page still
    // carries the colour, and its transparent index still names it.
    ImagingControl past;
    build(past, 100);
    const GifCodec::Animation far = SaveAndRead(past, 7);
    EXPECT_EQ(far.globalPalette[100], kKey);
    ASSERT_TRUE(far.pages[5].localPalette);
    EXPECT_EQ(far.pages[5].image.colorTable().size(), 64);
    EXPECT_EQ(far.pages[5].image.color(far.pages[5].transparentIndex), kKey);
    for (std::size_t k = 1; k < 5; ++k)
        EXPECT_EQ(far.pages[k].transparentIndex, 100) << k;
    ExpectSamePixels(past, far);
}

TEST(ImagingGifPaletteTest, GlobalColoursNoCoveredPageUsesGiveWayToAPageThatThenFits)
{
    // At 2 bits: a and b (pages 0, 1) and c and d (pages 2, 3, which each lack one more colour)
    // are the colours most pages use. c and d serve no page whole, so page 4's g takes one of
    // their places and page 4 shares the global palette too.
    const QRgb a = qRgb(10, 0, 0), b = qRgb(20, 0, 0), c = qRgb(30, 0, 0), d = qRgb(40, 0, 0);
    const QRgb e = qRgb(50, 0, 0), f = qRgb(60, 0, 0), g = qRgb(70, 0, 0);
    const std::vector<std::vector<QRgb>> colours{{a, b}, {b, a}, {c, d, e}, {d, c, f}, {g}};
    ImagingControl control;
    for (const std::vector<QRgb> &list : colours) {
        ImagingBitmap page;
        page.image = QImage(int(list.size()), 1, QImage::Format_RGB32);
        for (std::size_t x = 0; x < list.size(); ++x)
            page.image.setPixel(int(x), 0, list[x]);
        ASSERT_EQ(control.InsertPage(-1, page), 0);
    }
    const GifCodec::Animation gif = SaveAndRead(control, 2);
    ASSERT_EQ(gif.globalPalette.size(), 4);
    const bool expectOwn[] = {false, false, true, true, false};
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(gif.pages[k].localPalette, expectOwn[k]) << k;
    EXPECT_TRUE(gif.globalPalette.contains(0xFF000000u | g));
    ExpectSamePixels(control, gif);
}

TEST(ImagingGifPaletteTest, CompactOrderKeepsEveryPixelWhetherAllColoursFitTogetherOrNot)
{
    // Many pages, so that they are spread over threads, transparent in a key colour wanted at a
    // fixed index; among them one page of only ten colours, which the compact order gives the
    // lowest indices. With 150 colours in all at 7 bits the last page keeps an own palette.
    for (const bool together : {true, false}) {
        ImagingControl control;
        control.SetGifCompactPalette(true);
        for (int k = 0; k < 12; ++k) {
            ImagingBitmap page = k == 7 ? Columns(80, 10) : Columns(k % 3, 90);
            if (k == 11 && !together)
                page = Columns(100, 50);
            if (k > 0)
                MarkTransparent(&page, 1 + k % 4);
            page.userPalette.insert(30, QRgbToColorref(kKey));
            ASSERT_EQ(control.InsertPage(-1, page), 0);
        }
        const GifCodec::Animation gif = SaveAndRead(control, 7);
        ASSERT_EQ(gif.pages.size(), 12u);
        EXPECT_EQ(gif.pages[11].localPalette, !together);
        for (std::size_t k = 1; k < 12; ++k)
            ASSERT_EQ(gif.pages[k].image.color(gif.pages[k].transparentIndex), kKey) << together << " " << k;
        const QImage &few = gif.pages[7].image; // six colours and the key over the four others
        int highest = 0;
        for (int y = 0; y < few.height(); ++y)
            for (int x = 0; x < few.width(); ++x)
                highest = std::max(highest, few.pixelIndex(x, y));
        EXPECT_EQ(highest, 6) << together;
        ExpectSamePixels(control, gif);
    }
}
