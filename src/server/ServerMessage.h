#pragma once
// The messages of the banner server protocol. Every message is a 4-byte little-endian type code
// followed by a body whose layout the type fixes; text fields are fixed-width, zero-terminated
// Windows-1252. Sending and receiving are resumable steps: each moves only what the socket has
// or takes now and the next socket notification continues where it stopped.
//
// The client sends requests and receives replies; the server (bannerd) uses the same classes the
// other way round, so every kind can both be sent and be received.
#include "server/MessageSocket.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

namespace ServerMessageType {
constexpr std::uint32_t LoginRequest = 20221;      // 0x4EFD
constexpr std::uint32_t LoginReply = 20222;        // 0x4EFE
constexpr std::uint32_t UploadPageRequest = 20225; // 0x4F01
constexpr std::uint32_t UploadPageReply = 20226;   // 0x4F02
}

class ServerMessage {
public:
    static constexpr int kHeaderSize = 4;

    virtual ~ServerMessage() = default;
    ServerMessage(const ServerMessage &) = delete;
    ServerMessage &operator=(const ServerMessage &) = delete;

    // Reads as much of the message as `available` bytes allow and lowers `available` by what it
    // consumed. 0: no error (the message may still be unfinished); -1: socket or memory failure.
    virtual int ReceiveStep(qint64 &available) = 0;
    // Writes as much of the message as the socket takes. 0: no error (perhaps unfinished); -1:
    // the socket failed; the step may be called again and resumes where it stopped.
    virtual int SendStep() = 0;

    std::uint32_t TypeCode() const { return m_typeCode; }
    bool HeaderDone() const { return m_headerDone; }
    bool BodySent() const { return m_bodySent; }
    bool BodyReceived() const { return m_bodyReceived; }

protected:
    ServerMessage(MessageSocket *socket, std::uint32_t typeCode) : m_socket(socket), m_typeCode(typeCode) {}

    int HeaderSend();
    int HeaderReceive(qint64 &available);

    MessageSocket *m_socket;
    bool m_headerDone = false;
    bool m_bodySent = false;
    bool m_bodyReceived = false;
    std::uint32_t m_typeCode;

private:
    int m_headerBytesSent = 0;
};

// A message with a body of fixed size: the requests and the login reply.
class FixedBodyMessage : public ServerMessage {
public:
    int ReceiveStep(qint64 &available) override;
    int SendStep() override;
    std::int32_t BodySize() const { return m_bodySize; }

protected:
    FixedBodyMessage(MessageSocket *socket, std::uint32_t typeCode, std::int32_t bodySize)
        : ServerMessage(socket, typeCode), m_bodySize(bodySize) {}
    // Lays the kind's fields into a zeroed buffer of BodySize() bytes before the first write.
    virtual void LayBody(char *body) const = 0;
    // Takes the kind's fields from the whole body once it has arrived.
    virtual void TakeBody(const char *body) = 0;

    std::int32_t m_bytesDone = 0;
    std::unique_ptr<char[]> m_body;
    std::int32_t m_bodySize;
};

class LoginRequest : public FixedBodyMessage {
public:
    static constexpr int kTextFieldSize = 81; // 80 characters and the terminator
    static constexpr int kMaxTextLength = kTextFieldSize - 1;

    // To send: text beyond 80 Windows-1252 bytes is cut; the login dialog refuses it beforehand.
    LoginRequest(MessageSocket *socket, const QString &userName, const QString &password);
    // To receive.
    explicit LoginRequest(MessageSocket *socket);

    QString UserName() const;
    QString Password() const;
    // The field bytes up to the first zero, exactly as they crossed the wire.
    QByteArray UserNameBytes() const;
    QByteArray PasswordBytes() const;

protected:
    void LayBody(char *body) const override;
    void TakeBody(const char *body) override;

private:
    char m_userName[kTextFieldSize] = {};
    char m_password[kTextFieldSize] = {};
};

class LoginReply : public FixedBodyMessage {
public:
    // To receive; the result comes from the wire.
    explicit LoginReply(MessageSocket *socket);
    // To send: 0 accepts the login, any other value rejects it.
    LoginReply(MessageSocket *socket, std::uint32_t result);

    std::uint32_t Result() const { return m_result; }

protected:
    void LayBody(char *body) const override;
    void TakeBody(const char *body) override;

private:
    std::uint32_t m_result = 0;
};

class UploadPageRequest : public FixedBodyMessage {
public:
    static constexpr int kPathFieldSize = 261;
    // The path text the client always sends; the server ignores it.
    static constexpr const char *kFixedPath = "C:\\Test\\File\\To\\Ignore";

    UploadPageRequest(MessageSocket *socket, const QString &path);
    explicit UploadPageRequest(MessageSocket *socket);

    QString Path() const;

protected:
    void LayBody(char *body) const override;
    void TakeBody(const char *body) override;

private:
    char m_path[kPathFieldSize] = {};
};

// The 4-byte page length N and then N bytes of HTML.
class UploadPageReply : public ServerMessage {
public:
    // A page longer than this is refused and the connection closed: nothing the server sends
    // may make the client allocate gigabytes.
    static constexpr std::uint32_t kMaxPageLength = 16u * 1024u * 1024u;

    explicit UploadPageReply(MessageSocket *socket);
    // To send (the server); a page longer than kMaxPageLength is cut to it.
    UploadPageReply(MessageSocket *socket, const QByteArray &page);

    int ReceiveStep(qint64 &available) override;
    int SendStep() override;

    std::uint32_t PageLength() const { return m_payloadLength; }
    // The page bytes (empty until the message is complete, and for N = 0).
    QByteArray Page() const;

private:
    static constexpr std::int32_t kLengthSize = 4;

    std::int32_t m_bytesDone = 0;       // of the length field
    std::unique_ptr<char[]> m_body;     // the length field
    std::int32_t m_payloadDone = 0;
    std::uint32_t m_payloadLength = 0;
    std::unique_ptr<char[]> m_payload;
};

// A fixed-width zero-terminated Windows-1252 field of `width` bytes: at most width - 1 bytes of
// text, zeros after it.
void LayTextField(char *field, int width, const QString &text);
// The text of a field up to its first zero byte (or all of it when it holds none).
QByteArray TextFieldBytes(const char *field, int width);

// The reply kinds by type code (the client's side) and the request kinds (the server's side);
// none for any other code.
std::unique_ptr<ServerMessage> CreateReply(MessageSocket *socket, std::uint32_t typeCode);
std::unique_ptr<ServerMessage> CreateRequest(MessageSocket *socket, std::uint32_t typeCode);

// Frames a stream of messages one at a time: at the start of a message it peeks at the type
// code without consuming it, makes the message object for it and then runs its receive step.
// Bytes beyond the end of a message stay in the socket for the next call.
class MessageReceiver {
public:
    using Factory = std::unique_ptr<ServerMessage> (*)(MessageSocket *, std::uint32_t);
    enum class Outcome {
        Waiting,  // no complete message yet; call again when more bytes arrive
        Complete, // Current() is complete
        Failed    // a socket error, an unknown type code or a refused message: close the connection
    };

    explicit MessageReceiver(Factory factory) : m_factory(factory) {}

    // One pass over what the socket has now; completes at most one message.
    Outcome Receive(MessageSocket &socket);

    ServerMessage *Current() const { return m_current.get(); }
    std::unique_ptr<ServerMessage> TakeCurrent() { return std::move(m_current); }
    std::uint32_t PeekedTypeCode() const { return m_peekedTypeCode; }
    bool ExpectingNewMessage() const { return m_expectingNewMessage; }
    // Drops the current message and expects a new one.
    void Clear();

private:
    Factory m_factory;
    std::unique_ptr<ServerMessage> m_current;
    std::uint32_t m_peekedTypeCode = 0;
    bool m_expectingNewMessage = true;
};
