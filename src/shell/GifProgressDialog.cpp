#include "shell/GifProgressDialog.h"

#include <QCloseEvent>
#include <QPointer>
#include <QProgressDialog>

bool CloseAfterGifWork(QWidget *window, QCloseEvent *event)
{
    if (!GifProgress::Busy())
        return false;
    event->ignore();
    GifProgress::WhenIdle([later = QPointer<QWidget>(window)] {
        if (later)
            later->close();
    });
    return true;
}

GifProgressDialog::GifProgressDialog(QWidget *parent) : m_parent(parent)
{
    GifProgress::SetHandler([this](GifProgress::Task task, int done, int total) { Report(task, done, total); });
}

GifProgressDialog::~GifProgressDialog()
{
    GifProgress::SetHandler({});
    delete m_dialog;
}

QProgressDialog *GifProgressDialog::Window() const
{
    return m_dialog && m_dialog->isVisible() ? m_dialog.data() : nullptr;
}

void GifProgressDialog::Report(GifProgress::Task task, int done, int total)
{
    if (done >= total) {
        m_running = false;
        if (m_dialog)
            m_dialog->hide();
        return;
    }
    if (!m_running) {
        m_running = true;
        m_since.start();
    }
    if (!Window() && m_since.elapsed() < m_showAfterMs)
        return;
    if (!m_dialog) {
        // Input waits while the pages are worked on, so there is nothing to cancel with.
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setCancelButton(nullptr);
        m_dialog->setWindowTitle(QStringLiteral("Vellumark"));
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
    }
    const QString what = task == GifProgress::Task::Import ? QStringLiteral("Opening the animated GIF")
                                                           : QStringLiteral("Saving the animated GIF");
    m_dialog->setLabelText(QStringLiteral("%1: frame %2 of %3").arg(what).arg(done + 1).arg(total));
    m_dialog->setRange(0, total);
    m_dialog->setValue(done);
    if (!m_dialog->isVisible())
        m_dialog->show();
}
