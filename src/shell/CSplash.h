#pragma once
// The splash of a start: owns the splash window for as long as it is up and keeps keyboard and
// mouse input away from the main window meanwhile. Qt's widgets live on the GUI thread, so the
// splash runs there too, driven by its window's timer; the application holds the running
// splash in a reference that the splash clears when it ends.
#include <QObject>
#include <QPointer>
#include <functional>

class CSplashWnd;

class CSplash : public QObject {
    Q_OBJECT
public:
    // Stores the display time (ms) and the back-reference, and sets it to this splash.
    CSplash(unsigned displayTime, CSplash **backReference, std::function<QWidget *()> mainWindow);
    // Clears the back-reference and closes a window still up.
    ~CSplash() override;

    // Shows the splash window. False when it could not be made; the caller deletes the splash.
    bool Start();
    CSplashWnd *Window() const { return m_window.data(); }

protected:
    // The window of this splash, or none when it cannot be created (the object is deleted then).
    virtual CSplashWnd *CreateSplashWnd(unsigned displayTime);
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool IsInsideMainWindow(QObject *object) const;

    CSplash **m_backReference;
    unsigned m_displayTime;
    std::function<QWidget *()> m_mainWindow;
    QPointer<CSplashWnd> m_window;
};
