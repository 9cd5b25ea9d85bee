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

    const ProtocolLimits &limits = m_server.Config().limits;
    m_messageTimer.setSingleShot(true);
    m_messageTimer.setInterval(limits.messageTimeout);
    connect(&m_messageTimer, &QTimer::timeout, this, [this] { Drop(QStringLiteral("message not completed in time")); });
    // The login deadline counts from connecting: requests before a login do not extend it.
    m_loginTimer.setSingleShot(true);
    connect(&m_loginTimer, &QTimer::timeout, this, [this] {
        if (m_loginCheck)
            m_loginLate = true; // the check under way decides
        else
            Drop(QStringLiteral("no login in time"));
    });
    m_loginTimer.start(limits.loginTimeout);
    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { Drop(QStringLiteral("idle")); });
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(limits.replyTimeout);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] { Drop(QStringLiteral("replies not taken in time")); });

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
    if (waitingOnClient && !m_user.isEmpty())
        m_idleTimer.start(m_server.Config().limits.idleTimeout);
    else
        m_idleTimer.stop();
    // A client that stops reading its replies is waited for only so long.
    const bool replyStuck = m_reply || m_socket->bytesToWrite() > kMaxQueuedReply;
    if (!replyStuck)
        m_stallTimer.stop();
    else if (!m_stallTimer.isActive())
        m_stallTimer.start();
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
    if (m_server.LoginsBlocked(m_socket->peerAddress())) {
        RefuseLogin(user, "too many failed logins from this address");
        return;
    }
    QString why;
    std::string hash;
    if (AccountStore::IsValidUserName(user, &why))
        hash = m_server.Accounts().HashOf(user).value_or(std::string());
    m_loginCheck = m_server.Pool().Verify(m_socket->peerAddress().toString(), hash, request.PasswordBytes(), this,
                                          [this, user, hash](bool accepted, const std::string &newHash) {
                                              if (accepted && !newHash.empty())
                                                  m_server.Accounts().ReplaceHash(user, hash, newHash);
                                              OnLoginChecked(user, accepted);
                                          });
    // No room in the queue of checks: refused at once, as a failed login is (the client may
    // retry), but not counted as a wrong guess.
    if (!m_loginCheck)
        RefuseLogin(user, "too many logins waiting");
}

void ProtocolSession::RefuseLogin(const QString &user, const char *why)
{
    Log(QStringLiteral("login refused for \"%1\" from %2: %3").arg(LogText(user), m_peer, QLatin1String(why)));
    Send(std::make_unique<LoginReply>(&m_messageSocket, kLoginRejected));
}

void ProtocolSession::OnLoginChecked(const QString &user, bool accepted)
{
    m_loginCheck.reset();
    if (accepted && m_loginLate) {
        Drop(QStringLiteral("no login in time"));
        return;
    }
    if (accepted) {
        m_user = user;
        m_failedLogins = 0;
        m_loginTimer.stop();
        Log(QStringLiteral("login %1 from %2").arg(LogText(user), m_peer));
        Send(std::make_unique<LoginReply>(&m_messageSocket, 0));
    } else {
        ++m_failedLogins;
        m_server.RecordFailedLogin(m_socket->peerAddress());
        Log(QStringLiteral("login refused for \"%1\" from %2").arg(LogText(user), m_peer));
        Send(std::make_unique<LoginReply>(&m_messageSocket, kLoginRejected));
        if (!m_finished && m_loginLate) {
            Drop(QStringLiteral("no login in time"));
            return;
        }
        if (!m_finished && m_failedLogins >= m_server.Config().limits.maxFailedLogins) {
            LogEnd(QStringLiteral("too many failed logins"));
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
    LogEnd(reason);
    // The socket may report its own error while the last replies are flushed: the end is
    // already being handled.
    m_socket->disconnect(this);
    // Replies to the requests that were sound go out first, as far as the socket takes them now.
    m_socket->flush();
    m_socket->abort();
    Finish();
}

void ProtocolSession::LogEnd(const QString &reason)
{
    if (m_endLogged)
        return;
    m_endLogged = true;
    Log(QStringLiteral("closing connection from %1%2: %3")
            .arg(m_peer, m_user.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(LogText(m_user)), reason));
}

void ProtocolSession::Finish()
{
    if (m_finished)
        return;
    LogEnd(QStringLiteral("closed by the client"));
    m_finished = true;
    m_messageTimer.stop();
    m_loginTimer.stop();
    m_idleTimer.stop();
    m_stallTimer.stop();
    if (m_loginCheck)
        m_loginCheck->store(true);
    m_server.Tokens().RevokeConnection(m_id);
    deleteLater();
}
