#include "ProtocolServer.h"

#include "Log.h"
#include "ProtocolSession.h"
#include "UploadTokens.h"

#include <QTcpSocket>

ProtocolServer::ProtocolServer(AccountStore &accounts, PasswordPool &pool, UploadTokens &tokens, Settings settings,
                               QObject *parent)
    : QObject(parent), m_accounts(accounts), m_pool(pool), m_tokens(tokens), m_settings(std::move(settings))
{
    connect(&m_server, &QTcpServer::newConnection, this, &ProtocolServer::OnNewConnection);
    // Tokens of connections that stay open outlive their 30 minutes; drop them now and then.
    m_purgeTimer.setInterval(std::chrono::minutes(1));
    connect(&m_purgeTimer, &QTimer::timeout, this, [this] {
        m_tokens.Purge();
        ForgetOldFailures(std::chrono::steady_clock::now());
    });
    m_purgeTimer.start();
}

bool ProtocolServer::Listen(const QHostAddress &address, quint16 port, QString *error)
{
    if (m_server.listen(address, port))
        return true;
    *error = QStringLiteral("cannot listen on %1:%2: %3").arg(address.toString()).arg(port).arg(m_server.errorString());
    return false;
}

QString ProtocolServer::UploadAddress(const QHostAddress &local, const std::string &token) const
{
    QString host = m_settings.publicHost;
    if (host.isEmpty()) {
        QHostAddress reached = local;
        bool v4 = false;
        const quint32 ip4 = reached.toIPv4Address(&v4);
        if (v4)
            reached = QHostAddress(ip4); // an IPv4 client seen through a dual-stack socket
        host = reached.toString();
    }
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("http://%1:%2/upload/%3").arg(host).arg(m_settings.httpPort).arg(QString::fromStdString(token));
}

void ProtocolServer::ForgetOldFailures(std::chrono::steady_clock::time_point now)
{
    for (auto it = m_failures.begin(); it != m_failures.end();) {
        std::deque<std::chrono::steady_clock::time_point> &times = it->second;
        while (!times.empty() && now - times.front() >= m_settings.limits.failureWindow)
            times.pop_front();
        it = times.empty() ? m_failures.erase(it) : std::next(it);
    }
}

bool ProtocolServer::LoginsBlocked(const QHostAddress &address)
{
    const auto it = m_failures.find(address.toString());
    if (it == m_failures.end())
        return false;
    const auto now = std::chrono::steady_clock::now();
    while (!it->second.empty() && now - it->second.front() >= m_settings.limits.failureWindow)
        it->second.pop_front();
    return int(it->second.size()) >= m_settings.limits.maxFailedLoginsPerAddress;
}

void ProtocolServer::RecordFailedLogin(const QHostAddress &address)
{
    m_failures[address.toString()].push_back(std::chrono::steady_clock::now());
}

ProtocolServer::~ProtocolServer()
{
    // Sessions report their end to the server as they go: end them while it is still whole.
    qDeleteAll(findChildren<ProtocolSession *>(Qt::FindDirectChildrenOnly));
}

void ProtocolServer::OnNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_sessions >= m_settings.limits.maxConnections) {
            Log(QStringLiteral("refused connection from %1: %2 connections open")
                    .arg(socket->peerAddress().toString())
                    .arg(m_sessions));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_sessions;
        new ProtocolSession(socket, *this);
    }
}
