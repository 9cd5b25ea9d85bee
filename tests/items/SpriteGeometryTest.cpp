// The eight box handles, their cursors, moving them, hit-testing at different zooms, intersection.
#include "items/PrimitiveGraphics.h"
#include "items/Text.h"
#include "platform/imaging/ImagingControl.h"

#include <gtest/gtest.h>

TEST(SpriteGeometryTest, HandlesOfTheBox)
{
    CSprite s(CRect(10, 20, 31, 45));
    EXPECT_EQ(s.GetHandleCount(), 8);
    const CPoint expected[9] = {{-1, -1}, {10, 20}, {20, 20}, {31, 20}, {31, 32}, {31, 45}, {20, 45}, {10, 45}, {10, 32}};
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(s.GetHandle(n), expected[n]) << n;
    EXPECT_EQ(s.GetHandle(0), CPoint(-1, -1));
    EXPECT_EQ(s.GetHandle(9), CPoint(-1, -1));
    EXPECT_EQ(s.GetHandle(-1), CPoint(-1, -1));
    // Halves round toward zero for inverted boxes too: (10 - 31) / 2 = -10.
    CSprite inv(CRect(31, 45, 10, 20));
    EXPECT_EQ(inv.GetHandle(2), CPoint(21, 45));
    EXPECT_EQ(inv.GetHandle(8), CPoint(31, 33));
}

TEST(SpriteGeometryTest, CursorsFollowWhereTheHandleIsOnScreen)
{
    CSprite upright(CRect(0, 0, 10, 10));
    const int codes[9] = {0, 8, 7, 6, 9, 8, 7, 6, 9};
    for (int n = 1; n <= 8; ++n)
        EXPECT_EQ(upright.GetHandleCursor(n), codes[n]) << n;
    EXPECT_EQ(upright.GetHandleCursor(-1), 1);

    // Dragged from upper left to lower right and stored end point first: l > r and t > b.
    CSprite inverted(CRect(10, 10, 0, 0));
    EXPECT_EQ(inverted.GetHandleCursor(1), 8); // lies at the lower right
    EXPECT_EQ(inverted.GetHandleCursor(3), 6); // lies at the lower left
    EXPECT_EQ(inverted.GetHandleCursor(2), 7);
    EXPECT_EQ(inverted.GetHandleCursor(4), 9);

    // Mirrored one way only.
    CSprite leftRight(CRect(10, 0, 0, 10));
    EXPECT_EQ(leftRight.GetHandleCursor(1), 6);
    EXPECT_EQ(leftRight.GetHandleCursor(3), 8);
    EXPECT_EQ(leftRight.GetHandleCursor(4), 9);
    CSprite topBottom(CRect(0, 10, 10, 0));
    EXPECT_EQ(topBottom.GetHandleCursor(1), 6);
    EXPECT_EQ(topBottom.GetHandleCursor(6), 7);
    EXPECT_EQ(topBottom.GetHandleCursor(7), 8);
}

TEST(SpriteGeometryTest, MoveHandleByFollowsTheTableWithoutNormalising)
{
    const CRect start(10, 20, 30, 40);
    const CPoint d(3, -5);
    const CRect expected[9] = {
        {}, {13, 15, 30, 40}, {10, 15, 30, 40}, {10, 15, 33, 40}, {10, 20, 33, 40},
        {10, 20, 33, 35}, {10, 20, 30, 35}, {13, 20, 30, 35}, {13, 20, 30, 40}};
    for (int n = 1; n <= 8; ++n) {
        CSprite s(start);
        s.MoveHandleBy(d, n);
        EXPECT_EQ(s.m_position, expected[n]) << n;
    }
    CSprite whole(start);
    whole.MoveHandleBy(d, -1);
    EXPECT_EQ(whole.m_position, CRect(13, 15, 33, 35));
    whole.MoveHandleBy({0, 0}, -1);
    whole.MoveHandleBy(d, 9);
    whole.MoveHandleBy(d, 0);
    EXPECT_EQ(whole.m_position, CRect(13, 15, 33, 35));

    // Past the opposite side: the rectangle inverts.
    CSprite past(start);
    past.MoveHandleBy({-30, 0}, 4);
    EXPECT_EQ(past.m_position, CRect(10, 20, 0, 40));
}

TEST(SpriteGeometryTest, HitTestSquareFollowsTheZoom)
{
    EXPECT_EQ(CSprite::HitSquareSide(100), 7);
    EXPECT_EQ(CSprite::HitSquareSide(800), 1);
    EXPECT_EQ(CSprite::HitSquareSide(25), 28);

    ImagingControl view;
    CPrimitiveGraphics s(CRect(100, 20, 200, 50));

    view.SetZoomPercent(800);
    EXPECT_EQ(s.HitTest({100, 20}, view, true), 1);
    EXPECT_EQ(s.HitTest({101, 20}, view, true), -1); // one pixel off: inside, not on the handle
    EXPECT_EQ(s.HitTest({99, 20}, view, true), 0);
    EXPECT_EQ(s.HitTest({200, 50}, view, true), 5);
    EXPECT_EQ(s.HitTest({200, 49}, view, true), 0);   // right edge excluded from the inside
    EXPECT_EQ(s.HitTest({100, 20}, view, false), -1);  // unselected: no handles

    view.SetZoomPercent(100);
    // Square of 7 from (x - 3, y - 3): handle 1 caught up to 3 pixels away.
    EXPECT_EQ(s.HitTest({97, 17}, view, true), 1);
    EXPECT_EQ(s.HitTest({96, 20}, view, true), 0);
    EXPECT_EQ(s.HitTest({103, 23}, view, true), 1);
    EXPECT_EQ(s.HitTest({104, 23}, view, true), -1);

    view.SetZoomPercent(25);
    // Square of 28 from (x - 14, y - 14) to (x + 14) excluded.
    EXPECT_EQ(s.HitTest({114, 34}, view, true), 1);
    EXPECT_EQ(s.HitTest({87, 20}, view, true), 1);
    EXPECT_EQ(s.HitTest({86, 20}, view, true), 0);
    // Handles are tested in order: near the middle of the top edge handle 2 wins over the inside.
    EXPECT_EQ(s.HitTest({150, 30}, view, true), 2);
    EXPECT_EQ(s.HitTest({150, 35}, view, true), -1);
}

TEST(SpriteGeometryTest, IntersectsComparesNormalisedRectangles)
{
    CSprite s(CRect(20, 20, 10, 10));
    EXPECT_TRUE(s.Intersects(CRect(15, 15, 16, 16)));
    EXPECT_TRUE(s.Intersects(CRect(30, 30, 19, 19)));
    EXPECT_FALSE(s.Intersects(CRect(20, 10, 30, 20))); // touching edges only
    EXPECT_FALSE(s.Intersects(CRect(12, 12, 12, 18))); // empty argument
    CSprite empty(CRect(5, 5, 5, 50));
    EXPECT_FALSE(empty.Intersects(CRect(0, 0, 100, 100)));
}

TEST(SpriteGeometryTest, BoundsOfShapesLeaveRoomForThePen)
{
    CPrimitiveGraphics g(CRect(30, 40, 10, 20));
    g.m_penWidth = 3;
    EXPECT_EQ(g.GetBounds(), CRect(7, 17, 33, 43));
    CText t(CRect(30, 40, 10, 20));
    EXPECT_EQ(t.GetBounds(), CRect(30, 40, 10, 20)); // as stored
}
