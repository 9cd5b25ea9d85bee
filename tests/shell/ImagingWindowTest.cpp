// The visible imaging control: what it shows, its scroll bars, repaints and mouse events.
#include "platform/imaging/ImagingControl.h"
#include "platform/imaging/ImagingWindow.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Shown {
    ImagingControl control;
    std::unique_ptr<ImagingWindow> window;
    Shown(int bitmapW, int bitmapH, QSize windowSize)
    {
        control.CreateBitmap(float(bitmapW), float(bitmapH));
        control.FillColor(RGB(255, 0, 0));
        control.SetShowScrollBars(true);
        window = std::make_unique<ImagingWindow>(&control);
        window->resize(windowSize);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    QImage Screen() const { return window->viewport()->grab().toImage(); }
};
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGrey = ImagingControl::kWindowBackground;
} // namespace

TEST(ImagingWindow, ShowsTheBitmapAtItsZoomOnTheWindowColour)
{
    Shown s(100, 50, QSize(300, 200));
    EXPECT_EQ(s.control.WindowWidth(), s.window->viewport()->width());
    EXPECT_EQ(s.control.WindowHeight(), s.window->viewport()->height());
    QImage screen = s.Screen();
    EXPECT_EQ(screen.pixel(0, 0), kRed);
    EXPECT_EQ(screen.pixel(99, 49), kRed);
    EXPECT_EQ(screen.pixel(100, 49) | 0xff000000, kGrey);
    EXPECT_EQ(screen.pixel(99, 50) | 0xff000000, kGrey);

    s.control.SetZoomPercent(200);
    QCoreApplication::processEvents();
    screen = s.Screen();
    EXPECT_EQ(screen.pixel(199, 99), kRed);
    EXPECT_EQ(screen.pixel(200, 99) | 0xff000000, kGrey);
    EXPECT_FALSE(s.window->horizontalScrollBar()->isVisible());
}

TEST(ImagingWindow, ScrollBarsCoverTheZoomedBitmapAndMoveTheDisplay)
{
    Shown s(468, 60, QSize(400, 200));
    s.control.SetZoomPercent(800);
    QCoreApplication::processEvents();
    QScrollBar *h = s.window->horizontalScrollBar();
    EXPECT_TRUE(h->isVisible());
    EXPECT_EQ(h->maximum(), 468 * 8 - s.window->viewport()->width());
    EXPECT_EQ(s.window->verticalScrollBar()->maximum(), 60 * 8 - s.window->viewport()->height());
    h->setValue(1000);
    EXPECT_EQ(s.control.ScrollX(), 1000);
    EXPECT_FLOAT_EQ(s.control.DisplayLeft(), -1000.0f);
    // Control pixel 0 now shows bitmap column 125.
    EXPECT_EQ(s.control.ClientToBitmap(QPoint(0, 0)).x(), 125);

    // Scroll bars are off when the control says so.
    s.control.SetShowScrollBars(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(h->isVisible());
}

TEST(ImagingWindow, FittingFillsTheWindowWithoutScrollBarsAndFollowsItsSize)
{
    Shown s(468, 60, QSize(400, 200));
    s.control.SetZoomPercent(800);
    s.control.SetDisplaySizeMode(ImagingControl::DisplayFitWindow);
    QCoreApplication::processEvents();
    EXPECT_FALSE(s.window->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(s.window->verticalScrollBar()->isVisible());
    const int w = s.window->viewport()->width();
    EXPECT_EQ(s.control.WindowWidth(), w);
    EXPECT_GT(s.control.DisplayWidth(), float(w - 1));
    QImage screen = s.Screen();
    EXPECT_EQ(screen.pixel(w - 1, 0), kRed);
    const int shownHeight = int(s.control.DisplayHeight());
    EXPECT_EQ(screen.pixel(0, shownHeight + 1) | 0xff000000, kGrey);

    s.window->resize(234, 200);
    QCoreApplication::processEvents();
    EXPECT_EQ(s.control.WindowWidth(), s.window->viewport()->width());
    EXPECT_FLOAT_EQ(s.control.EffectiveZoomPercent(), 100.0f * float(s.window->viewport()->width()) / 468.0f);
    EXPECT_FALSE(s.window->horizontalScrollBar()->isVisible());

    // Actual size overflows the same window: the bars come back, sized for 100 %.
    s.control.SetDisplaySizeMode(ImagingControl::DisplayActualSize);
    QCoreApplication::processEvents();
    EXPECT_TRUE(s.window->horizontalScrollBar()->isVisible());
    EXPECT_EQ(s.window->horizontalScrollBar()->maximum(), 468 - s.window->viewport()->width());
}

TEST(ImagingWindow, RepaintRaisesEvent1AndChangesExactlyTheInvalidatedArea)
{
    Shown s(100, 50, QSize(300, 200));
    // The owner draws over the picture on event 1, as views draw their items.
    int events = 0;
    QObject::connect(&s.control, &ImagingControl::ControlEvent, [&](int id) {
        if (id != 1)
            return;
        ++events;
        QImage *dc = s.control.GetWindowDC();
        dc->setPixel(60, 30, qRgb(0, 255, 0));
        s.control.ReleaseWindowDC();
    });
    s.window->InvalidateAll();
    s.window->UpdateNow();
    EXPECT_GE(events, 1);
    EXPECT_EQ(s.Screen().pixel(60, 30), qRgb(0, 255, 0));

    // Drawing on the surface outside a repaint (a tool's rubber band) shows as it is.
    QImage *dc = s.control.GetWindowDC();
    dc->setPixel(5, 5, qRgb(0, 0, 255));
    dc->setPixel(80, 40, qRgb(0, 0, 255));
    s.control.ReleaseWindowDC();
    QCoreApplication::processEvents();
    EXPECT_EQ(s.Screen().pixel(5, 5), qRgb(0, 0, 255));
    EXPECT_EQ(s.Screen().pixel(80, 40), qRgb(0, 0, 255));

    // Invalidating a corner renders it again; the rest of the window keeps its pixels.
    const int before = events;
    s.window->InvalidateRect(QRect(0, 0, 20, 20));
    s.window->UpdateNow();
    EXPECT_EQ(events, before + 1);
    EXPECT_EQ(s.Screen().pixel(5, 5), kRed);
    EXPECT_EQ(s.Screen().pixel(80, 40), qRgb(0, 0, 255));
    EXPECT_EQ(s.control.WindowSurface().pixel(80, 40), qRgb(0, 0, 255));
}

TEST(ImagingWindow, MouseEventsCarryButtonShiftStateAndControlPixels)
{
    Shown s(100, 50, QSize(300, 200));
    QSignalSpy down(&s.control, &ImagingControl::MouseDown);
    QSignalSpy move(&s.control, &ImagingControl::MouseMove);
    QSignalSpy up(&s.control, &ImagingControl::MouseUp);
    QSignalSpy dbl(&s.control, &ImagingControl::DblClick);
    QWidget *vp = s.window->viewport();

    QTest::mousePress(vp, Qt::LeftButton, Qt::ShiftModifier, QPoint(30, 20));
    ASSERT_EQ(down.size(), 1);
    EXPECT_EQ(down[0], (QList<QVariant>{1, 1, 30, 20}));
    QTest::mouseMove(vp, QPoint(40, 25));
    ASSERT_GE(move.size(), 1);
    EXPECT_EQ(move.last()[2].toInt(), 40);
    EXPECT_EQ(move.last()[3].toInt(), 25);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::ShiftModifier, QPoint(40, 25));
    ASSERT_EQ(up.size(), 1);
    EXPECT_EQ(up[0], (QList<QVariant>{1, 1, 40, 25}));

    QTest::mousePress(vp, Qt::RightButton, Qt::ControlModifier, QPoint(7, 8));
    EXPECT_EQ(down.last(), (QList<QVariant>{2, 2, 7, 8}));
    QTest::mouseRelease(vp, Qt::RightButton, Qt::ControlModifier, QPoint(7, 8));
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(9, 9));
    EXPECT_EQ(dbl.size(), 1);

    // Scrolled, positions stay in control pixels (the window's own coordinates).
    s.control.SetZoomPercent(800);
    QCoreApplication::processEvents();
    s.window->horizontalScrollBar()->setValue(300);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(down.last(), (QList<QVariant>{1, 0, 10, 10}));
    EXPECT_EQ(s.control.ClientToBitmap(QPoint(10, 10)).x(), (300 + 10) / 8);
}
