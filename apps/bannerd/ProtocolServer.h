#pragma once
// The binary protocol side of bannerd: a QTcpServer on the main thread's event loop, one
// ProtocolSession per connection. Logins are checked on the PasswordPool; upload pages carry a
// token from UploadTokens that the HTTP side redeems.
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTimer>
#include <chrono>
#include <deque>
#include <map>
#include <string>

class AccountStore;
class PasswordPool;
class UploadTokens;

struct ProtocolLimits {
    // A message must arrive whole within this time of its first byte.
    std::chrono::milliseconds messageTimeout{5000};
    // A connection must log in within this time of connecting, whatever it sends meanwhile.
    std::chrono::milliseconds loginTimeout{30000};
    // Replies the client leaves unread beyond a small bound for this long end the connection.
    std::chrono::milliseconds replyTimeout{30000};
    // A logged-in connection that sends nothing for this long is closed (the editor logs in
    // again when the user next uploads).
    std::chrono::milliseconds idleTimeout{std::chrono::hours(2)};
    // Rejected logins on one connection before it is closed.
    int maxFailedLogins = 3;
    // Rejected logins from one address within failureWindow before its logins are refused
    // unchecked (reconnecting does not buy new guesses).
    int maxFailedLoginsPerAddress = 10;
    std::chrono::milliseconds failureWindow{60000};
    int maxConnections = 1024;
};

class ProtocolServer : public QObject {
    Q_OBJECT
public:
    struct Settings {
        QString publicHost; // empty: the address the client connected to
        int httpPort = 0;
        qint64 maxUpload = 0;
        ProtocolLimits limits;
    };

    ProtocolServer(AccountStore &accounts, PasswordPool &pool, UploadTokens &tokens, Settings settings,
                   QObject *parent = nullptr);
    ~ProtocolServer() override;

    bool Listen(const QHostAddress &address, quint16 port, QString *error);
    quint16 Port() const { return m_server.serverPort(); }
    int Sessions() const { return m_sessions; }

    AccountStore &Accounts() { return m_accounts; }
    PasswordPool &Pool() { return m_pool; }
    UploadTokens &Tokens() { return m_tokens; }
    const Settings &Config() const { return m_settings; }
    // The form address for a token, on the HTTP port, as a client that reached us at `local` can use it.
    QString UploadAddress(const QHostAddress &local, const std::string &token) const;
    // A new connection number for tokens; never reused while the server runs.
    quint64 NextConnectionId() { return ++m_lastConnectionId; }
    void SessionEnded() { --m_sessions; }
    // The address has used up its failed logins for now.
    bool LoginsBlocked(const QHostAddress &address);
    void RecordFailedLogin(const QHostAddress &address);

private:
    void OnNewConnection();
    void ForgetOldFailures(std::chrono::steady_clock::time_point now);

    AccountStore &m_accounts;
    PasswordPool &m_pool;
    UploadTokens &m_tokens;
    Settings m_settings;
    QTcpServer m_server;
    QTimer m_purgeTimer;
    std::map<QString, std::deque<std::chrono::steady_clock::time_point>> m_failures; // by address
    int m_sessions = 0;
    quint64 m_lastConnectionId = 0;
};
