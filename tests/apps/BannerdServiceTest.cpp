// bannerd as the editor meets it: a process on free loopback ports, logins over the binary
// protocol, the upload page and uploads over HTTP.
#include "BannerdHarness.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>

namespace {
class BannerdServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(server.AddUser(QStringLiteral("ann"), "banner pass"), 0);
        ASSERT_TRUE(server.Start()) << server.Log().toStdString();
    }

    BannerdProcess server;
};

// Logs in as ann and returns the form of her upload page.
UploadForm LoggedInForm(ProtocolClient &client, quint16 port)
{
    return LoggedInForm(client, port, QStringLiteral("ann"), QStringLiteral("banner pass"));
}
} // namespace

TEST_F(BannerdServiceTest, LoginUploadPageAndEveryUploadOutcome)
{
    ProtocolClient client;
    ASSERT_TRUE(client.Connect(server.ProtocolPort()));
    EXPECT_EQ(client.Login(QStringLiteral("ann"), QStringLiteral("banner pass")), 0);
    bool ok = false;
    const QByteArray page = client.UploadPage(&ok);
    ASSERT_TRUE(ok);
    const UploadForm form = ParseUploadForm(page);
    EXPECT_TRUE(form.post);
    EXPECT_TRUE(form.multipart);
    EXPECT_EQ(form.fileInputs, 1);
    EXPECT_TRUE(form.action.startsWith(QStringLiteral("http://127.0.0.1:%1/upload/").arg(server.HttpPort())))
        << form.action.toStdString();

    const QByteArray banner = MakeGif(468, 60);
    ASSERT_FALSE(banner.isEmpty());
    UploadResult result = PostBanner(form.action, banner);
    EXPECT_EQ(result.httpStatus, 200);
    EXPECT_EQ(result.status, QStringLiteral("Success"));
    EXPECT_TRUE(result.body.contains("myback.html")); // the editor's way back to the upload page
    QStringList stored = server.StoredFiles();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_TRUE(stored[0].startsWith(QStringLiteral("ann/20"))) << stored[0].toStdString();
    EXPECT_EQ(TestSupport::ReadFile(server.DataDir() + QLatin1Char('/') + stored[0]), banner);

    EXPECT_EQ(PostBanner(form.action, MakeGif(467, 60)).status, QStringLiteral("ERR_FILEDIM"));
    EXPECT_EQ(PostBanner(form.action, MakeGif(468, 59)).status, QStringLiteral("ERR_FILEDIM"));
    EXPECT_EQ(PostBanner(form.action, QByteArray("<html>not a picture</html>"), QStringLiteral("x.gif")).status,
              QStringLiteral("ERR_FILEFORMAT"));
    QByteArray justOver = banner;
    justOver.append(1024 * 1024 + 1 - banner.size(), '\0');
    result = PostBanner(form.action, justOver);
    EXPECT_EQ(result.status, QStringLiteral("ERR_FILESIZE"));
    EXPECT_EQ(result.httpStatus, 413);
    // Far over the limit: refused while the body is read, with the same answer.
    result = PostBanner(form.action, QByteArray(5 * 1024 * 1024, 'G'));
    EXPECT_EQ(result.status, QStringLiteral("ERR_FILESIZE"));
    EXPECT_EQ(server.StoredFiles().size(), 1);

    // The same page works again while logged in, and asking again gives the same address.
    const UploadForm again = ParseUploadForm(client.UploadPage());
    EXPECT_EQ(again.action, form.action);
    QByteArray exact = banner;
    exact.append(1024 * 1024 - banner.size(), '\0');
    EXPECT_EQ(PostBanner(again.action, exact).status, QStringLiteral("Success"));
    EXPECT_EQ(server.StoredFiles().size(), 2);
}

TEST_F(BannerdServiceTest, RefusedLoginsAndPagesBeforeLogin)
{
    ProtocolClient client;
    ASSERT_TRUE(client.Connect(server.ProtocolPort()));
    bool ok = false;
    EXPECT_TRUE(client.UploadPage(&ok).isEmpty()); // N = 0 before a login
    EXPECT_TRUE(ok);
    EXPECT_NE(client.Login(QStringLiteral("ann"), QStringLiteral("wrong")), 0);
    EXPECT_NE(client.Login(QStringLiteral("Ann"), QStringLiteral("banner pass")), 0);
    EXPECT_TRUE(client.UploadPage(&ok).isEmpty());
    EXPECT_TRUE(ok);
    // The third refusal ends the connection.
    EXPECT_NE(client.Login(QStringLiteral("nobody"), QStringLiteral("banner pass")), 0);
    EXPECT_TRUE(client.WaitClosed(5000));

    // A fresh connection still logs in.
    ProtocolClient next;
    ASSERT_TRUE(next.Connect(server.ProtocolPort()));
    EXPECT_EQ(next.Login(QStringLiteral("ann"), QStringLiteral("banner pass")), 0);
}

TEST_F(BannerdServiceTest, TokenDiesWithItsConnection)
{
    ProtocolClient client;
    const UploadForm form = LoggedInForm(client, server.ProtocolPort());
    ASSERT_FALSE(form.action.isEmpty());
    const QByteArray banner = MakeGif(468, 60);
    client.Close();

    UploadResult result;
    for (int attempt = 0; attempt < 50; ++attempt) { // the server notices the close at once, but asynchronously
        result = PostBanner(form.action, banner);
        if (result.status != QLatin1String("Success"))
            break;
        QThread::msleep(50);
    }
    EXPECT_EQ(result.httpStatus, 403);
    EXPECT_FALSE(result.status.isEmpty());
    EXPECT_NE(result.status, QStringLiteral("Success"));
    // Made-up and cut tokens are refused as well; nothing of it is stored.
    QString madeUp = form.action;
    madeUp.chop(1);
    EXPECT_EQ(PostBanner(madeUp + QLatin1Char('0'), banner).httpStatus, 403);
    EXPECT_EQ(PostBanner(madeUp, banner).httpStatus, 403);
    const int before = server.StoredFiles().size();
    EXPECT_LE(before, 1);
    for (const QString &file : server.StoredFiles())
        EXPECT_TRUE(file.startsWith(QStringLiteral("ann/")));

    // Logging in anew gives a different address.
    ProtocolClient again;
    const UploadForm renewed = LoggedInForm(again, server.ProtocolPort());
    EXPECT_NE(renewed.action, form.action);
    EXPECT_EQ(PostBanner(renewed.action, banner).status, QStringLiteral("Success"));
}

TEST_F(BannerdServiceTest, StrangeUserNamesStoreInsideTheDataFolder)
{
    const QString name = QStringLiteral("../../escape");
    ASSERT_EQ(server.AddUser(name, "pw"), 0);
    ProtocolClient client;
    ASSERT_TRUE(client.Connect(server.ProtocolPort()));
    ASSERT_EQ(client.Login(name, QStringLiteral("pw")), 0);
    const UploadForm form = ParseUploadForm(client.UploadPage());
    EXPECT_EQ(PostBanner(form.action, MakeGif(468, 60)).status, QStringLiteral("Success"));
    const QStringList stored = server.StoredFiles();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_TRUE(stored[0].startsWith(QStringLiteral("%2E.%2F..%2Fescape/"))) << stored[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(server.Dir() + QStringLiteral("/escape")));
}

TEST(BannerdCommandTest, BadArgumentsAndAccountsFail)
{
    QByteArray err;
    EXPECT_EQ(TestSupport::Run(QStringLiteral(BANNERD_EXE), {}, nullptr, &err), 2);
    EXPECT_TRUE(err.contains("usage:"));
    EXPECT_EQ(TestSupport::Run(QStringLiteral(BANNERD_EXE), {QStringLiteral("serve"), QStringLiteral("--db"),
                                                              QStringLiteral("x.db"), QStringLiteral("--port"),
                                                              QStringLiteral("99999")},
                               nullptr, &err),
              2);
    EXPECT_TRUE(err.contains("--port")) << err.toStdString();

    BannerdProcess server;
    EXPECT_NE(server.AddUser(QString(81, QLatin1Char('n')), "pw", &err), 0);
    EXPECT_TRUE(err.contains("80 characters")) << err.toStdString();
    EXPECT_NE(server.AddUser(QStringLiteral("ann"), "", &err), 0); // an empty line is no password
    EXPECT_EQ(server.AddUser(QStringLiteral("ann"), QByteArray(80, 'p')), 0);

    // A port that is taken is a clear failure, not a hang.
    BannerdProcess first;
    ASSERT_TRUE(first.Start());
    QProcess second;
    second.start(QStringLiteral(BANNERD_EXE),
                 {QStringLiteral("serve"), QStringLiteral("--db"), server.Db(), QStringLiteral("--data"),
                  server.DataDir(), QStringLiteral("--port"), QString::number(first.ProtocolPort()),
                  QStringLiteral("--http-port"), QStringLiteral("0")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("cannot listen"));
    EXPECT_TRUE(second.readAllStandardOutput().isEmpty());
}

TEST(BannerdCommandTest, PasswordLineEndIsNotPartOfIt)
{
    BannerdProcess server;
    // AddUser writes "secret\n"; a Windows line end is taken off as well.
    ASSERT_EQ(server.AddUser(QStringLiteral("ann"), "secret"), 0);
    ASSERT_EQ(server.AddUser(QStringLiteral("bob"), "other\r"), 0);
    ASSERT_TRUE(server.Start());
    ProtocolClient ann;
    ASSERT_TRUE(ann.Connect(server.ProtocolPort()));
    EXPECT_EQ(ann.Login(QStringLiteral("ann"), QStringLiteral("secret")), 0);
    ProtocolClient bob;
    ASSERT_TRUE(bob.Connect(server.ProtocolPort()));
    EXPECT_EQ(bob.Login(QStringLiteral("bob"), QStringLiteral("other")), 0);
}
