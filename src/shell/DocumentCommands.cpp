#include "shell/DocumentCommands.h"

#include "document/BannerDoc.h"
#include "document/GifSizeEstimate.h"
#include "editor/CItemTool.h"
#include "resource.h"

DocumentCommands::DocumentCommands(std::unique_ptr<CBannerDoc> doc, QString title)
    : m_doc(std::move(doc)), m_title(std::move(title))
{
}

DocumentCommands::~DocumentCommands() = default;

void DocumentCommands::SetGifEstimate(std::unique_ptr<GifSizeEstimate> estimate)
{
    m_gifEstimate = std::move(estimate);
}

bool DocumentCommands::OnCommand(unsigned id)
{
    CBannerDoc &d = *m_doc;
    switch (id) {
    case ID_FRAME_ADD: d.OnFrameAdd(); break;
    case ID_FRAME_DELETE: d.OnFrameDelete(); break;
    case ID_FRAME_CUT: d.OnFrameCut(); break;
    case ID_FRAME_COPY: d.OnFrameCopy(); break;
    case ID_FRAME_PASTE: d.OnFramePaste(); break;
    case ID_FRAME_COPYBACKGROUND: d.OnFrameCopyBackground(); break;
    case ID_FRAME_PASTEBACKGROUND: d.OnFramePasteBackground(); break;
    case ID_FRAME_DELETEBACKGROUND: d.OnFrameDeleteBackground(); break;
    case ID_FRAME_LOADBACKGROUND:
        if (!m_backgroundDialog)
            return false;
        d.OnFrameLoadBackground();
        break;
    case ID_FRAME_DELAY: d.OnFrameDelay(); break;
    // A drag under way holds working copies of the items it started from: the history waits.
    case ID_EDIT_UNDO:
        if (!ItemTools::Instance().Drag().buttonDown)
            d.History().Undo();
        break;
    case ID_EDIT_REDO:
        if (!ItemTools::Instance().Drag().buttonDown)
            d.History().Redo();
        break;
    case ID_VIEW_FRAMES: d.OnViewFrames(); break;
    case ID_VIEW_BANNER: d.OnViewBanner(); break;
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS: {
        const QString before = d.GetPathName();
        const bool saved = id == ID_FILE_SAVE ? d.OnFileSave() : d.OnFileSaveAs();
        if (saved && m_saved && (d.GetPathName() != before || id == ID_FILE_SAVE_AS))
            m_saved(*this);
        // A GIF save reloads the frames from the file; the export options may have changed in
        // the save dialog, also when the save was then cancelled.
        if (m_gifEstimate)
            m_gifEstimate->Refresh();
        break;
    }
    default: return false;
    }
    return true;
}

bool DocumentCommands::OnUpdateCommand(unsigned id, CommandState &state)
{
    const CBannerDoc &d = *m_doc;
    switch (id) {
    case ID_FRAME_ADD: state.Enable(d.OnUpdateFrameAdd()); return true;
    case ID_FRAME_DELETE: state.Enable(d.OnUpdateFrameDelete()); return true;
    case ID_FRAME_CUT: state.Enable(d.OnUpdateFrameCut()); return true;
    case ID_FRAME_COPY: state.Enable(d.OnUpdateFrameCopy()); return true;
    case ID_FRAME_PASTE: state.Enable(d.OnUpdateFramePaste()); return true;
    case ID_FRAME_COPYBACKGROUND: state.Enable(d.OnUpdateFrameCopyBackground()); return true;
    case ID_FRAME_PASTEBACKGROUND: state.Enable(d.OnUpdateFramePasteBackground()); return true;
    case ID_FRAME_DELETEBACKGROUND: state.Enable(d.OnUpdateFrameDeleteBackground()); return true;
    // Without its dialog the command is left to nobody, which shows it disabled.
    case ID_FRAME_LOADBACKGROUND: return m_backgroundDialog && (state.Enable(d.OnUpdateFrameLoadBackground()), true);
    case ID_FRAME_DELAY: state.Enable(d.OnUpdateFrameDelay()); return true;
    case ID_EDIT_UNDO: {
        const QUndoStack &stack = d.History().Stack();
        state.Enable(stack.canUndo() && !ItemTools::Instance().Drag().buttonDown);
        state.SetText(stack.canUndo() ? QStringLiteral("&Undo %1\tCtrl+Z").arg(stack.undoText()) : QString());
        return true;
    }
    case ID_EDIT_REDO: {
        const QUndoStack &stack = d.History().Stack();
        state.Enable(stack.canRedo() && !ItemTools::Instance().Drag().buttonDown);
        state.SetText(stack.canRedo() ? QStringLiteral("&Redo %1\tCtrl+Shift+Z").arg(stack.redoText()) : QString());
        return true;
    }
    case ID_VIEW_FRAMES: state.SetCheck(d.OnUpdateViewFrames()); return true;
    case ID_VIEW_BANNER: state.SetCheck(d.OnUpdateViewBanner()); return true;
    case ID_FILE_SAVE:
    case ID_FILE_SAVE_AS: return true;
    default: return false;
    }
}
