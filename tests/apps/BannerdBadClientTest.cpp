// Clients that misbehave lose their own connection and nothing else.
#include "BannerdHarness.h"

#include <QElapsedTimer>
#include <QUrl>
#include <QThread>
#include <gtest/gtest.h>

namespace {
// AddressSanitizer holds freed memory in quarantine, so resident size says nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentSizeMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentSizeMeaningful = false;
#else
constexpr bool kResidentSizeMeaningful = true;
#endif
#else
constexpr bool kResidentSizeMeaningful = true;
#endif

class BannerdBadClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(server.AddUser(QStringLiteral("ann"), "pw"), 0);
        ASSERT_TRUE(server.Start()) << server.Log().toStdString();
        ASSERT_TRUE(good.Connect(server.ProtocolPort()));
        ASSERT_EQ(good.Login(QStringLiteral("ann"), QStringLiteral("pw")), 0);
    }

    // The well-behaved client, logged in before the bad one starts, still gets its page.
    void ExpectGoodClientServed()
    {
        const UploadForm form = ParseUploadForm(good.UploadPage());
        EXPECT_EQ(form.fileInputs, 1);
        EXPECT_TRUE(server.Running());
    }

    BannerdProcess server;
    ProtocolClient good;
};
} // namespace

TEST_F(BannerdBadClientTest, UnknownAndReplyTypeCodesCloseTheConnection)
{
    for (std::uint32_t code : {0u, 1u, 20222u, 20226u, 0xFFFFFFFFu}) {
        ProtocolClient bad;
        ASSERT_TRUE(bad.Connect(server.ProtocolPort()));
        bad.Write(WireU32(code) + QByteArray(300, 'x'));
        EXPECT_TRUE(bad.WaitClosed(3000)) << code;
    }
    ExpectGoodClientServed();
}

TEST_F(BannerdBadClientTest, TruncatedMessagesAndGarbageAfterAGoodOne)
{
    {
        ProtocolClient cut; // half a login, then gone
        ASSERT_TRUE(cut.Connect(server.ProtocolPort()));
        cut.Write(WireLogin("ann", "pw").left(90));
        cut.Close();
    }
    {
        ProtocolClient partial; // 1 to 3 bytes of a type code, then gone
        ASSERT_TRUE(partial.Connect(server.ProtocolPort()));
        partial.Write(WireU32(ServerMessageType::LoginRequest).left(3));
        partial.Close();
    }
    ProtocolClient garbage; // a sound login followed by noise: answered, then closed
    ASSERT_TRUE(garbage.Connect(server.ProtocolPort()));
    garbage.Write(WireLogin("ann", "pw") + QByteArray(64 * 1024, char(0xA5)));
    std::unique_ptr<ServerMessage> reply = garbage.NextReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->TypeCode(), ServerMessageType::LoginReply);
    EXPECT_EQ(static_cast<LoginReply &>(*reply).Result(), 0u);
    EXPECT_TRUE(garbage.WaitClosed(5000));
    ExpectGoodClientServed();
}

TEST_F(BannerdBadClientTest, PipelinedRequestsAreAnsweredInOrder)
{
    ProtocolClient eager;
    ASSERT_TRUE(eager.Connect(server.ProtocolPort()));
    QByteArray page = WireU32(ServerMessageType::UploadPageRequest) + QByteArray("C:\\x").leftJustified(261, '\0');
    eager.Write(page + WireLogin("ann", "pw") + page);
    auto first = eager.NextReply();
    auto second = eager.NextReply(30000);
    auto third = eager.NextReply();
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(static_cast<UploadPageReply &>(*first).PageLength(), 0u);
    EXPECT_EQ(static_cast<LoginReply &>(*second).Result(), 0u);
    EXPECT_EQ(ParseUploadForm(static_cast<UploadPageReply &>(*third).Page()).fileInputs, 1);
}

TEST_F(BannerdBadClientTest, SlowSenderIsCutOffWhileOthersCarryOn)
{
    ProtocolClient slow;
    ASSERT_TRUE(slow.Connect(server.ProtocolPort()));
    const QByteArray login = WireLogin("ann", "pw");
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    while (sent < login.size() && slow.Socket().state() == QAbstractSocket::ConnectedState && clock.elapsed() < 20000) {
        slow.Write(login.mid(sent++, 1));
        // Meanwhile the server keeps serving everybody else.
        if (sent == 2)
            ExpectGoodClientServed();
        slow.Socket().waitForReadyRead(1000);
    }
    EXPECT_NE(slow.Socket().state(), QAbstractSocket::ConnectedState);
    EXPECT_LT(sent, 15);
    EXPECT_LT(clock.elapsed(), 15000);
    ExpectGoodClientServed();
}

TEST_F(BannerdBadClientTest, ClientThatNeverReadsHoldsOnlyBoundedMemory)
{
    // Tens of thousands of page requests without reading a reply: the server stops reading once
    // its queued replies pass a small bound, so its memory stays flat.
    ProtocolClient flood;
    ASSERT_TRUE(flood.Connect(server.ProtocolPort()));
    flood.Write(WireLogin("ann", "pw"));
    ASSERT_TRUE(flood.NextReply(30000));
    // Keep the kernel from soaking up the replies on our side.
    flood.Socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    flood.Socket().setReadBufferSize(1);
    ExpectGoodClientServed();
    const qint64 before = server.ResidentKiB();
    ASSERT_GT(before, 0);
    const QByteArray page = WireU32(ServerMessageType::UploadPageRequest) + QByteArray(261, '\0');
    QByteArray burst;
    for (int i = 0; i < 2000; ++i)
        burst += page;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 30 && clock.elapsed() < 3000; ++i) {
        flood.Socket().write(burst);
        flood.Socket().waitForBytesWritten(100);
    }
    ExpectGoodClientServed();
    // Answering 60000 requests in memory would take some 50 MiB.
    if (kResidentSizeMeaningful) {
        EXPECT_LT(server.ResidentKiB() - before, 4 * 1024) << "grew from " << before << " KiB";
    }
    EXPECT_EQ(flood.Socket().state(), QAbstractSocket::ConnectedState); // slow readers are not bad clients
    flood.Close();
    ExpectGoodClientServed();
}

TEST_F(BannerdBadClientTest, UploadBodiesWithoutALengthAreRefusedUnread)
{
    // A chunked body would bypass the upload limit while being read: it is refused at once.
    const UploadForm form = ParseUploadForm(good.UploadPage());
    const QString path = QUrl(form.action).path();
    QTcpSocket http;
    http.connectToHost(QStringLiteral("127.0.0.1"), server.HttpPort());
    ASSERT_TRUE(http.waitForConnected(5000));
    http.write(QStringLiteral("POST %1 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=b\r\n"
                              "Transfer-Encoding: chunked\r\n\r\n")
                   .arg(path)
                   .toLatin1());
    http.write("1000\r\n" + QByteArray(0x1000, 'x') + "\r\n");
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (!answer.contains("\r\n") && clock.elapsed() < 5000 && http.waitForReadyRead(500))
        answer += http.readAll();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 411")) << answer.left(80).toStdString();
    EXPECT_TRUE(server.StoredFiles().isEmpty());
    ExpectGoodClientServed();
}
