#pragma once
// The login dialog as the core sees it. ServerConnection::Open runs it through the registered
// LoginPrompt: the editor registers the Qt dialog at start-up, tests a ScriptedLoginPrompt.
// The remembered name (DefUsrName, RememberInfo) is handled here, around the dialog.
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

class ServerConnection;

// The dialog's data: login name, password, "Remember me.".
struct LoginFields {
    QString loginName;
    QString password;
    bool remember = false;
};

class LoginPrompt {
public:
    virtual ~LoginPrompt() = default;
    // Shows the dialog with `fields` filled in. True when the user pressed Connect (fields then
    // hold what was typed; the dialog itself refuses empty fields), false when cancelled.
    virtual bool Show(LoginFields &fields) = 0;

    // The registered instance; before any registration one that cancels stands in.
    static LoginPrompt &Instance();
    static void Register(LoginPrompt *prompt);
};

// Answers from a queue (an empty queue cancels) and records what each dialog showed.
class ScriptedLoginPrompt : public LoginPrompt {
public:
    bool Show(LoginFields &fields) override;

    std::deque<std::optional<LoginFields>> answers;
    std::vector<LoginFields> shown;
    // Runs once, while the next dialog "is open" and before it answers: what happens meanwhile
    // in its event loop.
    std::function<void()> whileShown;
};

// The longest login name and password the wire fields hold.
constexpr int kMaxLoginTextLength = 80;
// The login name edit's limit when the dialog opens.
constexpr int kLoginNameEditLimit = 30;

// Runs the login dialog for the connection: 0 when the connection's user name and password now
// hold what the user typed (or it is logged in already), -1 when the user cancelled.
int RunLoginDialog(ServerConnection &connection);
