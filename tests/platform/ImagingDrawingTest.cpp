// ImagingControl: shapes, inverted drawing, text, the window surface, conversion and events.
#include <gtest/gtest.h>

#include "platform/imaging/ImagingControl.h"
#include "platform/imaging/ImagingDC.h"

#include <QFont>
#include <QFontInfo>
#include <QRandomGenerator>
#include <QTest>
#include <set>

namespace {

constexpr QRgb kWhite = 0xFFFFFF;
constexpr QRgb kPen = 0x102030;   // RGB(0x10, 0x20, 0x30)
constexpr QRgb kFill = 0xC0B0A0;

// A persistent-drawing control on a white w x h bitmap with the pen and fill colours above.
void PrepareCanvas(ImagingControl &c, int w = 40, int h = 30)
{
    c.CreateBitmap(w, h);
    c.SetDrawPersistent(true);
    c.SetDrawPenColor(RGB(0x10, 0x20, 0x30));
    c.SetDrawFillColor(RGB(0xC0, 0xB0, 0xA0));
    c.SetDrawPenStyle(0);
}

// The canvas above with a pen width and fill style set for a figure.
void PrepareFigure(ImagingControl &c, int penWidth, int fillStyle)
{
    PrepareCanvas(c);
    c.SetDrawPenWidth(penWidth);
    c.SetDrawFillStyle(fillStyle);
}

QRgb Px(const QImage &img, int x, int y)
{
    return img.pixel(x, y) & 0xFFFFFF;
}

// The set of pixels of a given colour.
std::set<std::pair<int, int>> PixelsOf(const QImage &img, QRgb color)
{
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Px(img, x, y) == color)
                out.insert({x, y});
    return out;
}

std::set<std::pair<int, int>> Ring(int l, int t, int r, int b) // inclusive border of [l..r] x [t..b]
{
    std::set<std::pair<int, int>> out;
    for (int x = l; x <= r; ++x) {
        out.insert({x, t});
        out.insert({x, b});
    }
    for (int y = t; y <= b; ++y) {
        out.insert({l, y});
        out.insert({r, y});
    }
    return out;
}

QImage Noise(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, 0xFF000000u | rng.bounded(0x1000000u));
    return img;
}

} // namespace

TEST(ImagingDrawingTest, RectanglesAtPenWidthsZeroOneAndThree)
{
    for (int width : {0, 1}) {
        ImagingControl c;
        PrepareFigure(c, width, 1);
        c.DrawRectangleShape(5, 6, 10, 8);
        const QImage &img = *c.GetBitmapDC();
        EXPECT_EQ(PixelsOf(img, kPen), Ring(5, 6, 14, 13)) << width;
    }
    ImagingControl c;
    PrepareFigure(c, 3, 0);
    c.DrawRectangleShape(5, 6, 10, 8);
    const QImage &img = *c.GetBitmapDC();
    // A 3-pixel band centred on the one-pixel border: columns 4..6 and 13..15, rows 5..7 and 12..14.
    std::set<std::pair<int, int>> band;
    for (int i = 0; i < 3; ++i) {
        const auto r = Ring(4 + i, 5 + i, 15 - i, 14 - i);
        band.insert(r.begin(), r.end());
    }
    EXPECT_EQ(PixelsOf(img, kPen), band);
    std::set<std::pair<int, int>> inside;
    for (int y = 8; y <= 11; ++y)
        for (int x = 7; x <= 12; ++x)
            inside.insert({x, y});
    EXPECT_EQ(PixelsOf(img, kFill), inside);
}

TEST(ImagingDrawingTest, NegativeExtentsSpanTheCorners)
{
    ImagingControl a, b;
    PrepareCanvas(a);
    PrepareCanvas(b);
    for (ImagingControl *c : {&a, &b}) {
        c->SetDrawPenWidth(1);
        c->SetDrawFillStyle(0);
    }
    a.DrawRectangleShape(5, 6, 10, 8);
    b.DrawRectangleShape(15, 14, -10, -8);
    EXPECT_EQ(*a.GetBitmapDC(), *b.GetBitmapDC());
    a.DrawEllipseShape(20, 2, 12, 9);
    b.DrawEllipseShape(32, 11, -12, -9);
    EXPECT_EQ(*a.GetBitmapDC(), *b.GetBitmapDC());
}

TEST(ImagingDrawingTest, EllipsesStayInTheirBoxAndAreSymmetric)
{
    for (int width : {0, 1, 3}) {
        ImagingControl c;
        PrepareFigure(c, width, 0);
        c.DrawEllipseShape(10, 8, 20, 14);
        const QImage &img = *c.GetBitmapDC();
        const auto pen = PixelsOf(img, kPen);
        const auto fill = PixelsOf(img, kFill);
        ASSERT_FALSE(pen.empty()) << width;
        ASSERT_FALSE(fill.empty()) << width;
        const int slack = width > 1 ? width / 2 + 1 : 0;
        for (const auto &[x, y] : pen) {
            EXPECT_GE(x, 10 - slack);
            EXPECT_LE(x, 29 + slack);
            EXPECT_GE(y, 8 - slack);
            EXPECT_LE(y, 21 + slack);
            // Mirror images about the box centre are drawn too.
            EXPECT_TRUE(pen.count({39 - x, y})) << width << ": " << x << "," << y;
            EXPECT_TRUE(pen.count({x, 29 - y})) << width << ": " << x << "," << y;
        }
        // The box corners stay untouched; the centre is filled.
        EXPECT_EQ(Px(img, 10, 8), kWhite);
        EXPECT_EQ(Px(img, 29, 21), kWhite);
        EXPECT_EQ(Px(img, 20, 15), kFill);
        // One-pixel pens touch the box edges.
        if (width <= 1) {
            EXPECT_TRUE(pen.count({10, 14}) || pen.count({10, 15}));
            EXPECT_TRUE(pen.count({19, 8}) || pen.count({20, 8}));
        }
        // No antialiasing: only the three colours appear.
        EXPECT_EQ(PixelsOf(img, kWhite).size() + pen.size() + fill.size(), 40u * 30u);
    }
}

// The drawing works row by row on runs; every pixel must still be the one its centre decides:
// filled when the centre lies inside the ellipse, pen when it lies in the band around the edge.
TEST(ImagingDrawingTest, EllipsePixelsAreDecidedByTheirCentres)
{
    struct Box {
        int l, t, w, h;
    };
    const Box boxes[] = {{3, 4, 20, 14}, {2, 2, 21, 13}, {5, 5, 1, 9}, {6, 3, 2, 2},   {-7, -4, 30, 20},
                         {30, 20, 25, 18}, {1, 1, 37, 27}, {9, 9, 3, 16}, {4, 12, 33, 1}};
    for (const Box &box : boxes) {
        for (int width : {1, 3, 4}) {
            ImagingControl c;
            PrepareFigure(c, width, 0);
            c.DrawEllipseShape(float(box.l), float(box.t), float(box.w), float(box.h));
            const QImage &img = *c.GetBitmapDC();
            const double cx = box.l + box.w / 2.0, cy = box.t + box.h / 2.0;
            auto inside = [&](int x, int y, double rx, double ry) {
                if (rx <= 0 || ry <= 0)
                    return false;
                const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
                return u * u + v * v <= 1.0;
            };
            const double rx = box.w / 2.0, ry = box.h / 2.0, a = (width - 1) / 2.0, b = (width + 1) / 2.0;
            for (int y = 0; y < img.height(); ++y) {
                for (int x = 0; x < img.width(); ++x) {
                    const bool in = inside(x, y, rx, ry);
                    const bool pen = width == 1 ? in && !(inside(x - 1, y, rx, ry) && inside(x + 1, y, rx, ry) &&
                                                          inside(x, y - 1, rx, ry) && inside(x, y + 1, rx, ry))
                                                : inside(x, y, rx + a, ry + a) && !inside(x, y, rx - b, ry - b);
                    const QRgb want = pen ? kPen : in ? kFill : kWhite;
                    ASSERT_EQ(Px(img, x, y), want) << box.l << "," << box.t << " " << box.w << "x" << box.h
                                                   << " pen " << width << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(ImagingDrawingTest, LinesAtPenWidthsZeroOneAndThree)
{
    for (int width : {0, 1}) {
        ImagingControl c;
        PrepareCanvas(c);
        c.SetDrawPenWidth(width);
        c.DrawLineShape(2, 3, 12, 3);
        std::set<std::pair<int, int>> expected;
        for (int x = 2; x < 12; ++x) // the end point is not drawn
            expected.insert({x, 3});
        EXPECT_EQ(PixelsOf(*c.GetBitmapDC(), kPen), expected);
        c.FillColor(RGB(255, 255, 255));
        c.DrawLineShape(0, 0, 10, 10);
        const auto diag = PixelsOf(*c.GetBitmapDC(), kPen);
        EXPECT_EQ(diag.size(), 10u);
        for (int i = 0; i < 10; ++i)
            EXPECT_TRUE(diag.count({i, i}));
    }
    ImagingControl c;
    PrepareCanvas(c);
    c.SetDrawPenWidth(3);
    c.DrawLineShape(5, 10, 25, 10);
    const QImage &img = *c.GetBitmapDC();
    for (int x = 6; x <= 24; ++x) {
        EXPECT_EQ(Px(img, x, 9), kPen) << x;
        EXPECT_EQ(Px(img, x, 10), kPen) << x;
        EXPECT_EQ(Px(img, x, 11), kPen) << x;
        EXPECT_EQ(Px(img, x, 8), kWhite) << x;
        EXPECT_EQ(Px(img, x, 12), kWhite) << x;
    }
}

TEST(ImagingDrawingTest, InvertedDrawingTwiceRestoresThePicture)
{
    ImagingControl c;
    c.CreateBitmap(60, 40);
    *c.GetBitmapDC() = Noise(60, 40);
    c.ReleaseBitmapDC();
    const QImage before = c.GetBitmapDC()->copy();
    c.SetDrawPersistent(true);
    c.SetDrawMode(6);
    for (int width : {0, 1, 3, 7}) {
        for (int fill : {0, 1, 4}) {
            c.SetDrawPenWidth(width);
            c.SetDrawFillStyle(fill);
            for (int pass = 0; pass < 2; ++pass) {
                c.DrawRectangleShape(3, 4, 30, 20);
                c.DrawEllipseShape(50, 30, -40, -25);
                c.DrawLineShape(-5, 2, 70, 37);
                c.DrawLineShape(10, 10, 10, 10);
            }
            EXPECT_EQ(*c.GetBitmapDC(), before) << width << " " << fill;
        }
    }
    // Once is a real change: the figure is inverted.
    c.SetDrawPenWidth(1);
    c.SetDrawFillStyle(1);
    c.DrawRectangleShape(3, 4, 30, 20);
    EXPECT_EQ(Px(*c.GetBitmapDC(), 3, 4), Px(before, 3, 4) ^ 0xFFFFFF);
}

TEST(ImagingDrawingTest, NonPersistentDrawingLandsOnTheWindowInControlPixels)
{
    ImagingControl c;
    c.CreateBitmap(100, 50);
    c.SetWindowSize(300, 200);
    c.SetZoomPercent(200);
    c.Repaint();
    ASSERT_NE(c.GetWindowDC(), nullptr);
    EXPECT_EQ(Px(*c.GetWindowDC(), 150, 90), kWhite);  // bitmap pixel (75, 45)
    EXPECT_EQ(c.GetWindowDC()->pixel(250, 150), ImagingControl::kWindowBackground);
    c.SetDrawPersistent(false);
    c.SetDrawPenColor(RGB(0, 0, 0));
    c.SetDrawFillStyle(1);
    c.DrawLineShape(150, 80, 160, 80);
    EXPECT_EQ(Px(*c.GetWindowDC(), 155, 80), 0u);
    EXPECT_EQ(Px(*c.GetBitmapDC(), 77, 60 / 2), kWhite); // the bitmap is untouched
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(Px(*c.GetBitmapDC(), x, y), kWhite);
    c.Repaint(); // and the window drawing vanishes
    EXPECT_EQ(Px(*c.GetWindowDC(), 155, 80), kWhite);

    // A hidden control has no window: such drawing does nothing and says so.
    ImagingControl hidden;
    hidden.CreateBitmap(10, 10);
    EXPECT_EQ(hidden.GetWindowDC(), nullptr);
    EXPECT_NE(hidden.DrawRectangleShape(0, 0, 5, 5), 0);
}

TEST(ImagingDrawingTest, TextDrawsInsideItsBoxWithLiberationSansForArial)
{
    QFont arial(QStringLiteral("Arial"));
    EXPECT_EQ(QFontInfo(arial).family(), QStringLiteral("Liberation Sans"));

    ImagingControl c;
    PrepareCanvas(c, 200, 80);
    c.Font().Name = QStringLiteral("Arial");
    c.Font().Size = 10;
    c.SetDrawTextColor(RGB(0, 0, 0));
    c.SetTextBoxLeft(20);
    c.SetTextBoxTop(10);
    c.SetTextBoxWidth(60);
    c.SetTextBoxHeight(30);
    c.DrawTextInRect(QStringLiteral("Hello banner world\r\nsecond"), 0);
    const QImage img = c.GetBitmapDC()->copy();
    int inkTop = 1000, inkBottom = -1, secondLineInk = 0;
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 200; ++x)
            if (Px(img, x, y) != kWhite) {
                EXPECT_TRUE(QRect(20, 10, 60, 30).contains(x, y)) << x << "," << y;
                inkTop = std::min(inkTop, y);
                inkBottom = std::max(inkBottom, y);
                if (y >= 10 + 16)
                    ++secondLineInk;
            }
    EXPECT_LT(inkTop, 14);      // the first line starts at the top of the box
    EXPECT_GT(secondLineInk, 0); // CR LF starts a second line
    // 10 points at 96 dpi: capitals about 10 pixels high, not 7 as at 72 dpi.
    EXPECT_GE(inkBottom - inkTop, 20);

    // Same settings, same pixels; bold differs.
    c.FillColor(RGB(255, 255, 255));
    c.DrawTextInRect(QStringLiteral("Hello banner world\r\nsecond"), 0);
    EXPECT_EQ(*c.GetBitmapDC(), img);
    c.FillColor(RGB(255, 255, 255));
    c.Font().Bold = true;
    c.DrawTextInRect(QStringLiteral("Hello banner world\r\nsecond"), 0);
    EXPECT_NE(*c.GetBitmapDC(), img);

    // Opaque background fills the box with BackColor; an empty box draws nothing.
    c.FillColor(RGB(255, 255, 255));
    c.SetBackColor(RGB(0, 0, 255));
    c.SetTextBackgroundMode(3);
    c.DrawTextInRect(QStringLiteral("x"), 0);
    EXPECT_EQ(Px(*c.GetBitmapDC(), 79, 39), 0x0000FFu);
    EXPECT_EQ(Px(*c.GetBitmapDC(), 80, 40), kWhite);
    c.SetTextBoxWidth(-5);
    c.FillColor(RGB(255, 255, 255));
    c.DrawTextInRect(QStringLiteral("x"), 0);
    EXPECT_EQ(PixelsOf(*c.GetBitmapDC(), kWhite).size(), 200u * 80u);
}

TEST(ImagingDisplayTest, RepaintRaisesEventOneSynchronouslyAndMouseEventsForward)
{
    ImagingControl c;
    c.CreateBitmap(20, 10);
    c.SetWindowSize(40, 20);
    std::vector<int> events;
    bool surfaceFreshAtEvent1 = false;
    QObject::connect(&c, &ImagingControl::ControlEvent, [&](int id) {
        events.push_back(id);
        if (id == 1) {
            // The owner draws its items now, over the freshly painted picture.
            surfaceFreshAtEvent1 = (c.GetWindowDC()->pixel(5, 5) & 0xFFFFFF) == kWhite;
            c.SetDrawPersistent(false);
            c.SetRepaintOnChange(false);
            c.SetDrawPenColor(RGB(255, 0, 0));
            c.DrawLineShape(0, 0, 10, 0);
            c.SetRepaintOnChange(true);
        }
    });
    c.Repaint();
    ASSERT_EQ(events, std::vector<int>{1});
    EXPECT_TRUE(surfaceFreshAtEvent1);
    EXPECT_EQ(Px(*c.GetWindowDC(), 3, 0), 0xFF0000u);
    // A changed bitmap repaints at once with RepaintOnChange; the visible area raises event 3.
    events.clear();
    c.SetDrawPersistent(true);
    c.FillColor(RGB(0, 0, 0));
    EXPECT_EQ(events, std::vector<int>{1});
    events.clear();
    c.SetWindowSize(30, 20);
    EXPECT_EQ(events, (std::vector<int>{1, 3}));

    std::vector<QString> mouse;
    QObject::connect(&c, &ImagingControl::MouseDown,
                     [&](int b, int s, int x, int y) { mouse.push_back(QString("down %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y)); });
    QObject::connect(&c, &ImagingControl::MouseUp,
                     [&](int b, int s, int x, int y) { mouse.push_back(QString("up %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y)); });
    QObject::connect(&c, &ImagingControl::DblClick, [&] { mouse.push_back("dbl"); });
    c.RaiseMouseDown(1, 2, 7, 8);
    c.SetEnabled20(false);
    c.RaiseMouseUp(1, 0, 9, 9); // not raised while disabled
    c.SetEnabled20(true);
    c.RaiseMouseUp(1, 1, 9, 9);
    c.RaiseDblClick();
    EXPECT_EQ(mouse, (std::vector<QString>{"down 1 2 7 8", "up 1 1 9 9", "dbl"}));
}

TEST(ImagingDCTest, FocusAndInvertedFramesEraseThemselves)
{
    QImage img = Noise(50, 30);
    const QImage before = img.copy();
    ImagingDC::DrawFocusRect(img, 40, 25, 5, 3);
    EXPECT_NE(img, before);
    ImagingDC::DrawFocusRect(img, 5, 3, 40, 25);
    EXPECT_EQ(img, before);
    ImagingDC::InvertFrame(img, 5, 3, 40, 25);
    EXPECT_EQ(img.pixel(5, 3) & 0xFFFFFF, (before.pixel(5, 3) ^ 0xFFFFFF) & 0xFFFFFF);
    EXPECT_EQ(img.pixel(39, 24) & 0xFFFFFF, (before.pixel(39, 24) ^ 0xFFFFFF) & 0xFFFFFF);
    EXPECT_EQ(img.pixel(40, 25), before.pixel(40, 25));
    ImagingDC::InvertFrame(img, 5, 3, 40, 25);
    EXPECT_EQ(img, before);

    // A stretched copy doubles each pixel.
    QImage small(2, 1, QImage::Format_RGB32);
    small.setPixel(0, 0, qRgb(1, 1, 1));
    small.setPixel(1, 0, qRgb(2, 2, 2));
    QImage big(4, 2, QImage::Format_RGB32);
    big.fill(0);
    ImagingDC::StretchCopy(big, QRect(0, 0, 4, 2), small, QRect(0, 0, 2, 1));
    EXPECT_EQ(big.pixel(1, 1) & 0xFFFFFF, 0x010101u);
    EXPECT_EQ(big.pixel(2, 0) & 0xFFFFFF, 0x020202u);
}

TEST(ImagingDisplayTest, AnimationRunsThePagesAndStopsOnTheLastWithoutLooping)
{
    ImagingControl c;
    ImagingBitmap page;
    page.image = QImage(6, 4, QImage::Format_RGB32);
    for (QRgb color : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}) {
        page.image.fill(color);
        page.delayMs = 20;
        c.InsertPage(-1, page);
    }
    c.SetWindowSize(6, 4);
    std::vector<QRgb> shown;
    QObject::connect(&c, &ImagingControl::ControlEvent, [&](int id) {
        if (id == 1 && c.AnimationRunning())
            shown.push_back(c.GetWindowDC()->pixel(1, 1));
    });
    bool stopped = false;
    QObject::connect(&c, &ImagingControl::AnimationStopped, [&] { stopped = true; });
    c.SetAnimationLoop(false);
    c.SetAnimationRunning(true);
    EXPECT_TRUE(c.AnimationRunning());
    for (int i = 0; i < 200 && !stopped; ++i)
        QTest::qWait(5);
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(c.AnimationRunning());
    EXPECT_EQ(shown, (std::vector<QRgb>{0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu}));
    EXPECT_EQ(c.PageIndex(), 2);
    EXPECT_EQ(c.GetWindowDC()->pixel(1, 1), 0xFF0000FFu);

    // Looping goes round until stopped; stopping shows the selected page again.
    shown.clear();
    c.SetPageIndex(0);
    c.SetAnimationLoop(true);
    c.SetAnimationRunning(true);
    for (int i = 0; i < 400 && shown.size() < 5; ++i)
        QTest::qWait(5);
    ASSERT_GE(shown.size(), 5u);
    EXPECT_EQ(shown[3], 0xFFFF0000u);
    c.SetAnimationRunning(false);
    EXPECT_EQ(c.GetWindowDC()->pixel(1, 1), 0xFFFF0000u);
    // An empty page list cannot run.
    c.SetPageList(0);
    c.SetAnimationRunning(true);
    EXPECT_FALSE(c.AnimationRunning());
}
