// Items drawn through an imaging control: the settings they leave, and the pixels they paint into
// a frame picture (persistent drawing) or onto the window surface (screen drawing).
#include "items/ItemContext.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/ImagingControl.h"
#include "TestSupport.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

// A banner-size white picture drawn on persistently.
void MakeCanvas(ImagingControl &ctrl, int w = 468, int h = 60)
{
    ctrl.CreateBitmap(float(w), float(h), 24);
    ctrl.FillColor(0xFFFFFF);
    ctrl.SetDrawPersistent(true);
}

QRgb Pixel(ImagingControl &ctrl, int x, int y)
{
    return ctrl.BitmapHandle().image.pixel(x, y);
}

int CountNot(const QImage &img, QRgb color, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) != color;
    return n;
}

// A control shown in a window of the given size: non-persistent drawing lands on its surface.
void MakeWindow(ImagingControl &ctrl, int w, int h, float zoom = 100)
{
    ctrl.CreateBitmap(468, 60, 24);
    ctrl.FillColor(0xFFFFFF);
    ctrl.SetWindowSize(w, h);
    ctrl.SetZoomPercent(zoom);
    ctrl.SetDrawPersistent(false);
    ctrl.Repaint();
}

struct StampEnvironment {
    ImagingControl stampCtrl, workCtrl;
    ItemContext context;
    ItemContext *previous;
    ScriptedPrompts prompts;
    StampEnvironment()
    {
        context.stampCtrl = &stampCtrl;
        context.workCtrl = &workCtrl;
        previous = ItemContext::Install(&context);
        Prompts::Register(&prompts);
    }
    ~StampEnvironment()
    {
        ItemContext::Install(previous);
        Prompts::Register(nullptr);
    }
};

// A 100 x 50 picture: left half red, right half blue.
PackedDib TwoHalves(ImagingControl &ctrl)
{
    ctrl.CreateBitmap(100, 50, 24);
    ctrl.FillColor(RGB(255, 0, 0));
    QImage *img = ctrl.GetBitmapDC();
    for (int y = 0; y < 50; ++y)
        for (int x = 50; x < 100; ++x)
            img->setPixel(x, y, qRgb(0, 0, 255));
    ctrl.ReleaseBitmapDC();
    return ctrl.GetAsDIB();
}

} // namespace

TEST(ItemDrawingTest, TextSettingsFollowTheItemAndTheZoom)
{
    ImagingControl ctrl;
    MakeCanvas(ctrl);
    CText text(CRect(40, 30, 10, 5)); // dragged from right to left
    text.m_text = QStringLiteral("Hi");
    text.m_lineColor = RGB(0, 128, 0);
    text.m_logFont.lfWeight = 700;
    text.m_logFont.lfItalic = 1;
    text.m_logFont.SetFaceName(QStringLiteral("Courier New"));

    const std::pair<float, int> cases[] = {{150, 15}, {33, 3}, {25, 2}, {100, 10}};
    for (auto [zoom, size] : cases) {
        ctrl.SetZoomPercent(zoom);
        text.Draw(ctrl);
        EXPECT_EQ(ctrl.Font().Size, size) << zoom;
    }
    EXPECT_EQ(ctrl.Font().Name, QStringLiteral("Courier New"));
    EXPECT_TRUE(ctrl.Font().Bold);
    EXPECT_TRUE(ctrl.Font().Italic);
    EXPECT_FALSE(ctrl.Font().Underline);
    EXPECT_EQ(ctrl.Font().Weight, 700);
    EXPECT_EQ(ctrl.DrawTextColor(), RGB(0, 128, 0));
    // The normalised rectangle.
    EXPECT_EQ(ctrl.TextBoxLeft(), 10);
    EXPECT_EQ(ctrl.TextBoxTop(), 5);
    EXPECT_EQ(ctrl.TextBoxWidth(), 30);
    EXPECT_EQ(ctrl.TextBoxHeight(), 25);
    // Only weight 700 is bold.
    text.m_logFont.lfWeight = 600;
    text.Draw(ctrl);
    EXPECT_FALSE(ctrl.Font().Bold);
    EXPECT_EQ(ctrl.Font().Weight, 600);

    // The text lands inside its box.
    MakeCanvas(ctrl);
    text.m_lineColor = 0;
    text.m_text = QStringLiteral("WWW\r\nWWW");
    text.Draw(ctrl);
    const QImage img = ctrl.BitmapHandle().image;
    EXPECT_GT(CountNot(img, kWhite, QRect(10, 5, 30, 25)), 10);
    EXPECT_EQ(CountNot(img, kWhite, QRect(0, 0, 468, 60)), CountNot(img, kWhite, QRect(10, 5, 30, 25)));
}

TEST(ItemDrawingTest, ShapesPenFollowsTheZoomAndFillTheFlag)
{
    ImagingControl ctrl;
    MakeCanvas(ctrl);
    CPrimitiveGraphics g(CRect(10, 10, 40, 40));
    g.m_lineColor = RGB(9, 8, 7);
    g.m_fillColor = RGB(1, 2, 3);
    ctrl.SetZoomPercent(50);
    g.Draw(ctrl);
    EXPECT_EQ(ctrl.DrawPenWidth(), 0);
    EXPECT_EQ(ctrl.DrawFillStyle(), 1);
    EXPECT_EQ(ctrl.DrawPenStyle(), 0);
    EXPECT_EQ(ctrl.DrawPenColor(), RGB(9, 8, 7));
    EXPECT_EQ(ctrl.DrawFillColor(), RGB(1, 2, 3));
    ctrl.SetZoomPercent(150);
    g.m_fill = 1;
    g.Draw(ctrl);
    EXPECT_EQ(ctrl.DrawPenWidth(), 1);
    EXPECT_EQ(ctrl.DrawFillStyle(), 0);
    ctrl.SetZoomPercent(200);
    g.m_penWidth = 3;
    g.Draw(ctrl);
    EXPECT_EQ(ctrl.DrawPenWidth(), 6);
    // A control showing actual size draws at 100 % whatever ZoomPercent says.
    ctrl.SetDisplaySizeMode(ImagingControl::DisplayActualSize);
    g.Draw(ctrl);
    EXPECT_EQ(ctrl.DrawPenWidth(), 3);
}

TEST(ItemDrawingTest, ShapePixels)
{
    ImagingControl ctrl;
    MakeCanvas(ctrl);
    CPrimitiveGraphics rect(CRect(30, 40, 10, 20)); // stored inverted
    rect.m_fill = 1;
    rect.m_fillColor = RGB(255, 0, 0);
    rect.Draw(ctrl);
    EXPECT_EQ(Pixel(ctrl, 20, 30), qRgb(255, 0, 0));
    EXPECT_EQ(Pixel(ctrl, 10, 30), kBlack); // outline
    EXPECT_EQ(Pixel(ctrl, 31, 30), kWhite);

    // A line drawn from right to left runs between its two stored corners.
    MakeCanvas(ctrl);
    CPrimitiveGraphics line(CRect(100, 50, 60, 10));
    line.m_shape = CPrimitiveGraphics::kLine;
    line.Draw(ctrl);
    EXPECT_EQ(Pixel(ctrl, 80, 30), kBlack);
    EXPECT_EQ(Pixel(ctrl, 99, 49), kBlack);
    EXPECT_EQ(Pixel(ctrl, 80, 20), kWhite);

    // An ellipse stays inside its rectangle and leaves the corners free.
    MakeCanvas(ctrl);
    CPrimitiveGraphics ellipse(CRect(200, 0, 260, 60));
    ellipse.m_shape = CPrimitiveGraphics::kEllipse;
    ellipse.Draw(ctrl);
    const QImage img = ctrl.BitmapHandle().image;
    EXPECT_EQ(img.pixel(201, 1), kWhite);
    EXPECT_EQ(CountNot(img, kWhite, QRect(0, 0, 200, 60)), 0);
    EXPECT_GT(CountNot(img, kWhite, QRect(200, 0, 60, 60)), 100);
}

TEST(ItemDrawingTest, InvertedDrawingRestoresThePictureAndTheDrawMode)
{
    ImagingControl ctrl;
    MakeCanvas(ctrl);
    ctrl.FillColor(RGB(10, 200, 30));
    const QImage before = ctrl.BitmapHandle().image.copy();
    CPrimitiveGraphics g(CRect(5, 5, 50, 40));
    g.m_fill = 1;
    CPolyline stroke;
    for (CPoint p : {CPoint(60, 5), CPoint(90, 40), CPoint(120, 10), CPoint(150, 50)})
        stroke.AddPoint(p);
    CSprite plain(CRect(200, 5, 230, 30));
    CText text(CRect(300, 50, 250, 10)); // its rubber band is its rectangle, not its text
    text.m_text = QStringLiteral("text");
    ctrl.SetDrawMode(13);
    for (CSprite *item : {static_cast<CSprite *>(&g), static_cast<CSprite *>(&stroke), &plain,
                          static_cast<CSprite *>(&text)}) {
        item->DrawInverted(ctrl, -1);
        EXPECT_EQ(ctrl.DrawMode(), 13);
        EXPECT_NE(ctrl.BitmapHandle().image, before);
        item->DrawInverted(ctrl, -1);
        EXPECT_EQ(ctrl.BitmapHandle().image, before);
    }

    text.DrawInverted(ctrl, 1);
    const QImage band = ctrl.BitmapHandle().image;
    EXPECT_NE(band.pixel(250, 30), qRgb(10, 200, 30));
    EXPECT_NE(band.pixel(299, 30), qRgb(10, 200, 30));
    EXPECT_EQ(CountNot(band, qRgb(10, 200, 30), QRect(252, 12, 46, 36)), 0);
    text.DrawInverted(ctrl, 1);

    // Handle n of a stroke draws only the segments that meet at point n.
    stroke.DrawInverted(ctrl, 1);
    QImage img = ctrl.BitmapHandle().image;
    EXPECT_GT(CountNot(img, qRgb(10, 200, 30), QRect(60, 5, 30, 36)), 0);
    EXPECT_EQ(CountNot(img, qRgb(10, 200, 30), QRect(91, 0, 100, 60)), 0);
    stroke.DrawInverted(ctrl, 1);
    stroke.DrawInverted(ctrl, 4); // the newest point: its segment only
    img = ctrl.BitmapHandle().image;
    EXPECT_EQ(CountNot(img, qRgb(10, 200, 30), QRect(0, 0, 119, 60)), 0);
    EXPECT_GT(CountNot(img, qRgb(10, 200, 30), QRect(120, 10, 31, 41)), 0);
    stroke.DrawInverted(ctrl, 4);
    stroke.DrawInverted(ctrl, 9); // no such point
    EXPECT_EQ(ctrl.BitmapHandle().image, before);
}

TEST(ItemDrawingTest, FreehandStrokes)
{
    ImagingControl ctrl;
    MakeCanvas(ctrl);
    CPolyline dot;
    dot.AddPoint({10, 10});
    dot.AddPoint({10, 10});
    dot.Draw(ctrl); // one point draws nothing
    EXPECT_EQ(CountNot(ctrl.BitmapHandle().image, kWhite, QRect(0, 0, 468, 60)), 0);

    CPolyline stroke;
    stroke.m_lineColor = RGB(0, 0, 255);
    for (CPoint p : {CPoint(10, 10), CPoint(10, 10), CPoint(50, 10), CPoint(50, 10), CPoint(50, 40)})
        stroke.AddPoint(p);
    stroke.Draw(ctrl);
    EXPECT_EQ(Pixel(ctrl, 30, 10), qRgb(0, 0, 255));
    EXPECT_EQ(Pixel(ctrl, 50, 25), qRgb(0, 0, 255));
    EXPECT_EQ(Pixel(ctrl, 30, 25), kWhite);
}

TEST(ItemDrawingTest, TrackerHandlesAreSevenPixelSquaresAtEveryZoom)
{
    ImagingControl ctrl;
    MakeWindow(ctrl, 500, 200, 200);
    CSprite item(CRect(10, 10, 50, 30));
    item.DrawTracker(ctrl);
    const QImage *surface = ctrl.GetWindowDC();
    ASSERT_TRUE(surface);
    // Handle 1 at (20, 20) on screen: outline from 17 to 23, white inside.
    EXPECT_EQ(surface->pixel(17, 17), kBlack);
    EXPECT_EQ(surface->pixel(23, 23), kBlack);
    EXPECT_EQ(surface->pixel(20, 20), kWhite);
    EXPECT_EQ(surface->pixel(18, 22), kWhite);
    EXPECT_NE(surface->pixel(24, 20), kBlack);
    // Handle 5 at (100, 60).
    EXPECT_EQ(surface->pixel(97, 57), kBlack);
    EXPECT_EQ(surface->pixel(100, 60), kWhite);
    ctrl.ReleaseWindowDC();
}

TEST(ItemDrawingTest, PlaceholdersShowOnTheScreenOnly)
{
    StampEnvironment env;
    CText text(CRect(10, 5, 200, 50));
    CStamp stamp(CRect(220, 5, 460, 50));

    ImagingControl frame;
    MakeCanvas(frame);
    const QImage blank = frame.BitmapHandle().image.copy();
    text.Draw(frame);
    stamp.Draw(frame);
    EXPECT_EQ(frame.BitmapHandle().image, blank);

    ImagingControl view;
    MakeWindow(view, 468, 60);
    const QImage before = view.WindowSurface().copy();
    text.Draw(view);
    EXPECT_EQ(view.Font().Size, 10);
    const QImage withText = view.WindowSurface().copy();
    EXPECT_GT(CountNot(withText, kWhite, QRect(10, 5, 190, 45)), 20);
    stamp.Draw(view);
    const QImage withBoth = view.WindowSurface().copy();
    EXPECT_GT(CountNot(withBoth, kWhite, QRect(220, 5, 240, 45)), 20);
    EXPECT_EQ(view.Font().Name, QStringLiteral("Arial"));
    EXPECT_TRUE(view.Font().Italic);
    EXPECT_EQ(view.Font().Weight, 100);
    EXPECT_EQ(view.Font().Size, 10); // the image placeholder does not scale
    // The bitmap itself is untouched by screen drawing.
    EXPECT_EQ(view.BitmapHandle().image, blank);
    EXPECT_NE(before, withBoth);
}

TEST(ItemDrawingTest, StampPictureIsStretchedToItsRectangle)
{
    StampEnvironment env;
    CStamp stamp(CRect(300, 200, 100, 0)); // 200 x 200, stored inverted
    stamp.SetPicture(std::make_unique<PackedDib>(TwoHalves(env.workCtrl)));

    ImagingControl frame;
    MakeCanvas(frame, 468, 300);
    stamp.Draw(frame);
    const QImage img = frame.BitmapHandle().image;
    EXPECT_EQ(img.pixel(100, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(199, 199), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(200, 0), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(299, 199), qRgb(0, 0, 255));
    EXPECT_EQ(img.pixel(99, 100), kWhite);
    EXPECT_EQ(img.pixel(300, 100), kWhite);
    EXPECT_EQ(img.pixel(150, 200), kWhite);

    // At 200 % on the screen it covers 400 x 400 screen pixels.
    ImagingControl view;
    view.CreateBitmap(468, 300, 24);
    view.SetWindowSize(900, 700);
    view.SetZoomPercent(200);
    view.Repaint();
    stamp.Draw(view);
    const QImage &s = view.WindowSurface();
    EXPECT_EQ(s.pixel(200, 0), qRgb(255, 0, 0));
    EXPECT_EQ(s.pixel(399, 399), qRgb(255, 0, 0));
    EXPECT_EQ(s.pixel(400, 0), qRgb(0, 0, 255));
    EXPECT_EQ(s.pixel(599, 399), qRgb(0, 0, 255));
    EXPECT_NE(s.pixel(600, 100), qRgb(0, 0, 255));
    EXPECT_NE(s.pixel(300, 400), qRgb(255, 0, 0));
}

TEST(ItemDrawingTest, StampCopiesOwnTheirPicture)
{
    StampEnvironment env;
    auto source = std::make_unique<CStamp>(CRect(0, 0, 10, 10));
    const PackedDib picture = TwoHalves(env.workCtrl);
    source->SetPicture(std::make_unique<PackedDib>(picture));
    auto copy = source->Clone();
    source.reset();
    const auto &c = static_cast<const CStamp &>(*copy);
    ASSERT_TRUE(c.HasPicture());
    EXPECT_EQ(*c.m_hDib, picture);
}

TEST(ItemDrawingTest, StampFileDialogLoadsOrKeepsThePicture)
{
    StampEnvironment env;
    const QString dir = TestSupport::NewTempDir();
    QImage green(30, 20, QImage::Format_RGB32);
    green.fill(qRgb(0, 255, 0));
    ASSERT_TRUE(green.save(dir + "/green.png"));
    ASSERT_TRUE(TestSupport::WriteFile(dir + "/broken.png", "not a picture"));

    CStamp stamp(CRect(0, 0, 60, 40));
    // Cancel: nothing changes.
    EXPECT_TRUE(stamp.EditProperties());
    EXPECT_FALSE(stamp.HasPicture());
    ASSERT_EQ(env.prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(env.prompts.fileDialogs[0].title, QStringLiteral("Open File"));
    EXPECT_EQ(env.prompts.fileDialogs[0].filter, CStamp::FileFilter());

    env.prompts.fileChoices.push_back(Prompts::FileChoice{dir + "/green.png", 4});
    stamp.OnOpen();
    ASSERT_TRUE(stamp.HasPicture());
    EXPECT_TRUE(env.workCtrl.Enabled20());
    env.stampCtrl.SetFromDIB(*stamp.m_hDib);
    EXPECT_EQ(env.stampCtrl.BitmapWidth(), 30);
    EXPECT_EQ(env.stampCtrl.BitmapHeight(), 20);
    EXPECT_EQ(stamp.m_position, CRect(0, 0, 60, 40));
    const PackedDib loaded = *stamp.m_hDib;

    // A file that cannot be decoded is reported and the picture stays.
    env.prompts.fileChoices.push_back(Prompts::FileChoice{dir + "/broken.png", 4});
    EXPECT_TRUE(stamp.EditProperties());
    EXPECT_TRUE(env.prompts.WasShown(QStringLiteral("Error loading file."), Prompts::Icon::Stop));
    ASSERT_TRUE(stamp.HasPicture());
    EXPECT_EQ(*stamp.m_hDib, loaded);
    EXPECT_TRUE(env.workCtrl.Enabled20());

    // An item without a picture stays without.
    CStamp empty(CRect(0, 0, 5, 5));
    env.prompts.fileChoices.push_back(Prompts::FileChoice{dir + "/missing.gif", 1});
    EXPECT_TRUE(empty.EditProperties());
    EXPECT_FALSE(empty.HasPicture());
    EXPECT_EQ(env.prompts.messages.size(), 2u);
}

// Positions come from files as any 32-bit values; drawing, bounds and hit-testing of such items
// must neither overflow (the sanitizer build checks) nor touch the canvas where they cannot be.
TEST(ItemDrawingTest, ExtremeCoordinatesDrawWithoutOverflow)
{
    const CRect extremes[] = {CRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX),
                              CRect(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN),
                              CRect(INT32_MAX - 1, 0, INT32_MAX, 1)};
    const std::int32_t widths[] = {INT32_MAX, INT32_MIN, 1};
    for (int i = 0; i < 3; ++i) {
        const CRect &r = extremes[i];
        EXPECT_EQ(r.Width(), widths[i]);
        ImagingControl ctrl;
        for (float zoom : {25.0f, 100.0f, 800.0f}) {
            MakeCanvas(ctrl);
            ctrl.SetZoomPercent(zoom);
            CText text(r);
            text.m_text = QStringLiteral("x");
            text.Draw(ctrl);
            CPrimitiveGraphics shape(r);
            shape.m_fill = 1;
            shape.Draw(ctrl);
            shape.m_shape = CPrimitiveGraphics::kEllipse;
            shape.Draw(ctrl);
            shape.DrawInverted(ctrl, 0);
            CPolyline stroke(r);
            stroke.AddPoint(CPoint(r.left, r.top));
            stroke.AddPoint(CPoint(r.right, r.bottom));
            stroke.Draw(ctrl);
            (void)stroke.GetBounds();
            (void)shape.HitTest(CPoint(0, 0), ctrl, true);
        }
    }

    // Moving an edge or a point past the coordinate range stops at its end.
    const CPoint far(INT32_MAX, INT32_MIN);
    const CRect start(5, -5, 10, -1);
    const CRect moved[] = {CRect(INT32_MAX, INT32_MIN, 10, -1), CRect(5, INT32_MIN, 10, -1),
                           CRect(5, INT32_MIN, INT32_MAX, -1), CRect(5, -5, INT32_MAX, -1),
                           CRect(5, -5, INT32_MAX, INT32_MIN), CRect(5, -5, 10, INT32_MIN),
                           CRect(INT32_MAX, -5, 10, INT32_MIN), CRect(INT32_MAX, -5, 10, -1)};
    for (int handle = 1; handle <= 8; ++handle) {
        CPrimitiveGraphics shape(start);
        shape.MoveHandleBy(far, handle);
        EXPECT_EQ(shape.m_position, moved[handle - 1]) << "handle " << handle;
    }
    CPolyline stroke(CRect(0, 0, 1, 1));
    stroke.AddPoint(CPoint(INT32_MAX - 1, INT32_MIN + 1));
    stroke.AddPoint(CPoint(0, 0));
    stroke.MoveHandleBy(far, 1);
    EXPECT_EQ(stroke.m_points[0], CPoint(INT32_MAX, INT32_MIN));
    stroke.MoveHandleBy(far, -1);
    EXPECT_EQ(stroke.m_points[0], CPoint(INT32_MAX, INT32_MIN));
    EXPECT_EQ(stroke.m_points[1], CPoint(INT32_MAX, INT32_MIN));
    // A pen height from a file, drawn at a high zoom, saturates at 16 bits.
    EXPECT_EQ(CText::DrawnPointSize(800.0f, INT16_MAX), INT16_MAX);
    EXPECT_EQ(CText::DrawnPointSize(800.0f, INT16_MIN), INT16_MIN);
    EXPECT_EQ(CText::DrawnPointSize(100.0f, 12), 12);
}
