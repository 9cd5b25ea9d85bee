#pragma once
// The modal "Login" dialog (template 201): login name, password, "Remember me.". It refuses
// empty fields and text the wire cannot carry, and stays open until the input is usable.
#include "resource.h"
#include "server/LoginPrompt.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = IDD_LOGIN;
    static constexpr int kRememberId = IDC_REMEMBER;
    static constexpr int kLoginNameId = IDC_LOGINNAME;
    static constexpr int kPasswordId = IDC_PASSWORD;

    explicit LoginDialog(QWidget *parent = nullptr);

    // Fills the controls; the login name edit takes 30 characters (more only when a longer
    // remembered name is shown, so that it is not cut).
    void SetFields(const LoginFields &fields);
    LoginFields Fields() const;

    QLineEdit *LoginNameEdit() const { return m_loginName; }
    QLineEdit *PasswordEdit() const { return m_password; }
    QCheckBox *RememberBox() const { return m_remember; }
    QPushButton *ConnectButton() const { return m_connect; }
    QPushButton *CancelButton() const { return m_cancel; }

    void accept() override;

private:
    QLineEdit *m_loginName;
    QLineEdit *m_password;
    QCheckBox *m_remember;
    QPushButton *m_connect;
    QPushButton *m_cancel;
};

// The LoginPrompt the editor registers: shows LoginDialog modally over `parent`.
class QtLoginPrompt : public LoginPrompt {
public:
    explicit QtLoginPrompt(QWidget *parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget *parent) { m_parent = parent; }
    bool Show(LoginFields &fields) override;

private:
    QWidget *m_parent;
};
