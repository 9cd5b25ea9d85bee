#include "shell/CSplash.h"

#include "shell/CSplashWnd.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

CSplash::CSplash(unsigned displayTime, CSplash **backReference, std::function<QWidget *()> mainWindow)
    : m_backReference(backReference), m_displayTime(displayTime), m_mainWindow(std::move(mainWindow))
{
    if (m_backReference)
        *m_backReference = this;
}

CSplash::~CSplash()
{
    qApp->removeEventFilter(this);
    if (m_window) {
        QObject::disconnect(m_window, nullptr, this, nullptr);
        delete m_window.data();
    }
    if (m_backReference && *m_backReference == this)
        *m_backReference = nullptr;
}

bool CSplash::Start()
{
    CSplashWnd *window = CreateSplashWnd(m_displayTime);
    if (!window)
        return false;
    m_window = window;
    // The splash ends with its window; the application stops counting it at once, so input
    // reaches the main window from the next event on.
    connect(window, &QObject::destroyed, this, [this] {
        qApp->removeEventFilter(this);
        if (m_backReference && *m_backReference == this)
            *m_backReference = nullptr;
        m_backReference = nullptr;
        deleteLater();
    });
    qApp->installEventFilter(this);
    return true;
}

CSplashWnd *CSplash::CreateSplashWnd(unsigned displayTime)
{
    auto *window = new CSplashWnd(m_mainWindow);
    if (!window->Create(displayTime)) {
        delete window;
        return nullptr;
    }
    return window;
}

bool CSplash::IsInsideMainWindow(QObject *object) const
{
    QWidget *main = m_mainWindow ? m_mainWindow() : nullptr;
    if (!main || !object)
        return false;
    if (object->isWindowType())
        return object == main->windowHandle();
    auto *widget = qobject_cast<QWidget *>(object);
    return widget && (widget == main || main->isAncestorOf(widget));
}

bool CSplash::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
        break;
    default:
        return QObject::eventFilter(watched, event);
    }
    if (!IsInsideMainWindow(watched))
        return QObject::eventFilter(watched, event);
    // An accepted override keeps the key from reaching the window's shortcuts as well.
    event->accept();
    if (m_window && event->type() != QEvent::MouseMove && event->type() != QEvent::NonClientAreaMouseMove)
        m_window->BringToFront();
    return true;
}
