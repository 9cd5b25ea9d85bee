#include <gtest/gtest.h>

#include "ClientFixture.h"
#include "LoopbackServer.h"
#include "server/ServerSession.h"

#include <QPointer>

using namespace ClientTest;
using namespace LoopbackTest;

namespace {

class ServerConnectionTest : public Fixture {
protected:
    // Runs the Login command with these answers until the scripted server has the request.
    void SendLogin(ServerSession &session, LoopbackServer &server, const QString &user = QStringLiteral("anna"),
                   const QString &pass = QStringLiteral("pw"))
    {
        Answer(user, pass);
        session.OnServerLogin();
        ASSERT_NE(session.Connection(), nullptr);
        QString name, password;
        ASSERT_TRUE(server.TakeLogin(&name, &password));
        EXPECT_EQ(name, user);
    }
    // Logs in through the session's command against the scripted server.
    void LogIn(ServerSession &session, LoopbackServer &server)
    {
        ASSERT_NO_FATAL_FAILURE(SendLogin(session, server));
        server.Write(LoginReplyBytes(0));
        ASSERT_TRUE(QTest::qWaitFor([&] { return session.IsLoggedIn(); }, 5000));
    }
};

} // namespace

TEST_F(ServerConnectionTest, SocketErrorsBecomeWindowsSocketsNumbers)
{
    using E = QAbstractSocket::SocketError;
    EXPECT_EQ(ServerConnection::WinsockError(E::ConnectionRefusedError), 10061);
    EXPECT_EQ(ServerConnection::WinsockError(E::SocketTimeoutError), 10060);
    EXPECT_EQ(ServerConnection::WinsockError(E::HostNotFoundError), 11001);
    EXPECT_EQ(ServerConnection::WinsockError(E::NetworkError, "Host unreachable"), 10065);
    EXPECT_EQ(ServerConnection::WinsockError(E::NetworkError, "Connection timed out"), 10060);
    EXPECT_EQ(ServerConnection::WinsockError(E::NetworkError, "Network unreachable"), 10050);
    EXPECT_EQ(ServerConnection::WinsockError(E::SocketAccessError), 10004);
    EXPECT_EQ(ServerConnection::WinsockError(E::UnknownSocketError), 10004);
}

TEST_F(ServerConnectionTest, HostAndPortComeFromTheSettings)
{
    {
        ServerConnection connection;
        EXPECT_EQ(connection.ServerHost(), "127.0.0.1");
        EXPECT_EQ(connection.ServerPort(), 5000);
    }
    UseServerPort(6123);
    ServerConnection connection;
    EXPECT_EQ(connection.ServerPort(), 6123);
    EXPECT_FALSE(connection.IsLoggedIn());
    EXPECT_TRUE(connection.IsIdle());
    EXPECT_TRUE(connection.ExpectingNewMessage());
    EXPECT_EQ(connection.RememberName(), 0u);
    EXPECT_TRUE(connection.UserName().isEmpty());
}

TEST_F(ServerConnectionTest, RefusedConnectionIsReportedWithItsCode)
{
    UseServerPort(ClosedPort());
    ServerConnection connection;
    connection.SetUserName("anna");
    connection.SetPassword("pw");
    EXPECT_EQ(connection.Connect(), 0); // under way: the outcome follows
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.messages.empty(); }, 5000));
    EXPECT_TRUE(prompts.WasShown("Error connecting to server. Error code = 10061.", Prompts::Icon::None));
    EXPECT_FALSE(connection.IsLoggedIn());
    EXPECT_FALSE(connection.IsSocketOpen());
    EXPECT_TRUE(connection.IsIdle());
}

TEST_F(ServerConnectionTest, LoginAcceptedLeavesAnIdleLoggedInConnection)
{
    LoopbackServer server;
    UseServerPort(server.Port());
    ServerSession session;
    EXPECT_EQ(session.LoginCommandText(), "&Login...");
    EXPECT_EQ(session.LoginCommandPrompt(), "Login to the Vellumark Server");
    Answer("ann%sa", QString::fromLatin1("p\xe4ss"), true);
    session.OnServerLogin();
    ServerConnection *connection = session.Connection();
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->IsLoggedIn());
    QString name, password;
    ASSERT_TRUE(server.TakeLogin(&name, &password));
    EXPECT_EQ(name, "ann%sa"); // sent exactly as typed
    EXPECT_EQ(password, QString::fromLatin1("p\xe4ss"));
    server.Write(LoginReplyBytes(0), 3); // the reply arrives in three pieces
    ASSERT_TRUE(QTest::qWaitFor([&] { return connection->IsLoggedIn(); }, 5000));
    EXPECT_TRUE(connection->IsIdle());
    EXPECT_EQ(connection->PeekedTypeCode(), 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.WasShown("Login successful.", Prompts::Icon::None); }, 5000));
    EXPECT_EQ(session.LoginCommandText(), "Logout");
    EXPECT_EQ(session.LoginCommandPrompt(), "Logout from the Vellumark Server");
    EXPECT_TRUE(session.IsCommandEnabled(ServerSession::kLoginCommand));
    EXPECT_FALSE(session.IsCommandEnabled(ServerSession::kLoginButton));
    EXPECT_TRUE(session.IsCommandEnabled(ServerSession::kLogoutButton));

    // Logout: nothing sent, nothing shown, the object stays.
    const size_t shown = prompts.messages.size();
    session.OnServerLogin();
    EXPECT_EQ(session.Connection(), connection);
    EXPECT_FALSE(session.IsLoggedIn());
    EXPECT_FALSE(connection->IsSocketOpen());
    EXPECT_EQ(session.LoginCommandText(), "&Login...");
    EXPECT_TRUE(session.IsLoginEnabled());
    EXPECT_FALSE(session.IsLogoutEnabled());
    QTest::qWait(50);
    EXPECT_EQ(prompts.messages.size(), shown);
    EXPECT_TRUE(server.received.isEmpty());
}

TEST_F(ServerConnectionTest, ServerClosingWhileTheLoginDialogIsOpenKeepsTheConnection)
{
    LoopbackServer server;
    UseServerPort(server.Port());
    ServerSession session;
    ASSERT_NO_FATAL_FAILURE(SendLogin(session, server)); // the reply is still awaited
    QPointer<ServerConnection> connection = session.Connection();
    // Login again: while its dialog is open the server closes the connection, and Login is
    // chosen once more from inside the dialog's event loop.
    bool disabledMeanwhile = false;
    login.whileShown = [&] {
        server.client->disconnectFromHost();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !connection || !connection->IsSocketOpen(); }, 5000));
        session.OnServerLogin();
        disabledMeanwhile = !session.IsCommandEnabled(ServerSession::kLoginCommand)
            && !session.IsCommandEnabled(ServerSession::kLoginButton);
    };
    Answer("bert", "pw2");
    session.OnServerLogin();
    ASSERT_TRUE(connection);
    EXPECT_EQ(session.Connection(), connection.data());
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_EQ(login.shown.size(), 2u); // the nested Login opened no dialog of its own
    // What was typed goes out on a new connection.
    QString name, password;
    ASSERT_TRUE(server.TakeLogin(&name, &password));
    EXPECT_EQ(name, "bert");
    EXPECT_EQ(server.connections, 2);
    server.Write(LoginReplyBytes(0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.IsLoggedIn(); }, 5000));
    EXPECT_FALSE(prompts.WasShown("Aborting upload to server.", Prompts::Icon::Stop));
    EXPECT_TRUE(session.IsCommandEnabled(ServerSession::kLoginCommand));
}

TEST_F(ServerConnectionTest, RejectedLoginKeepsTheObjectAndTheNextLoginStartsOver)
{
    LoopbackServer server;
    UseServerPort(server.Port());
    ServerSession session;
    for (std::uint32_t result : {1u, 4294967295u}) {
        Answer("anna", "wrong");
        session.OnServerLogin();
        QPointer<ServerConnection> connection = session.Connection();
        ASSERT_TRUE(connection);
        QString name, password;
        ASSERT_TRUE(server.TakeLogin(&name, &password));
        server.Write(LoginReplyBytes(result));
        ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.WasShown(kRejected, Prompts::Icon::None); }, 5000));
        EXPECT_EQ(session.Connection(), connection.data());
        EXPECT_FALSE(connection->IsSocketOpen());
        EXPECT_FALSE(session.IsLoggedIn());
        prompts.messages.clear();
    }
    EXPECT_EQ(server.connections, 2); // a new socket each time
    EXPECT_EQ(login.shown.size(), 2u);
}

TEST_F(ServerConnectionTest, CancelledOrFailedLoginLeavesNoConnection)
{
    ServerSession session;
    session.OnServerLogin(); // the scripted dialog cancels
    EXPECT_EQ(session.Connection(), nullptr);
    EXPECT_TRUE(prompts.WasShown("Aborting upload to server.", Prompts::Icon::Stop));
    EXPECT_EQ(login.shown.size(), 1u);
}

TEST_F(ServerConnectionTest, ServerClosingTheConnectionLogsOutSilently)
{
    LoopbackServer server;
    UseServerPort(server.Port());
    ServerSession session;
    LogIn(session, server);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.messages.empty(); }, 5000));
    prompts.messages.clear();
    int changes = 0;
    QObject::connect(&session, &ServerSession::loginStateChanged, [&] { ++changes; });
    server.client->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.Connection() == nullptr; }, 5000));
    EXPECT_FALSE(session.IsLoggedIn());
    EXPECT_EQ(session.LoginCommandText(), "&Login...");
    EXPECT_GE(changes, 1);
    QTest::qWait(50);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ServerConnectionTest, UploadPageArrivesSplitAndMerged)
{
    LoopbackServer server;
    UseServerPort(server.Port());
    ServerSession session;
    LogIn(session, server);
    ServerConnection *connection = session.Connection();
    Pages owner;
    ASSERT_EQ(connection->RequestUploadPage(&owner, UploadPageRequest::kFixedPath), 0);
    EXPECT_FALSE(connection->IsIdle());
    ASSERT_TRUE(server.WaitForBytes(265));
    EXPECT_EQ(server.received.left(4), U32(ServerMessageType::UploadPageRequest));
    EXPECT_EQ(server.received.mid(4, 22), QByteArray("C:\\Test\\File\\To\\Ignore"));
    server.received.clear();

    // One page in pieces of 5 bytes (the length field split), then two pages in one write.
    const QByteArray page1 = "<html><body>first</body></html>";
    server.Write(PageReplyBytes(page1), 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.pages.size() == 1; }, 5000));
    EXPECT_EQ(owner.pages[0], page1);
    server.Write(PageReplyBytes("second") + PageReplyBytes(""));
    ASSERT_TRUE(QTest::qWaitFor([&] { return owner.pages.size() == 3; }, 5000));
    EXPECT_EQ(owner.pages[1], QByteArray("second"));
    EXPECT_TRUE(owner.pages[2].isEmpty());
    EXPECT_TRUE(connection->IsLoggedIn());

    // The upload dialog closes: back to logged in and idle.
    connection->ClearExchange();
    EXPECT_TRUE(connection->IsIdle());
    EXPECT_TRUE(connection->IsLoggedIn());
}

TEST_F(ServerConnectionTest, BadRepliesCloseTheConnection)
{
    const QByteArray bad[] = {
        U32(ServerMessageType::UploadPageReply) + U32(UploadPageReply::kMaxPageLength + 1),
        U32(0x12345678) + U32(0),
        U32(ServerMessageType::LoginRequest) + QByteArray(162, 'x'),
    };
    for (const QByteArray &bytes : bad) {
        LoopbackServer server;
        UseServerPort(server.Port());
        ServerSession session;
        LogIn(session, server);
        QPointer<ServerConnection> connection = session.Connection();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.messages.empty(); }, 5000));
        prompts.messages.clear();
        Pages owner;
        connection->RequestUploadPage(&owner, UploadPageRequest::kFixedPath);
        server.Write(bytes);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !session.IsLoggedIn(); }, 5000));
        EXPECT_TRUE(owner.pages.empty());
        EXPECT_TRUE(prompts.messages.empty());
        if (connection) {
            EXPECT_FALSE(connection->IsSocketOpen());
            EXPECT_TRUE(connection->IsIdle());
        }
    }
}

TEST_F(ServerConnectionTest, LoginAgainWhileAwaitingTheReplySendsNothingNew)
{
    LoopbackServer server;
    UseServerPort(server.Port());
    ServerSession session;
    ASSERT_NO_FATAL_FAILURE(SendLogin(session, server, "first", "pw1"));
    Answer("second", "pw2");
    session.OnServerLogin(); // the dialog shows again; the open socket carries on
    EXPECT_EQ(login.shown.size(), 2u);
    EXPECT_EQ(session.Connection()->UserName(), "second");
    QTest::qWait(50);
    EXPECT_EQ(server.connections, 1);
    EXPECT_TRUE(server.received.isEmpty());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ServerConnectionTest, TypeCodeSplitAcrossSegmentsStillLogsIn)
{
    for (int head = 1; head <= 3; ++head) {
        LoopbackServer server;
        UseServerPort(server.Port());
        ServerSession session;
        ASSERT_NO_FATAL_FAILURE(SendLogin(session, server));
        const QByteArray reply = LoginReplyBytes(0);
        server.Write(reply.left(head));
        QTest::qWait(30); // the client sees only part of the type code
        ASSERT_NE(session.Connection(), nullptr);
        EXPECT_TRUE(session.Connection()->IsSocketOpen()) << head;
        server.Write(reply.mid(head));
        EXPECT_TRUE(QTest::qWaitFor([&] { return session.IsLoggedIn(); }, 5000)) << head;
    }
}

TEST_F(ServerConnectionTest, ReplyFollowedAtOnceByTheCloseIsStillRead)
{
    LoopbackServer server;
    UseServerPort(server.Port());
    ServerSession session;
    ASSERT_NO_FATAL_FAILURE(SendLogin(session, server));
    server.client->write(LoginReplyBytes(7));
    server.client->disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.WasShown(kRejected, Prompts::Icon::None); }, 5000));
    EXPECT_FALSE(session.IsLoggedIn());
}
