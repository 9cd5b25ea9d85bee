#include "shell/CChildFrame.h"

#include "shell/GifProgressDialog.h"

#include <QCloseEvent>

CChildFrame::CChildFrame(unsigned templateId, QWidget *parent) : QMdiSubWindow(parent), m_templateId(templateId)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

void CChildFrame::SetView(QWidget *view)
{
    setWidget(view);
}

CommandTarget *CChildFrame::ViewTarget() const
{
    return dynamic_cast<CommandTarget *>(widget());
}

void CChildFrame::SetDocumentTitle(const QString &title)
{
    if (m_documentTitle == title)
        return;
    m_documentTitle = title;
    emit DocumentTitleChanged();
}

void CChildFrame::closeEvent(QCloseEvent *event)
{
    if (CloseAfterGifWork(this, event))
        return;
    if (m_queryClose && !m_queryClose()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
    m_closing = event->isAccepted();
}
