#include "server/LoginPrompt.h"

#include "platform/settings/Settings.h"
#include "server/ServerConnection.h"

#include <utility>

namespace {

const QString kSettingsKey = QStringLiteral("Software\\Corvanta\\Vellumark");
const QString kDefUsrName = QStringLiteral("DefUsrName");
const QString kRememberInfo = QStringLiteral("RememberInfo");

LoginPrompt *g_loginPrompt = nullptr;

// Failed writes are ignored: the login goes on. The key is made first because a store that
// start-up never touched has none.
void WriteUserString(const QString &name, const QString &value)
{
    CreateSettingsKey(SettingsHive::User, kSettingsKey);
    WriteSettingString(SettingsHive::User, kSettingsKey, name, value);
}

void WriteUserDword(const QString &name, std::uint32_t value)
{
    CreateSettingsKey(SettingsHive::User, kSettingsKey);
    WriteSettingDword(SettingsHive::User, kSettingsKey, name, value);
}

} // namespace

LoginPrompt &LoginPrompt::Instance()
{
    if (!g_loginPrompt) {
        static ScriptedLoginPrompt headless;
        g_loginPrompt = &headless;
    }
    return *g_loginPrompt;
}

void LoginPrompt::Register(LoginPrompt *prompt)
{
    g_loginPrompt = prompt;
}

bool ScriptedLoginPrompt::Show(LoginFields &fields)
{
    shown.push_back(fields);
    if (whileShown) {
        const std::function<void()> meanwhile = std::exchange(whileShown, nullptr);
        meanwhile();
    }
    if (answers.empty())
        return false;
    std::optional<LoginFields> answer = answers.front();
    answers.pop_front();
    if (!answer)
        return false;
    fields = *answer;
    return true;
}

int RunLoginDialog(ServerConnection &connection)
{
    if (connection.IsLoggedIn())
        return 0;

    // The defaults are read each time the dialog is about to open.
    QString remembered;
    if (ReadSettingString(SettingsHive::User, kSettingsKey, kDefUsrName, &remembered) != 0
        || remembered.size() > kMaxLoginTextLength)
        remembered.clear();
    connection.SetUserName(remembered);
    std::uint32_t rememberName = 0;
    ReadSettingDword(SettingsHive::User, kSettingsKey, kRememberInfo, &rememberName);
    connection.SetRememberName(rememberName);

    LoginFields fields;
    if (rememberName != 0) {
        fields.remember = true;
        fields.loginName = connection.UserName();
    }
    if (!LoginPrompt::Instance().Show(fields))
        return -1;

    if (fields.remember) {
        if (connection.RememberName() == 0)
            WriteUserDword(kRememberInfo, 1);
        connection.SetRememberName(1);
        if (fields.loginName != connection.UserName())
            WriteUserString(kDefUsrName, fields.loginName);
    } else if (connection.RememberName() != 0) {
        WriteUserDword(kRememberInfo, 0);
        connection.SetRememberName(0);
    }
    connection.SetUserName(fields.loginName);
    connection.SetPassword(fields.password);
    return 0;
}
