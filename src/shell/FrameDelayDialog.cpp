#include "shell/FrameDelayDialog.h"

#include "platform/widgets/DialogData.h"
#include "resource.h"
#include "platform/widgets/DialogUnits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <limits>

FrameDelayDialog::FrameDelayDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Frame Delay"));
    const DialogUnits du(this);
    setFixedSize(du.Size(119, 57));

    auto *label = new QLabel(QStringLiteral("&Time :"), this);
    du.Place(label, 12, 13, 20, 8);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QString::number(IDC_DELAY));
    // Digits only: a negative delay cannot be typed.
    m_edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_edit));
    du.Place(m_edit, 35, 11, 50, 12);
    label->setBuddy(m_edit);
    auto *unit = new QLabel(QStringLiteral("msec."), this);
    du.Place(unit, 90, 13, 20, 8);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    du.Place(ok, 27, 33, 33, 14);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    du.Place(cancel, 67, 33, 33, 14);
    connect(ok, &QPushButton::clicked, this, &FrameDelayDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FrameDelayDialog::showEvent(QShowEvent *event)
{
    m_edit->setText(QString::number(m_delay));
    m_edit->setFocus();
    m_edit->selectAll();
    QDialog::showEvent(event);
}

void FrameDelayDialog::accept()
{
    // Empty, or too large for a 32-bit delay: refused, and the dialog stays.
    if (!ReadIntField(m_edit, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), m_delay))
        return;
    QDialog::accept();
}
