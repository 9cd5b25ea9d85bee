// The upload dialog in the embedded browser: the navigation rules against local result pages,
// and the whole road against a real bannerd (login dialog, export, the page's form, the
// installed pages, the server going away while the dialog is open). Qt WebEngine runs headless;
// the program is one test run so that it starts only once.
#include <gtest/gtest.h>

#include "BannerdHarness.h"
#include "LoopbackServer.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "document/BannerDoc.h"
#include "platform/ScriptedPrompts.h"
#include "platform/settings/AppPaths.h"
#include "platform/web/WebBrowserControl.h"
#include "resource.h"
#include "server/LoginDialog.h"
#include "server/ServerSession.h"
#include "server/UploadDialog.h"
#include "shell/CBannerApp.h"
#include "shell/CDocManager.h"
#include "shell/DocumentCommands.h"
#include "shell/CMainFrame.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTcpServer>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

// Before the application object exists: WebEngine headless, as root, without a GPU.
const bool kEngineSetUp = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    return true;
}();

constexpr int kPageTimeout = 60000; // a busy machine starts the engine slowly

// True once the browser shows a page (its snapshot read) whose address contains `part`.
bool WaitShown(WebBrowserControl *browser, const QString &part)
{
    return QTest::qWaitFor([&] {
        const WebBrowserControl::HtmlDocument *shown = browser->Document();
        return shown && shown->url.toLower().contains(part.toLower());
    }, kPageTimeout);
}

void RunScript(WebBrowserControl *browser, const QString &script)
{
    browser->View()->page()->runJavaScript(script);
}

// Clicks the first link of the shown page whose address contains `part`.
void ClickLink(WebBrowserControl *browser, const QString &part)
{
    RunScript(browser, QStringLiteral("[...document.links].find(a => a.href.includes('%1')).click()").arg(part));
}

// Puts the bytes into the form's file input, as choosing a file would, and presses its button.
void SubmitFile(WebBrowserControl *browser, const QByteArray &file)
{
    RunScript(browser, QStringLiteral("(function () {"
                                      "  const b = atob('%1'); const u = new Uint8Array(b.length);"
                                      "  for (let i = 0; i < b.length; ++i) u[i] = b.charCodeAt(i);"
                                      "  const t = new DataTransfer();"
                                      "  t.items.add(new File([u], 'banner.gif', {type: 'image/gif'}));"
                                      "  document.querySelector('input[type=file]').files = t.files;"
                                      "  document.querySelector('input[type=submit]').click();"
                                      "})()")
                           .arg(QString::fromLatin1(file.toBase64())));
}

QString Page(const QString &head, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html><head>%1</head><body>%2</body></html>").arg(head, body);
}

// Serves result pages by path over HTTP on 127.0.0.1, one request per connection.
class ResultServer : public QObject {
public:
    ResultServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    s->setProperty("request", s->property("request").toByteArray() + s->readAll());
                    const QByteArray request = s->property("request").toByteArray();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    const QByteArray path = request.split(' ').value(1);
                    const QByteArray body = pages.value(QString::fromLatin1(path)).toUtf8();
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
        });
    }
    QString Address(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    QHash<QString, QString> pages;

private:
    QTcpServer m_server;
};

} // namespace

TEST(UploadDialog, ResultPagesLeadToTheInstalledPagesAndMybackLeadsBack)
{
    ASSERT_TRUE(AppPaths::PrepareUserDataDir());
    const QString data = AppPaths::UserDataDir();
    ResultServer results;
    const struct {
        const char *file;
        QString head;
        const char *shows;
    } cases[] = {
        {"/ok.html", "<meta name=\"VKUpload_Status\" content=\"success\">", "usuccess.html"},
        {"/dim.html", "<meta name=\"VKUpload_Status\" content=\"ERR_FILEDIM\">", "uerror.html"},
        {"/none.html", "<meta name=\"other\" content=\"Success\">", "uerror.html"},
        {"/long.html", QStringLiteral("<meta name=\"VKUpload_Status\" content=\"Success%1\">").arg(QString(43, ' ')),
         "uerror.html"},
        {"/notmeta.html", "<div id=\"VKUpload_Status\">Success</div>", "uerror.html"},
        {"/first.html", "<meta id=\"VKUpload_Status\" content=\"Success\"><meta name=\"VKUpload_Status\" content=\"x\">",
         "usuccess.html"},
    };
    QString links;
    for (const auto &c : cases) {
        results.pages.insert(c.file, Page(c.head, "result"));
        links += QStringLiteral("<a href=\"%1\">%2</a> ").arg(results.Address(c.file), QString::fromLatin1(c.file));
    }
    const QString page = UploadPagePath(data, "Ann");
    // Contents of 49 and 50 characters, for the 50-byte buffer of the status word.
    const QString meta49 = QString(49, 'x'), meta50 = QString(50, 'x');
    TestSupport::WriteFile(page, Page(QStringLiteral("<meta name=\"m49\" content=\"%1\"><meta id=\"m50\" content=\"%2\">")
                                          .arg(meta49, meta50), links).toUtf8());

    UploadDialog dialog(page);
    dialog.show();
    WebBrowserControl *browser = dialog.Browser();
    ASSERT_TRUE(WaitShown(browser, "/misc/uann.html"));
    EXPECT_EQ(dialog.NavigationState(), UploadDialog::kNone);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        ClickLink(browser, c.file);
        ASSERT_TRUE(WaitShown(browser, c.shows));
        EXPECT_NE(dialog.NavigationState(), UploadDialog::kAwaitingResult);
        EXPECT_FALSE(dialog.StopButton()->isEnabled());
        // The installed page's own link back.
        ClickLink(browser, "myback.html");
        ASSERT_TRUE(WaitShown(browser, "/misc/uann.html"));
        EXPECT_EQ(dialog.NavigationState(), UploadDialog::kNone);
    }
    QString content;
    EXPECT_EQ(browser->ReadPageMeta("m49", 50, &content), 0);
    EXPECT_EQ(content, meta49);
    EXPECT_EQ(browser->ReadPageMeta("m50", 50, &content), -1);
    EXPECT_EQ(browser->ReadPageMeta("m50", 51, &content), 0);
    EXPECT_EQ(browser->ReadPageMeta("VKUpload_Status", 50, &content), -1);
}

TEST(UploadDialog, UploadsThroughTheFormOfARealServerAndSurvivesItsEnd)
{
    BannerdProcess server;
    ASSERT_EQ(server.AddUser("ann", "pw"), 0);
    ASSERT_TRUE(server.Start()) << server.Log().toStdString();
    LoopbackTest::UseServerPort(server.ProtocolPort());

    CBannerApp app;
    ASSERT_TRUE(app.InitInstance({}));
    ShellTest::ScopedPrompts prompts;
    QtUploadPrompt uploadPrompt(app.MainFrame());
    UploadPrompt::Register(&uploadPrompt);
    CommandRouter &router = app.MainFrame()->Router();
    auto uploadEnabled = [&] {
        router.UpdateAll();
        return router.FindAction(ID_SERVER_UPLOADGIF)->isEnabled();
    };
    EXPECT_FALSE(uploadEnabled());

    auto login = ShellTest::OnNextModal<LoginDialog>([](LoginDialog *d) {
        d->LoginNameEdit()->setText("ann");
        d->PasswordEdit()->setText("pw");
        d->ConnectButton()->click();
    });
    router.Execute(ID_SERVER_LOGIN);
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.WasShown("Login successful.", Prompts::Icon::None); }, 30000));
    EXPECT_TRUE(*login);
    EXPECT_TRUE(prompts.WasShown("Login successful.", Prompts::Icon::None));

    const QString gif = TestSupport::NewTempDir() + "/banner.gif";
    ASSERT_TRUE(app.Documents()->Documents().front()->Doc().SaveAsGif(gif));
    const QByteArray banner = TestSupport::ReadFile(gif);
    ASSERT_FALSE(banner.isEmpty());

    // First visit: a good banner, then a wrong-sized one after going back.
    bool disabledWhileOpen = false;
    auto first = ShellTest::OnNextModal<UploadDialog>([&](UploadDialog *d) {
        disabledWhileOpen = !uploadEnabled();
        WebBrowserControl *browser = d->Browser();
        ASSERT_TRUE(WaitShown(browser, "/misc/uann.html"));
        SubmitFile(browser, banner);
        ASSERT_TRUE(WaitShown(browser, "/misc/usuccess.html")) << server.Log().toStdString();
        ClickLink(browser, "myback.html");
        ASSERT_TRUE(WaitShown(browser, "/misc/uann.html"));
        SubmitFile(browser, MakeGif(400, 40));
        ASSERT_TRUE(WaitShown(browser, "/misc/uerror.html"));
        d->CloseButton()->click();
    }, 30000);
    router.Execute(ID_SERVER_UPLOADGIF);
    ASSERT_TRUE(QTest::qWaitFor([&] { return *first && !QApplication::activeModalWidget(); }, 4 * kPageTimeout));
    EXPECT_TRUE(disabledWhileOpen);
    EXPECT_TRUE(uploadEnabled()); // no new login needed
    const QStringList stored = server.StoredFiles();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_TRUE(stored[0].startsWith("ann/"));
    EXPECT_EQ(TestSupport::ReadFile(server.DataDir() + "/" + stored[0]), banner);

    // Second visit: the server ends while the page is shown; the dialog goes on (an upload
    // that finds no server leads to the error page) and the user is logged out.
    auto second = ShellTest::OnNextModal<UploadDialog>([&](UploadDialog *d) {
        WebBrowserControl *browser = d->Browser();
        ASSERT_TRUE(WaitShown(browser, "/misc/uann.html"));
        server.Stop();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !app.Session().IsLoggedIn(); }, 30000));
        SubmitFile(browser, banner);
        ASSERT_TRUE(WaitShown(browser, "/misc/uerror.html"));
        d->CloseButton()->click();
    }, 30000);
    router.Execute(ID_SERVER_UPLOADGIF);
    ASSERT_TRUE(QTest::qWaitFor([&] { return *second && !QApplication::activeModalWidget(); }, 4 * kPageTimeout));
    EXPECT_FALSE(uploadEnabled());
    EXPECT_TRUE(router.FindAction(ID_SERVER_LOGINBUTTON)->isEnabled());
    EXPECT_EQ(prompts.messages.size(), 1u); // only "Login successful."

    UploadPrompt::Register(nullptr);
    app.MainFrame()->close();
}
