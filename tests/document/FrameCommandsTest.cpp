// The Frame menu and the View toggles of the document: what each command does to the frames, the
// clipboards, the modified flag and the views, and when it is enabled.
#include "DocumentFakes.h"
#include "items/PrimitiveGraphics.h"

#include <gtest/gtest.h>

namespace {

struct Fixture {
    CoreContext ctx;
    RecordingHost host;
    ScriptedDocumentDialogs dialogs;
    CBannerDoc doc{ctx};

    // Frames tagged by their delays.
    explicit Fixture(std::vector<std::uint32_t> delays = {100})
    {
        ctx.viewHost = &host;
        ctx.dialogs = &dialogs;
        doc.OnNewDocument();
        doc.GetFrame(0)->m_nDelay = delays[0];
        for (std::size_t i = 1; i < delays.size(); ++i)
            doc.AddFrame(std::make_unique<CBannerFrame>(nullptr, 0x00FFFFFF, delays[i]));
        doc.SetModifiedFlag(false);
    }
    std::vector<std::uint32_t> Delays() const
    {
        std::vector<std::uint32_t> out;
        for (int i = 0; i < doc.GetFrameCount(); ++i)
            out.push_back(doc.GetFrame(i)->m_nDelay);
        return out;
    }
};

PackedDib SolidBlock(CoreContext &ctx, COLORREF color)
{
    ctx.WorkCtrl.CreateBitmap(468, 60, 24);
    ctx.WorkCtrl.FillColor(color);
    return ctx.WorkCtrl.GetAsDIB();
}

} // namespace

TEST(FrameCommandsTest, AddCopiesTheSelectedFrameInFrontOfIt)
{
    Fixture f({1, 2, 3});
    RecordingView banner(f.doc, ViewKind::BannerView);
    f.doc.GetFrame(1)->AddItem(std::make_unique<CPrimitiveGraphics>(CRect(0, 0, 10, 10)));
    const CBannerFrame *q = f.doc.GetFrame(1);
    f.doc.SetCurrentFrame(1);
    banner.hints.clear();

    f.doc.OnFrameAdd();
    EXPECT_EQ(f.Delays(), (std::vector<std::uint32_t>{1, 2, 2, 3}));
    EXPECT_EQ(f.doc.GetCurrentFrameIndex(), 2);
    EXPECT_EQ(f.doc.GetFrame(2), q); // the selection stays on the frame that was copied
    EXPECT_NE(f.doc.GetFrame(1), q);
    EXPECT_EQ(f.doc.GetFrame(1)->Items().size(), 1u);
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(banner.hints, (std::vector<long>{hintFrameAdded, hintCurrentFrame}));
    // Without a Frames View one is opened; with one it is brought forward.
    EXPECT_EQ(f.host.opened, (std::vector<ViewKind>{ViewKind::FramesView}));
    RecordingView frames(f.doc, ViewKind::FramesView);
    f.doc.OnFrameAdd();
    ASSERT_EQ(f.host.calls.size(), 1u);
    EXPECT_STREQ(f.host.calls[0].first, "activate");
    EXPECT_EQ(f.host.calls[0].second, &frames);
    EXPECT_EQ(f.host.opened.size(), 1u);
    EXPECT_TRUE(f.doc.OnUpdateFrameAdd());
}

TEST(FrameCommandsTest, DeletingTheLastFrameSelectsTheNewLastAndOneFrameIsKept)
{
    Fixture f({1, 2, 3});
    RecordingView banner(f.doc, ViewKind::BannerView);
    f.doc.SetCurrentFrame(2);
    banner.hints.clear();
    EXPECT_TRUE(f.doc.OnUpdateFrameDelete());
    EXPECT_TRUE(f.doc.OnUpdateFrameCut());
    f.doc.OnFrameDelete();
    EXPECT_EQ(f.Delays(), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(f.doc.GetCurrentFrameIndex(), 1);
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(banner.hints, (std::vector<long>{hintCurrentFrame, hintFrameRemoved}));

    f.doc.SetCurrentFrame(0);
    f.doc.OnFrameCut();
    EXPECT_EQ(f.Delays(), (std::vector<std::uint32_t>{2}));
    ASSERT_TRUE(f.ctx.FrameClipboard);
    EXPECT_EQ(f.ctx.FrameClipboard->m_nDelay, 1u);
    EXPECT_FALSE(f.doc.OnUpdateFrameDelete());
    EXPECT_FALSE(f.doc.OnUpdateFrameCut());
    // Even when called, the last frame stays and the clipboard keeps what it had.
    f.doc.OnFrameDelete();
    f.doc.OnFrameCut();
    EXPECT_EQ(f.Delays(), (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(f.ctx.FrameClipboard->m_nDelay, 1u);
}

TEST(FrameCommandsTest, PastesAreIndependentCopiesAndMarkTheDocument)
{
    Fixture f({1, 2, 3});
    EXPECT_FALSE(f.doc.OnUpdateFramePaste());
    f.doc.OnFramePaste(); // nothing to paste
    EXPECT_EQ(f.Delays(), (std::vector<std::uint32_t>{1, 2, 3}));

    f.doc.GetFrame(0)->AddItem(std::make_unique<CPrimitiveGraphics>(CRect(0, 0, 10, 10)));
    f.doc.OnFrameCopy();
    EXPECT_TRUE(f.doc.OnUpdateFramePaste());
    EXPECT_FALSE(f.doc.IsModified()); // copying changes nothing

    RecordingView banner(f.doc, ViewKind::BannerView);
    f.doc.SetCurrentFrame(1);
    f.doc.OnFramePaste();
    f.doc.SetCurrentFrame(2);
    f.doc.OnFramePaste();
    EXPECT_EQ(f.Delays(), (std::vector<std::uint32_t>{1, 1, 1}));
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(banner.hints.back(), hintFrameChanged);

    CBannerFrame *a = f.doc.GetFrame(1);
    CBannerFrame *b = f.doc.GetFrame(2);
    ASSERT_EQ(a->Items().size(), 1u);
    a->m_nDelay = 777;
    a->Items().front()->m_position = CRect(50, 50, 60, 60);
    a->RemoveItem(a->Items().front().get());
    EXPECT_EQ(b->m_nDelay, 1u);
    ASSERT_EQ(b->Items().size(), 1u);
    EXPECT_EQ(b->Items().front()->m_position, CRect(0, 0, 10, 10));
    EXPECT_EQ(f.ctx.FrameClipboard->m_nDelay, 1u);
    EXPECT_EQ(f.ctx.FrameClipboard->Items().size(), 1u);
}

TEST(FrameCommandsTest, ClipboardsOutliveTheDocument)
{
    CoreContext ctx;
    {
        CBannerDoc doc(ctx);
        doc.OnNewDocument();
        doc.GetFrame(0)->m_nDelay = 42;
        doc.GetFrame(0)->SetBackground(std::make_unique<PackedDib>(SolidBlock(ctx, RGB(1, 2, 3))));
        doc.OnFrameCopy();
        doc.OnFrameCopyBackground();
    }
    CBannerDoc other(ctx);
    other.OnNewDocument();
    EXPECT_TRUE(other.OnUpdateFramePaste());
    EXPECT_TRUE(other.OnUpdateFramePasteBackground());
    other.OnFramePaste();
    EXPECT_EQ(other.GetFrame(0)->m_nDelay, 42u);
    EXPECT_TRUE(other.GetFrame(0)->HasBackground());
}

TEST(FrameCommandsTest, BackgroundClipboard)
{
    Fixture f({1, 2, 3});
    RecordingView banner(f.doc, ViewKind::BannerView);
    const PackedDib red = SolidBlock(f.ctx, RGB(255, 0, 0));

    // Copying from a frame without a background empties the clipboard.
    f.ctx.BackgroundClipboard = std::make_unique<PackedDib>(red);
    f.doc.OnFrameCopyBackground();
    EXPECT_FALSE(f.ctx.BackgroundClipboard);
    EXPECT_FALSE(f.doc.OnUpdateFramePasteBackground());
    f.doc.OnFramePasteBackground();
    EXPECT_FALSE(f.doc.GetFrame(0)->HasBackground());
    EXPECT_FALSE(f.doc.IsModified());

    f.doc.GetFrame(0)->SetBackground(std::make_unique<PackedDib>(red));
    f.doc.OnFrameCopyBackground();
    ASSERT_TRUE(f.ctx.BackgroundClipboard);
    EXPECT_EQ(*f.ctx.BackgroundClipboard, red);
    EXPECT_EQ(f.ctx.BackgroundClipboard->Size(), 84280u);
    EXPECT_TRUE(f.doc.OnUpdateFramePasteBackground());

    f.doc.SetCurrentFrame(1);
    f.doc.OnFramePasteBackground();
    f.doc.SetCurrentFrame(2);
    f.doc.OnFramePasteBackground();
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(banner.hints.back(), hintFrameChanged);
    f.doc.SetModifiedFlag(false);

    // Deleting one frame's background leaves the other's and the clipboard's.
    f.doc.OnFrameDeleteBackground();
    EXPECT_FALSE(f.doc.GetFrame(2)->HasBackground());
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(banner.hints.back(), hintFrameChanged);
    ASSERT_TRUE(f.doc.GetFrame(1)->HasBackground());
    EXPECT_EQ(*f.doc.GetFrame(1)->m_hBackground, red);
    EXPECT_EQ(*f.ctx.BackgroundClipboard, red);
    EXPECT_NE(f.doc.GetFrame(1)->m_hBackground.get(), f.ctx.BackgroundClipboard.get());

    // Deleting a background that is not there changes nothing worth saving.
    f.doc.SetModifiedFlag(false);
    f.doc.OnFrameDeleteBackground();
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_TRUE(f.doc.OnUpdateFrameDeleteBackground());
    EXPECT_TRUE(f.doc.OnUpdateFrameCopyBackground());
}

TEST(FrameCommandsTest, LoadBackgroundTakesTheDialogsPicture)
{
    Fixture f({1, 2});
    RecordingView banner(f.doc, ViewKind::BannerView);
    f.doc.SetCurrentFrame(1);
    banner.hints.clear();

    f.doc.OnFrameLoadBackground(); // cancelled
    EXPECT_EQ(f.dialogs.backgroundShown, 1);
    EXPECT_FALSE(f.doc.GetFrame(1)->HasBackground());
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_TRUE(banner.hints.empty());

    f.dialogs.backgroundColor = RGB(0, 0, 255);
    f.doc.OnFrameLoadBackground();
    ASSERT_TRUE(f.doc.GetFrame(1)->HasBackground());
    EXPECT_EQ(*f.doc.GetFrame(1)->m_hBackground, SolidBlock(f.ctx, RGB(0, 0, 255)));
    EXPECT_FALSE(f.doc.GetFrame(0)->HasBackground());
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(banner.hints, (std::vector<long>{hintFrameChanged}));

    // Without the shell's dialogs the command does nothing.
    f.ctx.dialogs = nullptr;
    f.doc.SetCurrentFrame(0);
    f.doc.OnFrameLoadBackground();
    EXPECT_FALSE(f.doc.GetFrame(0)->HasBackground());
}

TEST(FrameCommandsTest, FrameDelay)
{
    Fixture f({100, 200});
    RecordingView banner(f.doc, ViewKind::BannerView);
    f.doc.SetCurrentFrame(1);
    banner.hints.clear();

    f.doc.OnFrameDelay(); // Cancel
    EXPECT_EQ(f.dialogs.delaysShown, (std::vector<std::uint32_t>{200}));
    EXPECT_EQ(f.doc.GetFrame(1)->m_nDelay, 200u);
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_TRUE(banner.hints.empty());

    f.dialogs.delayAnswers = {250u, 250u};
    f.doc.OnFrameDelay();
    EXPECT_EQ(f.doc.GetFrame(1)->m_nDelay, 250u);
    EXPECT_EQ(f.doc.GetFrame(0)->m_nDelay, 100u);
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_EQ(banner.hints, (std::vector<long>{hintFrameDelay}));

    // OK without a change sends the hint but leaves nothing to save.
    f.doc.SetModifiedFlag(false);
    f.doc.OnFrameDelay();
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_EQ(banner.hints.size(), 2u);
}

TEST(FrameCommandsTest, ViewTogglesCloseTheFirstViewOfTheKindOrOpenOne)
{
    Fixture f;
    EXPECT_FALSE(f.doc.OnUpdateViewBanner());
    EXPECT_FALSE(f.doc.OnUpdateViewFrames());
    f.doc.OnViewBanner();
    EXPECT_EQ(f.host.opened, (std::vector<ViewKind>{ViewKind::BannerView}));

    RecordingView frames1(f.doc, ViewKind::FramesView);
    RecordingView frames2(f.doc, ViewKind::FramesView);
    EXPECT_TRUE(f.doc.OnUpdateViewFrames());
    EXPECT_FALSE(f.doc.OnUpdateViewBanner());
    f.doc.OnViewFrames();
    ASSERT_EQ(f.host.calls.size(), 2u);
    EXPECT_STREQ(f.host.calls[0].first, "activate");
    EXPECT_STREQ(f.host.calls[1].first, "close");
    EXPECT_EQ(f.host.calls[1].second, &frames1);
    EXPECT_EQ(f.host.opened.size(), 1u);
}
