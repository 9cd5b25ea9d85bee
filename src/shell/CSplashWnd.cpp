#include "shell/CSplashWnd.h"

#include "resource.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

namespace {
// Between the display time's end and the main window's appearance the splash looks this often.
constexpr int kRecheckMs = 100;
} // namespace

CSplashWnd::CSplashWnd(std::function<QWidget *()> mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), m_mainWindow(std::move(mainWindow))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The picture covers every pixel: no background is erased first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::ArrowCursor);
    // Not shown (there is no title bar); it names the window for the desktop and its tools.
    setWindowTitle(QStringLiteral("Starting Vellumark"));
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &CSplashWnd::OnFocusWindowChanged);
}

CSplashWnd::~CSplashWnd() = default;

bool CSplashWnd::Create(unsigned displayTime)
{
    m_displayTime = displayTime;
    if (!m_dib.LoadFromResource(IDB_SPLASH))
        return false;
    setFixedSize(m_dib.GetSize());
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    repaint();
    BringToFront();
    // The start goes on at once; what the display server needs to show the picture is
    // handed over now, not when the event loop first runs.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (m_displayTime != 0)
        m_timer.start(int(m_displayTime), this);
    return true;
}

void CSplashWnd::BringToFront()
{
    raise();
}

void CSplashWnd::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_dib.Draw(painter, nullptr, nullptr, true, nullptr, false);
}

void CSplashWnd::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId())
        return QWidget::timerEvent(event);
    if (m_mainWindow && m_mainWindow()) {
        m_timer.stop();
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    } else {
        m_timer.start(kRecheckMs, this);
    }
}

void CSplashWnd::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    m_timer.stop();
    if (QWidget *main = m_mainWindow ? m_mainWindow() : nullptr) {
        main->raise();
        main->activateWindow();
    }
}

void CSplashWnd::OnFocusWindowChanged(QWindow *window)
{
    QWidget *main = m_mainWindow ? m_mainWindow() : nullptr;
    if (window && main && window == main->windowHandle())
        BringToFront();
}
