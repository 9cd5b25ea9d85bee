#pragma once
// Shown when no browser could be started for a page: names the page and offers its address in
// a read-only field the user can copy from.
#include <QDialog>

class QLabel;
class QLineEdit;

class BrowserFallbackDialog : public QDialog {
    Q_OBJECT
public:
    explicit BrowserFallbackDialog(QWidget *parent = nullptr);

    // Dialog data, shown when the dialog opens.
    QString m_address;
    QString m_message;

    QString MessageText() const;
    QString AddressText() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_messageLabel;
    QLineEdit *m_addressEdit;
};
