// The application with documents: start-up window, view toggles, zoom, selection and clipboard.
#include "ShellTestSupport.h"
#include "document/BannerDoc.h"
#include "document/BannerFrame.h"
#include "editor/CFrameView.h"
#include "editor/EditorState.h"
#include "items/PrimitiveGraphics.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CBannerView.h"
#include "shell/CChildFrame.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"
#include "shell/LogoBackgroundWnd.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class BannerViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(app.InitInstance({}));
        Prompts::Register(&prompts);
        frame = app.MainFrame();
        EditorState::Instance().ItemClipboard.clear();
    }
    void TearDown() override
    {
        // Nothing asks about unsaved banners while the test ends.
        for (const auto &d : app.Documents()->Documents())
            d->Doc().SetModifiedFlag(false);
    }
    CChildFrame *Active() const { return frame->ActiveChildFrame(); }
    CFrameView *ActiveView() const { return Active() ? qobject_cast<CFrameView *>(Active()->View()) : nullptr; }
    CSprite *AddRect(CFrameView *view, int l, int t, int r, int b)
    {
        auto item = std::make_unique<CPrimitiveGraphics>();
        item->m_position = CRect(l, t, r, b);
        return view->GetDocument().GetCurrentFrame()->AddItem(std::move(item));
    }
    bool Run(unsigned id) { return frame->Router().Execute(id); }
    bool Enabled(unsigned id)
    {
        frame->Router().UpdateAll();
        return frame->Router().FindAction(id)->isEnabled();
    }

    CBannerApp app;
    ScriptedPrompts prompts;
    CMainFrame *frame = nullptr;
};
} // namespace

TEST_F(BannerViewTest, StartWithoutArgumentsShowsOneBannerViewAtFullSize)
{
    const QList<QMdiSubWindow *> windows = frame->MdiClient()->subWindowList();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_EQ(windows[0]->windowTitle(), QStringLiteral("Banner1 : Banner View"));
    CFrameView *view = ActiveView();
    ASSERT_TRUE(view);
    QCoreApplication::processEvents();
    EXPECT_EQ(view->size(), QSize(468, 60));
    EXPECT_EQ(view->Window()->viewport()->size(), QSize(468, 60));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Vellumark - Banner1"));
    EXPECT_EQ(view->GetDocument().FindView(ViewKind::FramesView), nullptr);
    // The frame's white background is on the screen.
    QCoreApplication::processEvents();
    const QImage shot = view->Window()->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixel(467, 59) | 0xff000000, 0xffffffffu);

    // A second New numbers on.
    ASSERT_TRUE(Run(ID_FILE_NEW));
    EXPECT_EQ(Active()->windowTitle(), QStringLiteral("Banner2 : Banner View"));
}

TEST_F(BannerViewTest, ViewTogglesOpenAndCloseTheirWindowsWithCheckMarks)
{
    CBannerDoc &doc = ActiveView()->GetDocument();
    EXPECT_TRUE(Enabled(ID_VIEW_FRAMES));
    EXPECT_FALSE(frame->Router().FindAction(ID_VIEW_FRAMES)->isChecked());
    EXPECT_TRUE(frame->Router().FindAction(ID_VIEW_BANNER)->isChecked());
    ASSERT_TRUE(Run(ID_VIEW_FRAMES));
    ASSERT_TRUE(doc.FindView(ViewKind::FramesView));
    EXPECT_EQ(Active()->windowTitle(), QStringLiteral("Banner1 : Frames View"));
    EXPECT_EQ(Active()->width(), 500);
    EXPECT_TRUE(Enabled(ID_VIEW_FRAMES));
    EXPECT_TRUE(frame->Router().FindAction(ID_VIEW_FRAMES)->isChecked());
    // The Banner View's commands have no handler while the Frames View is active.
    EXPECT_FALSE(Enabled(ID_VIEW_ZOOMIN));
    ASSERT_TRUE(Run(ID_VIEW_FRAMES));
    QCoreApplication::processEvents();
    EXPECT_EQ(doc.FindView(ViewKind::FramesView), nullptr);
    EXPECT_EQ(frame->MdiClient()->subWindowList().size(), 1);

    // Frame > Add with no Frames View opens one.
    ASSERT_TRUE(Run(ID_FRAME_ADD));
    EXPECT_TRUE(doc.FindView(ViewKind::FramesView));
    EXPECT_EQ(doc.GetFrameCount(), 2);

    // Closing the Banner View keeps the document while the Frames View is open.
    CChildFrame *bannerWindow = nullptr;
    for (QMdiSubWindow *w : frame->MdiClient()->subWindowList())
        if (w->windowTitle().endsWith(QStringLiteral("Banner View")))
            bannerWindow = qobject_cast<CChildFrame *>(w);
    ASSERT_TRUE(bannerWindow);
    doc.SetModifiedFlag(true);
    EXPECT_TRUE(bannerWindow->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(app.Documents()->Documents().size(), 1u);
    // The last window asks about saving; Cancel keeps it.
    prompts.answers = {Prompts::Answer::Cancel};
    CChildFrame *last = qobject_cast<CChildFrame *>(frame->MdiClient()->subWindowList().front());
    EXPECT_FALSE(last->close());
    EXPECT_EQ(prompts.messages.size(), 1u);
    prompts.answers = {Prompts::Answer::No};
    EXPECT_TRUE(last->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    EXPECT_TRUE(app.Documents()->Documents().empty());
    EXPECT_EQ(frame->CurrentMenuId(), unsigned(IDR_MAINFRAME));
}

TEST_F(BannerViewTest, ClosingEveryWindowOfAModifiedBannerAsksOnceAndCancelKeepsThemAll)
{
    // File > Close with both windows open: one question, before any window goes.
    CBannerDoc &first = ActiveView()->GetDocument();
    ASSERT_TRUE(Run(ID_VIEW_FRAMES));
    first.SetModifiedFlag(true);
    prompts.answers = {Prompts::Answer::Cancel};
    EXPECT_TRUE(Run(ID_FILE_CLOSE));
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(app.Documents()->WindowsOf(first).size(), 2u);
    prompts.answers = {Prompts::Answer::No};
    EXPECT_TRUE(Run(ID_FILE_CLOSE));
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, QStringLiteral("Save changes to Banner1?"));
    EXPECT_TRUE(frame->MdiClient()->subWindowList().isEmpty());

    // Closing the main window: the same for each modified banner with two windows.
    ASSERT_TRUE(Run(ID_FILE_NEW));
    CBannerDoc &second = ActiveView()->GetDocument();
    ASSERT_TRUE(Run(ID_VIEW_FRAMES));
    second.SetModifiedFlag(true);
    prompts.answers = {Prompts::Answer::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(app.Documents()->WindowsOf(second).size(), 2u);
    prompts.answers = {Prompts::Answer::No};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(prompts.messages.size(), 4u);

    // One window closed by hand, then the other: the second asks though the first one's
    // deletion has not happened yet.
    frame->show();
    ASSERT_TRUE(Run(ID_FILE_NEW));
    CBannerDoc &third = ActiveView()->GetDocument();
    ASSERT_TRUE(Run(ID_VIEW_FRAMES));
    third.SetModifiedFlag(true);
    std::vector<CChildFrame *> windows = app.Documents()->WindowsOf(third);
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_TRUE(windows[0]->close());
    EXPECT_EQ(prompts.messages.size(), 4u);
    prompts.answers = {Prompts::Answer::Cancel};
    EXPECT_FALSE(windows[1]->close());
    EXPECT_EQ(prompts.messages.size(), 5u);
}

TEST_F(BannerViewTest, ZoomBoxDrivesTheViewsControl)
{
    CFrameView *view = ActiveView();
    QLineEdit *edit = frame->ZoomCombo()->lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("150"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(frame->ZoomCombo()->currentText(), QStringLiteral("150%"));
    EXPECT_FLOAT_EQ(view->Control().ZoomPercent(), 150);
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FLOAT_EQ(view->Control().ZoomPercent(), 150);
    EXPECT_EQ(frame->ZoomCombo()->currentText(), QStringLiteral("150%"));
    for (int i = 0; i < 12; ++i)
        Run(ID_VIEW_ZOOMIN);
    EXPECT_FLOAT_EQ(view->Control().ZoomPercent(), 800);
    for (int i = 0; i < 14; ++i)
        Run(ID_VIEW_ZOOMOUT);
    EXPECT_FLOAT_EQ(view->Control().ZoomPercent(), 25);
    Run(ID_VIEW_NORMAL);
    EXPECT_FLOAT_EQ(view->Control().ZoomPercent(), 100);
}

TEST_F(BannerViewTest, ClipboardAcrossDocumentsAndArrangeNeedsExactlyOneItem)
{
    CFrameView *first = ActiveView();
    CSprite *a = AddRect(first, 10, 10, 40, 30);
    CSprite *b = AddRect(first, 50, 5, 90, 25);
    EXPECT_FALSE(Enabled(ID_EDIT_COPY));
    EXPECT_FALSE(Enabled(ID_EDIT_PASTE));
    EXPECT_FALSE(Enabled(ID_ARRANGE_MOVETOBACK));
    first->Select(a, false);
    EXPECT_TRUE(Enabled(ID_ARRANGE_MOVETOBACK));
    first->Select(b, true);
    EXPECT_FALSE(Enabled(ID_ARRANGE_MOVEFORWARD));
    EXPECT_TRUE(Enabled(ID_EDIT_COPY));
    ASSERT_TRUE(Run(ID_EDIT_COPY));
    EXPECT_EQ(EditorState::Instance().ItemClipboard.size(), 2u);

    ASSERT_TRUE(Run(ID_FILE_NEW));
    CFrameView *second = ActiveView();
    ASSERT_NE(second, first);
    EXPECT_TRUE(Enabled(ID_EDIT_PASTE));
    ASSERT_TRUE(Run(ID_EDIT_PASTE));
    ASSERT_TRUE(Run(ID_EDIT_PASTE));
    const auto &items = second->GetDocument().GetCurrentFrame()->Items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(second->Selection().size(), 2u);
    EXPECT_EQ(second->Selection()[0], std::next(items.begin(), 2)->get());
    EXPECT_EQ((*items.begin())->m_position, CRect(10, 10, 40, 30));
    EXPECT_TRUE(second->GetDocument().IsModified());

    // Delete removes every selected item and empties the selection.
    ASSERT_TRUE(Run(ID_EDIT_DELETE));
    EXPECT_EQ(items.size(), 2u);
    EXPECT_TRUE(second->Selection().empty());
    EXPECT_FALSE(Enabled(ID_EDIT_DELETE));

    // Cut in the first banner and paste back: same place, in front, selected.
    frame->MdiClient()->setActiveSubWindow(frame->MdiClient()->subWindowList().front());
    ASSERT_EQ(ActiveView(), first);
    first->Select(a, false);
    ASSERT_TRUE(Run(ID_EDIT_CUT));
    const auto &firstItems = first->GetDocument().GetCurrentFrame()->Items();
    ASSERT_EQ(firstItems.size(), 1u);
    ASSERT_TRUE(Run(ID_EDIT_PASTE));
    ASSERT_EQ(firstItems.size(), 2u);
    EXPECT_EQ(firstItems.back()->m_position, CRect(10, 10, 40, 30));
    EXPECT_EQ(first->Selection(), std::vector<CSprite *>{firstItems.back().get()});
    // Move to back puts it behind the other.
    ASSERT_TRUE(Run(ID_ARRANGE_MOVETOBACK));
    EXPECT_EQ(firstItems.front()->m_position, CRect(10, 10, 40, 30));
}

TEST_F(BannerViewTest, PanesShowControlPixelsAndTheShownFrame)
{
    CFrameView *view = ActiveView();
    view->Control().SetZoomPercent(200);
    QCoreApplication::processEvents();
    QTest::mouseMove(view->Window()->viewport(), QPoint(300, 50));
    QTest::mousePress(view->Window()->viewport(), Qt::LeftButton, {}, QPoint(300, 50));
    QTest::mouseRelease(view->Window()->viewport(), Qt::LeftButton, {}, QPoint(300, 50));
    frame->Router().UpdateAll();
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_POSITION), QStringLiteral("X : 300, Y: 50"));
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_FRAME), QStringLiteral("Frame : 0, Delay: 1000"));

    // Changing the current frame empties the selection.
    CSprite *a = AddRect(view, 1, 1, 20, 20);
    view->Select(a, false);
    ASSERT_TRUE(Run(ID_FRAME_ADD));
    EXPECT_TRUE(view->Selection().empty());
}
