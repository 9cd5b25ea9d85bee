// The main frame: zoom box, status panes, toolbars, menus, keys, placement.
#include "CommandTable.h"
#include "platform/ScriptedPrompts.h"
#include "platform/settings/Settings.h"
#include "resource.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/LogoBackgroundWnd.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>
#include <set>

namespace {
// Stands in for the Banner View's zoom handling, which drives the main frame's zoom services.
struct ZoomView : CommandTarget {
    CMainFrame *frame = nullptr;
    float zoom = 100;
    std::vector<unsigned> commands;
    bool OnCommand(unsigned id) override
    {
        commands.push_back(id);
        switch (id) {
        case IDOK: zoom = frame->NormalizeZoom(); return true;
        case ID_ZOOMCOMBO: zoom = frame->GetZoomValue(); return true;
        case ID_VIEW_ZOOMIN: frame->ZoomStepIn(); zoom = frame->NormalizeZoom(); return true;
        case ID_VIEW_ZOOMOUT: frame->ZoomStepOut(); zoom = frame->NormalizeZoom(); return true;
        case ID_VIEW_NORMAL: frame->SetZoomText(100); zoom = frame->NormalizeZoom(); return true;
        default: return false;
        }
    }
    bool OnUpdateCommand(unsigned id, CommandState &) override
    {
        return id == IDOK || id == ID_ZOOMCOMBO || id == ID_VIEW_ZOOMIN || id == ID_VIEW_ZOOMOUT ||
               id == ID_VIEW_NORMAL || id == ID_FILE_NEW;
    }
};

class MainFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Profile::SetApplicationKey(QStringLiteral("Software\\Corvanta\\Vellumark"));
        DeleteSettingValue(SettingsHive::User, QStringLiteral("Software\\Corvanta\\Vellumark\\Settings"),
                           QStringLiteral("WindowPos"));
        Prompts::Register(&prompts);
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->Create());
        view.frame = frame.get();
        frame->SetApplicationTarget(&view);
        frame->Router().UpdateAll();
    }
    void TypeZoom(const QString &text)
    {
        QLineEdit *edit = frame->ZoomCombo()->lineEdit();
        edit->selectAll();
        edit->setFocus();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    QString ZoomText() const { return frame->ZoomCombo()->currentText(); }

    ScriptedPrompts prompts;
    std::unique_ptr<CMainFrame> frame;
    ZoomView view;
};

std::set<unsigned> MenuIds(const QMenu *menu)
{
    std::set<unsigned> ids;
    for (QAction *action : menu->actions()) {
        if (action->menu())
            ids.merge(MenuIds(action->menu()));
        else if (action->data().typeId() == QMetaType::UInt)
            ids.insert(action->data().toUInt());
    }
    return ids;
}
} // namespace

TEST_F(MainFrameTest, ZoomBoxListAndTypedValues)
{
    QComboBox *box = frame->ZoomCombo();
    ASSERT_EQ(box->count(), 12);
    const QStringList expected = {"800%", "700%", "600%", "500%", "400%", "300%",
                                  "200%", "100%", "75%",  "50%",  "33%",  "25%"};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(box->itemText(i), expected[i]);
    EXPECT_EQ(box->currentIndex(), 7);
    EXPECT_TRUE(box->isEditable());

    TypeZoom(QStringLiteral("150"));
    EXPECT_EQ(ZoomText(), QStringLiteral("150%"));
    EXPECT_FLOAT_EQ(view.zoom, 150);
    EXPECT_EQ(view.commands.back(), unsigned(IDOK));

    // Not a positive number: the zoom in effect stays and the box shows it again.
    for (const char *bad : {"abc", "", "0", "-40", "%"}) {
        TypeZoom(QString::fromLatin1(bad));
        EXPECT_EQ(ZoomText(), QStringLiteral("150%")) << bad;
        EXPECT_FLOAT_EQ(view.zoom, 150) << bad;
    }
    TypeZoom(QStringLiteral("150.4 percent"));
    EXPECT_EQ(ZoomText(), QStringLiteral("150%"));
    EXPECT_NEAR(view.zoom, 150.4, 1e-4);

    // A choice from the list is read as it stands.
    box->setCurrentIndex(10);
    emit box->activated(10);
    EXPECT_EQ(view.commands.back(), unsigned(ID_ZOOMCOMBO));
    EXPECT_FLOAT_EQ(view.zoom, 33);
}

TEST_F(MainFrameTest, ZoomStepsStopAtTheEndsOfTheList)
{
    CommandRouter &r = frame->Router();
    r.Execute(ID_VIEW_ZOOMIN);
    EXPECT_EQ(ZoomText(), QStringLiteral("200%"));
    for (int i = 0; i < 10; ++i)
        r.Execute(ID_VIEW_ZOOMIN);
    EXPECT_EQ(ZoomText(), QStringLiteral("800%"));
    r.Execute(ID_VIEW_ZOOMIN);
    EXPECT_EQ(ZoomText(), QStringLiteral("800%"));
    EXPECT_FLOAT_EQ(view.zoom, 800);
    for (int i = 0; i < 15; ++i)
        r.Execute(ID_VIEW_ZOOMOUT);
    EXPECT_EQ(ZoomText(), QStringLiteral("25%"));
    EXPECT_FLOAT_EQ(view.zoom, 25);
    r.Execute(ID_VIEW_NORMAL);
    EXPECT_EQ(ZoomText(), QStringLiteral("100%"));

    // From a typed value between entries the step goes to the next entry in its direction.
    TypeZoom(QStringLiteral("150"));
    r.Execute(ID_VIEW_ZOOMIN);
    EXPECT_EQ(ZoomText(), QStringLiteral("200%"));
    TypeZoom(QStringLiteral("150"));
    r.Execute(ID_VIEW_ZOOMOUT);
    EXPECT_EQ(ZoomText(), QStringLiteral("100%"));
    TypeZoom(QStringLiteral("5000"));
    r.Execute(ID_VIEW_ZOOMIN);
    EXPECT_EQ(ZoomText(), QStringLiteral("800%"));
    TypeZoom(QStringLiteral("10"));
    r.Execute(ID_VIEW_ZOOMOUT);
    EXPECT_EQ(ZoomText(), QStringLiteral("25%"));
}

TEST_F(MainFrameTest, SetZoomTextRoundsToWholePercent)
{
    frame->SetZoomText(33.3f);
    EXPECT_EQ(ZoomText(), QStringLiteral("33%"));
    frame->SetZoomText(100);
    EXPECT_EQ(ZoomText(), QStringLiteral("100%"));
    frame->ZoomCombo()->setEditText(QStringLiteral("  75.6%"));
    EXPECT_NEAR(frame->GetZoomValue(), 75.6, 1e-4);
    EXPECT_NEAR(frame->NormalizeZoom(), 75.6, 1e-4);
    EXPECT_EQ(ZoomText(), QStringLiteral("76%"));
}

TEST_F(MainFrameTest, StatusPanesStartWithTheirTextsAndFitWhatIsWritten)
{
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_POSITION), QStringLiteral("X : 0,  Y : 0"));
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_FRAME), QStringLiteral("Frame : 0,  Total : 0"));
    QLabel *pane = frame->StatusPane(ID_INDICATOR_FRAME);
    const int before = pane->width();
    const QString wide = QStringLiteral("Frame : 12345, Delay : 1234567890 and then some more");
    frame->SetStatusPane(ID_INDICATOR_FRAME, wide);
    EXPECT_EQ(frame->StatusPaneText(ID_INDICATOR_FRAME), wide);
    EXPECT_GT(pane->width(), before);
    EXPECT_GE(pane->width(), pane->fontMetrics().horizontalAdvance(wide));
    frame->SetStatusPane(ID_INDICATOR_FRAME, QString());
    EXPECT_EQ(pane->width(), 10);
    // The idle text of the message pane.
    EXPECT_TRUE(frame->statusBar()->findChildren<QLabel *>().size() >= 3);
    bool idle = false;
    for (QLabel *label : frame->statusBar()->findChildren<QLabel *>())
        idle |= label->text() == QStringLiteral("For Help, press F1");
    EXPECT_TRUE(idle);
}

TEST_F(MainFrameTest, ToolbarsHoldTheirButtonsSeparatorsTooltipsAndIcons)
{
    struct Button {
        unsigned toolbar;
        int position;
        unsigned id;
        const char *prompt;
        const char *tip;
    };
    const Button buttons[] = {
        {IDR_MAINFRAME, 0, ID_FILE_NEW, "Create a new banner", "New"},
        {IDR_MAINFRAME, 1, ID_FILE_OPEN, "Open an existing banner", "Open"},
        {IDR_MAINFRAME, 2, ID_FILE_SAVE, "Save the selected banner", "Save"},
        {IDR_MAINFRAME, 4, ID_EDIT_CUT, "Cut the selected item and place it on the clipboard", "Cut"},
        {IDR_MAINFRAME, 5, ID_EDIT_COPY, "Copy the selected item and place it on the clipboard", "Copy"},
        {IDR_MAINFRAME, 6, ID_EDIT_PASTE, "Paste item from clipboard", "Paste"},
        {IDR_MAINFRAME, 8, ID_HELP_HELP, "Display Vellumark Help", "Help"},
        {IDR_MAINFRAME, 9, ID_HELP_HOMEPAGE, "Go to Corvantaplex", nullptr},
        {IDR_MAINFRAME, 11, ID_VIEW_NORMAL, "Normal Banner View with no zoom factor", "Normal Banner View"},
        {IDR_TOOLPALETTE, 0, ID_TOOLS_SELECT, "Selection tool", "Select"},
        {IDR_TOOLPALETTE, 1, ID_TOOLS_RECTANGLE, "Draw a rectangle", "Rectangle"},
        {IDR_TOOLPALETTE, 2, ID_TOOLS_LINE, "Draw a line", "Line"},
        {IDR_TOOLPALETTE, 3, ID_TOOLS_ELLIPSE, "Draw an ellipse", "Ellipse"},
        {IDR_TOOLPALETTE, 4, ID_TOOLS_TEXT, "Create text", "Text"},
        {IDR_TOOLPALETTE, 5, ID_TOOLS_IMAGE, "Import an image", "Image"},
        {IDR_TOOLPALETTE, 6, ID_TOOLS_FREEHAND, "Draw using freehand", "Freehand"},
        {IDR_ANIMATION, 0, ID_ANIMATION_PLAY, "Play the current animated banner", "Play"},
        {IDR_ANIMATION, 1, ID_ANIMATION_STOP, "Stop playing the banner", "Stop"},
        {IDR_ANIMATION, 3, ID_ANIMATION_FIRSTFRAME, "Move to the first frame", "First "},
        {IDR_ANIMATION, 4, ID_ANIMATION_PREVIOUSFRAME, "Move to the previous frame", "Previous"},
        {IDR_ANIMATION, 5, ID_ANIMATION_NEXTFRAME, "Move to the next frame", "Next"},
        {IDR_ANIMATION, 6, ID_ANIMATION_LASTFRAME, "Move to the last frame", "End"},
        {IDR_ANIMATION, 8, ID_ANIMATION_LOOP, "Loop", "Loop"},
        {IDR_SERVER, 0, ID_SERVER_LOGINBUTTON, "Login to the Vellumark Server", "Login"},
        {IDR_SERVER, 1, ID_SERVER_LOGOUTBUTTON, "Logout from the Vellumark Server", "Logout"},
    };
    for (const Button &b : buttons) {
        QToolBar *bar = frame->Toolbar(b.toolbar);
        ASSERT_TRUE(bar);
        ASSERT_LT(b.position, bar->actions().size()) << b.id;
        QAction *action = bar->actions().at(b.position);
        EXPECT_EQ(action->data().toUInt(), b.id);
        EXPECT_EQ(action->statusTip(), QString::fromUtf8(b.prompt)) << b.id;
        if (b.tip) {
            EXPECT_EQ(action->toolTip(), QString::fromUtf8(b.tip)) << b.id;
        } else {
            EXPECT_TRUE(action->toolTip().contains(QStringLiteral("corvantaplex"))) << action->toolTip().toStdString();
        }
        // No blank buttons: every one has a 16-pixel image with visible pixels.
        const QImage image = action->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull()) << b.id;
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) > 0;
        EXPECT_GT(opaque, 10) << b.id;
    }
    auto separatorsOf = [](QToolBar *bar) {
        std::vector<int> at;
        for (int i = 0; i < bar->actions().size(); ++i)
            if (bar->actions().at(i)->isSeparator())
                at.push_back(i);
        return at;
    };
    EXPECT_EQ(separatorsOf(frame->Toolbar(IDR_MAINFRAME)), (std::vector<int>{3, 7, 10, 12}));
    EXPECT_EQ(separatorsOf(frame->Toolbar(IDR_ANIMATION)), (std::vector<int>{2, 7}));
    QToolBar *main = frame->Toolbar(IDR_MAINFRAME);
    ASSERT_EQ(main->actions().size(), 14);
    EXPECT_EQ(main->widgetForAction(main->actions().at(13)), frame->ZoomCombo());
    EXPECT_EQ(frame->ZoomCombo()->statusTip(), QStringLiteral("Change zoom factor of this view"));
    EXPECT_EQ(frame->ZoomCombo()->toolTip(), QStringLiteral("Change Zoom Factor"));
    EXPECT_EQ(frame->ZoomCombo()->width(), 70);
    EXPECT_EQ(frame->toolBarArea(main), Qt::TopToolBarArea);
    EXPECT_EQ(frame->toolBarArea(frame->Toolbar(IDR_SERVER)), Qt::TopToolBarArea);
    EXPECT_EQ(frame->toolBarArea(frame->Toolbar(IDR_TOOLPALETTE)), Qt::LeftToolBarArea);
    EXPECT_EQ(frame->toolBarArea(frame->Toolbar(IDR_ANIMATION)), Qt::LeftToolBarArea);
}

TEST_F(MainFrameTest, EveryCommandOfTheWindowsIsReachableWithItsPrompt)
{
    const std::set<unsigned> noDocument = MenuIds(frame->MenuOf(IDR_MAINFRAME));
    const std::set<unsigned> document = MenuIds(frame->MenuOf(IDR_BANNERVIEW));
    EXPECT_EQ(document, MenuIds(frame->MenuOf(IDR_FRAMESVIEW)));
    for (unsigned id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_MRU_FILE1, ID_APP_EXIT, ID_VIEW_TOOLBAR,
                        ID_VIEW_STATUS_BAR, ID_SERVER_LOGIN, ID_SERVER_UPLOADGIF, ID_HELP_HELP, ID_HELP_HOMEPAGE,
                        ID_APP_ABOUT})
        EXPECT_TRUE(noDocument.count(id)) << id;

    std::set<unsigned> onBars;
    for (unsigned bar : {IDR_MAINFRAME, IDR_TOOLPALETTE, IDR_ANIMATION, IDR_SERVER})
        for (QAction *action : frame->Toolbar(bar)->actions())
            if (!action->isSeparator())
                onBars.insert(action->data().toUInt());
    const unsigned all[] = {
        ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_PRINT, ID_FILE_MRU_FILE1,
        ID_APP_EXIT, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_DELETE, ID_EDIT_UNDO, ID_VIEW_ZOOMIN,
        ID_VIEW_ZOOMOUT, ID_VIEW_NORMAL, ID_VIEW_FRAMES, ID_VIEW_BANNER, ID_VIEW_TOOLBAR, ID_VIEW_TOOLPALETTE,
        ID_VIEW_ANIMATION, ID_VIEW_SERVER, ID_VIEW_STATUS_BAR, ID_TOOLS_SELECT, ID_TOOLS_RECTANGLE, ID_TOOLS_LINE,
        ID_TOOLS_ELLIPSE, ID_TOOLS_TEXT, ID_TOOLS_IMAGE, ID_TOOLS_FREEHAND, ID_ARRANGE_MOVETOBACK,
        ID_ARRANGE_MOVETOFRONT, ID_ARRANGE_MOVEBACKWARD, ID_ARRANGE_MOVEFORWARD, ID_FRAME_ADD, ID_FRAME_DELETE,
        ID_FRAME_CUT, ID_FRAME_COPY, ID_FRAME_PASTE, ID_FRAME_COPYBACKGROUND, ID_FRAME_PASTEBACKGROUND,
        ID_FRAME_DELETEBACKGROUND, ID_FRAME_LOADBACKGROUND, ID_FRAME_DELAY, ID_ANIMATION_PLAY, ID_ANIMATION_STOP,
        ID_ANIMATION_FIRSTFRAME, ID_ANIMATION_LASTFRAME, ID_ANIMATION_NEXTFRAME, ID_ANIMATION_PREVIOUSFRAME,
        ID_ANIMATION_LOOP, ID_SERVER_LOGIN, ID_SERVER_UPLOADGIF, ID_SERVER_LOGINBUTTON, ID_SERVER_LOGOUTBUTTON,
        ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE, ID_HELP_HELP, ID_HELP_HOMEPAGE, ID_APP_ABOUT,
        ID_NEXT_PANE, ID_PREV_PANE};
    const QList<QAction *> windowActions = frame->actions();
    for (unsigned id : all) {
        QAction *action = frame->Router().FindAction(id);
        ASSERT_TRUE(action) << id;
        const bool reachable = document.count(id) || noDocument.count(id) || onBars.count(id) ||
                               (!action->shortcuts().isEmpty() && windowActions.contains(action));
        EXPECT_TRUE(reachable) << id;
        const CommandInfo *info = FindCommand(id);
        ASSERT_TRUE(info) << id;
        if (id != ID_SERVER_LOGIN) {
            EXPECT_EQ(action->statusTip(), info->prompt) << id;
        }
        if (document.count(id) || noDocument.count(id)) {
            EXPECT_FALSE(info->prompt.isEmpty()) << id;
        }
    }
    // Keys of the accelerator table.
    auto keysOf = [&](unsigned id) { return frame->Router().FindAction(id)->shortcuts(); };
    EXPECT_TRUE(keysOf(ID_EDIT_CUT).contains(QKeySequence(Qt::SHIFT | Qt::Key_Delete)));
    EXPECT_TRUE(keysOf(ID_EDIT_PASTE).contains(QKeySequence(Qt::SHIFT | Qt::Key_Insert)));
    EXPECT_TRUE(keysOf(ID_EDIT_DELETE).contains(QKeySequence(Qt::Key_Delete)));
    EXPECT_TRUE(keysOf(ID_ANIMATION_STOP).contains(QKeySequence(Qt::Key_Escape)));
    EXPECT_TRUE(keysOf(ID_HELP_HELP).contains(QKeySequence(Qt::Key_F1)));
    EXPECT_TRUE(keysOf(ID_FRAME_DELAY).contains(QKeySequence(Qt::CTRL | Qt::Key_D)));
}

TEST_F(MainFrameTest, AcceleratorReachesTheChainAndAnUnhandledKeyDoesNothing)
{
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    frame->Router().UpdateAll();
    QTest::keyClick(frame.get(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_FALSE(view.commands.empty());
    EXPECT_EQ(view.commands.back(), unsigned(ID_FILE_NEW));
    const size_t before = view.commands.size();
    QTest::keyClick(frame.get(), Qt::Key_Z, Qt::ControlModifier); // undo: nothing handles it
    EXPECT_EQ(view.commands.size(), before);
    EXPECT_FALSE(frame->Router().FindAction(ID_EDIT_UNDO)->isEnabled());
}

TEST_F(MainFrameTest, MenuBarFollowsTheActiveDocumentWindowAndTitleCarriesItsDocument)
{
    auto titles = [&] {
        QStringList t;
        for (QAction *a : frame->menuBar()->actions())
            t << a->text();
        return t;
    };
    EXPECT_EQ(titles(), (QStringList{"&File", "&View", "&Server", "&Help"}));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Vellumark"));
    frame->show();
    auto *child = new CChildFrame(IDR_BANNERVIEW);
    child->SetView(new QWidget);
    child->SetDocumentTitle(QStringLiteral("Banner1"));
    frame->AddChildFrame(child);
    child->show();
    frame->MdiClient()->setActiveSubWindow(child);
    EXPECT_EQ(titles(), (QStringList{"&File", "&Edit", "&View", "&Tools", "&Arrange", "F&rame", "A&nimation",
                                     "&Server", "&Window", "&Help"}));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Vellumark - Banner1"));
    frame->Router().UpdateAll();
    EXPECT_TRUE(frame->Router().FindAction(ID_WINDOW_CASCADE)->isEnabled());
    child->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(titles(), (QStringList{"&File", "&View", "&Server", "&Help"}));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Vellumark"));
}

TEST_F(MainFrameTest, ToolbarAndStatusBarTogglesCarryCheckMarks)
{
    frame->show();
    CommandRouter &r = frame->Router();
    r.UpdateAll();
    for (unsigned id : {ID_VIEW_TOOLBAR, ID_VIEW_TOOLPALETTE, ID_VIEW_ANIMATION, ID_VIEW_SERVER, ID_VIEW_STATUS_BAR})
        EXPECT_TRUE(r.FindAction(id)->isChecked()) << id;
    EXPECT_TRUE(r.Execute(ID_VIEW_TOOLPALETTE));
    EXPECT_FALSE(frame->Toolbar(IDR_TOOLPALETTE)->isVisible());
    EXPECT_FALSE(r.FindAction(ID_VIEW_TOOLPALETTE)->isChecked());
    EXPECT_TRUE(r.Execute(ID_VIEW_STATUS_BAR));
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(r.FindAction(ID_VIEW_STATUS_BAR)->isChecked());
    r.Execute(ID_VIEW_TOOLPALETTE);
    EXPECT_TRUE(frame->Toolbar(IDR_TOOLPALETTE)->isVisible());
    EXPECT_TRUE(r.FindAction(ID_VIEW_TOOLPALETTE)->isChecked());
}

TEST_F(MainFrameTest, LoginItemPromptFollowsTheLoginStateAndPromptsReachPaneZero)
{
    bool loggedIn = false;
    frame->SetLoggedInTest([&] { return loggedIn; });
    frame->show();
    frame->Router().UpdateAll();
    QAction *login = frame->Router().FindAction(ID_SERVER_LOGIN);
    EXPECT_EQ(login->statusTip(), QStringLiteral("Login to the Vellumark Server"));
    loggedIn = true;
    frame->Router().UpdateAll();
    EXPECT_EQ(login->statusTip(), QStringLiteral("Logout from the Vellumark Server"));
    login->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Logout from the Vellumark Server"));
    frame->Router().FindAction(ID_FILE_NEW)->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Create a new banner"));
}

TEST_F(MainFrameTest, WindowPosIsWrittenAtCloseAndRestoredByTheNextFrame)
{
    frame->setGeometry(120, 90, 640, 430);
    frame->show();
    frame->Toolbar(IDR_ANIMATION)->hide();
    EXPECT_TRUE(frame->close());
    const QString stored = Profile::GetString(QStringLiteral("Settings"), QStringLiteral("WindowPos"));
    const QStringList numbers = stored.split(QLatin1Char(','));
    ASSERT_EQ(numbers.size(), 10) << stored.toStdString();
    EXPECT_EQ(numbers[1], QStringLiteral("1"));
    EXPECT_EQ(numbers.mid(6), (QStringList{"120", "90", "760", "520"}));

    CMainFrame next;
    ASSERT_TRUE(next.Create());
    EXPECT_EQ(next.geometry(), QRect(120, 90, 640, 430));
    next.ShowWithPlacement();
    EXPECT_FALSE(next.Toolbar(IDR_ANIMATION)->isVisible());
    EXPECT_TRUE(next.Toolbar(IDR_TOOLPALETTE)->isVisible());
}

TEST_F(MainFrameTest, MalformedWindowPosFallsBackToTheDefaultPlacement)
{
    WindowPlacement p;
    EXPECT_FALSE(WindowPlacement::Parse(QStringLiteral("0,1,-1,-1,-1,-1,10,10,300"), &p));
    EXPECT_FALSE(WindowPlacement::Parse(QStringLiteral("0,1,-1,-1,-1,-1,10,10,x,300"), &p));
    EXPECT_FALSE(WindowPlacement::Parse(QStringLiteral("0,1,-1,-1,-1,-1,300,10,10,300"), &p));
    ASSERT_TRUE(WindowPlacement::Parse(QStringLiteral("0,3,-1,-1,-1,-1,10,20,310,220"), &p));
    EXPECT_EQ(p.showCmd, 3u);
    EXPECT_EQ(p.Format(), QStringLiteral("0,3,-1,-1,-1,-1,10,20,310,220"));

    Profile::WriteString(QStringLiteral("Settings"), QStringLiteral("WindowPos"), QStringLiteral("1,2,3"));
    CMainFrame next;
    ASSERT_TRUE(next.Create());
    EXPECT_EQ(next.size(), QSize(800, 600));
}

TEST_F(MainFrameTest, ClosingStopsWhenADocumentWindowRefusesToClose)
{
    struct Stubborn : CChildFrame {
        using CChildFrame::CChildFrame;
        bool refuse = true;
        void closeEvent(QCloseEvent *e) override { refuse ? e->ignore() : CChildFrame::closeEvent(e); }
    };
    frame->show();
    auto *child = new Stubborn(IDR_BANNERVIEW);
    child->SetView(new QWidget);
    frame->AddChildFrame(child);
    child->show();
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisible());
    // The placement was written before the documents were asked.
    EXPECT_FALSE(Profile::GetString(QStringLiteral("Settings"), QStringLiteral("WindowPos")).isEmpty());
    child->refuse = false;
    EXPECT_TRUE(frame->close());
}

TEST_F(MainFrameTest, DroppedFilesAreOpened)
{
    QStringList opened;
    frame->SetOpenFileHandler([&](const QString &path) {
        opened << path;
        return true;
    });
    frame->show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.bnr")), QUrl::fromLocalFile(QStringLiteral("/tmp/b.gif")),
                  QUrl(QStringLiteral("https://example.invalid/c.bnr"))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame.get(), &drop);
    EXPECT_EQ(opened, (QStringList{"/tmp/a.bnr", "/tmp/b.gif"}));
}

TEST(LogoBackgroundWnd, LogoIsCentredAndClippedEqually)
{
    EXPECT_EQ(LogoBackgroundWnd::LogoOrigin(QSize(830, 410), QSize(430, 210)), QPoint(200, 100));
    EXPECT_EQ(LogoBackgroundWnd::LogoOrigin(QSize(331, 111), QSize(430, 210)), QPoint(-49, -49));
    EXPECT_EQ(LogoBackgroundWnd::LogoOrigin(QSize(429, 209), QSize(430, 210)), QPoint(0, 0));

    LogoBackgroundWnd area;
    ASSERT_EQ(area.Logo().size(), QSize(430, 210));
    area.resize(630, 410);
    area.show();
    const QImage shot = area.viewport()->grab().toImage();
    const QPoint origin = LogoBackgroundWnd::LogoOrigin(area.viewport()->size(), area.Logo().size());
    // Pixels of the logo appear where it is placed.
    int same = 0, total = 0;
    for (int y = 0; y < 210; y += 7)
        for (int x = 0; x < 430; x += 7) {
            const QPoint at = origin + QPoint(x, y);
            if (!shot.rect().contains(at))
                continue;
            ++total;
            same += shot.pixelColor(at).rgb() == area.Logo().pixelColor(x, y).rgb();
        }
    EXPECT_GT(total, 1000);
    EXPECT_EQ(same, total);
}
