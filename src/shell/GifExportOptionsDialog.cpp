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

// A row of the dialog at template line y: "label [digits] note".
QLineEdit *NumberRow(QWidget *dialog, const DialogUnits &du, int y, const QString &label, const QString &note)
{
    auto *caption = new QLabel(label, dialog);
    du.Place(caption, 10, y + 2, 50, 8);
    auto *edit = new QLineEdit(dialog);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    du.Place(edit, 62, y, 40, 12);
    caption->setBuddy(edit);
    du.Place(new QLabel(note, dialog), 107, y + 2, 120, 8);
    return edit;
}
} // namespace

GifExportOptionsDialog::GifExportOptionsDialog(QWidget *parent) : QDialog(parent), m_options(GifExportSettings::Read())
{
    setWindowTitle(QStringLiteral("GIF Export Options"));
    const DialogUnits du(this);
    setFixedSize(du.Size(250, 106));

    m_budget = NumberRow(this, du, 10, QStringLiteral("Size &budget :"), QStringLiteral("KB (0 = none)"));

    m_fit = new QCheckBox(QStringLiteral("&Fit within the budget, raising the lossy level as needed"), this);
    du.Place(m_fit, 10, 28, 232, 10);

    m_lossy = NumberRow(this, du, 44, QStringLiteral("&Lossy level :"), QStringLiteral("0 = exact pages, up to 255"));

    m_dither = new QCheckBox(QStringLiteral("&Dither pages that have more colours than a GIF holds"), this);
    du.Place(m_dither, 10, 62, 232, 10);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    du.Place(ok, 140, 84, 50, 14);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    du.Place(cancel, 194, 84, 50, 14);
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
