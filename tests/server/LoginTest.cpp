// The remembered login name around the login dialog.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/settings/AppPaths.h"
#include "platform/settings/Settings.h"
#include "server/LoginPrompt.h"
#include "server/ServerConnection.h"

#include <QFile>

namespace {

const QString kKey = "Software\\Corvanta\\Vellumark";

class LoginTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(AppPaths::UserConfigDir() + "/user.json");
        LoginPrompt::Register(&login);
    }
    void TearDown() override { LoginPrompt::Register(nullptr); }

    static void Remember(const QString &name, std::uint32_t remember)
    {
        CreateSettingsKey(SettingsHive::User, kKey);
        WriteSettingString(SettingsHive::User, kKey, "DefUsrName", name);
        WriteSettingDword(SettingsHive::User, kKey, "RememberInfo", remember);
    }
    static QString StoredName()
    {
        QString name;
        return ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &name) == 0 ? name : QString("<none>");
    }
    static std::uint32_t StoredRemember()
    {
        std::uint32_t v = 99;
        return ReadSettingDword(SettingsHive::User, kKey, "RememberInfo", &v) == 0 ? v : 99;
    }
    static QByteArray UserHive() { return TestSupport::ReadFile(AppPaths::UserConfigDir() + "/user.json"); }

    ScriptedLoginPrompt login;
};

} // namespace

TEST_F(LoginTest, RememberedNameIsOfferedAndConnectWritesNothing)
{
    Remember("anna", 1);
    const QByteArray before = UserHive();
    ServerConnection connection;
    login.answers.push_back(LoginFields{"anna", "secret", true});
    EXPECT_EQ(RunLoginDialog(connection), 0);
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_EQ(login.shown[0].loginName, "anna");
    EXPECT_TRUE(login.shown[0].remember);
    EXPECT_TRUE(login.shown[0].password.isEmpty());
    EXPECT_EQ(UserHive(), before);
    EXPECT_EQ(connection.UserName(), "anna");
    EXPECT_EQ(connection.Password(), "secret");
    EXPECT_EQ(connection.RememberName(), 1u);
}

TEST_F(LoginTest, UncheckingForgetsTheChoiceButKeepsTheName)
{
    Remember("anna", 1);
    ServerConnection connection;
    login.answers.push_back(LoginFields{"bert", "pw", false});
    EXPECT_EQ(RunLoginDialog(connection), 0);
    EXPECT_EQ(StoredRemember(), 0u);
    EXPECT_EQ(StoredName(), "anna");
    EXPECT_EQ(connection.UserName(), "bert");
    EXPECT_EQ(connection.RememberName(), 0u);

    EXPECT_EQ(RunLoginDialog(connection), -1); // the next dialog opens empty; cancelled
    ASSERT_EQ(login.shown.size(), 2u);
    EXPECT_TRUE(login.shown[1].loginName.isEmpty());
    EXPECT_FALSE(login.shown[1].remember);
}

TEST_F(LoginTest, CheckingRemembersANewName)
{
    // A fresh store: no key yet.
    ServerConnection connection;
    login.answers.push_back(LoginFields{"Cl\u00e9o", "pw", true});
    EXPECT_EQ(RunLoginDialog(connection), 0);
    EXPECT_EQ(StoredRemember(), 1u);
    EXPECT_EQ(StoredName(), QString::fromUtf8("Cl\u00e9o"));

    // A different name typed with the box checked replaces it; the comparison is case-sensitive.
    login.answers.push_back(LoginFields{"cl\u00e9o", "pw", true});
    EXPECT_EQ(RunLoginDialog(connection), 0);
    EXPECT_EQ(login.shown[1].loginName, QString::fromUtf8("Cl\u00e9o"));
    EXPECT_EQ(StoredName(), QString::fromUtf8("cl\u00e9o"));
}

TEST_F(LoginTest, OverlongRememberedNameIsIgnored)
{
    Remember(QString(81, 'x'), 1);
    ServerConnection connection;
    EXPECT_EQ(RunLoginDialog(connection), -1);
    ASSERT_EQ(login.shown.size(), 1u);
    EXPECT_TRUE(login.shown[0].loginName.isEmpty());
    EXPECT_TRUE(login.shown[0].remember);

    Remember(QString(80, 'x'), 1);
    EXPECT_EQ(RunLoginDialog(connection), -1);
    EXPECT_EQ(login.shown[1].loginName, QString(80, 'x'));
}

TEST_F(LoginTest, CancelLeavesTheStoreAlone)
{
    Remember("anna", 0);
    const QByteArray before = UserHive();
    ServerConnection connection;
    login.answers.push_back(std::nullopt);
    EXPECT_EQ(RunLoginDialog(connection), -1);
    EXPECT_FALSE(login.shown[0].remember);
    EXPECT_TRUE(login.shown[0].loginName.isEmpty()); // remembered, but not to be offered
    EXPECT_EQ(UserHive(), before);
    EXPECT_TRUE(connection.Password().isEmpty());
}
