// bannerd's limits against slow, greedy and hostile clients, with short deadlines set on its
// command line: each holds only its own connection, good clients are still served.
#include "AccountStore.h"
#include "BannerdHarness.h"

#include <QFileInfo>
#include <QTest>
#include <QUrl>
#include <future>
#include <gtest/gtest.h>
#include <sodium.h>

namespace {

// Sends raw bytes to the HTTP side and returns what comes back until it closes.
QByteArray RawHttp(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    socket.waitForDisconnected(20000);
    return socket.readAll();
}

std::vector<std::unique_ptr<QTcpSocket>> Clients(quint16 port, int n)
{
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < n; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QStringLiteral("127.0.0.1"), port);
        EXPECT_TRUE(clients.back()->waitForConnected(5000));
    }
    return clients;
}

class BannerdLimitsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(server.AddUser(QStringLiteral("ann"), "pw"), 0); }
    // A login's result on a new connection.
    int LoginAnn(const QString &name = QStringLiteral("ann"), const QString &password = QStringLiteral("pw"))
    {
        ProtocolClient client;
        return client.Connect(server.ProtocolPort()) ? client.Login(name, password) : -1;
    }
    bool LogShows(const QByteArray &text)
    {
        return QTest::qWaitFor([&] { return server.Log().contains(text); }, 10000);
    }
    BannerdProcess server;
};

} // namespace

TEST_F(BannerdLimitsTest, ProtocolConnectionsEndAtTheLoginDeadlineOrWithRepliesUnreadAndFilesArePrivate)
{
    ASSERT_TRUE(server.Start({"--login-timeout", "2", "--reply-timeout", "2", "--max-connections", "2"}));
    EXPECT_EQ(QFileInfo(server.Db()).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), 0);
    EXPECT_EQ(QFileInfo(server.DataDir()).permissions() & (QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther), 0);
    // Page requests without a login do not keep a connection alive.
    ProtocolClient lingering;
    ASSERT_TRUE(lingering.Connect(server.ProtocolPort()));
    bool ok = true;
    EXPECT_TRUE(QTest::qWaitFor([&] { lingering.UploadPage(&ok); return !ok; }, 30000));

    // A logged-in client that never reads its replies is dropped: a third client gets in.
    ProtocolClient greedy, other;
    ASSERT_TRUE(greedy.Connect(server.ProtocolPort()));
    greedy.Write(WireLogin("ann", "pw"));
    ASSERT_TRUE(greedy.NextReply(30000));
    greedy.Socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    greedy.Socket().setReadBufferSize(1);
    const QByteArray burst = (WireU32(ServerMessageType::UploadPageRequest) + QByteArray(261, '\0')).repeated(2000);
    for (int i = 0; i < 30 && greedy.Socket().state() == QAbstractSocket::ConnectedState; ++i) {
        greedy.Socket().write(burst);
        greedy.Socket().waitForBytesWritten(100);
    }
    ASSERT_TRUE(other.Connect(server.ProtocolPort()));
    ASSERT_EQ(other.Login(QStringLiteral("ann"), QStringLiteral("pw")), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return LoginAnn() == 0; }, 30000)) << server.Log().toStdString();
    EXPECT_TRUE(LogShows("replies not taken in time")) << server.Log().toStdString();
}

TEST_F(BannerdLimitsTest, HttpRequestsAreBoundedInTimeNumberAndSizeAndUnreadableOnesAnswered)
{
    ASSERT_TRUE(server.Start({"--max-http-connections", "64"}));
    ProtocolClient client;
    const QString action = LoggedInForm(client, server.ProtocolPort(), QStringLiteral("ann"), QStringLiteral("pw")).action;
    ASSERT_FALSE(action.isEmpty());
    const QByteArray gif = MakeGif(468, 60);
    ASSERT_FALSE(gif.isEmpty());

    // 40 clients trickle a request a byte at a time, yet an upload is served and they are cut off.
    const auto slow = Clients(server.HttpPort(), 40);
    const QByteArray request = "POST / HTTP/1.1\r\nHost: x\r\nX-Long: " + QByteArray(4000, 'a');
    std::future<UploadResult> upload = std::async(std::launch::async, [&] { return PostBanner(action, gif); });
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(QTest::qWaitFor([&, sent = 0]() mutable { // a byte every 100 ms
        for (; sent < clock.elapsed() / 100; ++sent)
            for (auto &socket : slow)
                if (socket->state() == QAbstractSocket::ConnectedState)
                    socket->write(request.mid(sent % request.size(), 1));
        return upload.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }, 60000));
    EXPECT_EQ(upload.get().status, "Success");
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return std::none_of(slow.begin(), slow.end(), [](auto &s) { return s->state() == QAbstractSocket::ConnectedState; });
    }, 30000));

    // Of eight silent clients at a bound of four, four hold a place and four hear 503 at once.
    BannerdProcess crowded;
    ASSERT_TRUE(crowded.Start({"--http-header-timeout", "120", "--max-http-connections", "4"}));
    const auto silent = Clients(crowded.HttpPort(), 8);
    auto count = [&](bool busy) {
        return std::count_if(silent.begin(), silent.end(), [&](auto &s) {
            return s->peek(12) == "HTTP/1.1 503" ? busy : !busy && s->state() != QAbstractSocket::ConnectedState;
        });
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return count(true) >= 4; }, 60000));
    EXPECT_EQ(count(true), 4);
    EXPECT_EQ(count(false), 0);

    // Endless header lines are refused once past a few kilobytes.
    const QByteArray headers = "GET /myback.html HTTP/1.1\r\nHost: x\r\n" + ("X-Filler: " + QByteArray(90, 'f') + "\r\n").repeated(2000);
    const QByteArray refused = RawHttp(server.HttpPort(), headers);
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 431")) << refused.left(60).toStdString();

    // Uploads the server cannot read are told apart from pages that do not exist.
    auto post = [&](const QByteArray &body) {
        return UploadStatus(RawHttp(server.HttpPort(), "POST " + QUrl(action).path().toLatin1() + " HTTP/1.1\r\nHost: x\r\n"
            "Content-Type: multipart/form-data; boundary=b\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body));
    };
    auto part = [&](const QByteArray &fileName, const QByteArray &content) {
        return "--b\r\nContent-Disposition: form-data; name=\"banner\"; filename=\"" + fileName
            + "\"\r\nContent-Type: image/gif\r\n\r\n" + content + "\r\n";
    };
    EXPECT_EQ(post(part(QByteArray(10000, 'n') + ".gif", gif) + "--b--\r\n"), "ERR_FILEFORMAT");
    EXPECT_EQ(post(part("p.gif", "x").repeated(5000) + "--b--\r\n"), "ERR_FILEFORMAT");
    EXPECT_EQ(post("--b\r\nthis is no part at all"), "ERR_FILEFORMAT");
    EXPECT_EQ(post(part("banner.gif", gif.left(13) + QByteArray(gif.size() - 13, char(0xFF))) + "--b--\r\n"), "ERR_FILEFORMAT");
    QByteArray another = gif; // one colour differs from the banner uploaded above
    another[13] = char(another[13] ^ 1);
    EXPECT_EQ(post(part("banner.gif", another) + "--b--\r\n"), "Success");
    EXPECT_TRUE(RawHttp(server.HttpPort(), "GET /nothing HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 404"));
    EXPECT_EQ(server.StoredFiles().size(), 2);
}

TEST_F(BannerdLimitsTest, LoginBurstsAndGuessesAreBoundedOldHashesRenewedAndEveryEndLoggedOnce)
{
    ASSERT_GE(sodium_init(), 0);
    // Ann's hash as older servers made it (argon2id at 64 MiB) is renewed at her login.
    char old[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str(old, "pw", 2, crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE), 0);
    const QString ann = QStringLiteral("ann");
    AccountStore accounts;
    QString why;
    ASSERT_TRUE(accounts.Open(server.Db(), &why));
    ASSERT_TRUE(accounts.ReplaceHash(ann, accounts.HashOf(ann).value(), old));
    ASSERT_TRUE(server.Start({"--hash-threads", "1", "--max-waiting-logins", "3", "--max-failed-logins", "4"}));
    EXPECT_EQ(LoginAnn(), 0);
    const std::string renewed = accounts.HashOf(ann).value_or(std::string());
    EXPECT_FALSE(PasswordHash::NeedsRehash(renewed));
    EXPECT_TRUE(PasswordHash::Verify(renewed, "pw"));

    // Of twenty logins at once, those beyond the bound are refused at once; they may try again.
    std::vector<std::unique_ptr<ProtocolClient>> burst(20);
    for (auto &client : burst)
        ASSERT_TRUE((client = std::make_unique<ProtocolClient>())->Connect(server.ProtocolPort()));
    for (auto &client : burst)
        client->Write(WireLogin("ann", "pw"));
    int accepted = 0, refused = 0;
    for (auto &client : burst) {
        std::unique_ptr<ServerMessage> reply = client->NextReply(60000);
        ASSERT_TRUE(reply);
        (static_cast<LoginReply &>(*reply).Result() == 0 ? accepted : refused) += 1;
    }
    EXPECT_GE(accepted, 3);
    EXPECT_GE(refused, 1);
    EXPECT_TRUE(LogShows("too many logins waiting"));
    EXPECT_EQ(LoginAnn(), 0);

    // Reconnecting buys no new guesses, and a name with a line break cannot forge a log line.
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(LoginAnn(QStringLiteral("ann\n2026-01-01 login ann from 10.9.9.9"), QStringLiteral("guess")), 1);
    EXPECT_EQ(LoginAnn(), 1);
    EXPECT_TRUE(LogShows("too many failed logins from this address"));
    EXPECT_FALSE(server.Log().contains("\n2026-01-01 login")) << server.Log().toStdString();
    EXPECT_TRUE(server.Log().contains("ann\\x0a2026-01-01"));

    // The end of a connection is logged once, whichever side ends it.
    ProtocolClient bad, gone;
    ASSERT_TRUE(bad.Connect(server.ProtocolPort()));
    ASSERT_TRUE(gone.Connect(server.ProtocolPort()));
    auto peer = [](ProtocolClient &c) { return "127.0.0.1:" + QByteArray::number(c.Socket().localPort()) + ":"; };
    const QByteArray badPeer = peer(bad), gonePeer = peer(gone);
    bad.Write(WireU32(7) + QByteArray(300, 'x'));
    gone.Write(WireLogin("ann", "pw").left(20));
    gone.Close();
    EXPECT_TRUE(bad.WaitClosed(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.Log().contains(badPeer) && server.Log().contains(gonePeer); }, 10000));
    EXPECT_EQ(server.Log().count(badPeer), 1) << server.Log().toStdString();
    EXPECT_EQ(server.Log().count(gonePeer), 1) << server.Log().toStdString();
}
