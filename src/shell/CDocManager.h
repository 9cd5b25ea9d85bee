#pragma once
// The open banners and their windows: File New and File Open make a document with a Banner View
// window, the View toggles open and close a document's windows, and the last window of a
// document closes it after the save question. Supplies the document's window and dialog hooks.
#include "document/CoreContext.h"

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <memory>
#include <vector>

class CBannerDoc;
class CChildFrame;
class CMainFrame;
class DocumentCommands;

class CDocManager : public QObject, public ViewWindowHost, public DocumentDialogs {
    Q_OBJECT
public:
    CDocManager(CoreContext &context, CMainFrame &frame);
    ~CDocManager() override;

    // A new banner ("Banner1", "Banner2", ...) in a Banner View window; none when it fails.
    CBannerDoc *OnFileNew();
    // Opens the file, or activates the window of a document already open from it. False (with
    // the document's message shown) when it cannot be read; nothing of it stays then.
    bool OpenDocumentFile(const QString &path);
    // The open-file dialog, then OpenDocumentFile.
    void OnFileOpen();
    // A banner recovered after a crash, in a Banner View window: marked modified, with the file
    // it came from (its path; Save writes there) or, untitled, the title it had.
    bool OpenRecovered(std::unique_ptr<CBannerDoc> doc, const QString &title);

    const std::vector<std::unique_ptr<DocumentCommands>> &Documents() const { return m_docs; }
    DocumentCommands *Find(const CBannerDoc &doc) const;
    std::vector<CChildFrame *> WindowsOf(const CBannerDoc &doc) const;
    // Closes `frames` (File > Close, closing the main window): first one save question for each
    // modified document whose remaining windows are all among them, then the windows, deleted at
    // once. False, with every window and document kept, when the user cancels a question, a save
    // fails or a window refuses to close (the windows closed before it stay closed then).
    bool CloseWindows(const std::vector<CChildFrame *> &frames);

    // ViewWindowHost
    void ActivateViewWindow(DocumentView &view) override;
    void CloseViewWindow(DocumentView &view) override;
    bool OpenViewWindow(CBannerDoc &doc, ViewKind kind) override;
    // DocumentDialogs
    bool ShowBackgroundDialog(float width, float height, CBannerDoc &doc, ImagingControl &output) override;
    std::optional<std::uint32_t> ShowFrameDelayDialog(std::uint32_t delayMs) override;

signals:
    // A document was saved under or opened from `path` (the recent-file list).
    void DocumentPathUsed(const QString &path);
    // A document joined the open ones, or is about to go (its windows are gone).
    void DocumentAdded(DocumentCommands &document);
    void DocumentClosing(CBannerDoc &document);

private:
    DocumentCommands *AddDocument(std::unique_ptr<CBannerDoc> doc, const QString &title);
    CChildFrame *FrameOf(const DocumentView &view) const;
    bool QueryCloseFrame(CChildFrame *frame);
    // The save question for a document that is about to lose its last window; true to go on.
    bool QuerySaveModified(DocumentCommands &commands);
    // The windows of the document that are not already closing.
    std::vector<CChildFrame *> OpenWindowsOf(const CBannerDoc &doc) const;
    void DiscardUnviewedDocuments();

    CoreContext &m_context;
    CMainFrame &m_frame;
    // The documents' GIF size estimates: one at a time, beside the interface thread. Declared
    // before the documents so that it waits for the last measurement after they went.
    QThreadPool m_estimates;
    std::vector<std::unique_ptr<DocumentCommands>> m_docs;
    int m_untitled = 0;
    // Documents whose question CloseWindows asked already; their windows close without another.
    std::vector<const CBannerDoc *> m_answered;
};
