#include "shell/LogoBackgroundWnd.h"

#include <QPainter>
#include <QPaintEvent>

LogoBackgroundWnd::LogoBackgroundWnd(QWidget *parent) : QMdiArea(parent), m_logo(QStringLiteral(":/icons/logo.png"))
{
    // The logo's own ground colour, so it sits on the area without a visible box.
    setBackground(QColor(0x80, 0x80, 0x80));
}

QPoint LogoBackgroundWnd::LogoOrigin(const QSize &client, const QSize &logo)
{
    // Integer division truncates toward zero, negative offsets included: equal clipping.
    return QPoint((client.width() - logo.width()) / 2, (client.height() - logo.height()) / 2);
}

void LogoBackgroundWnd::paintEvent(QPaintEvent *event)
{
    QMdiArea::paintEvent(event);
    if (m_logo.isNull())
        return;
    QPainter p(viewport());
    p.setClipRegion(event->region());
    p.drawImage(LogoOrigin(viewport()->size(), m_logo.size()), m_logo);
}

void LogoBackgroundWnd::resizeEvent(QResizeEvent *event)
{
    QMdiArea::resizeEvent(event);
    // The logo moves with the size: the whole area is repainted, not only the new strips.
    viewport()->update();
}
