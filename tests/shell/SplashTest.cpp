// The splash of a start: how long it stays, where it shows, and the input it keeps away.
#include "ShellTestSupport.h"
#include "platform/ScriptedPrompts.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/CSplash.h"
#include "shell/CSplashWnd.h"

#include <QAction>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <gtest/gtest.h>

TEST(CSplash, StaysItsDisplayTimeAndUntilTheMainWindowExistsThenEnds)
{
    QWidget main;
    QWidget *shown = nullptr;
    CSplash *running = nullptr;
    // The display time ends at once, but the main window is not there yet.
    auto *splash = new CSplash(1, &running, [&] { return shown; });
    EXPECT_EQ(running, splash);
    ASSERT_TRUE(splash->Start());
    QPointer<CSplashWnd> window = splash->Window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(450, 200));
    EXPECT_EQ(window->geometry().center(), QGuiApplication::primaryScreen()->availableGeometry().center());
    const QImage painted = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = QImage(QStringLiteral(":/bitmaps/190.bmp")).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(painted, picture);
    QTest::qWait(300);
    EXPECT_TRUE(window);
    EXPECT_EQ(running, splash);

    main.show();
    shown = &main;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window && !running; }, 10000));

    // A display time that has not passed keeps the splash although the main window exists.
    auto *slow = new CSplash(600000, &running, [&] { return shown; });
    ASSERT_TRUE(slow->Start());
    QTest::qWait(300);
    EXPECT_EQ(running, slow);
    EXPECT_TRUE(slow->Window()->isVisible());
    delete slow;
    EXPECT_EQ(running, nullptr);
}

TEST(CSplash, MainWindowIgnoresKeysAndClicksWhileTheSplashIsUp)
{
    ScriptedPrompts prompts;
    CBannerApp app;
    app.EnableSplash(600000);
    ASSERT_TRUE(app.InitInstance({}));
    Prompts::Register(&prompts);
    CMainFrame *frame = app.MainFrame();
    ASSERT_TRUE(app.SplashThread());
    QPointer<CSplashWnd> window = app.SplashThread()->Window();
    ASSERT_TRUE(window && window->isVisible());
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame, 5000));

    QWidget *newButton = frame->Toolbar(IDR_MAINFRAME)->widgetForAction(frame->Router().FindAction(ID_FILE_NEW));
    ASSERT_TRUE(newButton);
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    QTest::mouseClick(newButton, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(app.Documents()->Documents().size(), 1u);

    // Once it is gone the same key and click act.
    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app.SplashThread(); }, 5000));
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    QTest::mouseClick(newButton, Qt::LeftButton);
    EXPECT_EQ(app.Documents()->Documents().size(), 3u);
    frame->close();
}
