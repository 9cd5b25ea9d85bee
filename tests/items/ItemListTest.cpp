// A frame's item list: z-order operations and picking.
#include "document/BannerFrame.h"
#include "items/PrimitiveGraphics.h"

#include <gtest/gtest.h>

namespace {

struct ListFixture {
    CBannerFrame frame;
    CSprite *a, *b, *c;
    ListFixture()
    {
        a = frame.AddItem(std::make_unique<CPrimitiveGraphics>(CRect(0, 0, 20, 20)));
        b = frame.AddItem(std::make_unique<CPrimitiveGraphics>(CRect(10, 10, 30, 30)));
        c = frame.AddItem(std::make_unique<CPrimitiveGraphics>(CRect(40, 0, 50, 10)));
    }
    std::vector<CSprite *> Order() const
    {
        std::vector<CSprite *> out;
        for (const auto &item : frame.Items())
            out.push_back(item.get());
        return out;
    }
};

} // namespace

TEST(ItemListTest, ZOrderOperations)
{
    ListFixture f;
    using V = std::vector<CSprite *>;
    EXPECT_EQ(f.Order(), (V{f.a, f.b, f.c}));
    f.frame.MoveForward(f.c); // already front-most
    f.frame.MoveBackward(f.a); // already back-most
    EXPECT_EQ(f.Order(), (V{f.a, f.b, f.c}));
    f.frame.MoveForward(f.a);
    EXPECT_EQ(f.Order(), (V{f.b, f.a, f.c}));
    f.frame.MoveBackward(f.c);
    EXPECT_EQ(f.Order(), (V{f.b, f.c, f.a}));
    f.frame.MoveToFront(f.b);
    EXPECT_EQ(f.Order(), (V{f.c, f.a, f.b}));
    f.frame.MoveToBack(f.b);
    EXPECT_EQ(f.Order(), (V{f.b, f.c, f.a}));

    // An item of another frame is left alone everywhere.
    CPrimitiveGraphics stranger(CRect(0, 0, 5, 5));
    f.frame.MoveToFront(&stranger);
    f.frame.MoveToBack(&stranger);
    f.frame.MoveForward(&stranger);
    f.frame.MoveBackward(&stranger);
    EXPECT_FALSE(f.frame.RemoveItem(&stranger));
    EXPECT_FALSE(f.frame.RemoveItem(nullptr));
    EXPECT_EQ(f.Order(), (V{f.b, f.c, f.a}));

    EXPECT_TRUE(f.frame.RemoveItem(f.c));
    EXPECT_EQ(f.Order(), (V{f.b, f.a}));

    std::vector<std::unique_ptr<CSprite>> more;
    more.push_back(std::make_unique<CSprite>(CRect(1, 1, 2, 2)));
    more.push_back(std::make_unique<CSprite>(CRect(3, 3, 4, 4)));
    CSprite *m1 = more[0].get();
    CSprite *m2 = more[1].get();
    f.frame.AddItems(std::move(more));
    EXPECT_EQ(f.Order(), (V{f.b, f.a, m1, m2}));
}

TEST(ItemListTest, ObjectAtPicksTheFrontMostAndNeverAZeroSizeItem)
{
    ListFixture f;
    EXPECT_EQ(f.frame.ObjectAt({15, 15}), f.b); // a and b overlap: b is in front
    EXPECT_EQ(f.frame.ObjectAt({5, 5}), f.a);
    EXPECT_EQ(f.frame.ObjectAt({20, 5}), nullptr);  // right edge of a excluded
    EXPECT_EQ(f.frame.ObjectAt({19, 5}), f.a);
    EXPECT_EQ(f.frame.ObjectAt({100, 50}), nullptr);
    f.frame.MoveToFront(f.a);
    EXPECT_EQ(f.frame.ObjectAt({15, 15}), f.a);

    // A rectangle stored inverted is picked like its normalised self.
    CSprite *inverted = f.frame.AddItem(std::make_unique<CPrimitiveGraphics>(CRect(80, 40, 60, 20)));
    EXPECT_EQ(f.frame.ObjectAt({70, 30}), inverted);

    // A horizontal line has no area and is never picked, not even on its own pixels.
    auto line = std::make_unique<CPrimitiveGraphics>(CRect(100, 30, 200, 30));
    line->m_shape = CPrimitiveGraphics::kLine;
    f.frame.AddItem(std::move(line));
    EXPECT_EQ(f.frame.ObjectAt({150, 30}), nullptr);
    EXPECT_EQ(f.frame.ObjectAt({100, 30}), nullptr);
    // ... nor caught by any net.
    EXPECT_FALSE(f.frame.Items().back()->Intersects(CRect(0, 0, 468, 60)));
}
