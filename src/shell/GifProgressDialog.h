#pragma once
// Shows how far a long GIF read or write got. The work runs on the interface thread and lets
// repaints through between pages; this window appears only when the work lasts long enough to
// be noticed, and goes away when it ends.
#include "document/GifProgress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QCloseEvent;
class QProgressDialog;
class QWidget;

// A close request for `window` that arrives while a GIF is read or written (the window system's,
// delivered between pages) is refused and repeated once the work is done; true when it was.
bool CloseAfterGifWork(QWidget *window, QCloseEvent *event);

class GifProgressDialog : public QObject {
    Q_OBJECT
public:
    // Registers itself as the process's GIF progress handler until destroyed.
    explicit GifProgressDialog(QWidget *parent);
    ~GifProgressDialog() override;

    // Work that ends sooner than this never shows the window.
    void SetShowAfter(int ms) { m_showAfterMs = ms; }

    // What the handler receives: `done` pages of `total`; done == total ends the work.
    void Report(GifProgress::Task task, int done, int total);

    // The window while it is shown, else none.
    QProgressDialog *Window() const;

private:
    QWidget *m_parent;
    QPointer<QProgressDialog> m_dialog;
    QElapsedTimer m_since;
    bool m_running = false;
    int m_showAfterMs = 300;
};
