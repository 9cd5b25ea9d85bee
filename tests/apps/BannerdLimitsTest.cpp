// bannerd's limits against slow, greedy and hostile clients, with short deadlines set on its
// command line: each holds only its own connection, good clients are still served.
#include "AccountStore.h"
#include "BannerdHarness.h"

#include <QFileInfo>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <arpa/inet.h>
#include <future>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <sodium.h>

namespace {

const QByteArray kPageRequest = WireU32(ServerMessageType::UploadPageRequest) + QByteArray(261, '\0');

// Sends raw bytes to the HTTP side and returns what comes back until it closes.
QByteArray RawHttp(quint16 port, const QByteArray &request, int timeoutMs = 20000)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < timeoutMs) {
        socket.waitForReadyRead(200);
        answer += socket.readAll();
    }
    return answer + socket.readAll();
}

class BannerdLimitsTest : public ::testing::Test {
protected:
    void StartWith(const QStringList &args)
    {
        ASSERT_EQ(server.AddUser(QStringLiteral("ann"), "pw"), 0);
        ASSERT_TRUE(server.Start(args)) << server.Log().toStdString();
    }
    // A logged-in client's upload form address.
    QString FormAction(ProtocolClient &client)
    {
        return LoggedInForm(client, server.ProtocolPort(), QStringLiteral("ann"), QStringLiteral("pw")).action;
    }
    // Waits for the server to log a text.
    bool LogShows(const QByteArray &text)
    {
        return QTest::qWaitFor([&] { return server.Log().contains(text); }, 10000);
    }

    BannerdProcess server;
};

} // namespace

TEST_F(BannerdLimitsTest, ProtocolConnectionsEndAtTheLoginDeadlineOrWithRepliesUnreadAndFilesArePrivate)
{
    ASSERT_NO_FATAL_FAILURE(StartWith(
        {"--login-timeout", "2", "--reply-timeout", "2", "--max-connections", "2"}));
    EXPECT_EQ(QFileInfo(server.Db()).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther), 0);
    EXPECT_EQ(QFileInfo(server.DataDir()).permissions() & (QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther), 0);
    // Page requests without a login do not keep a connection alive.
    ProtocolClient lingering;
    ASSERT_TRUE(lingering.Connect(server.ProtocolPort()));
    QElapsedTimer clock;
    clock.start();
    bool ok = true;
    while (ok && clock.elapsed() < 30000) {
        lingering.UploadPage(&ok);
        QTest::qWait(200);
    }
    EXPECT_FALSE(ok) << "still served after " << clock.elapsed() << " ms";

    // A logged-in client that never reads its replies holds its place only so long: with both
    // places taken, a new client gets in once the greedy one is dropped.
    ProtocolClient greedy;
    ASSERT_TRUE(greedy.Connect(server.ProtocolPort()));
    greedy.Write(WireLogin("ann", "pw"));
    ASSERT_TRUE(greedy.NextReply(30000));
    greedy.Socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    greedy.Socket().setReadBufferSize(1);
    QByteArray burst;
    for (int i = 0; i < 2000; ++i)
        burst += kPageRequest;
    for (int i = 0; i < 30 && greedy.Socket().state() == QAbstractSocket::ConnectedState; ++i) {
        greedy.Socket().write(burst);
        greedy.Socket().waitForBytesWritten(100);
    }
    ProtocolClient other; // the second place
    ASSERT_TRUE(other.Connect(server.ProtocolPort()));
    ASSERT_EQ(other.Login(QStringLiteral("ann"), QStringLiteral("pw")), 0);
    bool served = false;
    clock.restart();
    while (!served && clock.elapsed() < 30000) {
        ProtocolClient late;
        served = late.Connect(server.ProtocolPort()) && late.Login(QStringLiteral("ann"), QStringLiteral("pw")) == 0;
        if (!served)
            QTest::qWait(200);
    }
    EXPECT_TRUE(served) << server.Log().toStdString();
    EXPECT_TRUE(LogShows("replies not taken in time")) << server.Log().toStdString();
}

TEST_F(BannerdLimitsTest, HttpRequestsAreBoundedInTimeNumberAndSizeAndUnreadableOnesAnswered)
{
    ASSERT_NO_FATAL_FAILURE(StartWith({"--max-http-connections", "64"}));
    ProtocolClient client;
    const QString action = FormAction(client);
    ASSERT_FALSE(action.isEmpty());

    // 40 clients trickle a request one byte at a time, more than there used to be workers.
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < 40; ++i) {
        slow.push_back(std::make_unique<QTcpSocket>());
        slow.back()->connectToHost(QStringLiteral("127.0.0.1"), server.HttpPort());
        ASSERT_TRUE(slow.back()->waitForConnected(5000));
    }
    const QByteArray request = "POST / HTTP/1.1\r\nHost: x\r\nX-Long: " + QByteArray(4000, 'a');
    int sent = 0;
    QTimer trickle;
    QObject::connect(&trickle, &QTimer::timeout, [&] {
        for (auto &socket : slow)
            if (socket->state() == QAbstractSocket::ConnectedState)
                socket->write(request.mid(sent % request.size(), 1));
        ++sent;
    });
    trickle.start(100);
    const QByteArray banner = MakeGif(468, 60);
    ASSERT_FALSE(banner.isEmpty());
    std::future<UploadResult> upload = std::async(std::launch::async, [&] { return PostBanner(action, banner); });
    const bool answered =
        QTest::qWaitFor([&] { return upload.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 60000);
    trickle.stop();
    ASSERT_TRUE(answered);
    EXPECT_EQ(upload.get().status, "Success");
    // The trickling ones are cut off at their deadline.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        for (auto &socket : slow)
            if (socket->state() == QAbstractSocket::ConnectedState && !socket->waitForDisconnected(10))
                return false;
        return true;
    }, 30000));

    // Beyond the bound of connections a client is told at once that the server is busy: of
    // eight silent clients at a bound of four, four hold a place and four hear 503.
    BannerdProcess crowded;
    ASSERT_TRUE(crowded.Start({"--http-header-timeout", "120", "--max-http-connections", "4"}));
    std::vector<pollfd> silent;
    for (int i = 0; i < 8; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(crowded.HttpPort());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
        silent.push_back(pollfd{fd, POLLIN, 0});
    }
    int busy = 0, cut = 0;
    QElapsedTimer clock;
    clock.start();
    while (busy < 4 && clock.elapsed() < 60000) {
        if (::poll(silent.data(), nfds_t(silent.size()), 1000) <= 0)
            continue;
        for (pollfd &p : silent) {
            if (p.fd < 0 || p.revents == 0)
                continue;
            char head[12] = {};
            const bool refused = ::recv(p.fd, head, sizeof head, MSG_WAITALL) == sizeof head
                && std::string(head, sizeof head) == "HTTP/1.1 503";
            (refused ? busy : cut) += 1;
            p.fd = -1 - p.fd; // answered: poll skips it from now on
        }
    }
    EXPECT_EQ(busy, 4);
    EXPECT_EQ(cut, 0);
    for (const pollfd &p : silent)
        ::close(p.fd < 0 ? -1 - p.fd : p.fd);

    const QByteArray path = QUrl(action).path().toLatin1();

    // Endless header lines: refused once past a few kilobytes, not collected in memory.
    QByteArray headers = "GET /myback.html HTTP/1.1\r\nHost: x\r\n";
    for (int i = 0; i < 2000; ++i)
        headers += "X-Filler: " + QByteArray(90, 'f') + "\r\n";
    const QByteArray refused = RawHttp(server.HttpPort(), headers);
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 431")) << refused.left(60).toStdString();

    // Uploads the server cannot read are told apart from pages that do not exist.
    auto post = [&](const QByteArray &body, const QByteArray &boundary = "b") {
        return RawHttp(server.HttpPort(), "POST " + path + " HTTP/1.1\r\nHost: x\r\n"
                                          "Content-Type: multipart/form-data; boundary=" + boundary
                                              + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    };
    const QByteArray gif = MakeGif(468, 60);
    auto part = [&](const QByteArray &fileName, const QByteArray &content) {
        return "--b\r\nContent-Disposition: form-data; name=\"banner\"; filename=\"" + fileName
            + "\"\r\nContent-Type: image/gif\r\n\r\n" + content + "\r\n";
    };
    QByteArray manyParts;
    for (int i = 0; i < 5000; ++i)
        manyParts += part("p" + QByteArray::number(i) + ".gif", "x");
    QByteArray damaged = gif.left(13) + QByteArray(gif.size() - 13, char(0xFF));
    EXPECT_EQ(UploadStatus(post(part(QByteArray(10000, 'n') + ".gif", gif) + "--b--\r\n")), "ERR_FILEFORMAT");
    EXPECT_EQ(UploadStatus(post(manyParts + "--b--\r\n")), "ERR_FILEFORMAT");
    EXPECT_EQ(UploadStatus(post("--b\r\nthis is no part at all")), "ERR_FILEFORMAT");
    EXPECT_EQ(UploadStatus(post(part("banner.gif", damaged) + "--b--\r\n")), "ERR_FILEFORMAT");
    QByteArray another = gif; // a banner other than the one uploaded above: one colour differs
    another[13] = char(another[13] ^ 1);
    EXPECT_EQ(UploadStatus(post(part("banner.gif", another) + "--b--\r\n")), "Success");
    EXPECT_TRUE(RawHttp(server.HttpPort(), "GET /nothing HTTP/1.1\r\nHost: x\r\n\r\n").startsWith("HTTP/1.1 404"));
    EXPECT_EQ(server.StoredFiles().size(), 2);
}


TEST_F(BannerdLimitsTest, LoginBurstsAndGuessesAreBoundedOldHashesRenewedAndEveryEndLoggedOnce)
{
    ASSERT_GE(sodium_init(), 0);
    ASSERT_EQ(server.AddUser(QStringLiteral("ann"), "pw"), 0);
    // Ann's hash as older servers made it (argon2id at 64 MiB).
    char old[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str(old, "pw", 2, crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE), 0);
    {
        AccountStore accounts;
        QString why;
        ASSERT_TRUE(accounts.Open(server.Db(), &why));
        ASSERT_TRUE(accounts.ReplaceHash(QStringLiteral("ann"), accounts.HashOf(QStringLiteral("ann")).value(), old));
    }
    ASSERT_TRUE(server.Start({"--hash-threads", "1", "--max-waiting-logins", "3", "--max-failed-logins", "4"}))
        << server.Log().toStdString();
    ProtocolClient first;
    ASSERT_TRUE(first.Connect(server.ProtocolPort()));
    EXPECT_EQ(first.Login(QStringLiteral("ann"), QStringLiteral("pw")), 0);
    {
        AccountStore accounts;
        QString why;
        ASSERT_TRUE(accounts.Open(server.Db(), &why));
        const std::string renewed = accounts.HashOf(QStringLiteral("ann")).value_or(std::string());
        EXPECT_NE(renewed, std::string(old));
        EXPECT_FALSE(PasswordHash::NeedsRehash(renewed));
        EXPECT_TRUE(PasswordHash::Verify(renewed, "pw"));
    }

    // Twenty logins at once: those beyond the bound are refused at once instead of waiting.
    std::vector<std::unique_ptr<ProtocolClient>> burst;
    for (int i = 0; i < 20; ++i) {
        burst.push_back(std::make_unique<ProtocolClient>());
        ASSERT_TRUE(burst.back()->Connect(server.ProtocolPort()));
    }
    for (auto &client : burst) {
        client->Socket().write(WireLogin("ann", "pw"));
        client->Socket().flush();
    }
    int accepted = 0, refused = 0;
    for (auto &client : burst) {
        std::unique_ptr<ServerMessage> reply = client->NextReply(60000);
        ASSERT_TRUE(reply);
        (static_cast<LoginReply &>(*reply).Result() == 0 ? accepted : refused) += 1;
    }
    EXPECT_GE(accepted, 3);
    EXPECT_GE(refused, 1);
    EXPECT_TRUE(LogShows("too many logins waiting"));
    // And a refused client may simply try again.
    ProtocolClient again;
    ASSERT_TRUE(again.Connect(server.ProtocolPort()));
    EXPECT_EQ(again.Login(QStringLiteral("ann"), QStringLiteral("pw")), 0);

    // Reconnecting does not buy new guesses: after four wrong ones even the right password is
    // refused from this address. A name with a line break cannot forge a log line.
    for (int i = 0; i < 4; ++i) {
        ProtocolClient guesser;
        ASSERT_TRUE(guesser.Connect(server.ProtocolPort()));
        EXPECT_EQ(guesser.Login(QStringLiteral("ann\n2026-01-01 login ann from 10.9.9.9"), QStringLiteral("guess")), 1);
    }
    ProtocolClient right;
    ASSERT_TRUE(right.Connect(server.ProtocolPort()));
    EXPECT_EQ(right.Login(QStringLiteral("ann"), QStringLiteral("pw")), 1);
    EXPECT_TRUE(LogShows("too many failed logins from this address"));
    const QByteArray log = server.Log();
    EXPECT_FALSE(log.contains("\n2026-01-01 login")) << log.toStdString();
    EXPECT_TRUE(log.contains("ann\\x0a2026-01-01")) << log.toStdString();

    // The end of a connection is logged once, whichever side ends it.
    ProtocolClient bad, gone;
    ASSERT_TRUE(bad.Connect(server.ProtocolPort()));
    ASSERT_TRUE(gone.Connect(server.ProtocolPort()));
    const QByteArray badPeer = "127.0.0.1:" + QByteArray::number(bad.Socket().localPort()) + ":";
    const QByteArray gonePeer = "127.0.0.1:" + QByteArray::number(gone.Socket().localPort()) + ":";
    bad.Write(WireU32(7) + QByteArray(300, 'x'));
    gone.Write(WireLogin("ann", "pw").left(20));
    gone.Close();
    EXPECT_TRUE(bad.WaitClosed(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return server.Log().contains(badPeer) && server.Log().contains(gonePeer); }, 10000));
    EXPECT_EQ(server.Log().count(badPeer), 1) << server.Log().toStdString();
    EXPECT_EQ(server.Log().count(gonePeer), 1) << server.Log().toStdString();
}
