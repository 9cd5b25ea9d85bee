#include "shell/RecoverDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

RecoverDialog::RecoverDialog(const QString &title, const QDateTime &time, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Recover Banners"));
    m_text = new QLabel(QStringLiteral("Vellumark ended without closing \"%1\". A copy of it as it was at %2 was kept.\n\n"
                                       "Restore the banner, or discard the copy?")
                            .arg(title, QLocale().toString(time.toLocalTime(), QLocale::ShortFormat)),
                        this);
    m_text->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *restore = buttons->addButton(QStringLiteral("&Restore"), QDialogButtonBox::AcceptRole);
    QPushButton *discard = buttons->addButton(QStringLiteral("&Discard"), QDialogButtonBox::DestructiveRole);
    restore->setDefault(true);
    restore->setFocus();
    connect(restore, &QPushButton::clicked, this, [this] {
        m_choice = Choice::Restore;
        accept();
    });
    connect(discard, &QPushButton::clicked, this, [this] {
        m_choice = Choice::Discard;
        accept();
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

RecoverDialog::Choice RecoverDialog::Ask()
{
    m_choice = Choice::Later;
    exec();
    return m_choice;
}

QString RecoverDialog::Text() const
{
    return m_text->text();
}
