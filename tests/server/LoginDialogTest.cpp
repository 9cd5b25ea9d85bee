#include <gtest/gtest.h>

#include "platform/ScriptedPrompts.h"
#include "server/LoginDialog.h"
#include "server/ServerConnection.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class LoginDialogTest : public ::testing::Test {
protected:
    void SetUp() override { Prompts::Register(&prompts); }
    void TearDown() override { Prompts::Register(nullptr); }
    ScriptedPrompts prompts;
};

QStringList LabelTexts(const QWidget &w)
{
    QStringList texts;
    for (const QLabel *label : w.findChildren<QLabel *>())
        texts << label->text();
    return texts;
}

} // namespace

TEST_F(LoginDialogTest, ControlsAndTexts)
{
    LoginDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Login");
    EXPECT_TRUE(dialog.isModal());
    const QStringList labels = LabelTexts(dialog);
    EXPECT_TRUE(labels.contains("&Login Name:"));
    EXPECT_TRUE(labels.contains("&Password:"));
    EXPECT_TRUE(labels.contains("Note: Please ensure that you are connected to the Internet."));
    EXPECT_EQ(dialog.RememberBox()->text(), "&Remember me.");
    EXPECT_EQ(dialog.ConnectButton()->text(), "Connect");
    EXPECT_TRUE(dialog.ConnectButton()->isDefault());
    EXPECT_EQ(dialog.CancelButton()->text(), "Cancel");
    EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(dialog.LoginNameEdit()->maxLength(), 30);
    const LoginFields empty = dialog.Fields();
    EXPECT_TRUE(empty.loginName.isEmpty() && empty.password.isEmpty() && !empty.remember);

    // A longer remembered name is shown whole.
    dialog.SetFields(LoginFields{QString(50, 'n'), {}, true});
    EXPECT_EQ(dialog.LoginNameEdit()->text(), QString(50, 'n'));
    EXPECT_TRUE(dialog.RememberBox()->isChecked());
}

TEST_F(LoginDialogTest, UnusableInputKeepsTheDialogOpen)
{
    LoginDialog dialog;
    dialog.show();
    QTest::keyClicks(dialog.LoginNameEdit(), "anna");
    QTest::mouseClick(dialog.ConnectButton(), Qt::LeftButton);
    EXPECT_TRUE(prompts.WasShown("Login or Password cannot be empty. Please retry.", Prompts::Icon::None));
    EXPECT_TRUE(dialog.isVisible());

    dialog.PasswordEdit()->setText(QString(81, 'p'));
    prompts.messages.clear();
    QTest::mouseClick(dialog.ConnectButton(), Qt::LeftButton);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains("at most 80 characters"));
    EXPECT_TRUE(dialog.isVisible());

    dialog.PasswordEdit()->setText(QString(80, 'p'));
    QTest::mouseClick(dialog.ConnectButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Fields().password, QString(80, 'p'));
}

TEST_F(LoginDialogTest, RegisteredDialogRunsFromTheConnection)
{
    QtLoginPrompt qtPrompt;
    LoginPrompt::Register(&qtPrompt);
    ServerConnection connection;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<LoginDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = true;
        QTest::keyClicks(dialog->LoginNameEdit(), QString(35, 'a')); // cut at 30
        QTest::keyClicks(dialog->PasswordEdit(), "pw%d");
        QTest::mouseClick(dialog->ConnectButton(), Qt::LeftButton);
    });
    EXPECT_EQ(RunLoginDialog(connection), 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(connection.UserName(), QString(30, 'a'));
    EXPECT_EQ(connection.Password(), "pw%d");

    QTimer::singleShot(0, [] {
        if (auto *dialog = qobject_cast<LoginDialog *>(QApplication::activeModalWidget()))
            QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(RunLoginDialog(connection), -1);
    LoginPrompt::Register(nullptr);
}
