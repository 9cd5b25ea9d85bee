#include "shell/AboutDialog.h"

#include "StringTable.h"
#include "resource.h"
#include "platform/widgets/DialogUnits.h"
#include "shell/OpenInBrowser.h"

#include <QFrame>
#include <QIcon>
#include <QMouseEvent>
#include <QPushButton>

#ifndef VELLUMARK_VERSION
#define VELLUMARK_VERSION "0.1.0"
#endif

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

QString AboutDialog::HomePageAddress()
{
    return LoadResString(IDS_HOMEPAGE_URL);
}

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vellumark"));
    const DialogUnits du(this);
    setFixedSize(du.Size(224, 92));

    auto *top = new QFrame(this);
    top->setFrameStyle(QFrame::Box | QFrame::Sunken);
    du.Place(top, 7, 3, 210, 51);
    auto *bottom = new QFrame(this);
    bottom->setFrameStyle(QFrame::Box | QFrame::Sunken);
    du.Place(bottom, 7, 54, 128, 31);

    m_product = new ClickableLabel(QStringLiteral("Vellumark Version " VELLUMARK_VERSION), this);
    m_product->setObjectName(QString::number(IDC_ABOUT_VERSION));
    m_product->setCursor(Qt::PointingHandCursor);
    du.Place(m_product, 15, 14, 150, 10);
    auto *line2 = new QLabel(QStringLiteral("An editor for animated web banners."), this);
    du.Place(line2, 15, 27, 150, 10);
    auto *line3 = new QLabel(QStringLiteral("Copyright \u00a9 Corvanta"), this);
    du.Place(line3, 15, 62, 115, 18);

    m_icon = new ClickableLabel(this);
    m_icon->setObjectName(QString::number(IDC_ABOUT_ICON));
    m_icon->setPixmap(QIcon(QStringLiteral(":/icons/vellumark.png")).pixmap(du.Size(20, 20).boundedTo(QSize(48, 48))));
    m_icon->setAlignment(Qt::AlignCenter);
    m_icon->setCursor(Qt::PointingHandCursor);
    m_icon->setToolTip(HomePageAddress());
    du.Place(m_icon, 174, 19, 20, 20);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    du.Place(ok, 157, 65, 36, 12);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    connect(m_icon, &ClickableLabel::clicked, this, &AboutDialog::OpenHomePage);
    connect(m_product, &ClickableLabel::clicked, this, &AboutDialog::OpenHomePage);
}

void AboutDialog::OpenHomePage()
{
    OpenInBrowser(HomePageAddress(), QStringLiteral("Corvantaplex home page"), this);
}
