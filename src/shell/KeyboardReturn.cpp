#include "shell/KeyboardReturn.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

KeyboardReturn::KeyboardReturn(QWidget *fallback, QObject *parent) : QObject(parent), m_fallback(fallback)
{
    qApp->installEventFilter(this);
}

KeyboardReturn::~KeyboardReturn()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool KeyboardReturn::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::WindowDeactivate && type != QEvent::Hide) || !watched->isWidgetType())
        return false;
    auto *window = static_cast<QWidget *>(watched);
    // A menu or a completion list never takes the keyboard from its window.
    if (!window->isWindow() || window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip)
        return false;
    if (type == QEvent::WindowDeactivate) {
        // A window that closes gives up the keyboard just before it hides, in the same pass of
        // the event loop; a window left for another program stays shown.
        m_leaving = window;
        QTimer::singleShot(0, this, [this] { m_leaving = nullptr; });
        return false;
    }
    if (window != m_leaving && window != QApplication::activeWindow())
        return false;
    m_leaving = nullptr;
    QPointer<QWidget> owner = window->parentWidget() ? window->parentWidget()->window() : m_fallback.data();
    if (!owner || owner == window)
        return false;
    // Once the dialog's modal loop is over; a dialog still open (the one this one was shown
    // over) comes first, as the owner cannot take keys past it.
    QTimer::singleShot(0, this, [owner, closed = QPointer<QWidget>(window)] {
        QWidget *target = QApplication::activeModalWidget();
        if (!target)
            target = owner;
        if (!target || !target->isVisible() || (closed && closed->isVisible()))
            return;
        if (QApplication::activeWindow() != target)
            target->activateWindow();
    });
    return false;
}
