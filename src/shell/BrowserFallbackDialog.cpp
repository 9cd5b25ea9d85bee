#include "shell/BrowserFallbackDialog.h"

#include "resource.h"
#include "platform/widgets/DialogUnits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

BrowserFallbackDialog::BrowserFallbackDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Error - Vellumark Help"));
    setModal(true);
    const DialogUnits du(this);
    setFixedSize(du.Size(236, 82));

    m_messageLabel = new QLabel(this);
    m_messageLabel->setObjectName(QString::number(IDC_FALLBACK_MESSAGE));
    m_messageLabel->setWordWrap(true);
    du.Place(m_messageLabel, 7, 7, 222, 18);

    auto *label = new QLabel(QStringLiteral("Please access the web page below for help."), this);
    du.Place(label, 7, 28, 222, 8);

    m_addressEdit = new QLineEdit(this);
    m_addressEdit->setObjectName(QString::number(IDC_FALLBACK_ADDRESS));
    m_addressEdit->setReadOnly(true);
    du.Place(m_addressEdit, 7, 40, 222, 13);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    du.Place(ok, 93, 60, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void BrowserFallbackDialog::showEvent(QShowEvent *event)
{
    m_messageLabel->setText(m_message);
    m_addressEdit->setText(m_address);
    // The address is what the user came for: select it ready to copy.
    m_addressEdit->setFocus();
    m_addressEdit->selectAll();
    QDialog::showEvent(event);
}

QString BrowserFallbackDialog::MessageText() const
{
    return m_messageLabel->text();
}

QString BrowserFallbackDialog::AddressText() const
{
    return m_addressEdit->text();
}
