#include "shell/GifExportOptionsDialog.h"

#include "platform/Prompts.h"
#include "platform/widgets/DialogData.h"
#include "platform/widgets/DialogUnits.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <limits>

namespace {
// The highest lossy level the encoder takes.
constexpr qint32 kMaxLossy = 255;

QLineEdit *DigitsEdit(QWidget *parent, const QString &name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}
} // namespace

GifExportOptionsDialog::GifExportOptionsDialog(QWidget *parent) : QDialog(parent), m_options(GifExportSettings::Read())
{
    setWindowTitle(QStringLiteral("GIF Export Options"));
    const DialogUnits du(this);
    setFixedSize(du.Size(236, 106));

    auto *budgetLabel = new QLabel(QStringLiteral("Size &budget :"), this);
    du.Place(budgetLabel, 10, 12, 50, 8);
    m_budget = DigitsEdit(this, QStringLiteral("budget"));
    du.Place(m_budget, 62, 10, 40, 12);
    budgetLabel->setBuddy(m_budget);
    du.Place(new QLabel(QStringLiteral("KB (0 = none)"), this), 107, 12, 110, 8);

    m_fit = new QCheckBox(QStringLiteral("&Fit the file within the budget, raising the lossy level as needed"), this);
    m_fit->setObjectName(QStringLiteral("fit"));
    du.Place(m_fit, 10, 28, 220, 10);

    auto *lossyLabel = new QLabel(QStringLiteral("&Lossy level :"), this);
    du.Place(lossyLabel, 10, 46, 50, 8);
    m_lossy = DigitsEdit(this, QStringLiteral("lossy"));
    du.Place(m_lossy, 62, 44, 40, 12);
    lossyLabel->setBuddy(m_lossy);
    du.Place(new QLabel(QStringLiteral("0 = exact pages, up to 255"), this), 107, 46, 120, 8);

    m_dither = new QCheckBox(QStringLiteral("&Dither pages that have more colours than a GIF holds"), this);
    m_dither->setObjectName(QStringLiteral("dither"));
    du.Place(m_dither, 10, 62, 220, 10);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    du.Place(ok, 126, 84, 50, 14);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    du.Place(cancel, 180, 84, 50, 14);
    connect(ok, &QPushButton::clicked, this, &GifExportOptionsDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Without a budget there is nothing to fit.
    connect(m_budget, &QLineEdit::textChanged, this, [this](const QString &text) { m_fit->setEnabled(text.toLongLong() > 0); });
}

void GifExportOptionsDialog::showEvent(QShowEvent *event)
{
    m_budget->setText(QString::number(m_options.budgetKB));
    m_fit->setChecked(m_options.fitBudget);
    m_fit->setEnabled(m_options.budgetKB > 0);
    m_lossy->setText(QString::number(m_options.lossy));
    m_dither->setChecked(m_options.dither);
    m_budget->setFocus();
    m_budget->selectAll();
    QDialog::showEvent(event);
}

void GifExportOptionsDialog::accept()
{
    qint32 budget = 0, lossy = 0;
    if (!ReadIntField(m_budget, 0, std::numeric_limits<qint32>::max(), budget)
        || !ReadIntField(m_lossy, 0, kMaxLossy, lossy))
        return;
    GifExportSettings::Stored options;
    options.budgetKB = budget;
    options.fitBudget = m_fit->isChecked();
    options.lossy = lossy;
    options.dither = m_dither->isChecked();
    if (!GifExportSettings::Write(options)) {
        Prompts::Instance().Message(QStringLiteral("The GIF export options could not be saved."), Prompts::Icon::Stop);
        return;
    }
    m_options = options;
    QDialog::accept();
}
