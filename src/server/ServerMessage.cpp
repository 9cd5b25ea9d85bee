#include "server/ServerMessage.h"

#include "platform/Win1252.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

std::uint32_t ReadU32(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

void WriteU32(char *p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

std::unique_ptr<char[]> Allocate(std::size_t size)
{
    return std::unique_ptr<char[]>(new (std::nothrow) char[size]());
}

} // namespace

void LayTextField(char *field, int width, const QString &text)
{
    std::memset(field, 0, std::size_t(width));
    QByteArray bytes = Win1252::Encode(text);
    const int length = std::min<int>(int(bytes.size()), width - 1);
    std::memcpy(field, bytes.constData(), std::size_t(length));
}

QByteArray TextFieldBytes(const char *field, int width)
{
    const void *zero = std::memchr(field, 0, std::size_t(width));
    const int length = zero ? int(static_cast<const char *>(zero) - field) : width;
    return QByteArray(field, length);
}

// ---- ServerMessage -------------------------------------------------------------------------

int ServerMessage::HeaderSend()
{
    if (m_headerDone)
        return 0;
    char code[kHeaderSize];
    WriteU32(code, m_typeCode);
    const qint64 sent = m_socket->Send(code + m_headerBytesSent, kHeaderSize - m_headerBytesSent);
    if (sent < 0)
        return -1;
    // A short write of the code is resumed like the body; giving it up would corrupt the stream.
    m_headerBytesSent += int(sent);
    if (m_headerBytesSent == kHeaderSize)
        m_headerDone = true;
    return 0;
}

int ServerMessage::HeaderReceive(qint64 &available)
{
    if (m_headerDone)
        return 0;
    if (available < kHeaderSize)
        return -1;
    char code[kHeaderSize];
    if (m_socket->Receive(code, kHeaderSize) != kHeaderSize)
        return -1;
    m_typeCode = ReadU32(code);
    available -= kHeaderSize;
    m_headerDone = true;
    return 0;
}

// ---- FixedBodyMessage ----------------------------------------------------------------------

int FixedBodyMessage::ReceiveStep(qint64 &available)
{
    if (HeaderReceive(available) < 0)
        return -1;
    if (available <= 0 || m_bodyReceived)
        return 0;
    if (!m_body) {
        m_body = Allocate(std::size_t(m_bodySize));
        if (!m_body)
            return -1;
    }
    const qint64 want = std::min<qint64>(m_bodySize - m_bytesDone, available);
    const qint64 got = m_socket->Receive(m_body.get() + m_bytesDone, want);
    if (got < 0)
        return -1;
    m_bytesDone += std::int32_t(got);
    available -= got;
    if (m_bytesDone == m_bodySize) {
        m_bodyReceived = true;
        TakeBody(m_body.get());
    }
    return 0;
}

int FixedBodyMessage::SendStep()
{
    if (HeaderSend() < 0)
        return -1;
    // The body goes only after the whole code: the stream must stay in order.
    if (!m_headerDone || m_bodySent)
        return 0;
    if (!m_body) {
        m_body = Allocate(std::size_t(m_bodySize));
        if (!m_body)
            return -1;
        LayBody(m_body.get());
    }
    if (m_bytesDone < m_bodySize) {
        const qint64 sent = m_socket->Send(m_body.get() + m_bytesDone, m_bodySize - m_bytesDone);
        if (sent < 0)
            return -1;
        m_bytesDone += std::int32_t(sent);
    }
    if (m_bytesDone == m_bodySize)
        m_bodySent = true;
    return 0;
}

// ---- LoginRequest --------------------------------------------------------------------------

LoginRequest::LoginRequest(MessageSocket *socket)
    : FixedBodyMessage(socket, ServerMessageType::LoginRequest, 2 * kTextFieldSize)
{
}

LoginRequest::LoginRequest(MessageSocket *socket, const QString &userName, const QString &password)
    : LoginRequest(socket)
{
    LayTextField(m_userName, kTextFieldSize, userName);
    LayTextField(m_password, kTextFieldSize, password);
}

QString LoginRequest::UserName() const { return Win1252::Decode(UserNameBytes()); }
QString LoginRequest::Password() const { return Win1252::Decode(PasswordBytes()); }
QByteArray LoginRequest::UserNameBytes() const { return TextFieldBytes(m_userName, kTextFieldSize); }
QByteArray LoginRequest::PasswordBytes() const { return TextFieldBytes(m_password, kTextFieldSize); }

void LoginRequest::LayBody(char *body) const
{
    std::memcpy(body, m_userName, kTextFieldSize);
    std::memcpy(body + kTextFieldSize, m_password, kTextFieldSize);
}

void LoginRequest::TakeBody(const char *body)
{
    std::memcpy(m_userName, body, kTextFieldSize);
    std::memcpy(m_password, body + kTextFieldSize, kTextFieldSize);
}

// ---- LoginReply ----------------------------------------------------------------------------

LoginReply::LoginReply(MessageSocket *socket) : FixedBodyMessage(socket, ServerMessageType::LoginReply, 4) {}

LoginReply::LoginReply(MessageSocket *socket, std::uint32_t result) : LoginReply(socket)
{
    m_result = result;
}

void LoginReply::LayBody(char *body) const { WriteU32(body, m_result); }
void LoginReply::TakeBody(const char *body) { m_result = ReadU32(body); }

// ---- UploadPageRequest ---------------------------------------------------------------------

UploadPageRequest::UploadPageRequest(MessageSocket *socket)
    : FixedBodyMessage(socket, ServerMessageType::UploadPageRequest, kPathFieldSize)
{
}

UploadPageRequest::UploadPageRequest(MessageSocket *socket, const QString &path) : UploadPageRequest(socket)
{
    LayTextField(m_path, kPathFieldSize, path);
}

QString UploadPageRequest::Path() const { return Win1252::Decode(TextFieldBytes(m_path, kPathFieldSize)); }
void UploadPageRequest::LayBody(char *body) const { std::memcpy(body, m_path, kPathFieldSize); }
void UploadPageRequest::TakeBody(const char *body) { std::memcpy(m_path, body, kPathFieldSize); }

// ---- UploadPageReply -----------------------------------------------------------------------

UploadPageReply::UploadPageReply(MessageSocket *socket) : ServerMessage(socket, ServerMessageType::UploadPageReply) {}

UploadPageReply::UploadPageReply(MessageSocket *socket, const QByteArray &page) : UploadPageReply(socket)
{
    m_payloadLength = std::uint32_t(std::min<qsizetype>(page.size(), kMaxPageLength));
    if (m_payloadLength > 0) {
        m_payload = Allocate(m_payloadLength);
        if (m_payload)
            std::memcpy(m_payload.get(), page.constData(), m_payloadLength);
        else
            m_payloadLength = 0;
    }
}

QByteArray UploadPageReply::Page() const
{
    return m_payload ? QByteArray(m_payload.get(), qsizetype(m_payloadLength)) : QByteArray();
}

int UploadPageReply::ReceiveStep(qint64 &available)
{
    if (HeaderReceive(available) < 0)
        return -1;
    if (available <= 0 || m_bodyReceived)
        return 0;
    if (!m_body) {
        m_body = Allocate(kLengthSize);
        if (!m_body)
            return -1;
    }
    if (m_bytesDone < kLengthSize) {
        const qint64 want = std::min<qint64>(kLengthSize - m_bytesDone, available);
        const qint64 got = m_socket->Receive(m_body.get() + m_bytesDone, want);
        if (got < 0)
            return -1;
        m_bytesDone += std::int32_t(got);
        available -= got;
        if (m_bytesDone < kLengthSize)
            return 0;
        m_payloadLength = ReadU32(m_body.get());
        if (m_payloadLength == 0) {
            m_bodyReceived = true;
            return 0;
        }
        if (m_payloadLength > kMaxPageLength)
            return -1;
        m_payload = Allocate(m_payloadLength);
        if (!m_payload) {
            m_bodyReceived = true;
            return -1;
        }
        m_payloadDone = 0;
    }
    if (available <= 0)
        return 0;
    const qint64 want = std::min<qint64>(qint64(m_payloadLength) - m_payloadDone, available);
    const qint64 got = m_socket->Receive(m_payload.get() + m_payloadDone, want);
    if (got < 0)
        return -1;
    m_payloadDone += std::int32_t(got);
    available -= got;
    if (std::uint32_t(m_payloadDone) == m_payloadLength)
        m_bodyReceived = true;
    return 0;
}

int UploadPageReply::SendStep()
{
    if (HeaderSend() < 0)
        return -1;
    if (!m_headerDone || m_bodySent)
        return 0;
    if (!m_body) {
        m_body = Allocate(kLengthSize);
        if (!m_body)
            return -1;
        WriteU32(m_body.get(), m_payloadLength);
    }
    if (m_bytesDone < kLengthSize) {
        const qint64 sent = m_socket->Send(m_body.get() + m_bytesDone, kLengthSize - m_bytesDone);
        if (sent < 0)
            return -1;
        m_bytesDone += std::int32_t(sent);
        if (m_bytesDone < kLengthSize)
            return 0;
    }
    if (std::uint32_t(m_payloadDone) < m_payloadLength) {
        const qint64 sent = m_socket->Send(m_payload.get() + m_payloadDone, qint64(m_payloadLength) - m_payloadDone);
        if (sent < 0)
            return -1;
        m_payloadDone += std::int32_t(sent);
    }
    if (std::uint32_t(m_payloadDone) == m_payloadLength)
        m_bodySent = true;
    return 0;
}

// ---- Factories and framing -----------------------------------------------------------------

std::unique_ptr<ServerMessage> CreateReply(MessageSocket *socket, std::uint32_t typeCode)
{
    switch (typeCode) {
    case ServerMessageType::LoginReply: return std::make_unique<LoginReply>(socket);
    case ServerMessageType::UploadPageReply: return std::make_unique<UploadPageReply>(socket);
    default: return nullptr;
    }
}

std::unique_ptr<ServerMessage> CreateRequest(MessageSocket *socket, std::uint32_t typeCode)
{
    switch (typeCode) {
    case ServerMessageType::LoginRequest: return std::make_unique<LoginRequest>(socket);
    case ServerMessageType::UploadPageRequest: return std::make_unique<UploadPageRequest>(socket);
    default: return nullptr;
    }
}

MessageReceiver::Outcome MessageReceiver::Receive(MessageSocket &socket)
{
    qint64 available = socket.Available();
    if (available < 0)
        return Outcome::Failed;
    if (m_expectingNewMessage) {
        // A type code split across TCP segments is normal for a byte stream: wait for all four
        // bytes instead of giving up on a sound connection.
        if (available < ServerMessage::kHeaderSize)
            return Outcome::Waiting;
        char code[ServerMessage::kHeaderSize];
        if (socket.Peek(code, ServerMessage::kHeaderSize) != ServerMessage::kHeaderSize)
            return Outcome::Waiting;
        m_peekedTypeCode = ReadU32(code);
        m_current = m_factory(&socket, m_peekedTypeCode);
        if (!m_current)
            return Outcome::Failed;
        m_expectingNewMessage = false;
    }
    if (!m_current || m_current->ReceiveStep(available) < 0)
        return Outcome::Failed;
    m_expectingNewMessage = m_current->BodyReceived();
    return m_expectingNewMessage ? Outcome::Complete : Outcome::Waiting;
}

void MessageReceiver::Clear()
{
    m_current.reset();
    m_peekedTypeCode = 0;
    m_expectingNewMessage = true;
}
