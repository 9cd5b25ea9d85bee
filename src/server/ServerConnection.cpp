#include "server/ServerConnection.h"

#include "platform/Prompts.h"
#include "platform/settings/Settings.h"
#include "server/LoginPrompt.h"

#include <QPointer>
#include <QTcpSocket>

namespace {

const QString kSettingsKey = QStringLiteral("Software\\Corvanta\\Vellumark");

QString ConfiguredHost()
{
    QString host;
    for (SettingsHive hive : {SettingsHive::User, SettingsHive::Machine})
        if (ReadSettingString(hive, kSettingsKey, QStringLiteral("ServerHost"), &host) == 0 && !host.trimmed().isEmpty())
            return host.trimmed();
    return QString::fromLatin1(ServerConnection::kDefaultHost);
}

quint16 ConfiguredPort()
{
    std::uint32_t port = 0;
    for (SettingsHive hive : {SettingsHive::User, SettingsHive::Machine})
        if (ReadSettingDword(hive, kSettingsKey, QStringLiteral("ServerPort"), &port) == 0 && port > 0 && port <= 65535)
            return quint16(port);
    return ServerConnection::kDefaultPort;
}

} // namespace

ServerConnection::ServerConnection(QObject *parent)
    : QObject(parent), m_serverHost(ConfiguredHost()), m_serverPort(ConfiguredPort())
{
}

ServerConnection::~ServerConnection()
{
    blockSignals(true);
    Close();
}

bool ServerConnection::IsSocketOpen() const
{
    return m_socket && m_socket->state() != QAbstractSocket::UnconnectedState;
}

int ServerConnection::WinsockError(QAbstractSocket::SocketError error, const QString &errorString)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061; // WSAECONNREFUSED
    case QAbstractSocket::SocketTimeoutError: return 10060;     // WSAETIMEDOUT
    case QAbstractSocket::HostNotFoundError: return 11001;      // WSAHOST_NOT_FOUND
    case QAbstractSocket::NetworkError:
        // Qt folds several connect failures into NetworkError; its (untranslated) text tells
        // them apart.
        if (errorString.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
            return 10060;
        if (errorString.contains(QLatin1String("host unreachable"), Qt::CaseInsensitive))
            return 10065; // WSAEHOSTUNREACH
        return 10050;     // WSAENETDOWN
    default: return 10004; // WSAEINTR: the attempt ended without a more precise reason
    }
}

int ServerConnection::Open()
{
    if (!m_loggedIn && RunLoginDialog(*this) != 0)
        return -1;
    return Connect();
}

int ServerConnection::Connect()
{
    if (IsSocketOpen())
        return 0;
    Close();

    m_socket = new QTcpSocket(this);
    m_messageSocket = std::make_unique<QtMessageSocket>(m_socket);
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_connecting = false;
        OnConnect(0);
    });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] { OnReceive(0); });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { OnSend(0); });
    connect(m_socket, &QTcpSocket::errorOccurred, this, &ServerConnection::OnSocketError);
    connect(m_socket, &QTcpSocket::disconnected, this, &ServerConnection::OnSocketDisconnected);

    m_connecting = true;
    m_insideConnect = true;
    m_immediateError = 0;
    QAbstractSocket::SocketError immediate = QAbstractSocket::UnknownSocketError;
    QMetaObject::Connection recorder = connect(m_socket, &QTcpSocket::errorOccurred, this,
                                               [&immediate](QAbstractSocket::SocketError e) { immediate = e; });
    m_socket->connectToHost(m_serverHost, m_serverPort);
    disconnect(recorder);
    m_insideConnect = false;

    if (m_immediateError != 0) {
        if (immediate == QAbstractSocket::SocketResourceError) {
            Close();
            Prompts::Instance().Message(QStringLiteral("Error. Socket creation failed."), Prompts::Icon::Stop);
            return -1;
        }
        // A refusal or a failed lookup that the socket layer knew at once still arrives as the
        // outcome of the attempt, as it would from a non-blocking connect.
        const int code = m_immediateError;
        QMetaObject::invokeMethod(this, [this, code] {
            if (m_connecting) {
                m_connecting = false;
                OnConnect(code);
            }
        }, Qt::QueuedConnection);
        return 0;
    }
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        Close();
        Prompts::Instance().Message(QStringLiteral("Error. Socket connection to server failed."), Prompts::Icon::Stop);
        return -1;
    }
    return 0;
}

void ServerConnection::Close()
{
    ClearExchange();
    if (m_socket) {
        QTcpSocket *socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        // The socket may be in the middle of emitting a signal: let the event loop delete it,
        // independently of this connection's own lifetime.
        socket->setParent(nullptr);
        socket->abort();
        socket->deleteLater();
    }
    m_messageSocket.reset();
    m_connecting = false;
    SetLoggedIn(false);
}

void ServerConnection::ClearExchange()
{
    m_pendingRequest.reset();
    m_receiver.Clear();
    m_owner = nullptr;
}

int ServerConnection::RequestUploadPage(UploadPageHandler *owner, const QString &path)
{
    m_owner = owner;
    if (!m_messageSocket) {
        ClearExchange();
        return -1;
    }
    m_pendingRequest = std::make_unique<UploadPageRequest>(m_messageSocket.get(), path);
    PostWritable();
    return 0;
}

void ServerConnection::PostWritable()
{
    // Qt reports writability only after bytes were written; a new request gets its own
    // writable notification, as re-registering for it does on Windows.
    QMetaObject::invokeMethod(this, [this] { OnSend(0); }, Qt::QueuedConnection);
}

void ServerConnection::SetLoggedIn(bool loggedIn)
{
    if (m_loggedIn == loggedIn)
        return;
    m_loggedIn = loggedIn;
    emit loginStateChanged();
}

void ServerConnection::OnConnect(int error)
{
    if (error != 0) {
        Close();
        Prompts::Instance().Message(QStringLiteral("Error connecting to server. Error code = %1.").arg(error));
        return;
    }
    if (!m_messageSocket)
        return;
    m_pendingRequest = std::make_unique<LoginRequest>(m_messageSocket.get(), m_userName, m_password);
    PostWritable();
}

void ServerConnection::OnSend(int error)
{
    if (error != 0) {
        Close();
        return;
    }
    // An unfinished or failed write is resumed at the next writable notification.
    if (m_pendingRequest && m_messageSocket)
        m_pendingRequest->SendStep();
}

void ServerConnection::OnReceive(int error)
{
    if (error != 0) {
        Close();
        return;
    }
    if (!m_messageSocket)
        return;
    switch (m_receiver.Receive(*m_messageSocket)) {
    case MessageReceiver::Outcome::Failed:
        Close();
        return;
    case MessageReceiver::Outcome::Waiting:
        return;
    case MessageReceiver::Outcome::Complete:
        break;
    }

    const ServerMessage *reply = m_receiver.Current();
    if (reply->TypeCode() == ServerMessageType::LoginReply) {
        OnLoginReply(static_cast<const LoginReply &>(*reply));
    } else if (reply->TypeCode() == ServerMessageType::UploadPageReply && m_owner) {
        // The owner shows the page in a dialog: call it from the event loop, not from inside
        // the socket's own signal.
        QMetaObject::invokeMethod(this, [this, reply] {
            if (m_owner && m_receiver.Current() == reply)
                m_owner->OnUploadPage(*this, static_cast<const UploadPageReply &>(*reply));
        }, Qt::QueuedConnection);
    }
    // Windows keeps notifying while unread bytes remain; Qt signals only new data. The next
    // message starts at a notification of its own.
    if (m_socket && m_socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, [this] { OnReceive(0); }, Qt::QueuedConnection);
}

void ServerConnection::OnLoginReply(const LoginReply &reply)
{
    // The outcome messages are modal: they are shown from the event loop, never from inside
    // the socket's signal, so nothing can delete the socket under its own feet.
    if (reply.Result() == 0) {
        ClearExchange();
        SetLoggedIn(true);
        QMetaObject::invokeMethod(this, [this] { emit loginAccepted(); }, Qt::QueuedConnection);
    } else {
        Close();
        QMetaObject::invokeMethod(this, [this] { emit loginRejected(); }, Qt::QueuedConnection);
    }
}

void ServerConnection::OnClose(int)
{
    Close();
    emit closedByPeer();
}

void ServerConnection::OnSocketError(QAbstractSocket::SocketError error)
{
    const int code = WinsockError(error, m_socket ? m_socket->errorString() : QString());
    if (m_insideConnect) {
        if (m_immediateError == 0)
            m_immediateError = code;
        return;
    }
    if (m_connecting) {
        m_connecting = false;
        OnConnect(code);
        return;
    }
    // The peer's close arrives as disconnected(); any other error ends the connection.
    if (error != QAbstractSocket::RemoteHostClosedError)
        OnReceive(code);
}

void ServerConnection::OnSocketDisconnected()
{
    // Replies that arrived just before the close are still read, one per pass.
    QPointer<ServerConnection> self(this);
    while (self && m_socket && m_socket->bytesAvailable() > 0) {
        const qint64 before = m_socket->bytesAvailable();
        OnReceive(0);
        if (!m_socket || m_socket->bytesAvailable() == before)
            break;
    }
    if (self)
        OnClose(0);
}

// Compiled here rather than with the library's other meta-object code, so that programs that
// never open a connection (vellumark-cli) do not pull this file, and Qt Network with it, in.
#include "moc_ServerConnection.cpp"
