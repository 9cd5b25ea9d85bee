#include "editor/CFrameView.h"

#include "document/BannerDoc.h"
#include "document/BannerFrame.h"
#include "editor/CCreateTool.h"
#include "editor/CSelectTool.h"
#include "editor/EditorState.h"
#include "editor/MainFrameServices.h"
#include "items/ItemDrawing.h"
#include "items/PrimitiveGraphics.h"
#include "items/Sprite.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"

#include <QResizeEvent>
#include <algorithm>

namespace {
enum MouseKind { Down, Move, Up, DoubleClick };
}

CFrameView::CFrameView(CBannerDoc &doc, MainFrameServices *frame, QWidget *parent)
    : QWidget(parent), m_doc(doc), m_frame(frame)
{
    m_control.SetDisplayOption57(true);
    m_control.SetRepaintOnChange(true);
    m_control.SetDisplayOption237(false);
    m_control.SetShowScrollBars(true);
    m_control.SetDisplaySizeMode(4);
    m_window = new ImagingWindow(&m_control, this);
    m_window->setObjectName(QString::number(IDC_VIEW_CONTROL));
    m_window->setGeometry(0, 0, 1, 1);
    m_window->show();
    connect(&m_control, &ImagingControl::ControlEvent, this, [this](int id) {
        if (id == 1)
            DrawItems();
        else if (id == 3 && !m_control.AnimationRunning())
            m_window->InvalidateAll();
    });
    connect(&m_control, &ImagingControl::MouseDown, this,
            [this](int b, int s, int x, int y) { OnMouse(Down, b, s, x, y); });
    connect(&m_control, &ImagingControl::MouseMove, this,
            [this](int b, int s, int x, int y) { OnMouse(Move, b, s, x, y); });
    connect(&m_control, &ImagingControl::MouseUp, this,
            [this](int b, int s, int x, int y) { OnMouse(Up, b, s, x, y); });
    connect(&m_control, &ImagingControl::DblClick, this, [this] {
        const QPoint last = EditorState::Instance().lastMouse;
        OnMouse(DoubleClick, 0, 0, last.x(), last.y());
    });
    m_doc.AddView(this);
}

CFrameView::~CFrameView()
{
    m_doc.RemoveView(this);
}

QSize CFrameView::BannerClientSize() const
{
    return QSize(int(m_doc.m_fWidth), int(m_doc.m_fHeight));
}

void CFrameView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_window->setGeometry(rect());
}

CBannerFrame *CFrameView::ShownFrameObject() const
{
    return m_doc.GetFrame(m_nShownFrame);
}

void CFrameView::OnInitialUpdate()
{
    m_nShownFrame = m_doc.GetCurrentFrameIndex();
    m_control.SetBitmapHandle({});
    m_control.CreateBitmap(m_doc.m_fWidth, m_doc.m_fHeight, 24);
    if (CBannerFrame *frame = ShownFrameObject()) {
        if (frame->HasBackground())
            m_control.SetFromDIB(*frame->m_hBackground);
        else
            m_control.FillColor(frame->m_crBackground);
    }
}

void CFrameView::ReloadCurrentFrame()
{
    m_nShownFrame = m_doc.GetCurrentFrameIndex();
    // The control holds the played pages; Stop loads the frame.
    if (m_playback.Running())
        return;
    if (CBannerFrame *frame = ShownFrameObject()) {
        if (frame->HasBackground()) {
            m_control.SetFromDIB(*frame->m_hBackground);
        } else {
            // A frame whose background picture was dropped still needs a banner-size bitmap.
            if (!m_control.HasBitmap())
                m_control.CreateBitmap(m_doc.m_fWidth, m_doc.m_fHeight, 24);
            m_control.FillColor(frame->m_crBackground);
        }
    }
    m_control.Repaint();
    m_window->InvalidateAll();
}

void CFrameView::DrawItems()
{
    if (m_control.AnimationRunning())
        return;
    CBannerFrame *frame = ShownFrameObject();
    if (!frame)
        return;
    m_control.SetRepaintOnChange(false);
    for (const auto &item : frame->Items()) {
        item->Draw(m_control);
        if (IsSelected(item.get()))
            item->DrawTracker(m_control);
    }
    ItemTools::Instance().RedrawFeedback(*this);
    m_control.SetRepaintOnChange(true);
}

bool CFrameView::IsSelected(const CSprite *item) const
{
    return std::find(m_selection.begin(), m_selection.end(), item) != m_selection.end();
}

void CFrameView::Select(CSprite *item, bool add)
{
    if (!add) {
        m_selection.clear();
        m_control.Repaint();
        m_window->InvalidateAll();
    }
    if (item && !IsSelected(item)) {
        m_selection.push_back(item);
        InvalidateItem(item);
    }
}

void CFrameView::Deselect(CSprite *item)
{
    const auto it = std::find(m_selection.begin(), m_selection.end(), item);
    if (it == m_selection.end())
        return;
    InvalidateItem(item);
    m_selection.erase(it);
}

void CFrameView::SelectWithinRect(const CRect &clientRect, bool add)
{
    if (!add)
        Select(nullptr, false);
    const CRect bitmapRect = ClientToBitmap(m_control, clientRect);
    CBannerFrame *frame = ShownFrameObject();
    if (!frame)
        return;
    for (const auto &item : frame->Items())
        if (item->Intersects(bitmapRect))
            Select(item.get(), true);
}

void CFrameView::InvalidateItem(CSprite *item)
{
    if (!item) {
        m_control.Repaint();
        m_window->InvalidateAll();
        return;
    }
    CRect r = BitmapToClient(m_control, item->GetBounds());
    r.NormalizeRect();
    r.InflateRect(4, 4);
    m_window->InvalidateRect(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
}

void CFrameView::InvalidateItems(const std::vector<CSprite *> *items)
{
    // A copy: invalidating never changes the list, but the caller's list may be the selection.
    const std::vector<CSprite *> list = items ? *items : m_selection;
    for (CSprite *item : list)
        InvalidateItem(item);
}

void CFrameView::OnUpdate(DocumentView *, long hint, CSprite *item)
{
    switch (hint) {
    case hintItemChanged:
        InvalidateItem(item);
        break;
    case hintItemsChanged:
        if (item)
            InvalidateItem(item);
        else
            InvalidateItems();
        break;
    case hintFrameRemoved:
    case hintFrameAdded:
    case hintCurrentFrame:
        m_selection.clear();
        ReloadCurrentFrame();
        break;
    case hintFrameChanged:
        // A pasted frame brings items of its own: the replaced ones are gone.
        DropMissingSelection();
        ReloadCurrentFrame();
        break;
    default:
        m_control.Repaint();
        m_window->InvalidateAll();
        break;
    }
}

void CFrameView::DropMissingSelection()
{
    const CBannerFrame *frame = ShownFrameObject();
    std::erase_if(m_selection, [frame](const CSprite *item) { return !frame || !frame->Contains(item); });
}

void CFrameView::OnMouse(int kind, int button, int shift, int x, int y)
{
    if (m_control.AnimationRunning())
        return;
    const QPoint point(x, y);
    EditorState::Instance().lastMouse = point;
    ItemTools &tools = ItemTools::Instance();
    if (kind == Move && tools.Drag().buttonDown && !(button & 1)) {
        // The left button went up where no tool saw it (during playback, say): the drag ends
        // without changing the banner, and its feedback goes with a full repaint.
        tools.AbandonDrag();
        m_control.Repaint();
        m_window->InvalidateAll();
    }
    CItemTool *tool = tools.Current();
    switch (kind) {
    case Down:
        if (button == 1)
            tool->OnButtonDown(*this, shift, point);
        break;
    case Move: tool->OnMouseMove(*this, shift, point); break;
    case Up:
        if (button == 1)
            tool->OnButtonUp(*this, shift, point);
        break;
    case DoubleClick: tool->OnDoubleClick(*this, 0, point); break;
    default: break;
    }
}

// ---- commands ----------------------------------------------------------------------------

void CFrameView::OnEditCopy()
{
    auto &clipboard = EditorState::Instance().ItemClipboard;
    clipboard.clear();
    for (CSprite *item : m_selection)
        clipboard.push_back(item->Clone());
}

void CFrameView::OnEditPaste()
{
    CBannerFrame *frame = ShownFrameObject();
    if (!frame)
        return;
    m_doc.UpdateAllViews(nullptr, hintItemsChanged);
    Select(nullptr, false);
    for (const auto &item : EditorState::Instance().ItemClipboard)
        Select(frame->AddItem(item->Clone()), true);
    m_doc.UpdateAllViews(nullptr, hintItemsChanged);
    m_doc.SetModifiedFlag();
    m_doc.History().Record(QStringLiteral("Paste"));
}

void CFrameView::OnEditDelete(const QString &step)
{
    CBannerFrame *frame = ShownFrameObject();
    if (!frame)
        return;
    m_doc.UpdateAllViews(nullptr, hintItemsChanged);
    const std::vector<CSprite *> doomed = m_selection;
    // The selection must not point at deleted items while they go.
    m_selection.clear();
    for (CSprite *item : doomed)
        frame->RemoveItem(item);
    Select(nullptr, false);
    m_doc.UpdateAllViews(nullptr, hintItemsChanged);
    m_doc.SetModifiedFlag();
    m_doc.History().Record(step);
}

void CFrameView::OnArrange(unsigned id)
{
    CBannerFrame *frame = ShownFrameObject();
    if (!frame || m_selection.empty())
        return;
    CSprite *item = m_selection.front();
    switch (id) {
    case ID_ARRANGE_MOVETOBACK: frame->MoveToBack(item); break;
    case ID_ARRANGE_MOVETOFRONT: frame->MoveToFront(item); break;
    case ID_ARRANGE_MOVEBACKWARD: frame->MoveBackward(item); break;
    case ID_ARRANGE_MOVEFORWARD: frame->MoveForward(item); break;
    default: return;
    }
    m_doc.UpdateAllViews(nullptr, hintItemsChanged);
    m_doc.SetModifiedFlag();
    m_doc.History().Record(QStringLiteral("Arrange"));
}

void CFrameView::ApplyZoom(float percent)
{
    // The box refuses what is not a positive number, so the zoom only ever takes one.
    m_control.SetZoomPercent(percent);
    m_window->InvalidateAll();
}

bool CFrameView::OnCommand(unsigned id)
{
    if (m_playback.OnCommand(id))
        return true;
    ItemTools &tools = ItemTools::Instance();
    const auto chooseShape = [&tools](std::int16_t shape) {
        tools.ShapePrototype().m_shape = shape;
        tools.Choose(CItemTool::kCreate, tools.Shape().Prototype());
        return true;
    };
    const auto choose = [&tools](const CItemTool &tool) {
        tools.Choose(tool.Kind(), tool.Prototype());
        return true;
    };
    switch (id) {
    case ID_TOOLS_SELECT: return choose(tools.Select());
    case ID_TOOLS_RECTANGLE: return chooseShape(CPrimitiveGraphics::kRectangle);
    case ID_TOOLS_ELLIPSE: return chooseShape(CPrimitiveGraphics::kEllipse);
    case ID_TOOLS_LINE: return chooseShape(CPrimitiveGraphics::kLine);
    case ID_TOOLS_TEXT: return choose(tools.Text());
    case ID_TOOLS_IMAGE: return choose(tools.Image());
    case ID_TOOLS_FREEHAND: return choose(tools.Freehand());
    case ID_EDIT_COPY: OnEditCopy(); return true;
    case ID_EDIT_CUT: OnEditCopy(); OnEditDelete(QStringLiteral("Cut")); return true;
    case ID_EDIT_PASTE: OnEditPaste(); return true;
    case ID_EDIT_DELETE: OnEditDelete(QStringLiteral("Delete")); return true;
    case ID_ARRANGE_MOVETOBACK:
    case ID_ARRANGE_MOVETOFRONT:
    case ID_ARRANGE_MOVEBACKWARD:
    case ID_ARRANGE_MOVEFORWARD: OnArrange(id); return true;
    default: break;
    }
    if (!m_frame)
        return false;
    switch (id) {
    case ID_VIEW_ZOOMIN: m_frame->ZoomStepIn(); ApplyZoom(m_frame->NormalizeZoom()); return true;
    case ID_VIEW_ZOOMOUT: m_frame->ZoomStepOut(); ApplyZoom(m_frame->NormalizeZoom()); return true;
    case ID_VIEW_NORMAL: m_frame->SetZoomText(100); ApplyZoom(m_frame->NormalizeZoom()); return true;
    case ID_ZOOMCOMBO: ApplyZoom(m_frame->GetZoomValue()); return true;
    case IDOK: ApplyZoom(m_frame->NormalizeZoom()); return true;
    default: return false;
    }
}

bool CFrameView::OnUpdateCommand(unsigned id, CommandState &s)
{
    if (m_playback.OnUpdateCommand(id, s))
        return true;
    const EditorState &state = EditorState::Instance();
    const ItemTools &tools = ItemTools::Instance();
    const CItemTool *current = tools.Current();
    const auto shapeIs = [&](int shape) {
        return current == &tools.Shape() && tools.ShapePrototype().m_shape == shape;
    };
    switch (id) {
    case ID_TOOLS_SELECT: s.SetCheck(current == &tools.Select()); return true;
    case ID_TOOLS_RECTANGLE: s.SetCheck(shapeIs(CPrimitiveGraphics::kRectangle)); return true;
    case ID_TOOLS_ELLIPSE: s.SetCheck(shapeIs(CPrimitiveGraphics::kEllipse)); return true;
    case ID_TOOLS_LINE: s.SetCheck(shapeIs(CPrimitiveGraphics::kLine)); return true;
    case ID_TOOLS_TEXT: s.SetCheck(current == &tools.Text()); return true;
    case ID_TOOLS_IMAGE: s.SetCheck(current == &tools.Image()); return true;
    case ID_TOOLS_FREEHAND: s.SetCheck(current == &tools.Freehand()); return true;
    case ID_EDIT_COPY:
    case ID_EDIT_CUT:
    case ID_EDIT_DELETE: s.Enable(!m_selection.empty()); return true;
    case ID_EDIT_PASTE: s.Enable(!state.ItemClipboard.empty()); return true;
    case ID_ARRANGE_MOVETOBACK:
    case ID_ARRANGE_MOVETOFRONT:
    case ID_ARRANGE_MOVEBACKWARD:
    case ID_ARRANGE_MOVEFORWARD: s.Enable(m_selection.size() == 1); return true;
    case ID_VIEW_ZOOMIN:
    case ID_VIEW_ZOOMOUT:
    case ID_VIEW_NORMAL:
    case ID_ZOOMCOMBO:
    case IDOK: return m_frame != nullptr;
    default: return false;
    }
}

QString CFrameView::FramePaneText(const char *format) const
{
    const CBannerFrame *frame = ShownFrameObject();
    return QString::asprintf(format, m_nShownFrame, frame ? int(frame->m_nDelay) : 0);
}

void CFrameView::OnActivateView()
{
    if (!m_frame)
        return;
    m_frame->SetStatusPane(ID_INDICATOR_FRAME, FramePaneText("Frame : %d, Delay : %d"));
    m_frame->SetStatusPane(ID_INDICATOR_POSITION, QStringLiteral("X : 0, Y: 0"));
    m_frame->SetZoomText(m_control.ZoomPercent());
}

void CFrameView::OnIdleUpdate()
{
    if (!m_frame)
        return;
    const QPoint p = EditorState::Instance().lastMouse;
    m_frame->SetStatusPane(ID_INDICATOR_POSITION, QString::asprintf("X : %d, Y: %d", p.x(), p.y()));
    m_frame->SetStatusPane(ID_INDICATOR_FRAME, FramePaneText("Frame : %d, Delay: %d"));
}
