// Upload GIF on the client side: the command's enable rule, the stored page and the messages
// for pages that cannot be shown, against the scripted server.
#include <gtest/gtest.h>

#include "ClientFixture.h"
#include "LoopbackServer.h"
#include "TestSupport.h"
#include "platform/settings/AppPaths.h"
#include "server/ServerSession.h"
#include "server/UploadPage.h"

#include <QDir>
#include <QFile>

using namespace ClientTest;
using namespace LoopbackTest;

namespace {

class UploadTest : public Fixture {
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        UploadPrompt::Register(&dialog);
        UseServerPort(server.Port());
        QDir().mkpath(AppPaths::UserDataDir() + "/Misc");
        Answer("Ann/Lee:1", "pw");
        session.OnServerLogin();
        QString name, password;
        ASSERT_TRUE(server.TakeLogin(&name, &password));
        server.Write(LoginReplyBytes(0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.WasShown("Login successful.", Prompts::Icon::None); }, 5000));
        prompts.messages.clear();
    }
    void TearDown() override
    {
        UploadPrompt::Register(nullptr);
        QFile::remove(AppPaths::Home() + "/machine");
        Fixture::TearDown();
    }
    // Runs Upload GIF and answers the request with `page`; true once the exchange is over.
    bool Upload(const QByteArray &page)
    {
        EXPECT_TRUE(session.IsCommandEnabled(ID_SERVER_UPLOADGIF));
        session.OnCommand(ID_SERVER_UPLOADGIF);
        if (!server.WaitForBytes(265))
            return false;
        const QByteArray request = server.received.left(265);
        server.received.remove(0, 265);
        EXPECT_EQ(request.left(4), U32(ServerMessageType::UploadPageRequest));
        EXPECT_EQ(TextFieldBytes(request.constData() + 4, 261), QByteArray("C:\\Test\\File\\To\\Ignore"));
        const auto shownBefore = dialog.shown.size();
        const auto messagesBefore = prompts.messages.size();
        server.Write(PageReplyBytes(page));
        return QTest::qWaitFor([&] {
            return (dialog.shown.size() > shownBefore || prompts.messages.size() > messagesBefore) &&
                   session.IsUploadEnabled();
        }, 5000);
    }

    ScriptedUploadPrompt dialog;
    LoopbackServer server;
    ServerSession session;
};

} // namespace

TEST_F(UploadTest, PageIsStoredUnderTheCleanedNameAndShownWhileUploadIsDisabled)
{
    const QByteArray page = "<html><body><form>upload</form></body></html>";
    bool disabledWhileOpen = false;
    QByteArray storedWhileOpen;
    dialog.whileOpen = [&](const QString &path) {
        disabledWhileOpen = !session.IsCommandEnabled(ID_SERVER_UPLOADGIF) && session.IsLoggedIn();
        storedWhileOpen = TestSupport::ReadFile(path);
    };
    ASSERT_TRUE(Upload(page));
    ASSERT_EQ(dialog.shown.size(), 1u);
    // Only the file name is lower-cased: the data folder (here a temporary one with capitals)
    // keeps its case, or the page would land in a folder that does not exist.
    EXPECT_EQ(dialog.shown[0], AppPaths::UserDataDir() + "/Misc/uann_lee_1.html");
    EXPECT_NE(AppPaths::UserDataDir(), AppPaths::UserDataDir().toLower());
    EXPECT_EQ(storedWhileOpen, page);
    EXPECT_TRUE(disabledWhileOpen);
    EXPECT_TRUE(session.IsLoggedIn()); // enabled again without a new login
    EXPECT_TRUE(prompts.messages.empty());

    // A second page replaces the first.
    dialog.whileOpen = nullptr;
    ASSERT_TRUE(Upload("<html>2</html>"));
    EXPECT_EQ(TestSupport::ReadFile(dialog.shown.back()), QByteArray("<html>2</html>"));
}

TEST_F(UploadTest, PagesThatCannotBeShownAreReportedAndTheUserStaysLoggedIn)
{
    ASSERT_TRUE(Upload(QByteArray()));
    EXPECT_TRUE(prompts.WasShown("Error uploading file to server.", Prompts::Icon::None));

    // The Misc folder cannot take the page (it is a file here): nothing half written remains.
    const QString misc = AppPaths::UserDataDir() + "/Misc";
    ASSERT_TRUE(QDir(misc).removeRecursively());
    ASSERT_TRUE(TestSupport::WriteFile(misc, "not a folder"));
    ASSERT_TRUE(Upload("<html></html>"));
    EXPECT_TRUE(prompts.WasShown("Error creating the upload page. Aborting upload.", Prompts::Icon::None));
    QFile::remove(misc);
    QDir().mkpath(misc);

    TestSupport::WriteFile(AppPaths::Home() + "/machine", R"({"keys": {"Software\\Corvanta\\Vellumark": {}}})");
    ASSERT_TRUE(Upload("<html></html>"));
    EXPECT_TRUE(prompts.WasShown("Error reading file name from the registry. Aborting upload.", Prompts::Icon::None));
    EXPECT_TRUE(dialog.shown.empty());
    EXPECT_TRUE(session.IsLoggedIn());
    EXPECT_EQ(prompts.messages.size(), 3u);
}

TEST_F(UploadTest, ServerClosingWhileTheDialogIsOpenLogsOutAfterwards)
{
    dialog.whileOpen = [&](const QString &) {
        server.client->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return session.Connection() == nullptr; }, 5000));
    };
    session.OnCommand(ID_SERVER_UPLOADGIF);
    ASSERT_TRUE(server.WaitForBytes(265));
    server.Write(PageReplyBytes("<html></html>"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.shown.empty(); }, 5000));
    QTest::qWait(0);
    EXPECT_FALSE(session.IsLoggedIn());
    EXPECT_FALSE(session.IsCommandEnabled(ID_SERVER_UPLOADGIF));
    EXPECT_TRUE(session.IsCommandEnabled(ID_SERVER_LOGINBUTTON));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST(UploadStatus, ResultWordsMapWithoutRegardToCase)
{
    EXPECT_EQ(UploadStatusFromWord(QString("Success")), 0);
    EXPECT_EQ(UploadStatusFromWord(QString("success")), 0);
    EXPECT_EQ(UploadStatusFromWord(QString("err_filesize")), -2);
    EXPECT_EQ(UploadStatusFromWord(QString("ERR_FILEDIM")), -3);
    EXPECT_EQ(UploadStatusFromWord(QString("ERR_FILEFORMAT")), -4);
    EXPECT_EQ(UploadStatusFromWord(QString("Success ")), -1);
    EXPECT_EQ(UploadStatusFromWord(QString()), -1);
    EXPECT_EQ(UploadStatusFromWord(std::nullopt), -1);
    EXPECT_EQ(UploadPagePath("/D/Ann", "A\\b/c:d?e\"f<g>h|I"), "/D/Ann/Misc/ua_b_c_d_e_f_g_h_i.html");
}
