// ImagingControl: bitmaps, packed DIBs, handles, pages, regions and combining.
#include <gtest/gtest.h>

#include "platform/ByteIO.h"
#include "platform/imaging/ImagingControl.h"

#include <QRandomGenerator>
#include <thread>
#include <vector>

namespace {

// A 24-bit bottom-up block with pseudo-random pixels (padding zero).
PackedDib MakeDib24(int w, int h, quint32 seed, std::int32_t ppm = 0, bool sizeImageZero = false)
{
    const int stride = (w * 3 + 3) & ~3;
    ByteWriter out;
    out.U32(40);
    out.I32(w);
    out.I32(h);
    out.U16(1);
    out.U16(24);
    out.U32(0);
    out.U32(sizeImageZero ? 0 : std::uint32_t(stride * h));
    out.I32(ppm);
    out.I32(ppm);
    out.U32(0);
    out.U32(0);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w * 3; ++x)
            out.U8(std::uint8_t(rng.bounded(256)));
        for (int p = w * 3; p < stride; ++p)
            out.U8(0);
    }
    return PackedDib::FromByteArray(out.Data());
}

// A block with the given header fields followed by `payload` bytes of 0x40.
PackedDib MakeHeader(std::int32_t w, std::int32_t h, int bpp, std::uint32_t compression, std::uint32_t clrUsed,
                     std::size_t payload)
{
    ByteWriter out;
    out.U32(40);
    out.I32(w);
    out.I32(h);
    out.U16(1);
    out.U16(std::uint16_t(bpp));
    out.U32(compression);
    out.U32(0);
    out.I32(0);
    out.I32(0);
    out.U32(clrUsed);
    out.U32(0);
    for (std::size_t i = 0; i < payload; ++i)
        out.U8(0x40);
    return PackedDib::FromByteArray(out.Data());
}

QRgb Px(ImagingControl &c, int x, int y)
{
    return c.GetBitmapDC()->pixel(x, y) & 0xFFFFFF;
}

} // namespace

TEST(ImagingDibTest, BannerBlockRoundTripsByteForByte)
{
    ImagingControl c;
    const PackedDib dib = MakeDib24(468, 60, 7);
    ASSERT_EQ(dib.Size(), 84280u);
    ASSERT_EQ(c.SetFromDIB(dib), 0);
    EXPECT_EQ(c.BitmapWidth(), 468.0f);
    EXPECT_EQ(c.BitmapHeight(), 60.0f);
    EXPECT_EQ(c.GetAsDIB(), dib);

    // Header fields a picture does not carry survive too; padded rows as well.
    for (const PackedDib &other : {MakeDib24(468, 60, 8, 2835), MakeDib24(468, 60, 9, 0, true), MakeDib24(13, 7, 10)}) {
        ASSERT_EQ(c.SetFromDIB(other), 0);
        EXPECT_EQ(c.GetAsDIB(), other);
    }
    // Rows are read several pixels at a time with the last few one by one; rows whose bytes end
    // where the block ends (widths of four) are read without passing that end.
    for (int w = 1; w <= 40; ++w) {
        const PackedDib narrow = MakeDib24(w, 3, 20 + w);
        ASSERT_EQ(c.SetFromDIB(narrow), 0);
        EXPECT_EQ(c.GetAsDIB(), narrow) << w;
    }
}

TEST(ImagingDibTest, CreatedBitmapGivesExactBannerBlock)
{
    ImagingControl c;
    EXPECT_TRUE(c.GetAsDIB().IsEmpty()); // no bitmap, no block
    ASSERT_EQ(c.CreateBitmap(468, 60, 24), 0);
    c.FillColor(RGB(10, 20, 30));
    const PackedDib dib = c.GetAsDIB();
    ASSERT_EQ(dib.Size(), 84280u);
    const QByteArray bytes = dib.ToByteArray();
    ByteReader r(bytes);
    EXPECT_EQ(r.U32(), 40u);
    EXPECT_EQ(r.I32(), 468);
    EXPECT_EQ(r.I32(), 60);
    EXPECT_EQ(r.U16(), 1);
    EXPECT_EQ(r.U16(), 24);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_EQ(r.U32(), 84240u);
    // Pixels are stored blue, green, red.
    EXPECT_EQ(dib.Bytes()[40], 30);
    EXPECT_EQ(dib.Bytes()[41], 20);
    EXPECT_EQ(dib.Bytes()[42], 10);
}

TEST(ImagingDibTest, UpdatingARectangleGivesTheBlockOfTheChangedPicture)
{
    // Odd widths have padded rows; the rectangle may reach past the picture.
    for (const QSize size : {QSize(468, 60), QSize(13, 7)}) {
        ImagingControl c;
        ASSERT_EQ(c.SetFromDIB(MakeDib24(size.width(), size.height(), 3)), 0);
        const QImage before = c.BitmapHandle().image;
        PackedDib block = Dib::Encode24(before);
        QImage after = before.copy();
        const QRect changed(size.width() - 5, 2, 9, 3);
        for (int y = changed.top(); y < std::min(changed.bottom() + 1, size.height()); ++y)
            for (int x = changed.left(); x < size.width(); ++x)
                after.setPixel(x, y, qRgb(x, y, x ^ y));
        ASSERT_TRUE(Dib::Update24(&block, after, changed));
        EXPECT_EQ(block, Dib::Encode24(after)) << size.width();
        EXPECT_TRUE(Dib::Update24(&block, after, QRect()));
        EXPECT_EQ(block, Dib::Encode24(after));
    }
    // A block of another picture size, or not a 24-bit block, is left alone.
    const QImage small(10, 10, QImage::Format_RGB32);
    PackedDib other = MakeDib24(11, 10, 4);
    const PackedDib kept = other;
    EXPECT_FALSE(Dib::Update24(&other, small, QRect(0, 0, 2, 2)));
    EXPECT_EQ(other, kept);
    PackedDib eight = MakeHeader(10, 10, 8, 0, 0, 100 + 256 * 4);
    EXPECT_FALSE(Dib::Update24(&eight, small, QRect(0, 0, 2, 2)));
}

TEST(ImagingDibTest, PatchedBlocksComposeToTheBlockOfTheirPicture)
{
    // Odd width (padded rows), header fields of the first block kept; rectangles may reach out.
    const PackedDib first = MakeDib24(13, 7, 5, 2835);
    DibHeaderExtras extras;
    QImage picture = Dib::Decode(first, &extras);
    ASSERT_FALSE(picture.isNull());
    QRandomGenerator rng(9);
    std::vector<PackedDib> blocks{first}, expected{first};
    for (int i = 1; i < 300; ++i) {
        // Some pixels inside the rectangle keep their colour; every third picture is compared.
        const QRect changed(int(rng.bounded(15)) - 2, int(rng.bounded(9)) - 2, int(rng.bounded(8)), int(rng.bounded(6)));
        const QImage before = picture.copy();
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (changed.contains(x, y) && rng.bounded(3) != 0)
                    picture.setPixel(x, y, qRgb(int(rng.bounded(256)), i & 0xFF, x ^ y));
        blocks.push_back(PackedDib::Patched(blocks.back(), i % 3 ? QImage() : before, picture, changed));
        expected.push_back(Dib::Encode24(picture, extras));
    }
    // Read out of order, from two threads at once: every block has its picture's bytes.
    EXPECT_FALSE(blocks[150].IsComposed());
    EXPECT_EQ(blocks[150].Size(), first.Size());
    std::thread other([&] { EXPECT_EQ(blocks[299], expected[299]); });
    EXPECT_EQ(blocks[150], expected[150]);
    other.join();
    for (std::size_t i = 0; i < blocks.size(); ++i)
        ASSERT_EQ(blocks[i], expected[i]) << i;
    // A copy changed in place leaves the block it was copied from alone.
    PackedDib copy = blocks[200];
    copy.MutableBytes()[40] ^= 0xFF;
    EXPECT_EQ(blocks[200], expected[200]);
    EXPECT_NE(copy, blocks[200]);
    // A block whose bytes another owner keeps (a file's mapping) reads as them, is patched as any
    // block is, and changed in place takes a copy, leaving the owner's bytes alone.
    const std::span<const std::uint8_t> last = expected[299].Bytes();
    const auto kept = std::make_shared<const std::vector<std::uint8_t>>(last.begin(), last.end());
    PackedDib view(kept, kept->data(), kept->size());
    EXPECT_EQ(view, expected[299]);
    picture.setPixel(3, 4, qRgb(1, 2, 3));
    EXPECT_EQ(PackedDib::Patched(view, QImage(), picture, QRect(3, 4, 1, 1)), Dib::Encode24(picture, extras));
    view.MutableBytes()[40] ^= 0xFF;
    EXPECT_NE(view, expected[299]);
    EXPECT_EQ(PackedDib(kept, kept->data(), kept->size()), expected[299]);
    // A base that is not the picture's 24-bit block gives the picture's whole block.
    EXPECT_EQ(PackedDib::Patched(MakeHeader(13, 7, 8, 0, 0, 100 + 256 * 4), QImage(), picture, QRect(0, 0, 2, 2)),
              Dib::Encode24(picture));

    // Long runs, composed or never read, go without using the stack for each block.
    for (bool compose : {false, true}) {
        PackedDib last = first;
        for (int i = 0; i < 60000; ++i)
            last = PackedDib::Patched(last, QImage(), picture, QRect(i % 13, i % 7, 1, 1));
        if (compose) {
            EXPECT_EQ(last, Dib::Encode24(picture, extras));
        }
    }
}

TEST(ImagingDibTest, ReadsPaletteBitfieldAndTopDownBlocks)
{
    ImagingControl c;
    // 8 bits, two palette entries, 3 x 2, bottom-up: bottom row indexes 1, top row 0.
    {
        ByteWriter out;
        out.U32(40); out.I32(3); out.I32(2); out.U16(1); out.U16(8); out.U32(0); out.U32(0);
        out.I32(0); out.I32(0); out.U32(2); out.U32(0);
        out.U32(0x00112233); out.U32(0x00AABBCC); // BGRX: 0x33,0x22,0x11 -> RGB(0x11,0x22,0x33)
        for (int b : {1, 1, 1, 0, 0, 0, 0, 0})
            out.U8(std::uint8_t(b));
        ASSERT_EQ(c.SetFromDIB(PackedDib::FromByteArray(out.Data())), 0);
        EXPECT_EQ(Px(c, 0, 0), 0x112233u);
        EXPECT_EQ(Px(c, 2, 1), 0xAABBCCu);
    }
    // 32 bits with bit fields, top-down (negative height), 2 x 2.
    {
        ByteWriter out;
        out.U32(40); out.I32(2); out.I32(-2); out.U16(1); out.U16(32); out.U32(3); out.U32(0);
        out.I32(0); out.I32(0); out.U32(0); out.U32(0);
        out.U32(0x000000FF); out.U32(0x0000FF00); out.U32(0x00FF0000); // red in the low byte
        out.U32(0x00000010); out.U32(0x00002000); out.U32(0x00300000); out.U32(0x00445566);
        ASSERT_EQ(c.SetFromDIB(PackedDib::FromByteArray(out.Data())), 0);
        EXPECT_EQ(Px(c, 0, 0), 0x100000u);
        EXPECT_EQ(Px(c, 1, 0), 0x002000u);
        EXPECT_EQ(Px(c, 0, 1), 0x000030u);
        EXPECT_EQ(Px(c, 1, 1), 0x665544u);
    }
    // 1 bit, 10 x 1: every other pixel set.
    {
        ByteWriter out;
        out.U32(40); out.I32(10); out.I32(1); out.U16(1); out.U16(1); out.U32(0); out.U32(0);
        out.I32(0); out.I32(0); out.U32(0); out.U32(0);
        out.U32(0x00000000); out.U32(0x00FFFFFF);
        out.U8(0x55); out.U8(0x40); out.U8(0); out.U8(0);
        ASSERT_EQ(c.SetFromDIB(PackedDib::FromByteArray(out.Data())), 0);
        for (int x = 0; x < 10; ++x)
            EXPECT_EQ(Px(c, x, 0), x % 2 ? 0xFFFFFFu : 0u) << x;
    }
}

TEST(ImagingDibTest, UnreadableBlocksClearTheBitmapAndFail)
{
    ImagingControl c;
    const std::vector<PackedDib> bad = {
        MakeHeader(468, 60, 24, 0, 0, 84240 - 1),      // one byte short
        MakeHeader(65535, 65535, 24, 0, 0, 100),       // size claims far beyond the block
        MakeHeader(100000, 1, 24, 0, 0, 300000),       // wider than any picture we accept
        MakeHeader(4, 4, 8, 0, 0x7FFFFFFF, 64),        // colour table of two billion entries
        MakeHeader(4, 4, 8, 1, 0, 1024),               // run-length compressed
        MakeHeader(4, 4, 7, 0, 0, 1024),               // no such depth
        MakeHeader(0, 4, 24, 0, 0, 1024),              // empty picture
        MakeHeader(4, INT32_MIN, 24, 0, 0, 1024),
        PackedDib(std::vector<std::uint8_t>{40, 0, 0}),
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        c.CreateBitmap(468, 60);
        EXPECT_NE(c.SetFromDIB(bad[i]), 0) << i;
        EXPECT_FALSE(c.HasBitmap()) << i;
        EXPECT_TRUE(c.GetAsDIB().IsEmpty()) << i;
    }
    // An empty block clears without complaint.
    c.CreateBitmap(4, 4);
    EXPECT_EQ(c.SetFromDIB(PackedDib()), 0);
    EXPECT_FALSE(c.HasBitmap());
}

TEST(ImagingBitmapTest, HandlesCopyPicturesAndPageAttributes)
{
    ImagingControl a, b;
    a.CreateBitmap(20, 10);
    a.FillColor(RGB(255, 0, 0));
    a.SetPageDelay(250);
    b.SetBitmapHandle(a.BitmapHandle());
    a.FillColor(RGB(0, 0, 255)); // the copy is independent
    EXPECT_EQ(Px(b, 3, 3), 0xFF0000u);
    EXPECT_EQ(b.PageDelay(), 250);

    // Inserting a handle carries the delay set on a control without pages.
    ImagingControl target;
    EXPECT_EQ(target.InsertPage(0, a.BitmapHandle()), 0);
    a.SetPageDelay(500);
    a.FillColor(RGB(0, 255, 0));
    EXPECT_EQ(target.InsertPage(0, a.BitmapHandle()), 0);
    ASSERT_EQ(target.PageCount(), 2);
    target.SetPageIndex(0);
    EXPECT_EQ(target.PageDelay(), 500);
    EXPECT_EQ(Px(target, 0, 0), 0x00FF00u);
    target.SetPageIndex(1);
    EXPECT_EQ(target.PageDelay(), 250);
    EXPECT_EQ(Px(target, 0, 0), 0x0000FFu);

    // Handle 0 discards the picture.
    b.SetBitmapHandle({});
    EXPECT_FALSE(b.HasBitmap());
    EXPECT_EQ(b.BitmapWidth(), 0.0f);
}

TEST(ImagingBitmapTest, PageListSelectsAndEmpties)
{
    ImagingControl src, c;
    src.CreateBitmap(4, 4);
    for (int i = 0; i < 3; ++i) {
        src.SetPageDelay(100 * (i + 1));
        ASSERT_EQ(c.InsertPage(-1, src.BitmapHandle()), 0);
    }
    EXPECT_TRUE(c.PageList());
    EXPECT_EQ(c.PageIndex(), 0);
    c.SetPageIndex(2);
    EXPECT_EQ(c.PageDelay(), 300);
    c.SetPageIndex(7); // ignored
    c.SetPageIndex(-1);
    EXPECT_EQ(c.PageIndex(), 2);
    // Inserting in front keeps the same page selected.
    src.SetPageDelay(50);
    c.InsertPage(0, src.BitmapHandle());
    EXPECT_EQ(c.PageIndex(), 3);
    EXPECT_EQ(c.PageDelay(), 300);
    EXPECT_NE(c.InsertPage(9, src.BitmapHandle()), 0);
    EXPECT_NE(c.InsertPage(0, ImagingBitmap{}), 0);
    // Drawing acts on the selected page only.
    c.SetDrawPersistent(true);
    c.SetDrawFillStyle(0);
    c.SetDrawFillColor(RGB(1, 2, 3));
    c.SetDrawPenColor(RGB(1, 2, 3));
    c.DrawRectangleShape(0, 0, 4, 4);
    EXPECT_EQ(Px(c, 1, 1), 0x010203u);
    c.SetPageIndex(0);
    EXPECT_EQ(Px(c, 1, 1), 0xFFFFFFu);

    c.SetPageList(0);
    EXPECT_FALSE(c.PageList());
    EXPECT_EQ(c.PageCount(), 0);
    EXPECT_FALSE(c.HasBitmap());
}

TEST(ImagingBitmapTest, TrimResizeAndCopyWithRegion)
{
    ImagingControl c, page;
    c.CreateBitmap(10, 10);
    c.GetBitmapDC()->setPixel(5, 6, qRgb(9, 9, 9));
    c.ReleaseBitmapDC();
    EXPECT_EQ(c.TrimBitmap(4, 5, 3.4f, 2.6f), 0);
    EXPECT_EQ(c.BitmapWidth(), 3.0f);
    EXPECT_EQ(c.BitmapHeight(), 3.0f);
    EXPECT_EQ(Px(c, 1, 1), 0x090909u);
    EXPECT_NE(c.TrimBitmap(20, 20, 5, 5), 0);
    EXPECT_EQ(c.ResizeBitmap(6, 9, 0), 0);
    EXPECT_EQ(c.BitmapWidth(), 6.0f);
    EXPECT_EQ(c.BitmapHeight(), 9.0f);
    EXPECT_EQ(Px(c, 2, 3), 0x090909u);

    // Copy (800) honours the source's region: only non-key pixels land.
    page.CreateBitmap(3, 1);
    auto *px = reinterpret_cast<QRgb *>(page.GetBitmapDC()->scanLine(0));
    px[0] = qRgb(1, 1, 1);
    px[1] = qRgb(0, 255, 0); // the transparent key
    px[2] = qRgb(2, 2, 2);
    page.ReleaseBitmapDC();
    page.RegionFromColor(RGB(0, 255, 0), 6);
    c.CreateBitmap(10, 10);
    c.FillColor(RGB(100, 100, 100));
    EXPECT_EQ(c.CombineBitmap(4, 4, 468, 60, page.BitmapHandle(), 0, 0, 800), 0);
    EXPECT_EQ(Px(c, 4, 4), 0x010101u);
    EXPECT_EQ(Px(c, 5, 4), 0x646464u);
    EXPECT_EQ(Px(c, 6, 4), 0x020202u);
    EXPECT_EQ(Px(c, 7, 4), 0x646464u);
    page.FreeRegion();
    c.CombineBitmap(-1, 0, 3, 1, page.BitmapHandle(), 0, 0, 800); // clipped on the left
    EXPECT_EQ(Px(c, 0, 0), 0x00FF00u);
    EXPECT_EQ(Px(c, 1, 0), 0x020202u);
}

TEST(ImagingBitmapTest, ComparisonsGiveTheBoundingRectangleOfDifferences)
{
    ImagingControl composed, page;
    composed.CreateBitmap(468, 60);
    composed.FillColor(RGB(12, 34, 56));
    for (int op : {1024, 1280}) {
        page.SetBitmapHandle(composed.BitmapHandle());
        QImage *dc = page.GetBitmapDC();
        dc->setPixel(100, 20, qRgb(12, 34, 57)); // differs in one channel by one
        dc->setPixel(109, 24, qRgb(255, 255, 255));
        page.ReleaseBitmapDC();
        ASSERT_EQ(page.CombineBitmap(0, 0, 468, 60, composed.BitmapHandle(), 0, 0, op), 0);
        page.RegionFromColor(0, 6);
        EXPECT_EQ(page.RegionLeft(), 100.0f) << op;
        EXPECT_EQ(page.RegionTop(), 20.0f) << op;
        EXPECT_EQ(page.RegionWidth(), 10.0f) << op;
        EXPECT_EQ(page.RegionHeight(), 5.0f) << op;
        page.FreeRegion();
    }
    // Identical pictures: an empty region.
    page.SetBitmapHandle(composed.BitmapHandle());
    page.CombineBitmap(0, 0, 468, 60, composed.BitmapHandle(), 0, 0, 1024);
    page.RegionFromColor(0, 6);
    EXPECT_EQ(page.RegionWidth(), 0.0f);
    EXPECT_EQ(page.RegionHeight(), 0.0f);
}

TEST(ImagingBitmapTest, PaletteEntriesRecolourAndExtend)
{
    ImagingControl c;
    c.CreateBitmap(2, 1);
    c.FillColor(RGB(1, 2, 3));
    c.SetPaletteEntry(0, RGB(1, 2, 3));
    EXPECT_EQ(c.PaletteSize(), 1);
    c.SetPaletteEntry(2, RGB(9, 9, 9)); // extends, the gap black
    EXPECT_EQ(c.PaletteSize(), 3);
    EXPECT_EQ(c.PaletteEntry(1), 0u);
    EXPECT_EQ(c.PaletteEntry(2), RGB(9, 9, 9));
    EXPECT_EQ(c.PaletteEntry(-1), 0u);
    c.SetPaletteEntry(0, RGB(7, 7, 7)); // the pixels of that entry follow it
    EXPECT_EQ(Px(c, 1, 0), 0x070707u);
    c.SetPageUserPaletteEntry(5, RGB(4, 5, 6));
    EXPECT_EQ(c.PageUserPaletteEntry(5), RGB(4, 5, 6));
    EXPECT_EQ(c.PageUserPaletteEntry(6), 0u);
}
