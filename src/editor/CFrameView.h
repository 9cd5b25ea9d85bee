#pragma once
// The Banner View: shows the document's current frame at the chosen zoom in an imaging control,
// draws the frame's items over it after each repaint, keeps the selection and carries the item,
// clipboard, arrange and zoom commands.
#include "document/DocumentView.h"
#include "platform/imaging/ImagingControl.h"
#include "editor/CommandTarget.h"
#include "editor/CPlayback.h"

#include <QWidget>
#include <vector>

class CBannerDoc;
class CBannerFrame;
class CSprite;
class ImagingWindow;
class MainFrameServices;
struct CRect;

class CFrameView : public QWidget, public DocumentView, public CommandTarget {
    Q_OBJECT
public:
    CFrameView(CBannerDoc &doc, MainFrameServices *frame, QWidget *parent = nullptr);
    ~CFrameView() override;

    CBannerDoc &GetDocument() const { return m_doc; }
    ImagingControl &Control() { return m_control; }
    ImagingWindow *Window() const { return m_window; }
    // The client size that shows the whole banner at 100 %.
    QSize BannerClientSize() const;

    // Loads the document's current frame; the window's title is the shell's to set.
    void OnInitialUpdate();
    void ReloadCurrentFrame();
    int ShownFrame() const { return m_nShownFrame; }
    CBannerFrame *ShownFrameObject() const;
    CPlayback &Playback() { return m_playback; }

    // Selection, in the order items were selected.
    void Select(CSprite *item, bool add);
    void Deselect(CSprite *item);
    void SelectWithinRect(const CRect &clientRect, bool add);
    void InvalidateItem(CSprite *item);
    void InvalidateItems(const std::vector<CSprite *> *items = nullptr);
    const std::vector<CSprite *> &Selection() const { return m_selection; }
    bool IsSelected(const CSprite *item) const;
    // Replaces the selection without repainting (the caller invalidates what changed).
    void SetSelection(std::vector<CSprite *> items) { m_selection = std::move(items); }

    // DocumentView
    ViewKind Kind() const override { return ViewKind::BannerView; }
    void OnUpdate(DocumentView *sender, long hint, CSprite *item) override;

    // CommandTarget
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, CommandState &state) override;
    void OnActivateView() override;
    void OnIdleUpdate() override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void DrawItems();
    void OnMouse(int kind, int button, int shift, int x, int y);
    // Forgets selected items that the shown frame no longer holds.
    void DropMissingSelection();
    void OnEditCopy();
    void OnEditPaste();
    void OnEditDelete(const QString &step);
    void OnArrange(unsigned id);
    void ApplyZoom(float percent);
    QString FramePaneText(const char *format) const;

    CBannerDoc &m_doc;
    MainFrameServices *m_frame;
    ImagingControl m_control;
    ImagingWindow *m_window;
    std::vector<CSprite *> m_selection;
    int m_nShownFrame = 0;
    CPlayback m_playback{*this};
};
