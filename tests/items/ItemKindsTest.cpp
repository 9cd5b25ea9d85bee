// What each item kind adds: construction defaults, clones, freehand points, fill rules and the
// property dialogs behind EditProperties.
#include "items/ItemContext.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"

#include <gtest/gtest.h>

namespace {

class FakeItemDialogs : public ItemDialogs {
public:
    bool EditText(CText &item) override
    {
        ++textShown;
        if (!confirm)
            return false;
        item.m_text = QStringLiteral("line 1\r\nline 2");
        return true;
    }
    bool EditShape(ShapeProperties &p) override
    {
        seen = p;
        ++shapeShown;
        if (!confirm)
            return false;
        p.fill = true;
        p.lineColor = RGB(1, 2, 3);
        p.fillColor = RGB(4, 5, 6);
        p.penWidth = 7;
        return true;
    }
    bool confirm = true;
    int textShown = 0;
    int shapeShown = 0;
    ShapeProperties seen;
};

// Installs the fake dialogs for one test.
struct DialogsInstalled {
    ItemContext context;
    ItemContext *previous;
    explicit DialogsInstalled(ItemDialogs *dialogs) { context.dialogs = dialogs; previous = ItemContext::Install(&context); }
    ~DialogsInstalled() { ItemContext::Install(previous); }
};

void Decorate(CSprite &s)
{
    s.m_lineColor = 0x010203;
    s.m_fillColor = 0x040506;
    s.m_penStyle = 2;
    s.m_fillStyle = 3;
    s.m_penWidth = 4;
    s.m_reserved = {1, 2, 3, 4, 5, 6, 7};
}

} // namespace

TEST(ItemKindsTest, ConstructionDefaults)
{
    CSprite plain(CRect(1, 2, 3, 4));
    EXPECT_EQ(plain.m_lineColor, 0u);
    EXPECT_EQ(plain.m_fillColor, 0xFFFFFFu);
    EXPECT_EQ(plain.m_penStyle, 0);
    EXPECT_EQ(plain.m_fillStyle, 1);
    EXPECT_EQ(plain.m_penWidth, 10);
    EXPECT_EQ(plain.m_reserved, (std::array<std::uint32_t, 7>{}));
    EXPECT_EQ(CText(CRect()).m_penWidth, 10);
    EXPECT_EQ(CText().m_logFont, DefaultTextLogFont());
    EXPECT_TRUE(CText().m_text.isEmpty());
    EXPECT_EQ(CPrimitiveGraphics(CRect()).m_penWidth, 1);
    EXPECT_EQ(CPrimitiveGraphics().m_shape, 0);
    EXPECT_EQ(CPrimitiveGraphics().m_fill, 0u);
    EXPECT_EQ(CPolyline().m_penWidth, 1);
    EXPECT_FALSE(CStamp().HasPicture());

    for (const char *name : {"CSprite", "CText", "CStamp", "CPrimitiveGraphics", "CPolyline"}) {
        auto item = CreateSpriteByClassName(name);
        ASSERT_TRUE(item) << name;
        EXPECT_EQ(item->ClassName(), name);
    }
    EXPECT_FALSE(CreateSpriteByClassName("CBannerFrame"));
    EXPECT_FALSE(CreateSpriteByClassName("ctext"));
}

TEST(ItemKindsTest, ClonesCopyTheirFieldsButNotTheReservedWords)
{
    CText text(CRect(5, 6, 1, 2));
    Decorate(text);
    text.m_text = QStringLiteral("Hello");
    text.m_logFont.lfWeight = 700;
    text.m_logFont.lfFaceName[20] = 'z'; // a byte after the terminator travels too
    auto textCopy = text.Clone();
    ASSERT_EQ(textCopy->ClassName(), "CText");
    const auto &tc = static_cast<const CText &>(*textCopy);
    EXPECT_EQ(tc.m_position, CRect(5, 6, 1, 2));
    EXPECT_EQ(tc.m_lineColor, 0x010203u);
    EXPECT_EQ(tc.m_fillColor, 0x040506u);
    EXPECT_EQ(tc.m_penStyle, 2);
    EXPECT_EQ(tc.m_fillStyle, 3);
    EXPECT_EQ(tc.m_penWidth, 4);
    EXPECT_EQ(tc.m_reserved, (std::array<std::uint32_t, 7>{}));
    EXPECT_EQ(tc.m_text, QStringLiteral("Hello"));
    EXPECT_EQ(tc.m_logFont, text.m_logFont);

    CPrimitiveGraphics shape(CRect(1, 1, 9, 9));
    Decorate(shape);
    shape.m_shape = 1;
    shape.m_fill = 1;
    auto shapeCopy = shape.Clone();
    const auto &sc = static_cast<const CPrimitiveGraphics &>(*shapeCopy);
    EXPECT_EQ(sc.ClassName(), "CPrimitiveGraphics");
    EXPECT_EQ(sc.m_shape, 1);
    EXPECT_EQ(sc.m_fill, 1u);
    EXPECT_EQ(sc.m_penWidth, 4);
    EXPECT_EQ(sc.m_reserved, (std::array<std::uint32_t, 7>{}));

    CSprite plain(CRect(1, 1, 2, 2));
    Decorate(plain);
    auto plainCopy = plain.Clone();
    EXPECT_EQ(plainCopy->ClassName(), "CSprite");
    EXPECT_EQ(plainCopy->m_fillStyle, 3);
    EXPECT_EQ(plainCopy->m_reserved, (std::array<std::uint32_t, 7>{}));

    // The image item copies only its rectangle (and its picture).
    CStamp stamp(CRect(0, 0, 8, 8));
    Decorate(stamp);
    auto stampCopy = stamp.Clone();
    EXPECT_EQ(stampCopy->m_position, CRect(0, 0, 8, 8));
    EXPECT_EQ(stampCopy->m_lineColor, 0u);
    EXPECT_EQ(stampCopy->m_penWidth, 10);
    EXPECT_FALSE(static_cast<const CStamp &>(*stampCopy).HasPicture());
}

TEST(ItemKindsTest, FreehandPointsAndBounds)
{
    CPolyline stroke(CRect(0, 0, 0, 0));
    EXPECT_FALSE(stroke.RecalcBounds()); // no points: nothing changes
    stroke.AddPoint({5, 5});
    EXPECT_EQ(stroke.m_position, CRect(5, 5, 5, 5)); // one point: zero size
    stroke.AddPoint({5, 5});
    stroke.AddPoint({5, 5});
    EXPECT_EQ(stroke.m_points.size(), 1u);
    EXPECT_EQ(stroke.GetHandleCount(), 1);

    stroke.AddPoint({9, 2});
    stroke.AddPoint({9, 2});
    stroke.AddPoint({5, 5}); // equal to a point that is not the last one: kept
    stroke.AddPoint({1, 7});
    EXPECT_EQ(stroke.m_points, (std::vector<CPoint>{{5, 5}, {9, 2}, {5, 5}, {1, 7}}));
    EXPECT_EQ(stroke.m_position, CRect(1, 2, 9, 7));
    EXPECT_EQ(stroke.GetHandle(2), CPoint(9, 2));
    EXPECT_EQ(stroke.GetHandle(0), CPoint(-1, -1));
    EXPECT_EQ(stroke.GetHandle(5), CPoint(-1, -1));
    EXPECT_EQ(stroke.GetHandleCursor(-1), 0);
    EXPECT_EQ(stroke.GetHandleCursor(3), 2);

    // One point moves and the box follows; the whole stroke moves with its box.
    stroke.MoveHandleBy({10, 0}, 2);
    EXPECT_EQ(stroke.m_points[1], CPoint(19, 2));
    EXPECT_EQ(stroke.m_position, CRect(1, 2, 19, 7));
    stroke.MoveHandleBy({-1, 3}, -1);
    EXPECT_EQ(stroke.m_points[0], CPoint(4, 8));
    EXPECT_EQ(stroke.m_position, CRect(0, 5, 18, 10));
    stroke.MoveHandleBy({5, 5}, 9); // no such point
    stroke.MoveHandleBy({0, 0}, 1);
    EXPECT_EQ(stroke.m_position, CRect(0, 5, 18, 10));
    EXPECT_FALSE(stroke.RecalcBounds());

    // A copy drops runs of equal neighbours (a file may hold them) and is never closed.
    CPolyline fromFile;
    fromFile.m_points = {{1, 1}, {1, 1}, {2, 2}, {2, 2}, {1, 1}};
    fromFile.m_closed = 1;
    fromFile.m_shape = 1;
    fromFile.m_fill = 1;
    fromFile.m_lineColor = 0x0000FF;
    auto copy = fromFile.Clone();
    const auto &pc = static_cast<const CPolyline &>(*copy);
    EXPECT_EQ(pc.ClassName(), "CPolyline");
    EXPECT_EQ(pc.m_points, (std::vector<CPoint>{{1, 1}, {2, 2}, {1, 1}}));
    EXPECT_EQ(pc.m_position, CRect(1, 1, 2, 2));
    EXPECT_EQ(pc.m_closed, 0);
    EXPECT_EQ(pc.m_shape, 1);
    EXPECT_EQ(pc.m_fill, 1u);
    EXPECT_EQ(pc.m_lineColor, 0x0000FFu);
}

TEST(ItemKindsTest, CanFill)
{
    CPrimitiveGraphics g;
    EXPECT_TRUE(g.CanFill());
    g.m_shape = 1;
    EXPECT_TRUE(g.CanFill());
    g.m_shape = 2;
    EXPECT_FALSE(g.CanFill());
    g.m_shape = 7;
    EXPECT_TRUE(g.CanFill());
    CPolyline p;
    EXPECT_FALSE(p.CanFill());
    p.m_closed = 1;
    EXPECT_TRUE(p.CanFill());
}

TEST(ItemKindsTest, EditPropertiesWithoutDialogsChangesNothing)
{
    ASSERT_EQ(ItemContext::Current().dialogs, nullptr);
    CText text(CRect(0, 0, 10, 10));
    EXPECT_FALSE(text.EditProperties());
    text.OnOpen();
    EXPECT_TRUE(text.m_text.isEmpty());
    CPrimitiveGraphics g(CRect(0, 0, 10, 10));
    EXPECT_FALSE(g.EditProperties());
    EXPECT_EQ(g.m_penWidth, 1);
    CSprite plain;
    EXPECT_FALSE(plain.EditProperties());
}

TEST(ItemKindsTest, EditPropertiesGoesThroughTheRegisteredDialogs)
{
    FakeItemDialogs dialogs;
    DialogsInstalled installed(&dialogs);

    CText text(CRect(0, 0, 10, 10));
    text.OnOpen(); // a new text item opens its dialog at once
    EXPECT_EQ(dialogs.textShown, 1);
    EXPECT_EQ(text.m_text, QStringLiteral("line 1\r\nline 2"));
    EXPECT_EQ(text.m_position, CRect(0, 0, 10, 10));

    CPrimitiveGraphics line(CRect(0, 0, 10, 10));
    line.m_shape = CPrimitiveGraphics::kLine;
    line.m_penWidth = 3;
    line.OnOpen(); // shapes do not open their dialog on creation
    EXPECT_EQ(dialogs.shapeShown, 0);
    EXPECT_TRUE(line.EditProperties());
    EXPECT_FALSE(dialogs.seen.canFill);
    EXPECT_EQ(dialogs.seen.penWidth, 3);
    EXPECT_EQ(line.m_fill, 1u);
    EXPECT_EQ(line.m_lineColor, RGB(1, 2, 3));
    EXPECT_EQ(line.m_fillColor, RGB(4, 5, 6));
    EXPECT_EQ(line.m_penWidth, 7);

    CPolyline stroke;
    EXPECT_TRUE(stroke.EditProperties());
    EXPECT_FALSE(dialogs.seen.canFill); // an editor stroke is never closed

    dialogs.confirm = false;
    CPrimitiveGraphics rect(CRect(0, 0, 10, 10));
    EXPECT_FALSE(rect.EditProperties());
    EXPECT_TRUE(dialogs.seen.canFill);
    EXPECT_EQ(rect.m_fill, 0u);
    EXPECT_EQ(rect.m_penWidth, 1);
    EXPECT_EQ(rect.m_lineColor, 0u);
    CText cancelled;
    EXPECT_FALSE(cancelled.EditProperties());
    EXPECT_TRUE(cancelled.m_text.isEmpty());
}

TEST(ItemKindsTest, SizesFollowTheZoomInWholeUnits)
{
    EXPECT_EQ(CText::DrawnPointSize(150, 10), 15);
    EXPECT_EQ(CText::DrawnPointSize(33, 10), 3);
    EXPECT_EQ(CText::DrawnPointSize(25, 10), 2);
    EXPECT_EQ(CText::DrawnPointSize(100, 10), 10);
    EXPECT_EQ(CPrimitiveGraphics::PenWidthAtZoom(50, 1), 0);
    EXPECT_EQ(CPrimitiveGraphics::PenWidthAtZoom(150, 1), 1);
    EXPECT_EQ(CPrimitiveGraphics::PenWidthAtZoom(200, 3), 6);
}
