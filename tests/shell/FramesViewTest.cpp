// The Frames View: the strip of frames, clicks and double clicks, hints, panes and zoom box.
#include "FramesTestSupport.h"
#include "items/PrimitiveGraphics.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/CBannerView.h"
#include "shell/LogoBackgroundWnd.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

namespace {
constexpr COLORREF kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

struct HintSpy : DocumentView {
    ViewKind Kind() const override { return ViewKind::FramesView; }
    void OnUpdate(DocumentView *, long hint, CSprite *) override { hints.push_back(hint); }
    std::vector<long> hints;
};

class FramesViewTest : public FramesFixture {
protected:
    void SetUp() override
    {
        FramesFixture::SetUp();
        MakeFrames({kRed, kGreen, kBlue});
        doc->GetFrame(1)->m_nDelay = 100;
        // The Banner View zooms; the Frames View always shows its cells at 100 %.
        ASSERT_TRUE(Run(ID_VIEW_ZOOMIN));
        ASSERT_NE(frame->ZoomCombo()->currentText(), QStringLiteral("100%"));
        ASSERT_TRUE(Run(ID_VIEW_FRAMES));
        strip = qobject_cast<CBannerView *>(Active()->View());
        ASSERT_TRUE(strip);
        // Room below the strip for clicks beside it.
        Active()->resize(500, 420);
        QCoreApplication::processEvents();
        ASSERT_GT(strip->viewport()->height(), 300);
    }
    QWidget *Port() const { return strip->viewport(); }
    QRgb At(int x, int y) const { return Port()->grab().toImage().pixel(x, y) & 0xFFFFFF; }
    static QRgb Rgb(COLORREF c) { return ColorrefToQRgb(c) & 0xFFFFFF; }
    void Click(int y, int releaseY = -1)
    {
        QTest::mousePress(Port(), Qt::LeftButton, {}, QPoint(100, y));
        QTest::mouseRelease(Port(), Qt::LeftButton, {}, QPoint(100, releaseY < 0 ? y : releaseY));
    }
    void DoubleClick(int y)
    {
        Click(y);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(100, y), Port()->mapToGlobal(QPointF(100, y)),
                        Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(Port(), &dbl);
        QTest::mouseRelease(Port(), Qt::LeftButton, {}, QPoint(100, y));
    }
    // Pixels darker than the grey cell within a caption box: the caption's glyphs.
    int InkIn(int cell) const
    {
        const QImage shot = Port()->grab().toImage();
        int ink = 0;
        for (int y = cell * 90 + 61; y < cell * 90 + 89; ++y)
            for (int x = 1; x < 469; ++x)
                ink += qGray(shot.pixel(x, y)) < 120;
        return ink;
    }

    CBannerView *strip = nullptr;
};
} // namespace

TEST_F(FramesViewTest, StripShowsEachFrameWithItsCaptionAndRingsTheCurrentOne)
{
    EXPECT_EQ(strip->StripSize(), QSize(470, 270));
    EXPECT_EQ(FrameCells::Caption(*doc, 1), QStringLiteral("Frame : 1       Duration : 100ms"));
    EXPECT_EQ(Active()->windowTitle(), QStringLiteral("Banner1 : Frames View"));
    // Thumbnails at 100 % in their cells, the current frame ringed in blue, the others grey.
    EXPECT_EQ(At(1, 1), Rgb(kRed));
    EXPECT_EQ(At(468, 60), Rgb(kRed));
    EXPECT_EQ(At(200, 91), Rgb(kGreen));
    EXPECT_EQ(At(468, 240), Rgb(kBlue));
    EXPECT_EQ(At(0, 0), Rgb(FrameCells::SelectionBlue));
    EXPECT_EQ(At(469, 89), Rgb(FrameCells::SelectionBlue));
    EXPECT_EQ(At(0, 90), Rgb(FrameCells::StripGrey));
    EXPECT_EQ(At(300, 61), Rgb(FrameCells::StripGrey));
    EXPECT_GT(InkIn(1), 40);
    EXPECT_NE(At(100, 300), Rgb(FrameCells::StripGrey)); // below the strip

    // Panes and zoom box while the Frames View is active.
    frame->Router().UpdateAll();
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_FRAME), QStringLiteral("3 frames"));
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_POSITION), QStringLiteral("Frame : 0,  Delay : 1000"));
    EXPECT_EQ(frame->ZoomCombo()->currentText(), QStringLiteral("100%"));

    // An item or delay change of the current frame redraws its cell.
    auto item = std::make_unique<CPrimitiveGraphics>(CRect(10, 10, 30, 30));
    item->m_fill = 1;
    item->SetFillColor(0x000000);
    doc->GetFrame(0)->AddItem(std::move(item));
    doc->UpdateAllViews(nullptr, hintItemsChanged);
    EXPECT_EQ(At(21, 21), 0u);
    const int inkBefore = InkIn(0);
    doc->GetFrame(0)->m_nDelay = 4;
    doc->UpdateAllViews(nullptr, hintFrameDelay);
    EXPECT_LT(InkIn(0), inkBefore); // "1000ms" became "4ms"
}

TEST_F(FramesViewTest, ClickSelectsOnlyWhenPressAndReleaseMeetOnAnotherFrame)
{
    HintSpy spy;
    doc->AddView(&spy);
    Click(200);
    EXPECT_EQ(doc->GetCurrentFrameIndex(), 2);
    EXPECT_EQ(strip->Selected(), 2);
    EXPECT_EQ(banner->ShownFrame(), 2);
    EXPECT_EQ(spy.hints, std::vector<long>{hintCurrentFrame});
    EXPECT_EQ(At(0, 180), Rgb(FrameCells::SelectionBlue));
    EXPECT_EQ(At(0, 0), Rgb(FrameCells::StripGrey));

    Click(210);         // the current frame again
    Click(30, 120);     // pressed on one frame, released on another
    Click(330);         // below the strip
    Click(30, 330);
    QTest::mouseClick(Port(), Qt::RightButton, {}, QPoint(100, 30));
    EXPECT_EQ(doc->GetCurrentFrameIndex(), 2);
    EXPECT_EQ(spy.hints.size(), 1u);
    frame->Router().UpdateAll();
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_POSITION), QStringLiteral("Frame : 2,  Delay : 1000"));

    // The first row past the last cell belongs to no frame either.
    Click(30);
    EXPECT_EQ(doc->GetCurrentFrameIndex(), 0);
    Click(270);
    EXPECT_EQ(doc->GetCurrentFrameIndex(), 0);
    EXPECT_EQ(spy.hints.size(), 2u);
    doc->RemoveView(&spy);
}

TEST_F(FramesViewTest, DoubleClickRaisesOrOpensTheBannerViewAtThatFrame)
{
    DoubleClick(30);
    EXPECT_EQ(ActiveBannerView(), banner);
    EXPECT_EQ(banner->ShownFrame(), 0);

    // Without a Banner View a double click opens one on the clicked frame.
    ASSERT_TRUE(Run(ID_VIEW_BANNER));
    QCoreApplication::processEvents();
    ASSERT_EQ(doc->FindView(ViewKind::BannerView), nullptr);
    frame->MdiClient()->setActiveSubWindow(frame->MdiClient()->subWindowList().front());
    DoubleClick(120);
    CFrameView *opened = ActiveBannerView();
    ASSERT_TRUE(opened);
    EXPECT_EQ(&opened->GetDocument(), doc);
    EXPECT_EQ(opened->ShownFrame(), 1);
    EXPECT_EQ(opened->Control().BitmapHandle().image.pixel(5, 5) & 0xFFFFFF, Rgb(kGreen));
    EXPECT_EQ(strip->Selected(), 1);
}

TEST_F(FramesViewTest, FrameListChangesRelayTheStripAndScrolledClicksHitTheirFrame)
{
    ASSERT_TRUE(Run(ID_FRAME_ADD));
    EXPECT_EQ(strip->StripSize(), QSize(470, 360));
    EXPECT_EQ(strip->Selected(), 1);
    EXPECT_EQ(At(0, 90), Rgb(FrameCells::SelectionBlue));
    ASSERT_TRUE(Run(ID_FRAME_DELETE));
    EXPECT_EQ(strip->StripSize(), QSize(470, 270));
    EXPECT_EQ(strip->Selected(), doc->GetCurrentFrameIndex());

    std::vector<COLORREF> many;
    for (int i = 0; i < 40; ++i)
        many.push_back(RGB(i * 6, 255 - i * 6, 128));
    MakeFrames(many);
    doc->UpdateAllViews(nullptr, hintFrameChanged);
    EXPECT_EQ(strip->StripSize().height(), 3600);
    strip->verticalScrollBar()->setValue(25 * 90);
    QCoreApplication::processEvents();
    EXPECT_EQ(At(5, 5), Rgb(many[25]));
    Click(100);
    EXPECT_EQ(doc->GetCurrentFrameIndex(), 26);
    // Only what was shown has been rendered.
    EXPECT_LT(strip->CachedCells(), 15);
}
