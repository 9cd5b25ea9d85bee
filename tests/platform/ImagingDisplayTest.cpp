// ImagingControl display: size modes, scroll ranges, conversion, and what Repaint puts on the
// window surface with the display options.
#include <gtest/gtest.h>

#include "platform/imaging/ImagingControl.h"

#include <QSignalSpy>

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;

// Every pixel a different colour, derived from its position.
QImage Coded(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 5 & 0xFF, y * 19 & 0xFF, (x / 51) * 40 + 7));
    return img;
}

// One-pixel black and white squares.
QImage Checkerboard(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
    return img;
}

void SetPicture(ImagingControl &c, const QImage &img)
{
    c.CreateBitmap(float(img.width()), float(img.height()));
    *c.GetBitmapDC() = img;
    c.ReleaseBitmapDC();
}

} // namespace

TEST(ImagingDisplayTest, ConversionAtSeveralZoomsAndScrollPositions)
{
    ImagingControl c;
    c.CreateBitmap(468, 60);
    c.SetWindowSize(500, 100);
    struct Case {
        float zoom;
        QPoint bitmap, client, back;
    };
    const Case cases[] = {
        {25, {100, 40}, {25, 10}, {100, 40}},
        {25, {3, 3}, {0, 0}, {0, 0}},      // 0.75 truncates to 0
        {100, {100, 40}, {100, 40}, {100, 40}},
        {150, {3, 5}, {4, 7}, {2, 4}},     // 4.5 -> 4, 7.5 -> 7; back 2.666 -> 2, 4.666 -> 4
        {800, {10, 2}, {80, 16}, {10, 2}},
    };
    for (const Case &k : cases) {
        c.SetZoomPercent(k.zoom);
        EXPECT_EQ(c.BitmapToClient(k.bitmap), k.client) << k.zoom;
        EXPECT_EQ(c.ClientToBitmap(k.client), k.back) << k.zoom;
    }
    // Scrolled at 800 %: the display origin moves left and up by the scroll position.
    c.SetZoomPercent(800);
    EXPECT_EQ(c.ScrollRangeX(), 468 * 8 - 500);
    EXPECT_EQ(c.ScrollRangeY(), 60 * 8 - 100);
    c.SetScrollPosition(1000, 40);
    EXPECT_EQ(c.DisplayLeft(), -1000.0f);
    EXPECT_EQ(c.DisplayTop(), -40.0f);
    EXPECT_EQ(c.DisplayWidth(), 3744.0f);
    EXPECT_EQ(c.SourceWidth(), 468.0f);
    EXPECT_EQ(c.ClientToBitmap(QPoint(0, 0)), QPoint(125, 5));
    EXPECT_EQ(c.BitmapToClient(QPoint(125, 5)), QPoint(0, 0));
    // Left of the picture, truncation goes toward zero, not down.
    c.SetScrollPosition(0, 0);
    c.SetZoomPercent(150);
    EXPECT_EQ(c.ClientToBitmap(QPoint(-1, -2)), QPoint(0, -1));
    // Rectangles convert corner by corner, not normalised.
    QRect r;
    r.setCoords(30, 20, 10, 4);
    int l, t, rr, b;
    c.BitmapToClient(r).getCoords(&l, &t, &rr, &b);
    EXPECT_EQ(QRect(QPoint(l, t), QPoint(rr, b)).topLeft(), QPoint(45, 30));
    EXPECT_EQ(rr, 15);
    EXPECT_EQ(b, 6);
    // Bad zooms are ignored; scroll clamps when the picture shrinks.
    c.SetZoomPercent(0);
    c.SetZoomPercent(-50);
    EXPECT_EQ(c.ZoomPercent(), 150.0f);
    c.SetZoomPercent(800);
    c.SetScrollPosition(99999, 99999);
    EXPECT_EQ(c.ScrollX(), c.ScrollRangeX());
    c.SetZoomPercent(25);
    EXPECT_EQ(c.ScrollX(), 0);
    EXPECT_EQ(c.ScrollY(), 0);
}

TEST(ImagingDisplayTest, EveryWindowPixelShowsTheBitmapPixelConversionNamesInEveryMode)
{
    ImagingControl c;
    SetPicture(c, Coded(47, 13));
    c.SetWindowSize(120, 40);
    for (int mode : {ImagingControl::DisplayZoomed, ImagingControl::DisplayActualSize, ImagingControl::DisplayFitWindow}) {
        c.SetDisplaySizeMode(mode);
        for (float zoom : {25.0f, 33.0f, 100.0f, 150.0f, 800.0f}) {
            c.SetZoomPercent(zoom);
            c.SetScrollPosition(c.ScrollRangeX() / 2, c.ScrollRangeY() / 3);
            c.Repaint();
            const QImage &surface = *c.GetWindowDC();
            const QImage &bitmap = *c.GetBitmapDC();
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 120; ++x) {
                    const float fx = float(x) - c.DisplayLeft(), fy = float(y) - c.DisplayTop();
                    const bool inside = fx >= 0 && fy >= 0 && fx < c.DisplayWidth() && fy < c.DisplayHeight();
                    const QPoint b = c.ClientToBitmap(QPoint(x, y));
                    if (inside)
                        ASSERT_EQ(surface.pixel(x, y), bitmap.pixel(b)) << mode << " " << zoom << " " << x << "," << y;
                    else
                        ASSERT_EQ(surface.pixel(x, y), ImagingControl::kWindowBackground) << mode << " " << zoom;
                }
        }
    }
}

TEST(ImagingDisplayTest, ActualSizeAndFittingIgnoreZoomPercent)
{
    ImagingControl c;
    c.CreateBitmap(468, 60);
    c.SetWindowSize(300, 100);
    c.SetZoomPercent(800);
    EXPECT_EQ(c.DisplaySizeMode(), ImagingControl::DisplayZoomed);

    c.SetDisplaySizeMode(ImagingControl::DisplayActualSize);
    EXPECT_EQ(c.ZoomPercent(), 800.0f); // kept for when the mode changes back
    EXPECT_EQ(c.EffectiveZoomPercent(), 100.0f);
    EXPECT_EQ(c.DisplayWidth(), 468.0f);
    EXPECT_EQ(c.DisplayHeight(), 60.0f);
    EXPECT_EQ(c.ScrollRangeX(), 168);
    EXPECT_EQ(c.ScrollRangeY(), 0);
    c.SetScrollPosition(100, 50);
    EXPECT_EQ(c.ClientToBitmap(QPoint(10, 20)), QPoint(110, 20));
    EXPECT_EQ(c.BitmapToClient(QPoint(110, 20)), QPoint(10, 20));

    // Unknown modes leave the mode as it was.
    c.SetDisplaySizeMode(7);
    c.SetDisplaySizeMode(-1);
    EXPECT_EQ(c.DisplaySizeMode(), ImagingControl::DisplayActualSize);

    // Fitting: half size in a window half as wide; the scroll position goes with the overflow.
    c.SetWindowSize(234, 100);
    c.SetDisplaySizeMode(ImagingControl::DisplayFitWindow);
    EXPECT_EQ(c.EffectiveZoomPercent(), 50.0f);
    EXPECT_EQ(c.DisplayWidth(), 234.0f);
    EXPECT_EQ(c.DisplayHeight(), 30.0f);
    EXPECT_EQ(c.ScrollX(), 0);
    EXPECT_EQ(c.ScrollRangeX(), 0);
    EXPECT_EQ(c.BitmapToClient(QPoint(101, 31)), QPoint(50, 15));
    EXPECT_EQ(c.ClientToBitmap(QPoint(50, 15)), QPoint(100, 30));
    // The window's height limits a tall enough window no more; growing it enlarges the picture.
    c.SetWindowSize(2000, 120);
    EXPECT_EQ(c.EffectiveZoomPercent(), 200.0f);
    EXPECT_EQ(c.DisplayWidth(), 936.0f);
    // Whatever the window, the picture fills one side and never needs scrolling.
    for (int w = 1; w <= 700; w += 3) {
        for (int h : {1, 7, 59, 60, 61, 333}) {
            c.SetWindowSize(w, h);
            ASSERT_EQ(c.ScrollRangeX(), 0) << w << "x" << h;
            ASSERT_EQ(c.ScrollRangeY(), 0) << w << "x" << h;
            ASSERT_TRUE(c.DisplayWidth() > float(w) - 1.0f || c.DisplayHeight() > float(h) - 1.0f) << w << "x" << h;
            const QSizeF predicted = c.DisplaySizeFor(w, h);
            ASSERT_EQ(predicted.width(), double(c.DisplayWidth()));
        }
    }

    // Without a window there is nothing to fit: actual size.
    ImagingControl hidden;
    hidden.CreateBitmap(468, 60);
    hidden.SetZoomPercent(300);
    hidden.SetDisplaySizeMode(ImagingControl::DisplayFitWindow);
    EXPECT_EQ(hidden.DisplayWidth(), 468.0f);
    EXPECT_EQ(hidden.EffectiveZoomPercent(), 100.0f);

    // Back to zooming, ZoomPercent counts again.
    c.SetWindowSize(300, 100);
    c.SetDisplaySizeMode(ImagingControl::DisplayZoomed);
    EXPECT_EQ(c.EffectiveZoomPercent(), 800.0f);
    EXPECT_EQ(c.DisplayWidth(), 3744.0f);
}

TEST(ImagingDisplayTest, ChangingTheModeRepaintsAtOnce)
{
    ImagingControl c;
    SetPicture(c, Coded(40, 10));
    c.SetWindowSize(100, 40);
    c.SetZoomPercent(200);
    QSignalSpy events(&c, &ImagingControl::ControlEvent);
    QSignalSpy display(&c, &ImagingControl::DisplayChanged);
    c.SetDisplaySizeMode(ImagingControl::DisplayActualSize);
    EXPECT_EQ(events.count(), 1);
    EXPECT_GE(display.count(), 1);
    // Bitmap pixel (30, 5) is at window (30, 5) now, not at (60, 10).
    EXPECT_EQ(c.GetWindowDC()->pixel(30, 5), c.GetBitmapDC()->pixel(30, 5));
    EXPECT_EQ(c.GetWindowDC()->pixel(60, 10), ImagingControl::kWindowBackground);
    c.SetDisplaySizeMode(ImagingControl::DisplayActualSize);
    c.SetDisplaySizeMode(99);
    EXPECT_EQ(events.count(), 1); // no change, no repaint
}

TEST(ImagingDisplayTest, Option57PaintsAroundThePictureAndOffKeepsWhatWasDrawn)
{
    ImagingControl c;
    EXPECT_TRUE(c.DisplayOption57());
    c.CreateBitmap(50, 20);
    c.FillColor(RGB(255, 0, 0));
    c.SetWindowSize(100, 40);
    auto scribble = [&] {
        QImage *dc = c.GetWindowDC();
        dc->setPixel(80, 30, kGreen); // outside the picture
        dc->setPixel(10, 10, kGreen); // on it
        c.ReleaseWindowDC();
    };
    scribble();
    c.SetDisplayOption57(false);
    c.Repaint();
    EXPECT_EQ(c.GetWindowDC()->pixel(80, 30), kGreen);
    EXPECT_EQ(c.GetWindowDC()->pixel(10, 10), kRed);
    // Shrinking the picture leaves the old picture's pixels around the new one.
    c.SetZoomPercent(50);
    EXPECT_EQ(c.GetWindowDC()->pixel(40, 15), kRed);
    EXPECT_EQ(c.ClientToBitmap(QPoint(40, 15)), QPoint(80, 30)); // outside the bitmap

    c.SetDisplayOption57(true);
    scribble();
    c.Repaint();
    EXPECT_EQ(c.GetWindowDC()->pixel(80, 30), ImagingControl::kWindowBackground);
    EXPECT_EQ(c.GetWindowDC()->pixel(40, 15), ImagingControl::kWindowBackground);
    EXPECT_EQ(c.GetWindowDC()->pixel(10, 5), kRed);
}

TEST(ImagingDisplayTest, Option237SmoothsScaledDisplaysOnly)
{
    ImagingControl c;
    EXPECT_FALSE(c.DisplayOption237());
    SetPicture(c, Checkerboard(8, 8));
    c.SetWindowSize(64, 64);
    auto blends = [&] {
        int count = 0;
        const QImage &s = *c.GetWindowDC();
        for (int y = 0; y < int(c.DisplayHeight()); ++y)
            for (int x = 0; x < int(c.DisplayWidth()); ++x)
                if (s.pixel(x, y) != 0xFF000000u && s.pixel(x, y) != 0xFFFFFFFFu)
                    ++count;
        return count;
    };
    c.SetZoomPercent(400);
    const QImage nearest = c.GetWindowDC()->copy();
    EXPECT_EQ(blends(), 0);

    c.SetDisplayOption237(true); // repaints at once
    EXPECT_GT(blends(), 32 * 32 / 4);
    const QImage smooth = c.GetWindowDC()->copy();
    // Only the picture's own window pixels change; around it the window colour stays.
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            if (x >= 32 || y >= 32) {
                ASSERT_EQ(smooth.pixel(x, y), ImagingControl::kWindowBackground) << x << "," << y;
            }
        }
    // Mid-square pixels keep their colour's side: smoothing blends edges, it does not invert.
    EXPECT_LT(qRed(smooth.pixel(1, 1)), 128);
    EXPECT_GT(qRed(smooth.pixel(6, 1)), 128);

    // At 100 % and at actual size there is nothing to smooth.
    c.SetZoomPercent(100);
    EXPECT_EQ(blends(), 0);
    c.SetZoomPercent(400);
    c.SetDisplaySizeMode(ImagingControl::DisplayActualSize);
    EXPECT_EQ(blends(), 0);
    c.SetDisplaySizeMode(ImagingControl::DisplayZoomed);
    c.SetDisplayOption237(false);
    EXPECT_EQ(*c.GetWindowDC(), nearest);
}
