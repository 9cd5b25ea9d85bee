// Start-up of the application object and its own commands.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "document/GifProgress.h"
#include "platform/imaging/GifCodec.h"
#include "editor/CFrameView.h"
#include "platform/settings/AppPaths.h"
#include "resource.h"
#include "shell/AboutDialog.h"
#include "shell/CBannerApp.h"
#include "shell/CChildFrame.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"
#include "shell/LogoBackgroundWnd.h"
#include "shell/GifProgressDialog.h"
#include "shell/GifWarnDlg.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// Three frames of different colours and delays, written as a banner file and as a GIF.
struct SampleFiles {
    QString bnr;
    QString gif;
};

SampleFiles WriteSamples(const QString &dir)
{
    CoreContext context;
    CBannerDoc doc(context);
    doc.OnNewDocument();
    doc.GetFrame(0)->m_crBackground = RGB(200, 0, 0);
    doc.m_frames.push_back(std::make_unique<CBannerFrame>(nullptr, RGB(0, 200, 0), 300));
    doc.m_frames.push_back(std::make_unique<CBannerFrame>(nullptr, RGB(0, 0, 200), 700));
    SampleFiles files{dir + QStringLiteral("/three.bnr"), dir + QStringLiteral("/three.gif")};
    EXPECT_TRUE(TestSupport::WriteFile(files.bnr, BannerFile::Write(doc)));
    EXPECT_TRUE(doc.SaveAsGif(files.gif));
    return files;
}

CBannerDoc &OnlyDocument(CBannerApp &app)
{
    return app.Documents()->Documents().front()->Doc();
}
} // namespace

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

TEST(CBannerApp, OpensTheBannerOrGifNamedOnTheCommandLine)
{
    const SampleFiles files = WriteSamples(TestSupport::NewTempDir());
    {
        CBannerApp app;
        ASSERT_TRUE(app.InitInstance({files.bnr}));
        ASSERT_EQ(app.MainFrame()->MdiClient()->subWindowList().size(), 1);
        EXPECT_EQ(app.MainFrame()->ActiveChildFrame()->windowTitle(), QStringLiteral("three.bnr : Banner View"));
        EXPECT_EQ(OnlyDocument(app).GetFrameCount(), 3);
        app.MainFrame()->close();
    }
    {
        // A GIF opens through the same path, after the animated-GIF warning.
        CBannerApp app;
        auto warned = ShellTest::OnNextModal<GifWarnDlg>([](GifWarnDlg *d) { d->accept(); });
        ASSERT_TRUE(app.InitInstance({files.gif}));
        EXPECT_TRUE(*warned);
        EXPECT_EQ(app.MainFrame()->ActiveChildFrame()->windowTitle(), QStringLiteral("three.gif : Banner View"));
        CBannerDoc &doc = OnlyDocument(app);
        ASSERT_EQ(doc.GetFrameCount(), 3);
        EXPECT_EQ(doc.GetFrame(1)->m_nDelay, 300u);
        EXPECT_EQ(doc.GetFrame(2)->m_nDelay, 700u);
        EXPECT_FALSE(doc.IsModified());
        app.MainFrame()->close();
    }
}

TEST(CBannerApp, AFileThatCannotBeOpenedEndsTheStart)
{
    const QString missing = TestSupport::NewTempDir() + QStringLiteral("/gone.bnr");
    CBannerApp app;
    QString said;
    auto seen = ShellTest::OnNextModal<QMessageBox>([&](QMessageBox *box) { said = box->text(); });
    EXPECT_FALSE(app.InitInstance({missing}));
    EXPECT_TRUE(*seen);
    EXPECT_FALSE(said.isEmpty());
}

TEST(CBannerApp, PrintSetupShowsThePageSetupDialogOrSaysThereIsNoPrinter)
{
    CBannerApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CommandRouter &r = app.MainFrame()->Router();
    r.UpdateAll();
    EXPECT_TRUE(r.FindAction(ID_FILE_PRINT_SETUP)->isEnabled());
    const bool printers = !QPrinterInfo::availablePrinters().isEmpty();
    for (int visit = 0; visit < 2; ++visit) {
        if (printers) {
            auto seen = ShellTest::OnNextModal<QPageSetupDialog>([](QPageSetupDialog *d) { d->reject(); });
            EXPECT_TRUE(r.Execute(ID_FILE_PRINT_SETUP));
            EXPECT_TRUE(*seen) << visit;
        } else {
            // Without a printer the user is told so instead of getting a dialog that cannot work.
            QString said;
            auto seen = ShellTest::OnNextModal<QMessageBox>([&](QMessageBox *box) { said = box->text(); });
            EXPECT_TRUE(r.Execute(ID_FILE_PRINT_SETUP));
            EXPECT_TRUE(*seen) << visit;
            EXPECT_EQ(said, QStringLiteral("No printers are installed."));
        }
    }
    app.MainFrame()->close();
}

// What the event loop delivers between the pages of a GIF save (a timer's command, a close
// request) waits until the save is done: the document is saved as it was, then the command
// runs and the close asks about the change it made.
TEST(CBannerApp, CommandsAndClosesDuringAGifSaveWaitUntilItEnds)
{
    const SampleFiles files = WriteSamples(TestSupport::NewTempDir());
    CBannerApp app;
    ASSERT_TRUE(app.InitInstance({files.bnr}));
    CMainFrame *frame = app.MainFrame();
    CBannerDoc &doc = OnlyDocument(app);
    GifProgress::SetReportInterval(0); // events go through after every page
    bool busyThen = false;
    QTimer::singleShot(0, frame, [&] {
        busyThen = GifProgress::Busy();
        EXPECT_FALSE(frame->Router().Execute(ID_FRAME_DELETE));
        EXPECT_FALSE(frame->close());
    });
    const QString gif = TestSupport::NewTempDir() + QStringLiteral("/saved.gif");
    EXPECT_TRUE(doc.OnSaveDocument(gif));
    GifProgress::SetReportInterval(40);
    EXPECT_TRUE(busyThen);
    EXPECT_EQ(doc.GetFrameCount(), 3);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(frame->isVisible());
    GifCodec::Animation written;
    EXPECT_EQ(GifCodec::Read(TestSupport::ReadFile(gif), &written), GifCodec::Ok);
    EXPECT_EQ(written.pages.size(), 3u);

    QString asked;
    int framesThen = 0;
    auto seen = ShellTest::OnNextModal<QMessageBox>([&](QMessageBox *box) {
        asked = box->text();
        framesThen = doc.GetFrameCount();
        box->button(QMessageBox::No)->click();
    }, 30000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return *seen && !frame->isVisible(); }, 30000));
    EXPECT_EQ(asked, QStringLiteral("Save changes to three.bnr?"));
    EXPECT_EQ(framesThen, 2);
}

TEST(GifProgressDialog, ShowsOnlyLongWorkAndGoesWhenItEnds)
{
    QWidget owner;
    GifProgressDialog progress(&owner);
    // Quick work never shows a window.
    GifProgress::Task import = GifProgress::Task::Import;
    progress.Report(import, 3, 100);
    EXPECT_EQ(progress.Window(), nullptr);
    progress.Report(import, 100, 100);

    progress.SetShowAfter(0);
    progress.Report(GifProgress::Task::Export, 4, 10);
    QProgressDialog *window = progress.Window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->maximum(), 10);
    EXPECT_EQ(window->value(), 4);
    EXPECT_EQ(window->labelText(), QStringLiteral("Saving the animated GIF: frame 5 of 10"));
    progress.Report(GifProgress::Task::Export, 10, 10);
    EXPECT_EQ(progress.Window(), nullptr);

    // The handler the GIF code calls reaches the window.
    {
        GifProgress work(import, 2);
        QTest::qWait(60);
        work.Step(1);
        ASSERT_TRUE(progress.Window());
        EXPECT_EQ(progress.Window()->labelText(), QStringLiteral("Opening the animated GIF: frame 2 of 2"));
    }
    EXPECT_EQ(progress.Window(), nullptr);
}
