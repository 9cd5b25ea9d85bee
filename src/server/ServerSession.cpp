#include "server/ServerSession.h"

#include "platform/Prompts.h"
#include "server/ServerConnection.h"
#include "server/UploadPage.h"

#include <QPointer>

ServerSession::ServerSession(QObject *parent) : QObject(parent) {}

ServerSession::~ServerSession()
{
    blockSignals(true);
    DiscardConnection();
}

bool ServerSession::IsLoggedIn() const
{
    return m_connection && m_connection->IsLoggedIn();
}

ServerConnection *ServerSession::StartLogin()
{
    if (!m_connection) {
        m_connection = new ServerConnection(this);
        connect(m_connection, &ServerConnection::loginAccepted, this, &ServerSession::OnLoginAccepted);
        connect(m_connection, &ServerConnection::loginRejected, this, &ServerSession::OnLoginRejected);
        connect(m_connection, &ServerConnection::closedByPeer, this, &ServerSession::DiscardConnection);
        connect(m_connection, &ServerConnection::loginStateChanged, this, &ServerSession::loginStateChanged);
    }
    m_loginRunning = true;
    emit loginStateChanged();
    const int opened = m_connection->Open();
    m_loginRunning = false;
    emit loginStateChanged();
    if (opened != 0) {
        DiscardConnection();
        return nullptr;
    }
    return m_connection;
}

void ServerSession::DiscardConnection()
{
    if (!m_connection)
        return;
    if (m_loginRunning) {
        // The dialog's caller still uses the connection: it keeps its credentials and connects
        // afresh when the user presses Connect.
        m_connection->Close();
        return;
    }
    ServerConnection *connection = m_connection;
    m_connection = nullptr;
    connection->Close();
    connection->disconnect(this);
    // Discarding can run from inside the connection's own notification; the event loop
    // deletes it once that has returned.
    connection->setParent(nullptr);
    connection->deleteLater();
    emit loginStateChanged();
}

void ServerSession::OnServerLogin()
{
    if (m_loginRunning)
        return; // a login dialog is open already
    if (IsLoggedIn()) {
        m_connection->Close();
        return;
    }
    if (!StartLogin())
        Prompts::Instance().Message(QStringLiteral("Aborting upload to server."), Prompts::Icon::Stop);
}

void ServerSession::OnServerUpload()
{
    if (IsUploadEnabled())
        m_connection->RequestUploadPage(this, QString::fromLatin1(UploadPageRequest::kFixedPath));
}

bool ServerSession::IsUploadEnabled() const
{
    return IsLoggedIn() && m_connection->IsIdle();
}

void ServerSession::OnUploadPage(ServerConnection &connection, const UploadPageReply &reply)
{
    // The server may close the connection while the dialog runs: it is discarded then, and
    // nothing of it may be used afterwards.
    QPointer<ServerConnection> guard(&connection);
    QString path;
    const UploadPageOutcome outcome = StoreUploadPage(connection.UserName(), reply.Page(), &path);
    if (outcome == UploadPageOutcome::Stored)
        UploadPrompt::Instance().Show(path);
    else
        Prompts::Instance().Message(UploadPageMessage(outcome));
    if (guard && guard == m_connection)
        guard->ClearExchange();
}

void ServerSession::OnCommand(int id)
{
    if (id == kUploadCommand)
        OnServerUpload();
    else if (HandlesCommand(id))
        OnServerLogin();
}

bool ServerSession::HandlesCommand(int id)
{
    return id == kLoginCommand || id == kLoginButton || id == kLogoutButton || id == kUploadCommand;
}

QString ServerSession::LoginCommandText() const
{
    return IsLoggedIn() ? QStringLiteral("Logout") : QStringLiteral("&Login...");
}

QString ServerSession::LoginCommandPrompt() const
{
    return IsLoggedIn() ? QStringLiteral("Logout from the Vellumark Server")
                        : QStringLiteral("Login to the Vellumark Server");
}

bool ServerSession::IsCommandEnabled(int id) const
{
    switch (id) {
    case kLoginCommand: return !m_loginRunning;
    case kLoginButton: return IsLoginEnabled();
    case kLogoutButton: return IsLogoutEnabled();
    case kUploadCommand: return IsUploadEnabled();
    default: return false;
    }
}

void ServerSession::OnLoginAccepted()
{
    Prompts::Instance().Message(QStringLiteral("Login successful."));
}

void ServerSession::OnLoginRejected()
{
    Prompts::Instance().Message(
        QStringLiteral("The UserName/Password could not be verified on the server.\nPlease retry login."));
}

// Compiled here rather than with the library's other meta-object code, so that programs that
// never open a connection (vellumark-cli) do not pull this file, and Qt Network with it, in.
#include "moc_ServerSession.cpp"
