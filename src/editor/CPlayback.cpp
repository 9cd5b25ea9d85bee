#include "editor/CPlayback.h"

#include "document/BannerDoc.h"
#include "editor/CFrameView.h"
#include "editor/CommandTarget.h"
#include "platform/imaging/ImagingControl.h"
#include "resource.h"

namespace {
bool g_loop = false;
}

CPlayback::CPlayback(CFrameView &view) : m_view(view)
{
    // A run without looping ends on its own; editing resumes on the frame the view showed.
    QObject::connect(&m_view.Control(), &ImagingControl::AnimationStopped, &m_view, [this] { ShowEditedFrame(); });
}

bool CPlayback::LoopFlag()
{
    return g_loop;
}

void CPlayback::SetLoopFlag(bool on)
{
    g_loop = on;
}

bool CPlayback::Running() const
{
    return m_view.Control().AnimationRunning();
}

void CPlayback::Play()
{
    ImagingControl &control = m_view.Control();
    control.SetRepaintOnChange(false);
    m_view.GetDocument().RenderAllFrames(&control);
    control.SetRepaintOnChange(true);
    // The application's flag decides whether it repeats; the repeat count a banner holds (from
    // a GIF, set above) limits the repeats, as a browser shows them.
    control.SetAnimationLoop(g_loop);
    control.SetAnimationRunning(true);
}

void CPlayback::Stop()
{
    if (!Running())
        return;
    m_view.Control().SetAnimationRunning(false);
    ShowEditedFrame();
}

void CPlayback::ShowEditedFrame()
{
    ImagingControl &control = m_view.Control();
    CBannerDoc &doc = m_view.GetDocument();
    // One repaint, of the frame, at the end.
    control.SetRepaintOnChange(false);
    control.SetPageList(0);
    control.SetBitmapHandle({});
    control.CreateBitmap(doc.m_fWidth, doc.m_fHeight, 24);
    control.SetDrawPersistent(false);
    // Background first; the repaint that follows draws the items with their handles.
    m_view.ReloadCurrentFrame();
    control.SetRepaintOnChange(true);
}

void CPlayback::OnLoop()
{
    g_loop = !g_loop;
    CBannerDoc &doc = m_view.GetDocument();
    const std::int32_t loop = g_loop ? -1 : 0;
    // The loop value is saved with the banner, so changing it is a change to keep.
    if (doc.m_bLoop != loop) {
        doc.m_bLoop = loop;
        doc.SetModifiedFlag();
        // The check mark is the application's, but undoing the change puts it back too.
        doc.History().Record(QStringLiteral("Loop"), [on = g_loop](bool undone) { g_loop = undone ? !on : on; });
    }
}

bool CPlayback::OnCommand(unsigned id)
{
    CBannerDoc &doc = m_view.GetDocument();
    switch (id) {
    case ID_ANIMATION_PLAY: Play(); return true;
    case ID_ANIMATION_STOP: Stop(); return true;
    case ID_ANIMATION_FIRSTFRAME: doc.SetCurrentFrame(0); return true;
    case ID_ANIMATION_PREVIOUSFRAME: doc.SetCurrentFrame(m_view.ShownFrame() - 1); return true;
    case ID_ANIMATION_NEXTFRAME: doc.SetCurrentFrame(m_view.ShownFrame() + 1); return true;
    case ID_ANIMATION_LASTFRAME: doc.SetCurrentFrame(doc.GetFrameCount() - 1); return true;
    case ID_ANIMATION_LOOP: OnLoop(); return true;
    default: return false;
    }
}

bool CPlayback::OnUpdateCommand(unsigned id, CommandState &state) const
{
    const CBannerDoc &doc = m_view.GetDocument();
    const bool running = Running();
    const int current = doc.GetCurrentFrameIndex();
    switch (id) {
    case ID_ANIMATION_PLAY:
        state.Enable(doc.GetFrameCount() > 1);
        state.SetCheck(running);
        return true;
    case ID_ANIMATION_STOP: state.Enable(running); return true;
    case ID_ANIMATION_FIRSTFRAME:
    case ID_ANIMATION_PREVIOUSFRAME: state.Enable(current > 0 && !running); return true;
    case ID_ANIMATION_NEXTFRAME:
    case ID_ANIMATION_LASTFRAME: state.Enable(current < doc.GetFrameCount() - 1 && !running); return true;
    case ID_ANIMATION_LOOP:
        state.Enable(!running);
        state.SetCheck(g_loop);
        return true;
    default: return false;
    }
}
