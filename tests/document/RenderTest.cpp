// Frames rendered into pictures: the background or its colour, the items in z-order, the page
// list that RenderAllFrames builds and what never reaches a frame picture.
#include "DocumentFakes.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

CPrimitiveGraphics *AddFilledRect(CBannerFrame &frame, CRect r, COLORREF fill)
{
    auto item = std::make_unique<CPrimitiveGraphics>(r);
    item->m_fill = 1;
    item->m_fillColor = fill;
    item->m_lineColor = fill;
    return static_cast<CPrimitiveGraphics *>(frame.AddItem(std::move(item)));
}

QImage Page(ImagingControl &ctrl, int index)
{
    ctrl.SetPageIndex(index);
    return ctrl.BitmapHandle().image;
}

QImage RenderOne(CoreContext &ctx, const CBannerFrame &frame)
{
    ImagingControl &r = ctx.RenderCtrl;
    r.CreateBitmap(468, 60, 24);
    r.SetDrawPersistent(true);
    frame.RenderInto(r);
    return r.BitmapHandle().image.copy();
}

} // namespace

TEST(RenderTest, ItemsAppearInZOrderOverTheBackgroundColour)
{
    CoreContext ctx;
    CBannerFrame frame(nullptr, RGB(0, 255, 0), 500);
    CPrimitiveGraphics *red = AddFilledRect(frame, CRect(0, 0, 100, 40), RGB(255, 0, 0));
    AddFilledRect(frame, CRect(50, 10, 150, 50), RGB(0, 0, 255));

    QImage img = RenderOne(ctx, frame);
    EXPECT_EQ(img.size(), QSize(468, 60));
    EXPECT_EQ(img.pixel(25, 20), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(75, 20), qRgb(0, 0, 255)); // the overlap shows the front-most
    EXPECT_EQ(img.pixel(120, 45), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(300, 30), qRgb(0, 255, 0));
    EXPECT_EQ(ctx.RenderCtrl.PageDelay(), 500);

    frame.MoveToFront(red);
    img = RenderOne(ctx, frame);
    EXPECT_EQ(img.pixel(75, 20), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(120, 45), qRgb(0, 0, 255));
}

TEST(RenderTest, BackgroundPictureReplacesTheBitmap)
{
    CoreContext ctx;
    ctx.WorkCtrl.CreateBitmap(468, 60, 24);
    ctx.WorkCtrl.FillColor(RGB(10, 20, 30));
    CBannerFrame frame(OwnedBlock(ctx.WorkCtrl.GetAsDIB()), RGB(255, 255, 0), 100);
    AddFilledRect(frame, CRect(0, 0, 10, 10), RGB(255, 0, 0));
    QImage img = RenderOne(ctx, frame);
    EXPECT_EQ(img.pixel(200, 30), qRgb(10, 20, 30));
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 0));

    // A block the control cannot read shows the frame's colour, not what was there before.
    ctx.RenderCtrl.FillColor(RGB(1, 1, 1));
    frame.SetBackground(std::make_unique<PackedDib>(std::vector<std::uint8_t>{1, 2, 3}));
    frame.RenderInto(ctx.RenderCtrl);
    img = ctx.RenderCtrl.BitmapHandle().image;
    EXPECT_EQ(img.size(), QSize(468, 60));
    EXPECT_EQ(img.pixel(200, 30), qRgb(255, 255, 0));
    EXPECT_EQ(img.pixel(5, 5), qRgb(255, 0, 0));
}

TEST(RenderTest, PlaceholderItemsAddNothingToAFramePicture)
{
    CoreContext ctx;
    CBannerFrame frame(nullptr, RGB(200, 200, 200), 100);
    AddFilledRect(frame, CRect(0, 0, 50, 50), RGB(255, 0, 0));
    const QImage without = RenderOne(ctx, frame);
    frame.AddItem(std::make_unique<CText>(CRect(0, 0, 400, 60)));
    frame.AddItem(std::make_unique<CStamp>(CRect(10, 0, 468, 60)));
    EXPECT_EQ(RenderOne(ctx, frame), without);
}

TEST(RenderTest, RenderAllFramesMakesOnePagePerFrame)
{
    CoreContext ctx;
    CBannerDoc doc(ctx);
    doc.OnNewDocument();
    doc.GetFrame(0)->m_crBackground = RGB(255, 0, 0);
    doc.GetFrame(0)->m_nDelay = 100;
    doc.AddFrame(std::make_unique<CBannerFrame>(nullptr, RGB(0, 255, 0), 200));
    doc.AddFrame(std::make_unique<CBannerFrame>(nullptr, RGB(0, 0, 255), 300));
    AddFilledRect(*doc.GetFrame(1), CRect(0, 0, 20, 20), RGB(0, 0, 0));

    ctx.FileCtrl.CreateBitmap(10, 10, 24); // whatever was there goes
    doc.RenderAllFrames();
    ImagingControl &out = ctx.FileCtrl;
    ASSERT_EQ(out.PageCount(), 3);
    EXPECT_TRUE(out.AnimationLoop());
    const COLORREF colours[3] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
    for (int i = 0; i < 3; ++i) {
        const QImage page = Page(out, i);
        EXPECT_EQ(page.size(), QSize(468, 60));
        EXPECT_EQ(page.pixel(100, 30), ColorrefToQRgb(colours[i])) << i;
        EXPECT_EQ(out.PageDelay(), int(100 * (i + 1)));
    }
    EXPECT_EQ(Page(out, 1).pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(Page(out, 2).pixel(10, 10), qRgb(0, 0, 255));

    // Another target, a banner that plays once, and a second run that replaces the pages.
    ImagingControl view;
    doc.m_bLoop = 0;
    doc.RemoveFrame(2);
    doc.RenderAllFrames(&view);
    EXPECT_EQ(view.PageCount(), 2);
    EXPECT_FALSE(view.AnimationLoop());
    doc.RenderAllFrames(&view);
    EXPECT_EQ(view.PageCount(), 2);
    EXPECT_EQ(ctx.FileCtrl.PageCount(), 3);
}
