#pragma once
// Gives the keyboard back to the window a closed dialog belonged to. A window manager does this
// on its own; without one X leaves the keyboard on the root window once the focused dialog goes,
// and the editor takes no key (no shortcut, no menu key) until it is clicked.
#include <QObject>
#include <QPointer>

class QWidget;

class KeyboardReturn : public QObject {
    Q_OBJECT
public:
    // Watches every window of the application. `fallback` takes the keyboard back from a window
    // that belonged to no other.
    explicit KeyboardReturn(QWidget *fallback, QObject *parent = nullptr);
    ~KeyboardReturn() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_fallback;
    QPointer<QWidget> m_leaving; // the window that lost the keyboard in this pass, if any
};
