#include "shell/GifWarnDlg.h"

#include "resource.h"
#include "platform/widgets/DialogUnits.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

GifWarnDlg::GifWarnDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Warning : Vellumark Release"));
    const DialogUnits du(this);
    setFixedSize(du.Size(216, 110));

    auto addText = [this, &du](const char *text, int x, int y, int w, int h) {
        auto *label = new QLabel(QString::fromUtf8(text), this);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        du.Place(label, x, y, w, h);
    };
    addText("While opening animated GIF files in Vellumark,  a very few files may not be displayed "
            "correctly in the Frames view.",
            14, 13, 189, 19);
    addText("In such a case simply close the file without saving it.", 14, 38, 164, 8);
    addText("If such a file is saved with Vellumark, some of the frames may be saved incorrectly.", 14, 52,
            177, 17);

    m_box = new QCheckBox(QStringLiteral("&Show this dialog next time."), this);
    m_box->setObjectName(QString::number(IDC_SHOWAGAIN));
    du.Place(m_box, 15, 82, 99, 10);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    du.Place(ok, 141, 80, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void GifWarnDlg::showEvent(QShowEvent *event)
{
    m_box->setChecked(m_check);
    QDialog::showEvent(event);
}

void GifWarnDlg::done(int result)
{
    // The only button is OK; closing the window counts the same, and either way the check box
    // tells the caller whether to warn next time.
    m_check = m_box->isChecked();
    QDialog::done(result);
}
