// Start-up of the application object and its own commands.
#include "ShellTestSupport.h"
#include "platform/settings/AppPaths.h"
#include "resource.h"
#include "shell/AboutDialog.h"
#include "shell/CBannerApp.h"
#include "shell/CMainFrame.h"

#include <QAction>
#include <QFile>
#include <gtest/gtest.h>

TEST(CBannerApp, StartsWithItsMainFrameAndHandlesAboutAndTheServerCommands)
{
    CBannerApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CMainFrame *frame = app.MainFrame();
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(app.GetSettingsKey(), QStringLiteral("Software\\Corvanta\\Vellumark"));
    CommandRouter &r = frame->Router();
    r.UpdateAll();
    EXPECT_TRUE(r.FindAction(ID_APP_ABOUT)->isEnabled());
    EXPECT_TRUE(r.FindAction(ID_SERVER_LOGIN)->isEnabled());
    EXPECT_EQ(r.FindAction(ID_SERVER_LOGIN)->text(), QStringLiteral("&Login..."));
    EXPECT_TRUE(r.FindAction(ID_SERVER_LOGINBUTTON)->isEnabled());
    EXPECT_FALSE(r.FindAction(ID_SERVER_LOGOUTBUTTON)->isEnabled());
    EXPECT_EQ(r.FindAction(ID_SERVER_LOGIN)->statusTip(), QStringLiteral("Login to the Vellumark Server"));

    auto seen = ShellTest::OnNextModal<AboutDialog>([](AboutDialog *d) { d->accept(); });
    EXPECT_TRUE(r.Execute(ID_APP_ABOUT));
    EXPECT_TRUE(*seen);

    // The desktop knows the editor after the start.
    EXPECT_TRUE(QFile::exists(AppPaths::DesktopDataDir() + QStringLiteral("/applications/vellumark.desktop")));
    frame->close();
}
