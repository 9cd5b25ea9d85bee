#pragma once
// A document window: a plain MDI child that holds exactly one view. It adds no commands of its
// own; it is the child-frame link of the command chain (view, document, child frame, ...).
#include "editor/CommandTarget.h"

#include <QMdiSubWindow>
#include <functional>

class CChildFrame : public QMdiSubWindow, public CommandTarget {
    Q_OBJECT
public:
    // `templateId` is the template that made the window (IDR_BANNERVIEW or IDR_FRAMESVIEW); it
    // picks the menu shown while the window is active.
    explicit CChildFrame(unsigned templateId, QWidget *parent = nullptr);

    unsigned TemplateId() const { return m_templateId; }

    // The one view; it becomes the chain's first target when it is a CommandTarget.
    void SetView(QWidget *view);
    QWidget *View() const { return widget(); }
    CommandTarget *ViewTarget() const;

    // The view's document as a command target (set by the template that made the window).
    void SetDocumentTarget(CommandTarget *document) { m_document = document; }
    CommandTarget *DocumentTarget() const { return m_document; }

    // The document title shown in the main window's title while this window is active.
    void SetDocumentTitle(const QString &title);
    QString DocumentTitle() const { return m_documentTitle; }

    // Asked before the window closes (the save question of a document's last window).
    void SetQueryClose(std::function<bool()> query) { m_queryClose = std::move(query); }
    // True once a close was accepted: the window is going, even while its deletion waits.
    bool IsClosing() const { return m_closing; }

signals:
    void DocumentTitleChanged();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    unsigned m_templateId;
    CommandTarget *m_document = nullptr;
    QString m_documentTitle;
    std::function<bool()> m_queryClose;
    bool m_closing = false;
};
