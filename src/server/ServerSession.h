#pragma once
// The application's hold on the banner server: at most one ServerConnection, made when the user
// logs in and discarded when the server closes it or the application ends (logging out only
// closes its socket). It also carries the Login/Logout commands: the shell routes the three
// command ids here and asks it for their menu text, enabled states and status prompt.
#include "resource.h"

#include <QObject>
#include <QString>

class ServerConnection;

class ServerSession : public QObject {
    Q_OBJECT
public:
    static constexpr int kLoginCommand = ID_SERVER_LOGIN;        // Server > "&Login..." / "Logout"
    static constexpr int kLoginButton = ID_SERVER_LOGINBUTTON;   // server toolbar: Login
    static constexpr int kLogoutButton = ID_SERVER_LOGOUTBUTTON; // server toolbar: Logout

    explicit ServerSession(QObject *parent = nullptr);
    ~ServerSession() override;

    ServerConnection *Connection() const { return m_connection; }
    // A connection exists and reports itself logged in.
    bool IsLoggedIn() const;

    // Makes the connection if there is none and opens it (login dialog, connect). When that
    // fails the connection is deleted and none is returned.
    ServerConnection *StartLogin();
    // Closes and deletes the connection, if any.
    void DiscardConnection();

    // The Login/Logout toggle behind all three command ids: logs out when logged in (nothing is
    // sent, nothing shown), else starts a login ("Aborting upload to server." when it cannot).
    void OnServerLogin();
    // True for the three ids above.
    static bool HandlesCommand(int id);
    // Menu text of 32855: "&Login..." or "Logout".
    QString LoginCommandText() const;
    // Status-bar prompt of menu item 32855.
    QString LoginCommandPrompt() const;
    // 32855 always; 32863 only when not logged in; 32864 only when logged in.
    bool IsCommandEnabled(int id) const;
    bool IsLoginEnabled() const { return !IsLoggedIn(); }
    bool IsLogoutEnabled() const { return IsLoggedIn(); }

signals:
    // The logged-in state may have changed: menus and toolbars refresh.
    void loginStateChanged();

private:
    void OnLoginAccepted();
    void OnLoginRejected();

    ServerConnection *m_connection = nullptr;
};
