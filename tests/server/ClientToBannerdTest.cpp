// The editor's side of the connection against the real banner server: bannerd runs as a
// process on free loopback ports with a temporary database, and the login, the upload page and
// the uploads go through ServerSession and ServerConnection exactly as the Login and Upload
// commands use them.
#include <gtest/gtest.h>

#include "BannerdHarness.h"
#include "ClientFixture.h"
#include "platform/settings/Settings.h"
#include "server/ServerSession.h"

#include <QTest>

using namespace ClientTest;

namespace {

class ClientToBannerdTest : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        ASSERT_EQ(server.AddUser(QStringLiteral("ann"), "banner pass"), 0);
        ASSERT_TRUE(server.Start()) << server.Log().toStdString();
        const QString key = QStringLiteral("Software\\Corvanta\\Vellumark");
        CreateSettingsKey(SettingsHive::User, key);
        WriteSettingDword(SettingsHive::User, key, QStringLiteral("ServerPort"), server.ProtocolPort());
    }
    bool Shown(const QString &text, int ms = 15000)
    {
        return QTest::qWaitFor([&] { return prompts.WasShown(text, Prompts::Icon::None); }, ms);
    }
    QByteArray FetchPage(ServerConnection &connection, Pages &owner)
    {
        const size_t before = owner.pages.size();
        if (connection.RequestUploadPage(&owner, UploadPageRequest::kFixedPath) != 0)
            return {};
        if (!QTest::qWaitFor([&] { return owner.pages.size() > before; }, 10000))
            return {};
        return owner.pages.back();
    }

    BannerdProcess server;
};

} // namespace

TEST_F(ClientToBannerdTest, LoginUploadPageAndUploadOutcomes)
{
    ServerSession session;
    Answer("ann", "banner pass", false);
    session.OnServerLogin();
    ASSERT_TRUE(Shown("Login successful.")) << server.Log().toStdString();
    ServerConnection *connection = session.Connection();
    ASSERT_NE(connection, nullptr);
    EXPECT_TRUE(connection->IsLoggedIn());
    EXPECT_TRUE(connection->IsIdle());
    EXPECT_EQ(session.LoginCommandText(), "Logout");

    Pages owner;
    const QByteArray page = FetchPage(*connection, owner);
    ASSERT_FALSE(page.isEmpty());
    EXPECT_FALSE(connection->IsIdle()); // the exchange lasts until the upload dialog closes
    const UploadForm form = ParseUploadForm(page);
    EXPECT_TRUE(form.post);
    EXPECT_TRUE(form.multipart);
    EXPECT_EQ(form.fileInputs, 1);

    const QByteArray banner = MakeGif(468, 60);
    ASSERT_FALSE(banner.isEmpty());
    EXPECT_EQ(PostBanner(form.action, banner).status, "Success");
    // The browser sends the same upload again (it gave up waiting for the answer): answered
    // like the first, stored once.
    EXPECT_EQ(PostBanner(form.action, banner).status, "Success");
    EXPECT_EQ(server.StoredFiles().size(), 1);
    EXPECT_EQ(PostBanner(form.action, MakeGif(400, 60)).status, "ERR_FILEDIM");
    EXPECT_EQ(PostBanner(form.action, QByteArray("<html>no picture</html>"), "x.gif").status, "ERR_FILEFORMAT");
    QByteArray oversized = banner;
    oversized.append(1024 * 1024 + 1 - banner.size(), '\0');
    EXPECT_EQ(PostBanner(form.action, oversized).status, "ERR_FILESIZE");
    EXPECT_EQ(server.StoredFiles().size(), 1);

    // The dialog closes; a second exchange on the same connection works as well.
    connection->ClearExchange();
    EXPECT_TRUE(connection->IsIdle());
    EXPECT_FALSE(FetchPage(*connection, owner).isEmpty());
    connection->ClearExchange();

    // Logout sends nothing and ends the page's token with the connection, once the server has
    // seen the close; until then the page is still good. Probe with a file that is never stored,
    // then a real banner is refused.
    session.OnServerLogin();
    EXPECT_FALSE(session.IsLoggedIn());
    const QByteArray probe("<html>no picture</html>");
    EXPECT_TRUE(QTest::qWaitFor([&] { return PostBanner(form.action, probe, "x.gif").status == "ERR_SESSION"; }, 30000));
    EXPECT_EQ(PostBanner(form.action, MakeGif(468, 60)).status, "ERR_SESSION");
    EXPECT_EQ(server.StoredFiles().size(), 1);
}

TEST_F(ClientToBannerdTest, WrongPasswordIsRejectedAndLoginCanBeRetried)
{
    ServerSession session;
    Answer("ann", "not it", false);
    session.OnServerLogin();
    ASSERT_TRUE(Shown(kRejected)) << server.Log().toStdString();
    ASSERT_NE(session.Connection(), nullptr);
    EXPECT_FALSE(session.Connection()->IsSocketOpen());
    EXPECT_FALSE(session.IsLoggedIn());

    Answer("ann", "banner pass", true);
    session.OnServerLogin();
    ASSERT_TRUE(Shown("Login successful."));
    EXPECT_TRUE(session.IsLoggedIn());
}

TEST_F(ClientToBannerdTest, ServerGoingAwayLogsOutSilently)
{
    ServerSession session;
    Answer("ann", "banner pass", false);
    session.OnServerLogin();
    ASSERT_TRUE(Shown("Login successful."));
    prompts.messages.clear();
    server.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.Connection() == nullptr; }, 10000));
    EXPECT_EQ(session.LoginCommandText(), "&Login...");
    EXPECT_TRUE(prompts.messages.empty());

    // With nothing listening the next login reports the refused connection.
    Answer("ann", "banner pass", false);
    session.OnServerLogin();
    ASSERT_TRUE(Shown("Error connecting to server. Error code = 10061."));
    EXPECT_FALSE(session.IsLoggedIn());
}
