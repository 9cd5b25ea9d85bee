#pragma once
// The visible widget of an ImagingControl: shows the control's window surface (the bitmap at
// its zoom, plus whatever the owner drew over it on event 1) with scroll bars, tells the control
// its window size and scroll position, and raises the control's mouse events in control pixels
// with the shift state (1 Shift, 2 Ctrl).
#include <QAbstractScrollArea>
#include "platform/imaging/ImagingControl.h"

#include <QPointer>
#include <QRegion>


class ImagingWindow : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ImagingWindow(ImagingControl *control, QWidget *parent = nullptr);

    ImagingControl *Control() const { return m_control; }

    // Marks an area of the window (control pixels) for repainting: at the next paint the control
    // renders again and raises event 1, and exactly this area changes on the screen.
    void InvalidateRect(const QRect &rect);
    void InvalidateAll();
    // Paints pending areas at once instead of waiting for the event loop.
    void UpdateNow();

    // The button and shift masks of the control's mouse events.
    static int ButtonOf(Qt::MouseButton button);
    static int ButtonsOf(Qt::MouseButtons buttons);
    static int ShiftOf(Qt::KeyboardModifiers modifiers);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void SyncGeometry();
    void OnSurfaceChanged();
    void OnCursorChanged(int cursor);

    QPointer<ImagingControl> m_control;
    QRegion m_needRender; // areas whose surface must be rendered again before showing
    bool m_inPaint = false;
    bool m_syncing = false;
};
