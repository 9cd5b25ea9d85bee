#include "document/BannerDoc.h"

#include "document/CoreContext.h"
#include "platform/imaging/ImagingControl.h"

#include <algorithm>

CBannerDoc::CBannerDoc(CoreContext &context)
    : m_fWidth(context.m_fDefaultWidth), m_fHeight(context.m_fDefaultHeight), m_context(context),
      m_history(std::make_unique<EditHistory>(*this))
{
}

CBannerDoc::~CBannerDoc() = default;

bool CBannerDoc::OnNewDocument()
{
    DeleteContents();
    m_nCurrentFrame = 0;
    m_strPathName.clear();
    AddFrame(std::make_unique<CBannerFrame>(nullptr, 0x00FFFFFF, m_nDefaultDelay));
    SetModifiedFlag(false);
    m_history->Reset();
    return true;
}

void CBannerDoc::DeleteContents()
{
    m_frames.clear();
}

CBannerFrame *CBannerDoc::GetFrame(int index) const
{
    if (index < 0 || index >= GetFrameCount())
        return nullptr;
    return m_frames[std::size_t(index)].get();
}

void CBannerDoc::AddFrame(std::unique_ptr<CBannerFrame> frame)
{
    if (!frame)
        return;
    m_frames.push_back(std::move(frame));
    if (m_frames.size() > 1)
        SetModifiedFlag();
}

bool CBannerDoc::InsertFrame(std::unique_ptr<CBannerFrame> frame, int index)
{
    if (!frame || index < 0 || index >= GetFrameCount())
        return false;
    m_frames.insert(m_frames.begin() + index, std::move(frame));
    SetModifiedFlag();
    return true;
}

bool CBannerDoc::RemoveFrame(int index)
{
    if (index < 0 || index >= GetFrameCount())
        return false;
    m_frames.erase(m_frames.begin() + index);
    SetModifiedFlag();
    return true;
}

void CBannerDoc::SetCurrentFrame(int index, DocumentView *sender)
{
    m_nCurrentFrame = std::max(0, std::min(index, GetFrameCount() - 1));
    UpdateAllViews(sender, hintCurrentFrame);
}

void CBannerDoc::RenderAllFrames(ImagingControl *target)
{
    ImagingControl &out = target ? *target : m_context.FileCtrl;
    StartRendering(out);
    for (int k = GetFrameCount() - 1; k >= 0; --k)
        out.InsertPage(0, RenderFrame(k));
}

void CBannerDoc::StartRendering(ImagingControl &out)
{
    out.SetPageList(0);
    out.SetBitmapHandle(ImagingBitmap{});
    PrepareRendering(m_context.RenderCtrl);
    // Set either way: the control may still hold the loop of the last GIF it read.
    out.SetAnimationLoop(m_bLoop != 0);
    out.SetAnimationLoopCount(m_bLoop > 0 ? m_bLoop : 0);
}

void CBannerDoc::PrepareRendering(ImagingControl &render) const
{
    render.CreateBitmap(m_fWidth, m_fHeight, 24);
    render.SetDrawPersistent(true);
}

ImagingBitmap CBannerDoc::RenderFrame(int k, ImagingControl &render) const
{
    const CBannerFrame &frame = *m_frames[std::size_t(k)];
    render.SetPageDelay(frame.m_nDelay);
    frame.RenderInto(render);
    return render.BitmapHandle();
}

void CBannerDoc::AddView(DocumentView *view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CBannerDoc::RemoveView(DocumentView *view)
{
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
}

DocumentView *CBannerDoc::FindView(ViewKind kind) const
{
    for (DocumentView *view : m_views) {
        if (view->Kind() == kind)
            return view;
    }
    return nullptr;
}

void CBannerDoc::UpdateAllViews(DocumentView *sender, long hint, CSprite *item)
{
    // A view may close itself or open another while it is told; walk a snapshot and skip the
    // views that have left in the meantime.
    const std::vector<DocumentView *> views = m_views;
    for (DocumentView *view : views) {
        if (view == sender || std::find(m_views.begin(), m_views.end(), view) == m_views.end())
            continue;
        view->OnUpdate(sender, hint, item);
    }
}

void CBannerDoc::OnFrameAdd()
{
    const CBannerFrame *current = GetCurrentFrame();
    if (!current)
        return;
    InsertFrame(current->Clone(), m_nCurrentFrame);
    m_nCurrentFrame += 1;
    if (DocumentView *frames = FindView(ViewKind::FramesView)) {
        if (m_context.viewHost)
            m_context.viewHost->ActivateViewWindow(*frames);
    } else if (m_context.viewHost) {
        m_context.viewHost->OpenViewWindow(*this, ViewKind::FramesView);
    }
    UpdateAllViews(nullptr, hintFrameAdded);
    SetCurrentFrame(m_nCurrentFrame, nullptr);
    m_history->Record(QStringLiteral("Add Frame"));
}

void CBannerDoc::OnFrameDelete()
{
    // A banner keeps at least one frame.
    if (!OnUpdateFrameDelete())
        return;
    DeleteCurrentFrame();
    m_history->Record(QStringLiteral("Delete Frame"));
}

void CBannerDoc::DeleteCurrentFrame()
{
    RemoveFrame(m_nCurrentFrame);
    SetCurrentFrame(m_nCurrentFrame, nullptr);
    UpdateAllViews(nullptr, hintFrameRemoved);
}

void CBannerDoc::OnFrameCut()
{
    if (!OnUpdateFrameCut())
        return;
    OnFrameCopy();
    DeleteCurrentFrame();
    m_history->Record(QStringLiteral("Cut Frame"));
}

void CBannerDoc::OnFrameCopy()
{
    const CBannerFrame *current = GetCurrentFrame();
    if (!current)
        return;
    m_context.FrameClipboard = current->Clone();
}

bool CBannerDoc::OnUpdateFramePaste() const
{
    return m_context.FrameClipboard != nullptr;
}

void CBannerDoc::OnFramePaste()
{
    if (!m_context.FrameClipboard || !GetCurrentFrame())
        return;
    // Every paste is an independent copy; the clipboard keeps its frame.
    m_frames[std::size_t(m_nCurrentFrame)] = m_context.FrameClipboard->Clone();
    SetModifiedFlag();
    UpdateAllViews(nullptr, hintFrameChanged);
    m_history->Record(QStringLiteral("Paste Frame"));
}

void CBannerDoc::OnFrameCopyBackground()
{
    const CBannerFrame *current = GetCurrentFrame();
    m_context.BackgroundClipboard.reset();
    if (!current || !current->m_hBackground)
        return;
    ImagingControl &work = m_context.WorkCtrl;
    work.SetFromDIB(*current->m_hBackground);
    m_context.BackgroundClipboard = OwnedBlock(work.GetAsDIB());
}

bool CBannerDoc::OnUpdateFramePasteBackground() const
{
    return m_context.BackgroundClipboard != nullptr;
}

void CBannerDoc::OnFramePasteBackground()
{
    CBannerFrame *current = GetCurrentFrame();
    if (!current || !m_context.BackgroundClipboard)
        return;
    current->SetBackground(std::make_unique<PackedDib>(*m_context.BackgroundClipboard));
    SetModifiedFlag();
    UpdateAllViews(nullptr, hintFrameChanged);
    m_history->Record(QStringLiteral("Paste Background"));
}

void CBannerDoc::OnFrameDeleteBackground()
{
    CBannerFrame *current = GetCurrentFrame();
    if (!current)
        return;
    if (current->m_hBackground)
        SetModifiedFlag();
    current->SetBackground(nullptr);
    UpdateAllViews(nullptr, hintFrameChanged);
    m_history->Record(QStringLiteral("Delete Background"));
}

void CBannerDoc::OnFrameLoadBackground()
{
    CBannerFrame *current = GetCurrentFrame();
    if (!current || !m_context.dialogs)
        return;
    ImagingControl &work = m_context.WorkCtrl;
    if (!m_context.dialogs->ShowBackgroundDialog(m_fWidth, m_fHeight, *this, work))
        return;
    current->SetBackground(OwnedBlock(work.GetAsDIB()));
    SetModifiedFlag();
    UpdateAllViews(nullptr, hintFrameChanged);
    m_history->Record(QStringLiteral("Load Background"));
}

void CBannerDoc::OnFrameDelay()
{
    CBannerFrame *current = GetCurrentFrame();
    if (!current || !m_context.dialogs)
        return;
    const std::optional<std::uint32_t> delay = m_context.dialogs->ShowFrameDelayDialog(current->m_nDelay);
    if (!delay)
        return;
    if (*delay != current->m_nDelay)
        SetModifiedFlag();
    current->m_nDelay = *delay;
    UpdateAllViews(nullptr, hintFrameDelay);
    m_history->Record(QStringLiteral("Frame Delay"));
}

void CBannerDoc::ToggleView(ViewKind kind)
{
    ViewWindowHost *host = m_context.viewHost;
    if (!host)
        return;
    if (DocumentView *view = FindView(kind)) {
        host->ActivateViewWindow(*view);
        host->CloseViewWindow(*view);
    } else {
        host->OpenViewWindow(*this, kind);
    }
}

void CBannerDoc::OnViewFrames()
{
    ToggleView(ViewKind::FramesView);
}

void CBannerDoc::OnViewBanner()
{
    ToggleView(ViewKind::BannerView);
}
