#include <gtest/gtest.h>

#include "platform/ByteIO.h"
#include "server/ScriptedMessageSocket.h"
#include "server/ServerMessage.h"

namespace {

QByteArray U32(std::uint32_t v)
{
    ByteWriter w;
    w.U32(v);
    return w.Take();
}

QByteArray LoginReplyBytes(std::uint32_t result) { return U32(ServerMessageType::LoginReply) + U32(result); }

QByteArray PageReplyBytes(const QByteArray &page)
{
    return U32(ServerMessageType::UploadPageReply) + U32(std::uint32_t(page.size())) + page;
}

// Sends a message completely (through as many steps as the socket's limit needs).
QByteArray SendAll(ServerMessage &message, ScriptedMessageSocket &socket)
{
    for (int i = 0; i < 10000 && !message.BodySent(); ++i)
        EXPECT_EQ(message.SendStep(), 0);
    EXPECT_TRUE(message.BodySent());
    return socket.sent;
}

} // namespace

TEST(ServerMessageTest, LoginRequestLaysOutNameAndPasswordFields)
{
    ScriptedMessageSocket socket;
    LoginRequest request(&socket, QString::fromUtf8("M\u00fcller\u20ac%d"), "secret");
    const QByteArray wire = SendAll(request, socket);
    ASSERT_EQ(wire.size(), 166);
    EXPECT_EQ(socket.sendCalls, 2); // type code and body go in separate writes
    EXPECT_EQ(wire.left(4), QByteArray::fromHex("fd4e0000"));
    EXPECT_EQ(wire.mid(4, 10), QByteArray("M\xfcller\x80%d", 10)); // Windows-1252, sent as typed
    EXPECT_EQ(wire.mid(14, 71), QByteArray(71, '\0'));
    EXPECT_EQ(wire.mid(85, 7), QByteArray("secret\0", 7));
    EXPECT_EQ(wire.mid(92), QByteArray(74, '\0'));
}

TEST(ServerMessageTest, EightyCharacterNameEndsWithTheTerminatorInTheLastByte)
{
    ScriptedMessageSocket socket;
    const QString name(80, QLatin1Char('n'));
    LoginRequest request(&socket, name, QString(81, QLatin1Char('p')));
    const QByteArray wire = SendAll(request, socket);
    EXPECT_EQ(wire.mid(4, 80), QByteArray(80, 'n'));
    EXPECT_EQ(wire.at(84), '\0');
    // Longer text is cut so that the terminator always stays.
    EXPECT_EQ(wire.mid(85, 80), QByteArray(80, 'p'));
    EXPECT_EQ(wire.at(165), '\0');
    EXPECT_EQ(request.UserName(), name);
}

TEST(ServerMessageTest, SendStepsResumeShortAndFailedWrites)
{
    for (qint64 limit : {1, 3, 5, 100}) {
        ScriptedMessageSocket socket;
        socket.sendLimit = limit;
        UploadPageRequest request(&socket, UploadPageRequest::kFixedPath);
        socket.failSend = true;
        EXPECT_EQ(request.SendStep(), -1);
        EXPECT_FALSE(request.HeaderDone());
        socket.failSend = false;
        const QByteArray wire = SendAll(request, socket);
        ASSERT_EQ(wire.size(), 265) << limit;
        EXPECT_EQ(wire.left(4), QByteArray::fromHex("014f0000"));
        EXPECT_EQ(wire.mid(4, 23), QByteArray("C:\\Test\\File\\To\\Ignore\0", 23));
        EXPECT_EQ(wire.mid(27), QByteArray(238, '\0'));
        // A finished message sends nothing more.
        EXPECT_EQ(request.SendStep(), 0);
        EXPECT_EQ(socket.sent.size(), 265);
    }
}

TEST(ServerMessageTest, LoginResultsAreReadExactly)
{
    for (std::uint32_t result : {0u, 1u, 4294967295u}) {
        ScriptedMessageSocket socket;
        MessageReceiver receiver(CreateReply);
        socket.Deliver(LoginReplyBytes(result));
        ASSERT_EQ(receiver.Receive(socket), MessageReceiver::Outcome::Complete);
        auto *reply = dynamic_cast<LoginReply *>(receiver.Current());
        ASSERT_NE(reply, nullptr);
        EXPECT_EQ(reply->TypeCode(), ServerMessageType::LoginReply);
        EXPECT_EQ(receiver.PeekedTypeCode(), ServerMessageType::LoginReply);
        EXPECT_EQ(reply->Result(), result);
        EXPECT_TRUE(receiver.ExpectingNewMessage());
    }
}

TEST(ServerMessageTest, EmptyUploadPageIsCompleteAfterEightBytes)
{
    ScriptedMessageSocket socket;
    MessageReceiver receiver(CreateReply);
    socket.Deliver(PageReplyBytes({}) + "tail");
    ASSERT_EQ(receiver.Receive(socket), MessageReceiver::Outcome::Complete);
    auto *reply = dynamic_cast<UploadPageReply *>(receiver.Current());
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(reply->PageLength(), 0u);
    EXPECT_TRUE(reply->Page().isEmpty());
    EXPECT_EQ(socket.incoming, QByteArray("tail"));
}

TEST(ServerMessageTest, EverySplitOfAMessageAssemblesTheSameReply)
{
    const QByteArray page = "<html><form method=\"post\"></form></html>";
    const QByteArray wire = PageReplyBytes(page);
    // Every pair of cut points: the type code, the length field and the page each split anywhere.
    for (int a = 0; a <= wire.size(); ++a) {
        for (int b = a; b <= wire.size(); b += (b < 12 ? 1 : 7)) {
            ScriptedMessageSocket socket;
            MessageReceiver receiver(CreateReply);
            int completed = 0;
            for (const QByteArray &piece : {wire.left(a), wire.mid(a, b - a), wire.mid(b)}) {
                socket.Deliver(piece);
                const auto outcome = receiver.Receive(socket);
                ASSERT_NE(outcome, MessageReceiver::Outcome::Failed) << a << ' ' << b;
                completed += outcome == MessageReceiver::Outcome::Complete;
            }
            ASSERT_EQ(completed, 1) << a << ' ' << b;
            EXPECT_EQ(static_cast<UploadPageReply *>(receiver.Current())->Page(), page);
            EXPECT_TRUE(socket.incoming.isEmpty());
        }
    }
    // And one byte per notification, the length field arriving in four pieces.
    ScriptedMessageSocket socket;
    MessageReceiver receiver(CreateReply);
    for (int i = 0; i < wire.size(); ++i) {
        socket.Deliver(wire.mid(i, 1));
        EXPECT_EQ(receiver.Receive(socket), i + 1 == wire.size() ? MessageReceiver::Outcome::Complete
                                                                 : MessageReceiver::Outcome::Waiting);
    }
    EXPECT_EQ(static_cast<UploadPageReply *>(receiver.Current())->Page(), page);
}

TEST(ServerMessageTest, OneToThreeBytesAtAMessageStartWaitForTheRest)
{
    for (int n = 1; n <= 3; ++n) {
        ScriptedMessageSocket socket;
        MessageReceiver receiver(CreateReply);
        const QByteArray wire = LoginReplyBytes(0);
        socket.Deliver(wire.left(n));
        EXPECT_EQ(receiver.Receive(socket), MessageReceiver::Outcome::Waiting);
        EXPECT_EQ(socket.received, 0); // nothing consumed, nothing created
        EXPECT_EQ(receiver.Current(), nullptr);
        socket.Deliver(wire.mid(n));
        EXPECT_EQ(receiver.Receive(socket), MessageReceiver::Outcome::Complete);
    }
}

TEST(ServerMessageTest, TwoRepliesInOneBurstAreReadOneAtATime)
{
    ScriptedMessageSocket socket;
    MessageReceiver receiver(CreateReply);
    socket.Deliver(LoginReplyBytes(0) + PageReplyBytes("page"));
    ASSERT_EQ(receiver.Receive(socket), MessageReceiver::Outcome::Complete);
    EXPECT_EQ(receiver.Current()->TypeCode(), ServerMessageType::LoginReply);
    EXPECT_EQ(socket.incoming, PageReplyBytes("page")); // read exactly to the end of the first
    ASSERT_EQ(receiver.Receive(socket), MessageReceiver::Outcome::Complete);
    EXPECT_EQ(static_cast<UploadPageReply *>(receiver.Current())->Page(), QByteArray("page"));
    EXPECT_TRUE(socket.incoming.isEmpty());
}

TEST(ServerMessageTest, BadRepliesFailTheConnection)
{
    auto outcomeOf = [](const QByteArray &bytes) {
        ScriptedMessageSocket socket;
        MessageReceiver receiver(CreateReply);
        socket.Deliver(bytes);
        return receiver.Receive(socket);
    };
    using O = MessageReceiver::Outcome;
    EXPECT_EQ(outcomeOf(U32(12345) + U32(0)), O::Failed);
    EXPECT_EQ(outcomeOf(U32(ServerMessageType::LoginRequest) + QByteArray(162, 'x')), O::Failed);
    // A page length above 16 MiB is refused before anything is allocated.
    EXPECT_EQ(outcomeOf(U32(ServerMessageType::UploadPageReply) + U32(UploadPageReply::kMaxPageLength + 1)), O::Failed);
    EXPECT_EQ(outcomeOf(U32(ServerMessageType::UploadPageReply) + U32(0xFFFFFFFFu)), O::Failed);
    EXPECT_EQ(outcomeOf(U32(ServerMessageType::UploadPageReply) + U32(UploadPageReply::kMaxPageLength)), O::Waiting);

    ScriptedMessageSocket socket;
    MessageReceiver receiver(CreateReply);
    socket.failAvailable = true;
    socket.Deliver(LoginReplyBytes(0));
    EXPECT_EQ(receiver.Receive(socket), O::Failed);
    socket.failAvailable = false;
    socket.Deliver(PageReplyBytes("abc").left(5));
    receiver.Clear();
    socket.incoming = PageReplyBytes("abc").left(6);
    EXPECT_EQ(receiver.Receive(socket), O::Waiting);
    socket.Deliver("xxxx");
    socket.failReceive = true;
    EXPECT_EQ(receiver.Receive(socket), O::Failed);
}

TEST(ServerMessageTest, ServerSideReceivesRequestsAndSendsReplies)
{
    // The login request crosses from a client socket to a server socket in 7-byte pieces.
    ScriptedMessageSocket client, server;
    client.sendLimit = 7;
    LoginRequest request(&client, QString::fromUtf8("caf\u00e9"), QString::fromLatin1("p\xe4ss%s"));
    MessageReceiver serverSide(CreateRequest);
    while (!request.BodySent()) {
        ASSERT_EQ(request.SendStep(), 0);
        server.Deliver(client.sent);
        client.sent.clear();
        ASSERT_NE(serverSide.Receive(server), MessageReceiver::Outcome::Failed);
    }
    auto *got = dynamic_cast<LoginRequest *>(serverSide.Current());
    ASSERT_NE(got, nullptr);
    ASSERT_TRUE(got->BodyReceived());
    EXPECT_EQ(got->UserName(), QString::fromUtf8("caf\u00e9"));
    EXPECT_EQ(got->UserNameBytes(), QByteArray("caf\xe9"));
    EXPECT_EQ(got->Password(), QString::fromLatin1("p\xe4ss%s"));

    // The server's replies read back on the client side.
    ScriptedMessageSocket wire;
    wire.sendLimit = 3;
    LoginReply accept(&wire, 0);
    SendAll(accept, wire);
    UploadPageReply page(&wire, QByteArray("<html>form</html>"));
    SendAll(page, wire);
    UploadPageRequest path(&wire, UploadPageRequest::kFixedPath);
    SendAll(path, wire);
    EXPECT_EQ(wire.sent, LoginReplyBytes(0) + PageReplyBytes("<html>form</html>") + U32(ServerMessageType::UploadPageRequest) +
                             QByteArray("C:\\Test\\File\\To\\Ignore") + QByteArray(261 - 22, '\0'));
    ScriptedMessageSocket reader;
    reader.Deliver(wire.sent);
    MessageReceiver replies(CreateReply);
    EXPECT_EQ(replies.Receive(reader), MessageReceiver::Outcome::Complete);
    EXPECT_EQ(replies.Receive(reader), MessageReceiver::Outcome::Complete);
    EXPECT_EQ(static_cast<UploadPageReply *>(replies.Current())->Page(), QByteArray("<html>form</html>"));
    MessageReceiver requests(CreateRequest);
    EXPECT_EQ(requests.Receive(reader), MessageReceiver::Outcome::Complete);
    EXPECT_EQ(static_cast<UploadPageRequest *>(requests.Current())->Path(), QString(UploadPageRequest::kFixedPath));
}
