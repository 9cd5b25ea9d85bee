#include "shell/CDocManager.h"

#include "StringTable.h"
#include "document/BackgroundDialog.h"
#include "document/BannerDoc.h"
#include "document/GifSizeEstimate.h"
#include "editor/CFrameView.h"
#include "platform/Prompts.h"
#include "resource.h"
#include "shell/CBannerView.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"
#include "shell/FrameDelayDialog.h"
#include "shell/LogoBackgroundWnd.h"
#include "platform/imaging/ImagingWindow.h"

#include <QFileInfo>
#include <QLayout>
#include <QTimer>

namespace {
QString OpenFilter()
{
    return QStringLiteral("Banner files (*.bnr)|*.bnr|GIF files (*.gif)|*.gif|All files (*.*)|*.*||");
}

QString DocName()
{
    QString name;
    GetDocString(IDR_BANNERVIEW, DocStringIndex::DocName, &name);
    return name.isEmpty() ? QStringLiteral("Banner") : name;
}
} // namespace

CDocManager::CDocManager(CoreContext &context, CMainFrame &frame) : m_context(context), m_frame(frame)
{
    m_context.viewHost = this;
    m_context.dialogs = this;
    m_context.addToRecentFiles = [this](const QString &path) { emit DocumentPathUsed(path); };
    // The estimate yields to the interface and to the user's other work.
    m_estimates.setMaxThreadCount(1);
    m_estimates.setThreadPriority(QThread::LowPriority);
    m_context.gifOptionsFromSettings = true;
}

CDocManager::~CDocManager()
{
    // Windows go before their documents, without questions.
    std::vector<CChildFrame *> frames;
    for (const auto &doc : m_docs)
        for (CChildFrame *frame : WindowsOf(doc->Doc()))
            frames.push_back(frame);
    for (CChildFrame *frame : frames) {
        QObject::disconnect(frame, nullptr, this, nullptr);
        delete frame;
    }
    m_docs.clear();
    if (m_context.viewHost == this)
        m_context.viewHost = nullptr;
    if (m_context.dialogs == this)
        m_context.dialogs = nullptr;
    m_context.addToRecentFiles = nullptr;
    m_context.gifOptionsFromSettings = false;
}

DocumentCommands *CDocManager::AddDocument(std::unique_ptr<CBannerDoc> doc, const QString &title)
{
    auto commands = std::make_unique<DocumentCommands>(std::move(doc), title);
    commands->SetBackgroundDialogAvailable(true);
    commands->SetGifEstimate(std::make_unique<GifSizeEstimate>(commands->Doc(), m_estimates));
    commands->SetSavedHandler([this](DocumentCommands &saved) {
        saved.SetTitle(QFileInfo(saved.Doc().GetPathName()).fileName());
        for (CChildFrame *frame : WindowsOf(saved.Doc()))
            frame->SetDocumentTitle(saved.Title());
    });
    m_docs.push_back(std::move(commands));
    emit DocumentAdded(*m_docs.back());
    return m_docs.back().get();
}

DocumentCommands *CDocManager::Find(const CBannerDoc &doc) const
{
    for (const auto &d : m_docs)
        if (&d->Doc() == &doc)
            return d.get();
    return nullptr;
}

std::vector<CChildFrame *> CDocManager::WindowsOf(const CBannerDoc &doc) const
{
    std::vector<CChildFrame *> frames;
    for (DocumentView *view : doc.Views())
        if (CChildFrame *frame = FrameOf(*view))
            frames.push_back(frame);
    return frames;
}

CChildFrame *CDocManager::FrameOf(const DocumentView &view) const
{
    const auto *widget = dynamic_cast<const QWidget *>(&view);
    for (QWidget *w = widget ? widget->parentWidget() : nullptr; w; w = w->parentWidget())
        if (auto *frame = qobject_cast<CChildFrame *>(w))
            return frame;
    return nullptr;
}

CBannerDoc *CDocManager::OnFileNew()
{
    auto doc = std::make_unique<CBannerDoc>(m_context);
    if (!doc->OnNewDocument())
        return nullptr;
    CBannerDoc *raw = doc.get();
    ++m_untitled;
    AddDocument(std::move(doc), DocName() + QString::number(m_untitled));
    if (!OpenViewWindow(*raw, ViewKind::BannerView)) {
        DiscardUnviewedDocuments();
        return nullptr;
    }
    return raw;
}

bool CDocManager::OpenDocumentFile(const QString &path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    for (const auto &d : m_docs) {
        if (!d->Doc().GetPathName().isEmpty() && QFileInfo(d->Doc().GetPathName()) == QFileInfo(full)) {
            const std::vector<CChildFrame *> frames = WindowsOf(d->Doc());
            if (!frames.empty())
                m_frame.MdiClient()->setActiveSubWindow(frames.front());
            return true;
        }
    }
    auto doc = std::make_unique<CBannerDoc>(m_context);
    if (!doc->OnOpenDocument(full))
        return false;
    doc->SetPathName(full);
    doc->SetModifiedFlag(false);
    CBannerDoc *raw = doc.get();
    AddDocument(std::move(doc), QFileInfo(full).fileName());
    if (!OpenViewWindow(*raw, ViewKind::BannerView)) {
        DiscardUnviewedDocuments();
        return false;
    }
    emit DocumentPathUsed(full);
    return true;
}

bool CDocManager::OpenRecovered(std::unique_ptr<CBannerDoc> doc, const QString &title)
{
    doc->History().Reset(false);
    CBannerDoc *raw = doc.get();
    const QString path = doc->GetPathName();
    AddDocument(std::move(doc), path.isEmpty() ? title : QFileInfo(path).fileName());
    if (!OpenViewWindow(*raw, ViewKind::BannerView)) {
        DiscardUnviewedDocuments();
        return false;
    }
    return true;
}

void CDocManager::OnFileOpen()
{
    Prompts::FileDialog options;
    options.filter = OpenFilter();
    options.fileMustExist = true;
    options.pathMustExist = true;
    const auto choice = Prompts::Instance().OpenFile(options);
    if (choice)
        OpenDocumentFile(choice->path);
}

bool CDocManager::OpenViewWindow(CBannerDoc &doc, ViewKind kind)
{
    DocumentCommands *commands = Find(doc);
    if (!commands)
        return false;
    const bool banner = kind == ViewKind::BannerView;
    auto *frame = new CChildFrame(banner ? IDR_BANNERVIEW : IDR_FRAMESVIEW);
    frame->SetDocumentTarget(commands);
    frame->SetDocumentTitle(commands->Title());
    frame->setWindowIcon(m_frame.windowIcon());
    CFrameView *bannerView = nullptr;
    if (banner) {
        bannerView = new CFrameView(doc, &m_frame);
        frame->SetView(bannerView);
        bannerView->OnInitialUpdate();
    } else {
        auto *framesView = new CBannerView(doc, &m_frame);
        frame->SetView(framesView);
        framesView->OnInitialUpdate();
    }
    frame->setWindowTitle(commands->Title() + (banner ? QStringLiteral(" : Banner View") : QStringLiteral(" : Frames View")));
    frame->SetQueryClose([this, frame] { return QueryCloseFrame(frame); });
    // A document whose last window went goes too, once the window's view has left it.
    connect(frame, &QObject::destroyed, this, [this] {
        QTimer::singleShot(0, this, &CDocManager::DiscardUnviewedDocuments);
    });
    m_frame.AddChildFrame(frame);
    // The Banner View's client area shows the whole banner at 100 %, whatever Qt's decoration.
    frame->resize(600, 300);
    if (frame->layout())
        frame->layout()->activate();
    const QSize decoration = frame->size() - frame->widget()->size();
    if (bannerView)
        frame->resize(bannerView->BannerClientSize() + decoration);
    else
        frame->resize(500, frame->height());
    if (frame->layout())
        frame->layout()->activate();
    frame->show();
    m_frame.MdiClient()->setActiveSubWindow(frame);
    if (bannerView)
        bannerView->Window()->InvalidateAll();
    return true;
}

void CDocManager::ActivateViewWindow(DocumentView &view)
{
    if (CChildFrame *frame = FrameOf(view))
        m_frame.MdiClient()->setActiveSubWindow(frame);
}

void CDocManager::CloseViewWindow(DocumentView &view)
{
    // The window goes at once, so the document no longer counts the view when the command ends.
    if (CChildFrame *frame = FrameOf(view))
        if (frame->close())
            delete frame;
}

std::vector<CChildFrame *> CDocManager::OpenWindowsOf(const CBannerDoc &doc) const
{
    std::vector<CChildFrame *> frames = WindowsOf(doc);
    std::erase_if(frames, [](CChildFrame *frame) { return frame->IsClosing(); });
    return frames;
}

bool CDocManager::QuerySaveModified(DocumentCommands &commands)
{
    CBannerDoc &doc = commands.Doc();
    if (!doc.IsModified())
        return true;
    switch (Prompts::Instance().AskSaveChanges(commands.Title())) {
    case Prompts::Answer::Yes: return doc.OnFileSave();
    case Prompts::Answer::No: return true;
    default: return false;
    }
}

bool CDocManager::QueryCloseFrame(CChildFrame *frame)
{
    auto *view = dynamic_cast<DocumentView *>(frame->View());
    DocumentCommands *commands = nullptr;
    for (const auto &d : m_docs)
        for (DocumentView *v : d->Doc().Views())
            if (v == view)
                commands = d.get();
    if (!commands)
        return true;
    const CBannerDoc &doc = commands->Doc();
    if (std::find(m_answered.begin(), m_answered.end(), &doc) != m_answered.end())
        return true;
    // Only the last window of a document closes the document, and only that asks about saving.
    // Windows already closing do not count, whether or not their deletion has happened yet.
    const std::vector<CChildFrame *> open = OpenWindowsOf(doc);
    if (std::any_of(open.begin(), open.end(), [frame](CChildFrame *f) { return f != frame; }))
        return true;
    return QuerySaveModified(*commands);
}

bool CDocManager::CloseWindows(const std::vector<CChildFrame *> &frames)
{
    auto among = [&frames](CChildFrame *f) { return std::find(frames.begin(), frames.end(), f) != frames.end(); };
    std::vector<const CBannerDoc *> answered;
    for (const auto &d : m_docs) {
        const std::vector<CChildFrame *> open = OpenWindowsOf(d->Doc());
        if (open.empty() || !std::all_of(open.begin(), open.end(), among))
            continue;
        if (!QuerySaveModified(*d))
            return false;
        answered.push_back(&d->Doc());
    }
    m_answered = answered;
    bool closed = true;
    for (CChildFrame *frame : frames) {
        if (!frame->close()) {
            closed = false;
            break;
        }
        delete frame;
    }
    m_answered.clear();
    return closed;
}

void CDocManager::DiscardUnviewedDocuments()
{
    for (const auto &d : m_docs)
        if (d->Doc().Views().empty())
            emit DocumentClosing(d->Doc());
    std::erase_if(m_docs, [](const std::unique_ptr<DocumentCommands> &d) { return d->Doc().Views().empty(); });
}

bool CDocManager::ShowBackgroundDialog(float width, float height, CBannerDoc &doc, ImagingControl &output)
{
    BackgroundDialog dialog(width, height, doc, &m_frame, &output);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::uint32_t> CDocManager::ShowFrameDelayDialog(std::uint32_t delayMs)
{
    FrameDelayDialog dialog(&m_frame);
    dialog.m_delay = qint32(std::min<std::uint32_t>(delayMs, INT32_MAX));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return std::uint32_t(dialog.m_delay);
}
