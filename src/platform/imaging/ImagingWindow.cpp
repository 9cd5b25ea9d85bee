#include "platform/imaging/ImagingWindow.h"

#include "platform/imaging/ImagingControl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>

#include <utility>

ImagingWindow::ImagingWindow(ImagingControl *control, QWidget *parent) : QAbstractScrollArea(parent), m_control(control)
{
    viewport()->setMouseTracking(true);
    // The surface covers the whole viewport; Qt need not clear it first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::NoFrame);
    if (!m_control)
        return;
    connect(m_control, &ImagingControl::SurfaceChanged, this, &ImagingWindow::OnSurfaceChanged);
    connect(m_control, &ImagingControl::DisplayChanged, this, &ImagingWindow::SyncGeometry);
    connect(m_control, &ImagingControl::CursorChanged, this, &ImagingWindow::OnCursorChanged);
    SyncGeometry();
}

int ImagingWindow::ButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

int ImagingWindow::ButtonsOf(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

int ImagingWindow::ShiftOf(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

void ImagingWindow::SyncGeometry()
{
    if (!m_control || m_syncing)
        return;
    m_syncing = true;
    const bool bars = m_control->ShowScrollBars();
    const Qt::ScrollBarPolicy policy = bars ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
    // The window's size follows from whether the displayed picture needs the bars, and a bar
    // takes room that may make the other one needed (or, when fitting, changes the picture's
    // size): decide both before telling the control.
    const QSize full = maximumViewportSize();
    const int barWidth = verticalScrollBar()->sizeHint().width();
    const int barHeight = horizontalScrollBar()->sizeHint().height();
    const auto overflows = [&](int w, int h) {
        const QSizeF shown = m_control->DisplaySizeFor(w, h);
        return std::pair<bool, bool>(shown.width() > w, shown.height() > h);
    };
    auto [needH, needV] = bars ? overflows(full.width(), full.height()) : std::pair<bool, bool>(false, false);
    if (bars && needH && !needV)
        needV = overflows(full.width(), full.height() - barHeight).second;
    if (bars && needV && !needH)
        needH = overflows(full.width() - barWidth, full.height()).first;
    const QSize size(qMax(0, full.width() - (needV ? barWidth : 0)), qMax(0, full.height() - (needH ? barHeight : 0)));
    if (m_control->WindowWidth() != size.width() || m_control->WindowHeight() != size.height()) {
        m_control->SetWindowSize(size.width(), size.height());
        m_needRender = QRegion(QRect(QPoint(0, 0), size));
    }
    horizontalScrollBar()->setPageStep(size.width());
    verticalScrollBar()->setPageStep(size.height());
    horizontalScrollBar()->setSingleStep(16);
    verticalScrollBar()->setSingleStep(16);
    horizontalScrollBar()->setRange(0, m_control->ScrollRangeX());
    verticalScrollBar()->setRange(0, m_control->ScrollRangeY());
    horizontalScrollBar()->setValue(m_control->ScrollX());
    verticalScrollBar()->setValue(m_control->ScrollY());
    m_syncing = false;
    viewport()->update();
}

void ImagingWindow::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    SyncGeometry();
    InvalidateAll();
}

bool ImagingWindow::viewportEvent(QEvent *event)
{
    // Scroll bars come and go after the event loop has run; the window follows the room left.
    if (event->type() == QEvent::Resize && !m_syncing) {
        const bool handled = QAbstractScrollArea::viewportEvent(event);
        SyncGeometry();
        InvalidateAll();
        return handled;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ImagingWindow::scrollContentsBy(int, int)
{
    if (!m_control || m_syncing)
        return;
    m_control->SetScrollPosition(horizontalScrollBar()->value(), verticalScrollBar()->value());
    InvalidateAll();
}

void ImagingWindow::InvalidateRect(const QRect &rect)
{
    const QRect clipped = rect.normalized() & viewport()->rect();
    if (clipped.isEmpty())
        return;
    m_needRender += clipped;
    viewport()->update(clipped);
}

void ImagingWindow::InvalidateAll()
{
    InvalidateRect(viewport()->rect());
}

void ImagingWindow::UpdateNow()
{
    viewport()->repaint(m_needRender.isEmpty() ? QRegion() : m_needRender);
}

void ImagingWindow::OnSurfaceChanged()
{
    // The control rendered or someone drew on the surface: show it as it is now.
    if (!m_inPaint)
        viewport()->update();
}

void ImagingWindow::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    if (!m_control) {
        p.fillRect(event->rect(), QColor::fromRgb(0x808080));
        return;
    }
    m_inPaint = true;
    const QRegion render = m_needRender & event->region();
    if (!render.isEmpty() && m_control->WindowWidth() > 0 && m_control->WindowHeight() > 0) {
        // The control renders its whole surface and raises event 1; only the invalidated area
        // takes the new pixels, the rest keeps what was shown (for example a rubber band drawn
        // on the surface by a tool).
        const QImage before = m_control->WindowSurface();
        m_control->Repaint();
        const QRegion keep = QRegion(viewport()->rect()) - m_needRender;
        if (!keep.isEmpty() && before.size() == m_control->WindowSurface().size()) {
            if (QImage *surface = m_control->GetWindowDC()) {
                QPainter restore(surface);
                restore.setClipRegion(keep);
                restore.drawImage(0, 0, before);
                restore.end();
                m_control->ReleaseWindowDC();
            }
        }
        m_needRender = QRegion();
    }
    m_inPaint = false;
    const QImage &surface = m_control->WindowSurface();
    for (const QRect &r : event->region()) {
        const QRect inside = r & surface.rect();
        if (!inside.isEmpty())
            p.drawImage(inside.topLeft(), surface, inside);
        // Outside the surface (before the control knows the window size) the window colour.
        for (const QRect &outside : QRegion(r) - QRegion(surface.rect()))
            p.fillRect(outside, QColor::fromRgb(ImagingControl::kWindowBackground));
    }
}

void ImagingWindow::mousePressEvent(QMouseEvent *event)
{
    if (m_control) {
        const QPoint at = event->position().toPoint();
        m_control->RaiseMouseDown(ButtonOf(event->button()), ShiftOf(event->modifiers()), at.x(), at.y());
    }
    event->accept();
}

void ImagingWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_control) {
        const QPoint at = event->position().toPoint();
        m_control->RaiseMouseMove(ButtonsOf(event->buttons()), ShiftOf(event->modifiers()), at.x(), at.y());
    }
    event->accept();
}

void ImagingWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_control) {
        const QPoint at = event->position().toPoint();
        m_control->RaiseMouseUp(ButtonOf(event->button()), ShiftOf(event->modifiers()), at.x(), at.y());
    }
    event->accept();
}

void ImagingWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is reported as the double click alone.
    if (m_control)
        m_control->RaiseDblClick();
    event->accept();
}

void ImagingWindow::OnCursorChanged(int cursor)
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    switch (cursor) {
    case 2: shape = Qt::CrossCursor; break;
    case 5: shape = Qt::SizeAllCursor; break;
    case 6: shape = Qt::SizeBDiagCursor; break;
    case 7: shape = Qt::SizeVerCursor; break;
    case 8: shape = Qt::SizeFDiagCursor; break;
    case 9: shape = Qt::SizeHorCursor; break;
    default: break;
    }
    viewport()->setCursor(shape);
}
