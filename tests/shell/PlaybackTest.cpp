// Playing a banner in its Banner View, the frame stepping commands and Loop.
#include "FramesTestSupport.h"
#include "items/PrimitiveGraphics.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"

#include <QTest>
#include <QToolBar>

namespace {
constexpr COLORREF kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

class PlaybackTest : public FramesFixture {
protected:
    // The colour the window shows at one banner pixel after each repaint, consecutive repeats folded.
    void RecordSurface()
    {
        shown.clear();
        QObject::connect(&banner->Control(), &ImagingControl::SurfaceChanged, banner, [this] {
            const QRgb px = banner->Control().WindowSurface().pixel(200, 30) & 0xFFFFFF;
            if (shown.empty() || shown.back() != px)
                shown.push_back(px);
        });
    }
    static QRgb Rgb(COLORREF c) { return ColorrefToQRgb(c) & 0xFFFFFF; }
    CSprite *AddFilledRect(const CRect &r)
    {
        auto item = std::make_unique<CPrimitiveGraphics>(r);
        item->m_fill = 1;
        item->SetFillColor(0x000000);
        return doc->GetCurrentFrame()->AddItem(std::move(item));
    }
    QRgb BitmapPixel(int x, int y) { return banner->Control().BitmapHandle().image.pixel(x, y) & 0xFFFFFF; }

    std::vector<QRgb> shown;
};
} // namespace

TEST_F(PlaybackTest, EnableRulesFrameSteppingAndToolbarOrder)
{
    // One frame: nothing to play or step through.
    for (unsigned id : {ID_ANIMATION_PLAY, ID_ANIMATION_STOP, ID_ANIMATION_FIRSTFRAME, ID_ANIMATION_PREVIOUSFRAME,
                        ID_ANIMATION_NEXTFRAME, ID_ANIMATION_LASTFRAME})
        EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(ID_ANIMATION_LOOP));

    MakeFrames({kRed, kGreen, kBlue, kRed, kGreen});
    banner->Select(AddFilledRect(CRect(1, 1, 9, 9)), false);
    EXPECT_TRUE(Enabled(ID_ANIMATION_PLAY));
    EXPECT_FALSE(Enabled(ID_ANIMATION_FIRSTFRAME));
    ASSERT_TRUE(Run(ID_ANIMATION_LASTFRAME));
    EXPECT_EQ(banner->ShownFrame(), 4);
    EXPECT_TRUE(banner->Selection().empty());
    EXPECT_EQ(BitmapPixel(200, 30), Rgb(kGreen));
    EXPECT_FALSE(Enabled(ID_ANIMATION_NEXTFRAME));
    EXPECT_FALSE(Enabled(ID_ANIMATION_LASTFRAME));
    ASSERT_TRUE(Run(ID_ANIMATION_PREVIOUSFRAME));
    EXPECT_EQ(doc->GetCurrentFrameIndex(), 3);
    ASSERT_TRUE(Run(ID_ANIMATION_FIRSTFRAME));
    EXPECT_EQ(banner->ShownFrame(), 0);
    ASSERT_TRUE(Run(ID_ANIMATION_NEXTFRAME));
    EXPECT_EQ(banner->ShownFrame(), 1);
    EXPECT_EQ(BitmapPixel(200, 30), Rgb(kGreen));

    std::vector<unsigned> order;
    for (QAction *a : frame->Toolbar(IDR_ANIMATION)->actions())
        order.push_back(a->isSeparator() ? 0u : a->data().toUInt());
    EXPECT_EQ(order, (std::vector<unsigned>{ID_ANIMATION_PLAY, ID_ANIMATION_STOP, 0, ID_ANIMATION_FIRSTFRAME,
                                            ID_ANIMATION_PREVIOUSFRAME, ID_ANIMATION_NEXTFRAME,
                                            ID_ANIMATION_LASTFRAME, 0, ID_ANIMATION_LOOP}));
}

TEST_F(PlaybackTest, LoopFlagIsApplicationWideAndMarksOnlyTheDocumentItChanges)
{
    CBannerDoc *first = doc;
    EXPECT_FALSE(Checked(ID_ANIMATION_LOOP));
    // The flag turns on; the banner already loops, so nothing of it changes.
    ASSERT_TRUE(Run(ID_ANIMATION_LOOP));
    EXPECT_TRUE(Checked(ID_ANIMATION_LOOP));
    EXPECT_EQ(first->m_bLoop, -1);
    EXPECT_FALSE(first->IsModified());

    ASSERT_TRUE(Run(ID_FILE_NEW));
    CBannerDoc *second = &ActiveBannerView()->GetDocument();
    ASSERT_NE(second, first);
    EXPECT_TRUE(Checked(ID_ANIMATION_LOOP));
    // Off: the second banner now plays once, a change to its file that must not be lost.
    ASSERT_TRUE(Run(ID_ANIMATION_LOOP));
    EXPECT_EQ(second->m_bLoop, 0);
    EXPECT_TRUE(second->IsModified());
    EXPECT_EQ(first->m_bLoop, -1);
    EXPECT_FALSE(first->IsModified());
}

TEST_F(PlaybackTest, PlayShowsEveryPageOnceThenEditingResumesOnTheShownFrame)
{
    MakeFrames({kRed, kGreen, kBlue}, 30);
    doc->SetCurrentFrame(1);
    CSprite *item = AddFilledRect(CRect(300, 10, 320, 50));
    banner->Select(item, false);
    EditorState::Instance().lastMouse = QPoint(7, 8);
    RecordSurface();

    ASSERT_TRUE(Run(ID_ANIMATION_PLAY));
    ASSERT_TRUE(banner->Control().AnimationRunning());
    EXPECT_EQ(banner->Control().PageCount(), 3);
    EXPECT_TRUE(Checked(ID_ANIMATION_PLAY));
    EXPECT_TRUE(Enabled(ID_ANIMATION_STOP));
    for (unsigned id : {ID_ANIMATION_FIRSTFRAME, ID_ANIMATION_PREVIOUSFRAME, ID_ANIMATION_NEXTFRAME,
                        ID_ANIMATION_LASTFRAME, ID_ANIMATION_LOOP})
        EXPECT_FALSE(Enabled(id)) << id;
    // The mouse does nothing while the banner plays.
    QTest::mouseClick(banner->Window()->viewport(), Qt::LeftButton, {}, QPoint(310, 30));
    EXPECT_EQ(EditorState::Instance().lastMouse, QPoint(7, 8));

    ASSERT_TRUE(WaitFor([&] { return !banner->Control().AnimationRunning(); }));
    // Each page in turn, then the frame that was being edited, with its selection.
    EXPECT_EQ(shown, (std::vector<QRgb>{Rgb(kRed), Rgb(kGreen), Rgb(kBlue), Rgb(kGreen)}));
    EXPECT_EQ(banner->Control().PageCount(), 0);
    EXPECT_EQ(banner->ShownFrame(), 1);
    EXPECT_EQ(banner->Selection(), std::vector<CSprite *>{item});
    EXPECT_EQ(BitmapPixel(200, 30), Rgb(kGreen));
    EXPECT_FALSE(Enabled(ID_ANIMATION_STOP));
    EXPECT_TRUE(Enabled(ID_ANIMATION_FIRSTFRAME));
}

TEST_F(PlaybackTest, LoopingRunRepeatsItsCountOrUntilEscAndEditsShowAfterStop)
{
    MakeFrames({kRed, kGreen}, 20);
    CSprite *item = AddFilledRect(CRect(190, 20, 210, 40));
    banner->Select(item, false);
    ASSERT_TRUE(Run(ID_ANIMATION_LOOP));
    // A banner that holds a GIF's repeat count plays once and then that many times more.
    doc->m_bLoop = 2;
    RecordSurface();
    ASSERT_TRUE(Run(ID_ANIMATION_PLAY));
    ASSERT_TRUE(WaitFor([&] { return !banner->Control().AnimationRunning(); }));
    EXPECT_EQ(shown, (std::vector<QRgb>{0, Rgb(kGreen), 0, Rgb(kGreen), 0, Rgb(kGreen), 0}));
    EXPECT_EQ(banner->Selection(), std::vector<CSprite *>{item});

    // One that repeats for ever runs until it is stopped.
    doc->m_bLoop = -1;
    shown.clear();
    ASSERT_TRUE(Run(ID_ANIMATION_PLAY));
    ASSERT_TRUE(WaitFor([&] { return shown.size() >= 4; }));
    EXPECT_EQ(std::vector<QRgb>(shown.begin(), shown.begin() + 4),
              (std::vector<QRgb>{0, Rgb(kGreen), 0, Rgb(kGreen)}));
    EXPECT_TRUE(banner->Control().AnimationRunning());

    // Esc: the frame and its selection as before Play.
    frame->activateWindow();
    QTest::keyClick(banner->Window()->viewport(), Qt::Key_Escape);
    EXPECT_FALSE(banner->Control().AnimationRunning());
    EXPECT_EQ(banner->Control().PageCount(), 0);
    EXPECT_EQ(banner->ShownFrame(), 0);
    EXPECT_EQ(banner->Selection(), std::vector<CSprite *>{item});
    EXPECT_EQ(banner->Control().WindowSurface().pixel(200, 30) & 0xFFFFFF, 0u);
    EXPECT_EQ(banner->Control().WindowSurface().pixel(100, 30) & 0xFFFFFF, Rgb(kRed));

    // Deleting stays possible while playing; the pages keep the item until Stop.
    ASSERT_TRUE(Run(ID_ANIMATION_PLAY));
    ASSERT_TRUE(Run(ID_EDIT_DELETE));
    EXPECT_TRUE(doc->GetFrame(0)->Items().empty());
    banner->Control().SetPageIndex(0);
    EXPECT_EQ(BitmapPixel(200, 30), 0u);
    // Another view picks a frame meanwhile: the pages stay as they are, Stop shows that frame.
    doc->SetCurrentFrame(1);
    EXPECT_EQ(banner->Control().PageCount(), 2);
    EXPECT_EQ(BitmapPixel(200, 30), 0u);
    ASSERT_TRUE(Run(ID_ANIMATION_STOP));
    EXPECT_EQ(banner->ShownFrame(), 1);
    EXPECT_EQ(banner->Control().WindowSurface().pixel(200, 30) & 0xFFFFFF, Rgb(kGreen));
    ASSERT_TRUE(Run(ID_ANIMATION_PREVIOUSFRAME));
    EXPECT_EQ(banner->Control().WindowSurface().pixel(200, 30) & 0xFFFFFF, Rgb(kRed));
}
