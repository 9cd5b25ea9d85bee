// The bitmap class of the splash window: its palette, size and drawing.
#include "document/CDib.h"
#include "platform/ByteIO.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {
// An 8-bit block of 20 x 2 pixels with a 16-entry colour table; pixel x has index x % 16.
PackedDib EightBitBlock()
{
    ByteWriter out; // header: size, width, height, planes | bits << 16, no compression, image size,
                    // resolutions, colours used, colours important
    for (std::uint32_t field : {40u, 20u, 2u, 1u | 8u << 16, 0u, 40u, 0u, 0u, 16u, 0u})
        out.U32(field);
    for (std::uint32_t i = 0; i < 16; ++i)
        out.U32((255 - i) << 16 | i * 5 << 8 | i * 10); // 0RGB, stored as B G R 0
    for (int i = 0; i < 40; ++i)
        out.U8(std::uint8_t(i % 20 % 16));
    return PackedDib::FromByteArray(out.Data());
}
} // namespace

TEST(CDib, PaletteFollowsTheColourTableOrTheHalftonePaletteForTrueColour)
{
    CDib empty;
    QImage target(4, 4, QImage::Format_RGB32);
    QPainter p(&target);
    EXPECT_FALSE(empty.Draw(p) || CDib::DrawBitmap(p, empty));
    p.end();
    EXPECT_FALSE(empty.LoadFromResource(999));
    EXPECT_FALSE(empty.Attach(PackedDib::FromByteArray("not a bitmap at all, no header")));
    EXPECT_TRUE(empty.IsEmpty());

    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(qRgb(10, 120, 200));
    CDib trueColour;
    ASSERT_TRUE(trueColour.Attach(Dib::Encode24(picture)));
    EXPECT_EQ(trueColour.GetSize(), QSize(30, 20));
    EXPECT_EQ(trueColour.Description().widthBytes, 92); // rows padded to four bytes
    EXPECT_EQ(trueColour.GetColorTable(nullptr, 256), 0);
    EXPECT_EQ(trueColour.Palette().entries, DibPalette::Halftone().entries);

    CDib indexed;
    ASSERT_TRUE(indexed.Attach(EightBitBlock()));
    QRgb table[256] = {};
    EXPECT_EQ(indexed.GetColorTable(table, 4), 16);
    EXPECT_EQ(table[3], qRgb(252, 15, 30));
    EXPECT_EQ(table[4], 0u); // no more than asked for
    ASSERT_EQ(indexed.Palette().entries.size(), 16);
    EXPECT_FALSE(indexed.Palette().halftone);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(indexed.Palette().entries[i], qRgb(255 - i, i * 5, i * 10)) << i;
    indexed.Release();
    EXPECT_EQ(indexed.GetSize(), QSize(0, 0));
    EXPECT_TRUE(indexed.Palette().IsEmpty());
}

TEST(CDib, DrawsWithoutRectanglesAtTheOriginAPartStretchedByWholePixelsAndMinusOneAsItsOwnSize)
{
    QImage picture(6, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            picture.setPixel(x, y, qRgb(x * 40, y * 60, 7));
    CDib dib;
    ASSERT_TRUE(dib.Attach(Dib::Encode24(picture)));
    QImage whole(10, 10, QImage::Format_RGB32), parts(10, 10, QImage::Format_RGB32);
    QPainter p(&whole);
    EXPECT_TRUE(dib.Draw(p, nullptr, nullptr, true, nullptr, false));
    p.end();
    EXPECT_EQ(whole.copy(0, 0, 6, 4), picture);
    // A source part at twice its size by whole pixels; -1 extents: the bitmap's own size.
    p.begin(&parts);
    const CRect source(2, 1, 4, 3), destination(1, 1, 5, 5), own(0, 0, -1, -1), at(4, 5, 3, 4);
    EXPECT_TRUE(CDib::DrawBitmap(p, dib, &destination, &source));
    EXPECT_TRUE(dib.Draw(p, &at, &own));
    p.end();
    EXPECT_EQ(parts.pixel(1, 1), picture.pixel(2, 1));
    EXPECT_EQ(parts.pixel(2, 2), picture.pixel(2, 1));
    EXPECT_EQ(parts.pixel(3, 4), picture.pixel(3, 2));
    EXPECT_EQ(parts.copy(4, 5, 6, 4), picture);
}
