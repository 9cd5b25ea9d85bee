#include "editor/ItemPropertiesDialog.h"

#include "platform/Prompts.h"
#include "platform/widgets/CColorButton.h"
#include "platform/widgets/DialogData.h"
#include "platform/widgets/DialogUnits.h"
#include "resource.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

ItemPropertiesDialog::ItemPropertiesDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Item properties"));
    const DialogUnits du(this);
    setFixedSize(du.Size(186, 90));

    auto *line = new QGroupBox(QStringLiteral("Line"), this);
    du.Place(line, 12, 9, 82, 51);
    m_fillGroup = new QGroupBox(QStringLiteral("Fill"), this);
    m_fillGroup->setObjectName(QString::number(IDC_FILLGROUP));
    du.Place(m_fillGroup, 98, 9, 82, 51);

    // Children of the dialog, placed over the group boxes, keep the template's tab order.
    auto *widthLabel = new QLabel(QStringLiteral("&Width :"), this);
    du.Place(widthLabel, 20, 24, 30, 8);
    m_widthEdit = new QLineEdit(this);
    m_widthEdit->setObjectName(QString::number(IDC_PENWIDTH));
    m_widthEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_widthEdit));
    du.Place(m_widthEdit, 52, 22, 30, 12);
    widthLabel->setBuddy(m_widthEdit);
    auto *lineLabel = new QLabel(QStringLiteral("&Color :"), this);
    du.Place(lineLabel, 20, 42, 30, 8);
    m_lineButton = new CColorButton(this);
    m_lineButton->setObjectName(QString::number(IDC_LINECOLOR));
    du.Place(m_lineButton, 52, 40, 30, 14);
    lineLabel->setBuddy(m_lineButton);

    m_fillCheck = new QCheckBox(QStringLiteral("&Fill :  "), this);
    m_fillCheck->setObjectName(QString::number(IDC_FILL));
    du.Place(m_fillCheck, 106, 23, 60, 10);
    m_fillLabel = new QLabel(QStringLiteral("C&olor :"), this);
    m_fillLabel->setObjectName(QString::number(IDC_FILLCOLOR_LABEL));
    du.Place(m_fillLabel, 106, 42, 30, 8);
    m_fillButton = new CColorButton(this);
    m_fillButton->setObjectName(QString::number(IDC_FILLCOLOR));
    du.Place(m_fillButton, 138, 40, 30, 14);
    m_fillLabel->setBuddy(m_fillButton);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    du.Place(ok, 40, 68, 50, 14);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    du.Place(cancel, 96, 68, 50, 14);
    connect(ok, &QPushButton::clicked, this, &ItemPropertiesDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_lineButton, &QPushButton::clicked, this, [this] { ChooseColorOf(m_lineButton); });
    connect(m_fillButton, &QPushButton::clicked, this, [this] { ChooseColorOf(m_fillButton); });
}

void ItemPropertiesDialog::showEvent(QShowEvent *event)
{
    m_fillCheck->setChecked(m_fill);
    m_widthEdit->setText(QString::number(m_width));
    m_lineButton->SetColor(m_lineColor);
    m_fillButton->SetColor(m_fillColor);
    m_fillCheck->setEnabled(m_canFill);
    m_fillLabel->setEnabled(m_canFill);
    m_fillGroup->setEnabled(m_canFill);
    m_fillButton->setVisible(m_canFill);
    QDialog::showEvent(event);
    m_widthEdit->setFocus();
    m_widthEdit->selectAll();
}

void ItemPropertiesDialog::ChooseColorOf(CColorButton *button)
{
    if (const std::optional<COLORREF> chosen = Prompts::Instance().ChooseColor(button->GetColor()))
        button->SetColor(*chosen);
}

void ItemPropertiesDialog::accept()
{
    qint32 width = 0;
    if (!ReadIntField(m_widthEdit, 1, 20, width))
        return;
    m_width = width;
    m_fill = m_fillCheck->isChecked();
    m_lineColor = m_lineButton->GetColor();
    m_fillColor = m_fillButton->GetColor();
    QDialog::accept();
}
