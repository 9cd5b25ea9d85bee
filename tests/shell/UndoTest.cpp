// Undo and redo on the real editor: every kind of change undone to the saved bytes and redone,
// the step names, the modified flag, and the history's memory bound.
#include "FramesTestSupport.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "editor/CItemTool.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/FrameDelayDialog.h"
#include "shell/LogoBackgroundWnd.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

namespace {
class UndoTest : public FramesFixture {
protected:
    void SetUp() override
    {
        FramesFixture::SetUp();
        ItemTools::Instance().Choose(CItemTool::kSelect, nullptr);
        dir = TestSupport::NewTempDir();
    }
    QPoint At(int x, int y) const { return banner->Control().BitmapToClient(QPoint(x, y)); }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers release = {})
    {
        QWidget *viewport = banner->Window()->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, from);
        QTest::mouseMove(viewport, (from + to) / 2);
        QTest::mouseMove(viewport, to);
        QTest::mouseRelease(viewport, Qt::LeftButton, release, to);
    }
    QByteArray SaveAs(const QString &name)
    {
        prompts.fileChoices = {Prompts::FileChoice{dir + "/" + name, 1}};
        EXPECT_TRUE(Run(ID_FILE_SAVE_AS));
        return TestSupport::ReadFile(dir + "/" + name);
    }
    QString Text(unsigned id)
    {
        frame->Router().UpdateAll();
        return frame->Router().FindAction(id)->text();
    }
    QString UndoName() { return Text(ID_EDIT_UNDO).section(QLatin1Char('\t'), 0, 0).mid(6); } // after "&Undo "
    QString dir;
};
} // namespace

TEST_F(UndoTest, EveryKindOfChangeUndoesToTheSavedFileAndRedoesToTheEditedOne)
{
    MakeFrames({0x0000FF, 0x00FF00});
    const QByteArray opened = SaveAs("opened.bnr");
    ASSERT_FALSE(Enabled(ID_EDIT_UNDO));

    Run(ID_TOOLS_RECTANGLE);
    Drag(At(10, 10), At(60, 40));
    EXPECT_EQ(UndoName(), QStringLiteral("Create item"));
    Drag(At(60, 40), At(65, 45)); // by its corner handle
    EXPECT_EQ(UndoName(), QStringLiteral("Resize item"));
    // No undo while a drag is under way: it would keep copies of items that are gone.
    QWidget *viewport = banner->Window()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(30, 20));
    QTest::mouseMove(viewport, At(35, 25));
    EXPECT_FALSE(Enabled(ID_EDIT_UNDO));
    Run(ID_EDIT_UNDO);
    QTest::mouseMove(viewport, At(40, 30));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(40, 30));
    EXPECT_EQ(UndoName(), QStringLiteral("Move item"));
    EXPECT_EQ(doc->GetCurrentFrame()->Items().size(), 1u);
    Drag(At(45, 35), At(100, 35), Qt::ControlModifier); // a copy beside it
    EXPECT_EQ(UndoName(), QStringLiteral("Copy item"));
    Run(ID_TOOLS_FREEHAND);
    Drag(At(300, 10), At(350, 40));
    for (unsigned id : {ID_ARRANGE_MOVETOBACK, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_CUT, ID_TOOLS_SELECT})
        Run(id);
    QTest::mouseClick(banner->Window()->viewport(), Qt::LeftButton, {}, At(30, 30));
    Run(ID_EDIT_DELETE);
    ASSERT_TRUE(Run(ID_FRAME_ADD));
    for (QMdiSubWindow *w : frame->MdiClient()->subWindowList())
        if (qobject_cast<CChildFrame *>(w)->View() == banner)
            frame->MdiClient()->setActiveSubWindow(w);
    auto seen = ShellTest::OnNextModal<FrameDelayDialog>([](FrameDelayDialog *dialog) {
        dialog->DelayEdit()->setText(QStringLiteral("250"));
        dialog->accept();
    });
    ASSERT_TRUE(Run(ID_FRAME_DELAY));
    EXPECT_TRUE(*seen);
    for (unsigned id : {ID_ANIMATION_LOOP, ID_ANIMATION_LOOP, ID_FRAME_COPY}) // the first turns on the repeat the banner already has
        Run(id);
    doc->SetCurrentFrame(0);
    Run(ID_FRAME_PASTE);
    doc->SetCurrentFrame(2);
    Run(ID_FRAME_CUT);
    const int steps = doc->History().Stack().count();
    EXPECT_EQ(steps, 14);

    const QByteArray edited = SaveAs("edited.bnr");
    ASSERT_NE(edited, opened);
    EXPECT_EQ(Text(ID_EDIT_UNDO), QStringLiteral("&Undo Cut Frame\tCtrl+Z"));
    ASSERT_TRUE(Run(ID_EDIT_UNDO));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Text(ID_EDIT_REDO), QStringLiteral("&Redo Cut Frame\tCtrl+Shift+Z"));
    ASSERT_TRUE(Run(ID_EDIT_REDO));
    EXPECT_FALSE(doc->IsModified()) << "back at the saved state";

    const auto runAll = [&](unsigned id) {
        int runs = 0;
        for (; Enabled(id) && runs <= steps; ++runs)
            Run(id);
        return runs;
    };
    EXPECT_EQ(runAll(ID_EDIT_UNDO), steps);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(Checked(ID_ANIMATION_LOOP)) << "Loop's check mark as it was before the step";
    EXPECT_EQ(banner->ShownFrame(), doc->GetCurrentFrameIndex());
    EXPECT_TRUE(banner->Selection().empty());
    EXPECT_EQ(SaveAs("undone.bnr"), opened);

    EXPECT_EQ(runAll(ID_EDIT_REDO), steps);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(Checked(ID_ANIMATION_LOOP));
    EXPECT_EQ(SaveAs("redone.bnr"), edited);
}

TEST_F(UndoTest, TenThousandEditsStayWithinTheHistorysMemoryBound)
{
    EditHistory &history = doc->History();
    history.SetBudget(256 * 1024);
    qint64 most = 0;
    for (int i = 0; i < 10000; ++i) {
        Run(ID_ANIMATION_LOOP);
        most = std::max(most, history.Bytes());
    }
    EXPECT_LE(most, history.Budget());
    const int kept = history.Stack().count();
    EXPECT_GT(kept, 100);
    EXPECT_LT(kept, 10000);
    // The newest steps are kept, and the saved state went with the oldest.
    while (history.Stack().canUndo())
        history.Undo();
    EXPECT_EQ(doc->m_bLoop, (10000 - kept) % 2 ? -1 : 0);
    EXPECT_TRUE(doc->IsModified());
}
