#include "server/LoginDialog.h"

#include "platform/Prompts.h"
#include "platform/Win1252.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

LoginDialog::LoginDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Login"));
    setModal(true);

    m_loginName = new QLineEdit(this);
    m_loginName->setObjectName(QStringLiteral("loginName"));
    m_loginName->setProperty("controlId", kLoginNameId);
    m_loginName->setMaxLength(kLoginNameEditLimit);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setProperty("controlId", kPasswordId);
    m_password->setEchoMode(QLineEdit::Password);
    m_remember = new QCheckBox(QStringLiteral("&Remember me."), this);
    m_remember->setObjectName(QStringLiteral("remember"));
    m_remember->setProperty("controlId", kRememberId);

    auto *nameLabel = new QLabel(QStringLiteral("&Login Name:"), this);
    nameLabel->setBuddy(m_loginName);
    auto *passwordLabel = new QLabel(QStringLiteral("&Password:"), this);
    passwordLabel->setBuddy(m_password);

    m_connect = new QPushButton(QStringLiteral("Connect"), this);
    m_connect->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(m_connect, &QPushButton::clicked, this, &LoginDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &LoginDialog::reject);

    auto *fields = new QGridLayout;
    fields->addWidget(nameLabel, 0, 0);
    fields->addWidget(m_loginName, 0, 1);
    fields->addWidget(passwordLabel, 1, 0);
    fields->addWidget(m_password, 1, 1);
    fields->addWidget(m_remember, 2, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_connect);
    buttons->addWidget(m_cancel);
    buttons->addStretch();

    auto *top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addLayout(buttons);

    auto *note = new QLabel(QStringLiteral("Note: Please ensure that you are connected to the Internet."), this);
    note->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(note);
    m_loginName->setFocus();
}

void LoginDialog::SetFields(const LoginFields &fields)
{
    m_loginName->setMaxLength(std::max<int>(kLoginNameEditLimit, int(fields.loginName.size())));
    m_loginName->setText(fields.loginName);
    m_password->setText(fields.password);
    m_remember->setChecked(fields.remember);
}

LoginFields LoginDialog::Fields() const
{
    return LoginFields{m_loginName->text(), m_password->text(), m_remember->isChecked()};
}

void LoginDialog::accept()
{
    const LoginFields fields = Fields();
    Prompts &prompts = Prompts::Instance();
    if (fields.loginName.isEmpty() || fields.password.isEmpty()) {
        prompts.Message(QStringLiteral("Login or Password cannot be empty. Please retry."));
        return;
    }
    // The server's fields hold 80 single-byte characters; a cut or altered password would
    // only fail on the server without telling why.
    if (fields.password.size() > kMaxLoginTextLength) {
        prompts.Message(QStringLiteral("The password is too long: it can have at most %1 characters. Please retry.")
                            .arg(kMaxLoginTextLength));
        m_password->setFocus();
        return;
    }
    if (!Win1252::CanEncode(fields.loginName) || !Win1252::CanEncode(fields.password)) {
        prompts.Message(QStringLiteral("The login name and password can only hold Western European "
                                       "(Windows-1252) characters. Please retry."));
        return;
    }
    QDialog::accept();
}

bool QtLoginPrompt::Show(LoginFields &fields)
{
    LoginDialog dialog(m_parent);
    dialog.SetFields(fields);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    fields = dialog.Fields();
    return true;
}
