#include "ProtocolSession.h"

#include "AccountStore.h"
#include "Log.h"
#include "Pages.h"
#include "ProtocolServer.h"
#include "UploadTokens.h"
#include "platform/Win1252.h"

#include <QTcpSocket>

namespace {
// What the socket may buffer per connection: a little more than the largest request.
constexpr qint64 kReadBuffer = 4096;
// Replies not yet taken by a client that does not read; beyond this we stop reading requests.
constexpr qint64 kMaxQueuedReply = 64 * 1024;
constexpr std::uint32_t kLoginRejected = 1;
} // namespace

ProtocolSession::ProtocolSession(QTcpSocket *socket, ProtocolServer &server)
    : QObject(&server), m_server(server), m_socket(socket), m_messageSocket(socket), m_id(server.NextConnectionId())
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(kReadBuffer);
    m_peer = QStringLiteral("%1:%2").arg(m_socket->peerAddress().toString()).arg(m_socket->peerPort());

    m_messageTimer.setSingleShot(true);
    m_messageTimer.setInterval(m_server.Config().limits.messageTimeout);
    connect(&m_messageTimer, &QTimer::timeout, this, [this] { Drop(QStringLiteral("message not completed in time")); });
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        Drop(m_user.isEmpty() ? QStringLiteral("no login in time") : QStringLiteral("idle"));
    });

    connect(m_socket, &QTcpSocket::readyRead, this, &ProtocolSession::Process);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ProtocolSession::Process);
    connect(m_socket, &QTcpSocket::disconnected, this, &ProtocolSession::Finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            Drop(m_socket->errorString());
    });
    ArmTimers();
    // Bytes may have arrived before the signals were connected.
    QMetaObject::invokeMethod(this, &ProtocolSession::Process, Qt::QueuedConnection);
}

ProtocolSession::~ProtocolSession()
{
    if (m_loginCheck)
        m_loginCheck->store(true);
    m_server.Tokens().RevokeConnection(m_id);
    m_server.SessionEnded();
}

bool ProtocolSession::CanReadMore() const
{
    return !m_closing && !m_loginCheck && !m_reply && m_socket->bytesToWrite() <= kMaxQueuedReply;
}

void ProtocolSession::Process()
{
    if (m_finished)
        return;
    if (m_reply) {
        Send(std::move(m_reply));
        if (m_finished)
            return;
    }
    while (CanReadMore()) {
        const MessageReceiver::Outcome outcome = m_receiver.Receive(m_messageSocket);
        if (outcome == MessageReceiver::Outcome::Failed) {
            Drop(QStringLiteral("bad message (type code %1)").arg(m_receiver.PeekedTypeCode()));
            return;
        }
        if (outcome == MessageReceiver::Outcome::Waiting)
            break;
        std::unique_ptr<ServerMessage> request = m_receiver.TakeCurrent();
        m_receiver.Clear();
        m_messageTimer.stop();
        Handle(std::move(request));
        if (m_finished)
            return;
    }
    ArmTimers();
}

void ProtocolSession::ArmTimers()
{
    // Time limits count only while we wait on the client, never while it waits on us.
    const bool waitingOnClient = CanReadMore();
    const bool partial = m_socket->bytesAvailable() > 0 || !m_receiver.ExpectingNewMessage();
    if (waitingOnClient && partial) {
        if (!m_messageTimer.isActive())
            m_messageTimer.start();
    } else {
        m_messageTimer.stop();
    }
    if (waitingOnClient) {
        const auto &limits = m_server.Config().limits;
        m_idleTimer.start(m_user.isEmpty() ? limits.loginTimeout : limits.idleTimeout);
    } else {
        m_idleTimer.stop();
    }
}

void ProtocolSession::Handle(std::unique_ptr<ServerMessage> request)
{
    switch (request->TypeCode()) {
    case ServerMessageType::LoginRequest:
        HandleLogin(static_cast<const LoginRequest &>(*request));
        break;
    case ServerMessageType::UploadPageRequest:
        HandleUploadPageRequest();
        break;
    default:
        Drop(QStringLiteral("unexpected message %1").arg(request->TypeCode()));
        break;
    }
}

void ProtocolSession::HandleLogin(const LoginRequest &request)
{
    // A new login on the same connection replaces the old one, and its upload address with it.
    if (!m_user.isEmpty()) {
        m_server.Tokens().RevokeConnection(m_id);
        m_user.clear();
    }
    const QString user = Win1252::Decode(request.UserNameBytes());
    QString why;
    std::string hash;
    if (AccountStore::IsValidUserName(user, &why))
        hash = m_server.Accounts().HashOf(user).value_or(std::string());
    m_loginCheck = m_server.Pool().Verify(std::move(hash), request.PasswordBytes(), this,
                                          [this, user](bool accepted) { OnLoginChecked(user, accepted); });
}

void ProtocolSession::OnLoginChecked(const QString &user, bool accepted)
{
    m_loginCheck.reset();
    if (accepted) {
        m_user = user;
        m_failedLogins = 0;
        Log(QStringLiteral("login %1 from %2").arg(user, m_peer));
        Send(std::make_unique<LoginReply>(&m_messageSocket, 0));
    } else {
        ++m_failedLogins;
        Log(QStringLiteral("login refused for \"%1\" from %2").arg(user, m_peer));
        Send(std::make_unique<LoginReply>(&m_messageSocket, kLoginRejected));
        if (!m_finished && m_failedLogins >= m_server.Config().limits.maxFailedLogins) {
            m_closing = true;
            m_socket->disconnectFromHost(); // after the reply has gone out
            QTimer::singleShot(m_server.Config().limits.messageTimeout, this,
                               [this] { Drop(QStringLiteral("reply not taken")); });
        }
    }
    if (!m_finished)
        Process();
}

void ProtocolSession::HandleUploadPageRequest()
{
    QByteArray page;
    if (!m_user.isEmpty()) {
        const std::string token = m_server.Tokens().IssueFor(m_id, m_user);
        page = Pages::UploadPage(m_user, m_server.UploadAddress(m_socket->localAddress(), token),
                                 m_server.Config().maxUpload);
    }
    // Before a login the page is empty: the editor reports that no page came.
    Send(std::make_unique<UploadPageReply>(&m_messageSocket, page));
}

void ProtocolSession::Send(std::unique_ptr<ServerMessage> reply)
{
    // Qt buffers what the socket cannot take at once; a few steps cover header, length and body.
    for (int step = 0; step < 4 && !reply->BodySent(); ++step) {
        if (reply->SendStep() < 0) {
            Drop(QStringLiteral("send failed"));
            return;
        }
    }
    m_reply = reply->BodySent() ? nullptr : std::move(reply);
}

void ProtocolSession::Drop(const QString &reason)
{
    if (m_finished)
        return;
    Log(QStringLiteral("closing connection from %1%2: %3")
            .arg(m_peer, m_user.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_user), reason));
    // Replies to the requests that were sound go out first, as far as the socket takes them now.
    m_socket->flush();
    m_socket->abort();
    Finish();
}

void ProtocolSession::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_messageTimer.stop();
    m_idleTimer.stop();
    if (m_loginCheck)
        m_loginCheck->store(true);
    m_server.Tokens().RevokeConnection(m_id);
    deleteLater();
}
