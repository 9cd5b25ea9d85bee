// The document's lifecycle, its frame list, the current frame and the update hints.
#include "DocumentFakes.h"
#include "items/PrimitiveGraphics.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<CBannerFrame> FrameWithDelay(std::uint32_t delay)
{
    return std::make_unique<CBannerFrame>(nullptr, 0x00FFFFFF, delay);
}

std::vector<std::uint32_t> Delays(const CBannerDoc &doc)
{
    std::vector<std::uint32_t> out;
    for (int i = 0; i < doc.GetFrameCount(); ++i)
        out.push_back(doc.GetFrame(i)->m_nDelay);
    return out;
}

} // namespace

TEST(BannerDocTest, NewDocumentHasOneWhiteFrameAndIsNotModified)
{
    CoreContext ctx;
    CBannerDoc doc(ctx);
    EXPECT_EQ(doc.GetFrameCount(), 0);
    ASSERT_TRUE(doc.OnNewDocument());
    ASSERT_EQ(doc.GetFrameCount(), 1);
    const CBannerFrame *f = doc.GetFrame(0);
    EXPECT_EQ(f->m_crBackground, 0x00FFFFFFu);
    EXPECT_EQ(f->m_nDelay, 1000u);
    EXPECT_FALSE(f->HasBackground());
    EXPECT_TRUE(f->Items().empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetCurrentFrameIndex(), 0);
    EXPECT_EQ(doc.m_nVersionMajor, 1u);
    EXPECT_EQ(doc.m_nVersionMinor, 0u);
    EXPECT_EQ(doc.m_fWidth, 468.0f);
    EXPECT_EQ(doc.m_fHeight, 60.0f);
    EXPECT_EQ(doc.m_crDefaultBackground, 0x00FFFFFFu);
    EXPECT_EQ(doc.m_bLoop, -1);

    // The document copies the application's banner size and default delay applies to the new frame.
    ctx.m_fDefaultWidth = 100.0f;
    CBannerDoc other(ctx);
    other.m_nDefaultDelay = 250;
    other.OnNewDocument();
    EXPECT_EQ(other.m_fWidth, 100.0f);
    EXPECT_EQ(other.GetFrame(0)->m_nDelay, 250u);
}

TEST(BannerDocTest, FrameListOperationsRefuseWhatIsOutside)
{
    CoreContext ctx;
    CBannerDoc doc(ctx);
    doc.AddFrame(nullptr);
    EXPECT_EQ(doc.GetFrameCount(), 0);
    doc.AddFrame(FrameWithDelay(1));
    EXPECT_FALSE(doc.IsModified()); // the only frame
    doc.AddFrame(FrameWithDelay(3));
    EXPECT_TRUE(doc.IsModified());

    doc.SetModifiedFlag(false);
    EXPECT_FALSE(doc.InsertFrame(FrameWithDelay(9), 2)); // equal to the count: refused
    EXPECT_FALSE(doc.InsertFrame(FrameWithDelay(9), -1));
    EXPECT_FALSE(doc.InsertFrame(nullptr, 0));
    EXPECT_FALSE(doc.RemoveFrame(2));
    EXPECT_FALSE(doc.RemoveFrame(-1));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(Delays(doc), (std::vector<std::uint32_t>{1, 3}));

    EXPECT_TRUE(doc.InsertFrame(FrameWithDelay(2), 1));
    EXPECT_EQ(Delays(doc), (std::vector<std::uint32_t>{1, 2, 3}));
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    EXPECT_TRUE(doc.RemoveFrame(0));
    EXPECT_EQ(Delays(doc), (std::vector<std::uint32_t>{2, 3}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetFrame(2), nullptr);
    EXPECT_EQ(doc.GetFrame(-1), nullptr);

    doc.DeleteContents();
    EXPECT_EQ(doc.GetFrameCount(), 0);
    EXPECT_EQ(doc.GetCurrentFrame(), nullptr);
}

TEST(BannerDocTest, SetCurrentFrameClampsAndSkipsTheSender)
{
    CoreContext ctx;
    CBannerDoc doc(ctx);
    doc.OnNewDocument();
    doc.AddFrame(FrameWithDelay(2));
    doc.AddFrame(FrameWithDelay(3));
    RecordingView banner(doc, ViewKind::BannerView);
    RecordingView frames(doc, ViewKind::FramesView);

    doc.SetCurrentFrame(-5, &frames);
    EXPECT_EQ(doc.GetCurrentFrameIndex(), 0);
    doc.SetCurrentFrame(doc.GetFrameCount() + 3, &frames);
    EXPECT_EQ(doc.GetCurrentFrameIndex(), 2);
    doc.SetCurrentFrame(1);
    EXPECT_EQ(doc.GetCurrentFrameIndex(), 1);
    EXPECT_EQ(banner.hints, (std::vector<long>{hintCurrentFrame, hintCurrentFrame, hintCurrentFrame}));
    EXPECT_EQ(frames.hints, (std::vector<long>{hintCurrentFrame}));

    // Hints 1 and 2 come from the Banner View and the tools through the same channel.
    CSprite item;
    doc.UpdateAllViews(&banner, hintItemChanged, &item);
    EXPECT_EQ(frames.hints.back(), hintItemChanged);
    EXPECT_EQ(banner.hints.size(), 3u);
}

TEST(BannerDocTest, AViewThatLeavesWhileBeingToldIsNotToldAgain)
{
    CoreContext ctx;
    CBannerDoc doc(ctx);
    doc.OnNewDocument();
    auto second = std::make_unique<RecordingView>(doc, ViewKind::FramesView);
    struct ClosingView : DocumentView {
        std::unique_ptr<RecordingView> *other = nullptr;
        ViewKind Kind() const override { return ViewKind::BannerView; }
        void OnUpdate(DocumentView *, long, CSprite *) override { other->reset(); }
    } closer;
    closer.other = &second;
    // The closing view comes first in the list.
    doc.RemoveView(second.get());
    doc.AddView(&closer);
    doc.AddView(second.get());
    doc.UpdateAllViews(nullptr, hintFrameChanged);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(doc.Views().size(), 1u);
    doc.RemoveView(&closer);
}

TEST(BannerDocTest, FrameCloneSharesNothing)
{
    CBannerFrame frame(std::make_unique<PackedDib>(std::vector<std::uint8_t>{1, 2, 3, 4}), 0x123456, 70);
    auto *shape = static_cast<CPrimitiveGraphics *>(frame.AddItem(std::make_unique<CPrimitiveGraphics>(CRect(1, 2, 3, 4))));
    shape->m_fill = 1;
    frame.AddItem(std::make_unique<CSprite>(CRect(5, 6, 7, 8)));

    auto copy = frame.Clone();
    EXPECT_EQ(copy->m_crBackground, 0x123456u);
    EXPECT_EQ(copy->m_nDelay, 70u);
    ASSERT_TRUE(copy->m_hBackground);
    EXPECT_EQ(*copy->m_hBackground, *frame.m_hBackground);
    EXPECT_NE(copy->m_hBackground.get(), frame.m_hBackground.get());
    ASSERT_EQ(copy->Items().size(), 2u);
    const CSprite *first = copy->Items().front().get();
    EXPECT_NE(first, shape);
    EXPECT_EQ(first->ClassName(), "CPrimitiveGraphics");
    EXPECT_EQ(first->m_position, CRect(1, 2, 3, 4));
    EXPECT_EQ(static_cast<const CPrimitiveGraphics *>(first)->m_fill, 1u);
    EXPECT_EQ(copy->Items().back()->ClassName(), "CSprite");

    copy->m_hBackground->MutableBytes()[0] = 99;
    EXPECT_EQ(frame.m_hBackground->Bytes()[0], 1);

    CBannerFrame bare;
    EXPECT_FALSE(bare.Clone()->HasBackground());
    bare.SetBackground(std::make_unique<PackedDib>(std::vector<std::uint8_t>{5}));
    EXPECT_TRUE(bare.HasBackground());
    bare.SetBackground(nullptr);
    EXPECT_FALSE(bare.HasBackground());
}
