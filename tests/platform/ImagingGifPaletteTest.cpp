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
