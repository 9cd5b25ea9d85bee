#pragma once
// One client connection of the binary protocol. Requests are handled one at a time, in order:
// while a login is being checked or a reply is still queued for sending, nothing more is read,
// so a connection holds at most one request, one reply and a small socket buffer.
#include "PasswordPool.h"
#include "server/MessageSocket.h"
#include "server/ServerMessage.h"

#include <QObject>
#include <QTimer>
#include <memory>

class ProtocolServer;
class QTcpSocket;

class ProtocolSession : public QObject {
    Q_OBJECT
public:
    // Takes ownership of the socket; deletes itself when the connection ends.
    ProtocolSession(QTcpSocket *socket, ProtocolServer &server);
    ~ProtocolSession() override;

private:
    void Process();
    bool CanReadMore() const;
    void Handle(std::unique_ptr<ServerMessage> request);
    void HandleLogin(const LoginRequest &request);
    void OnLoginChecked(const QString &user, bool accepted);
    void RefuseLogin(const QString &user, const char *why);
    void HandleUploadPageRequest();
    void Send(std::unique_ptr<ServerMessage> reply);
    void ArmTimers();
    void Drop(const QString &reason);
    // One line per connection for its end, whichever way it comes.
    void LogEnd(const QString &reason);
    void Finish();

    ProtocolServer &m_server;
    QTcpSocket *m_socket;
    QtMessageSocket m_messageSocket;
    MessageReceiver m_receiver{&CreateRequest};
    std::unique_ptr<ServerMessage> m_reply;
    PasswordPool::Ticket m_loginCheck;
    QString m_peer;
    QString m_user; // empty until a login is accepted
    quint64 m_id;
    int m_failedLogins = 0;
    bool m_closing = false;
    bool m_loginLate = false; // the login deadline passed while a check was running
    bool m_finished = false;
    bool m_endLogged = false;
    QTimer m_messageTimer;
    QTimer m_loginTimer;
    QTimer m_idleTimer;
    QTimer m_stallTimer;
};
