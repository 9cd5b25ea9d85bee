#pragma once
// The application's hold on the banner server: at most one ServerConnection, made when the user
// logs in and discarded when the server closes it or the application ends (logging out only
// closes its socket). It also carries the Login/Logout commands and Upload GIF: the shell routes
// their ids here and asks it for their menu text, enabled states and status prompt.
#include "resource.h"
#include "server/ServerConnection.h"

#include <QObject>
#include <QString>

class ServerSession : public QObject, public UploadPageHandler {
    Q_OBJECT
public:
    static constexpr int kLoginCommand = ID_SERVER_LOGIN;        // Server > "&Login..." / "Logout"
    static constexpr int kLoginButton = ID_SERVER_LOGINBUTTON;   // server toolbar: Login
    static constexpr int kLogoutButton = ID_SERVER_LOGOUTBUTTON; // server toolbar: Logout
    static constexpr int kUploadCommand = ID_SERVER_UPLOADGIF;   // Server > "&Upload GIF..."

    explicit ServerSession(QObject *parent = nullptr);
    ~ServerSession() override;

    ServerConnection *Connection() const { return m_connection; }
    // A connection exists and reports itself logged in.
    bool IsLoggedIn() const;

    // Makes the connection if there is none and opens it (login dialog, connect). When that
    // fails the connection is deleted and none is returned. While the dialog runs the
    // connection stays (a close by the server only closes its socket) and the Login commands
    // are disabled and ignored.
    ServerConnection *StartLogin();
    // Closes and deletes the connection, if any.
    void DiscardConnection();

    // The Login/Logout toggle behind all three command ids: logs out when logged in (nothing is
    // sent, nothing shown), else starts a login ("Aborting upload to server." when it cannot).
    void OnServerLogin();
    // Upload GIF: asks the server for the user's upload page; the page arrives in OnUploadPage.
    void OnServerUpload();
    // Logged in and no exchange under way.
    bool IsUploadEnabled() const;
    // Stores the page and shows it in the upload dialog, or says why not; the exchange ends
    // when the dialog closes, so Upload GIF stays disabled while it is open.
    void OnUploadPage(ServerConnection &connection, const UploadPageReply &reply) override;

    // Runs the command behind one of the four ids above.
    void OnCommand(int id);
    // True for the four ids above.
    static bool HandlesCommand(int id);
    // Menu text of 32855: "&Login..." or "Logout".
    QString LoginCommandText() const;
    // Status-bar prompt of menu item 32855.
    QString LoginCommandPrompt() const;
    // 32855 always; 32863 only when not logged in; 32864 only when logged in; 32856 see above.
    bool IsCommandEnabled(int id) const;
    bool IsLoginEnabled() const { return !IsLoggedIn() && !m_loginRunning; }
    bool IsLogoutEnabled() const { return IsLoggedIn(); }

signals:
    // The logged-in state may have changed: menus and toolbars refresh.
    void loginStateChanged();

private:
    void OnLoginAccepted();
    void OnLoginRejected();

    ServerConnection *m_connection = nullptr;
    bool m_loginRunning = false; // inside the connection's Open(): its dialog is showing
};
