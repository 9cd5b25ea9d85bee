// The editor's own connection against the real server: ServerConnection logs in to bannerd,
// asks for the upload page and the page's form takes a banner.
#include "BannerdHarness.h"
#include "platform/ScriptedPrompts.h"
#include "platform/settings/Settings.h"
#include "server/ServerConnection.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
class PageCatcher : public UploadPageHandler {
public:
    void OnUploadPage(ServerConnection &connection, const UploadPageReply &reply) override
    {
        pages.push_back(reply.Page());
        connection.ClearExchange(); // as the upload dialog does once it is closed
    }
    std::vector<QByteArray> pages;
};

class BannerdEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prompts::Register(&prompts);
        ASSERT_EQ(server.AddUser(QStringLiteral("Ann/Lee:1"), "café crème"), 0);
        ASSERT_TRUE(server.Start()) << server.Log().toStdString();
        const QString key = QStringLiteral("Software\\Corvanta\\Vellumark");
        CreateSettingsKey(SettingsHive::User, key);
        WriteSettingString(SettingsHive::User, key, QStringLiteral("ServerHost"), QStringLiteral("127.0.0.1"));
        WriteSettingDword(SettingsHive::User, key, QStringLiteral("ServerPort"), server.ProtocolPort());
    }
    void TearDown() override { Prompts::Register(nullptr); }

    ScriptedPrompts prompts;
    BannerdProcess server;
};
} // namespace

TEST_F(BannerdEditorTest, LoginThroughTheConnectionAndUploadThroughThePage)
{
    ServerConnection connection;
    bool accepted = false;
    bool rejected = false;
    QObject::connect(&connection, &ServerConnection::loginAccepted, [&] { accepted = true; });
    QObject::connect(&connection, &ServerConnection::loginRejected, [&] { rejected = true; });

    // A wrong password: rejected, the socket closed, nothing left behind.
    connection.SetUserName(QStringLiteral("Ann/Lee:1"));
    connection.SetPassword(QStringLiteral("cafe creme"));
    ASSERT_EQ(connection.Connect(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rejected; }, 30000));
    EXPECT_FALSE(connection.IsLoggedIn());

    // The right one, with Windows-1252 text on the wire.
    connection.SetPassword(QStringLiteral("café crème"));
    ASSERT_EQ(connection.Connect(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return accepted || !connection.IsSocketOpen(); }, 30000));
    ASSERT_TRUE(connection.IsLoggedIn());
    EXPECT_TRUE(connection.IsIdle());

    PageCatcher catcher;
    ASSERT_EQ(connection.RequestUploadPage(&catcher, QString::fromLatin1(UploadPageRequest::kFixedPath)), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.pages.empty(); }, 10000));
    const UploadForm form = ParseUploadForm(catcher.pages.front());
    EXPECT_TRUE(form.post && form.multipart);
    EXPECT_EQ(form.fileInputs, 1);
    EXPECT_TRUE(catcher.pages.front().contains("Ann/Lee:1"));
    EXPECT_TRUE(connection.IsLoggedIn());
    EXPECT_TRUE(connection.IsIdle());

    EXPECT_EQ(PostBanner(form.action, MakeGif(468, 60)).status, QStringLiteral("Success"));
    EXPECT_EQ(PostBanner(form.action, MakeGif(468, 30)).status, QStringLiteral("ERR_FILEDIM"));
    EXPECT_EQ(PostBanner(form.action, QByteArray("GIF8")).status, QStringLiteral("ERR_FILEFORMAT"));
    EXPECT_EQ(PostBanner(form.action, QByteArray(1024 * 1024 + 1, 'G')).status, QStringLiteral("ERR_FILESIZE"));
    const QStringList stored = server.StoredFiles();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_TRUE(stored[0].startsWith(QStringLiteral("Ann%2FLee%3A1/")));

    // Logout is the connection closing: the page's address is refused from then on.
    connection.Close();
    UploadResult late;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        late = PostBanner(form.action, MakeGif(468, 60));
        return late.httpStatus == 403;
    }, 5000));
    EXPECT_NE(late.status, QStringLiteral("Success"));
    EXPECT_EQ(server.StoredFiles().size(), 1);
    EXPECT_TRUE(prompts.messages.empty());
}
