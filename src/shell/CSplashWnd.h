#pragma once
// The splash window: the splash picture (bitmap 190) in a window of its own size, centred on
// the screen, kept in front of the main window. It stays at least its display time and closes
// within 100 ms once the main window exists; it then brings the main window forward.
#include "document/CDib.h"

#include <QBasicTimer>
#include <QWidget>
#include <functional>

class CSplashWnd : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` answers the application's main window once it exists as a shown window,
    // else none.
    explicit CSplashWnd(std::function<QWidget *()> mainWindow);
    ~CSplashWnd() override;

    // Loads the picture and shows the window, painted at once; a display time of 0 starts no
    // timer. False when the picture cannot be loaded.
    bool Create(unsigned displayTime);
    unsigned DisplayTime() const { return m_displayTime; }
    // Brings the splash in front of every other window.
    void BringToFront();

protected:
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void OnFocusWindowChanged(QWindow *window);

    CDib m_dib;
    unsigned m_displayTime = 0;
    QBasicTimer m_timer;
    std::function<QWidget *()> m_mainWindow;
};
