#pragma once
// The client end of the TCP connection to the banner server. Its notifications (connected,
// writable, readable, closed by the peer) come from a QTcpSocket on the user-interface thread,
// also while a modal dialog runs. It holds the credentials for the login, at most one pending
// request and one reply being received, and the logged-in state the server commands read.
#include "server/MessageSocket.h"
#include "server/ServerMessage.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class QTcpSocket;
class ServerConnection;

// Receives the upload page of an upload exchange (the upload command's owner).
class UploadPageHandler {
public:
    virtual ~UploadPageHandler() = default;
    virtual void OnUploadPage(ServerConnection &connection, const UploadPageReply &reply) = 0;
};

class ServerConnection : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 5000;
    static constexpr const char *kDefaultHost = "127.0.0.1";

    // Takes the server's host and port from the settings (user, then machine): ServerHost,
    // ServerPort under Software\Corvanta\Vellumark.
    explicit ServerConnection(QObject *parent = nullptr);
    ~ServerConnection() override;

    bool IsLoggedIn() const { return m_loggedIn; }
    bool IsIdle() const { return !m_pendingRequest && !m_receiver.Current(); }
    // True while a socket exists: connecting, connected or logged in.
    bool IsSocketOpen() const;

    // Unless logged in, runs the login dialog (-1 when cancelled), then Connect().
    int Open();
    // 0 when the connection is established or under way, -1 after reporting an error.
    int Connect();
    // Drops the exchange, closes the socket, logged out.
    void Close();
    // Drops the pending request and the current reply.
    void ClearExchange();
    // Queues the upload page request; the page goes to `owner`. 0, or -1 when not possible.
    int RequestUploadPage(UploadPageHandler *owner, const QString &path);

    QString UserName() const { return m_userName; }
    void SetUserName(const QString &name) { m_userName = name; }
    QString Password() const { return m_password; }
    void SetPassword(const QString &password) { m_password = password; }
    std::uint32_t RememberName() const { return m_rememberName; }
    void SetRememberName(std::uint32_t remember) { m_rememberName = remember; }
    QString ServerHost() const { return m_serverHost; }
    quint16 ServerPort() const { return m_serverPort; }

    const ServerMessage *PendingRequest() const { return m_pendingRequest.get(); }
    const ServerMessage *CurrentReply() const { return m_receiver.Current(); }
    std::uint32_t PeekedTypeCode() const { return m_receiver.PeekedTypeCode(); }
    bool ExpectingNewMessage() const { return m_receiver.ExpectingNewMessage(); }

    // The notification handlers; error is a Windows Sockets code, 0 for none.
    void OnConnect(int error);
    void OnSend(int error);
    void OnReceive(int error);
    void OnClose(int error);

    // The Windows Sockets number users know for a Qt socket error (a refused connection is
    // 10061, never 0).
    static int WinsockError(QAbstractSocket::SocketError error, const QString &errorString = {});

signals:
    void loginAccepted();
    void loginRejected();
    // The server closed the connection: the owner discards it.
    void closedByPeer();
    // Logged in or out, for anything that shows the state.
    void loginStateChanged();

private:
    void OnSocketError(QAbstractSocket::SocketError error);
    void OnSocketDisconnected();
    void OnLoginReply(const LoginReply &reply);
    void PostWritable();
    void SetLoggedIn(bool loggedIn);

    QString m_userName;
    QString m_password;
    std::uint32_t m_rememberName = 0;
    QString m_serverHost;
    quint16 m_serverPort = kDefaultPort;
    bool m_loggedIn = false;
    MessageReceiver m_receiver{CreateReply};
    std::unique_ptr<ServerMessage> m_pendingRequest;
    UploadPageHandler *m_owner = nullptr;

    QTcpSocket *m_socket = nullptr;
    std::unique_ptr<QtMessageSocket> m_messageSocket;
    bool m_connecting = false;      // between connectToHost and its outcome
    bool m_insideConnect = false;   // inside connectToHost: errors are reported afterwards
    int m_immediateError = 0;
};
