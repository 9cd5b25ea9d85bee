#include "shell/CBannerView.h"

#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "editor/MainFrameServices.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/FramePrinting.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>

namespace {
// Enough cells for the tallest screens several times over (a cell of a standard banner is 169 KB).
constexpr int kCacheBytes = 32 * 1024 * 1024;
// Shared by every Frames View: the button of the last press and the cell it pressed.
int s_lastButton = 0;
int s_pressCell = -1;
} // namespace

CBannerView::CBannerView(CBannerDoc &doc, MainFrameServices *frame, QWidget *parent)
    : QAbstractScrollArea(parent), m_doc(doc), m_frame(frame), m_cells(kCacheBytes)
{
    setObjectName(QString::number(IDC_VIEW_CONTROL));
    resize(520, height());
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_doc.AddView(this);
}

CBannerView::~CBannerView()
{
    m_doc.RemoveView(this);
}

void CBannerView::OnInitialUpdate()
{
    RebuildStrip();
    MarkSelection(m_doc.GetCurrentFrameIndex());
}

QSize CBannerView::StripSize() const
{
    const FrameCells::Geometry g = Geometry();
    return QSize(g.stripWidth, g.cellHeight * m_doc.GetFrameCount());
}

void CBannerView::RebuildStrip()
{
    m_cells.clear();
    // The old ring went with the old strip; every caller marks the current frame next.
    m_selected = -1;
    UpdateScrollBars();
    viewport()->update();
}

void CBannerView::RedrawCell(int index)
{
    m_cells.remove(index);
    viewport()->update(ToViewport(Geometry().Cell(index)));
}

void CBannerView::MarkSelection(int index)
{
    const FrameCells::Geometry g = Geometry();
    if (m_selected != -1)
        viewport()->update(ToViewport(g.Cell(m_selected)));
    m_selected = index;
    if (index != -1)
        viewport()->update(ToViewport(g.Cell(index)));
}

int CBannerView::HitTestCell(int x, int y, int cellHeight) const
{
    const QSize strip = StripSize();
    const int bx = x + horizontalScrollBar()->value();
    const int by = y + verticalScrollBar()->value();
    if (bx < 0 || by < 0 || bx >= strip.width() || by >= strip.height() || cellHeight <= 0)
        return -1;
    return by / cellHeight;
}

QRect CBannerView::ToViewport(const QRect &stripRect) const
{
    return stripRect.translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
}

void CBannerView::UpdateScrollBars()
{
    const QSize strip = StripSize();
    const QSize port = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, strip.width() - port.width()));
    horizontalScrollBar()->setPageStep(port.width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, strip.height() - port.height()));
    verticalScrollBar()->setPageStep(port.height());
    verticalScrollBar()->setSingleStep(Geometry().cellHeight / 3);
}

const QImage *CBannerView::Cell(int index)
{
    if (const QImage *cached = m_cells.object(index))
        return cached;
    auto image = std::make_unique<QImage>(FrameCells::DrawCell(m_doc, index));
    if (image->isNull())
        return nullptr;
    const qsizetype bytes = image->sizeInBytes();
    m_cells.insert(index, image.release(), int(std::min<qsizetype>(bytes, kCacheBytes)));
    return m_cells.object(index);
}

void CBannerView::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    const QRect exposed = event->rect();
    p.fillRect(exposed, QColor::fromRgb(ImagingControl::kWindowBackground));
    const FrameCells::Geometry g = Geometry();
    if (g.cellHeight <= 0)
        return;
    const int top = verticalScrollBar()->value() + exposed.top();
    const int bottom = verticalScrollBar()->value() + exposed.bottom();
    const int last = std::min(m_doc.GetFrameCount() - 1, bottom / g.cellHeight);
    for (int i = std::max(0, top / g.cellHeight); i <= last; ++i) {
        const QRect cell = ToViewport(g.Cell(i));
        if (const QImage *image = Cell(i))
            p.drawImage(cell.topLeft(), *image);
        if (i == m_selected) {
            const QColor blue = QColor::fromRgb(ColorrefToQRgb(FrameCells::SelectionBlue));
            p.fillRect(QRect(cell.left(), cell.top(), cell.width(), 1), blue);
            p.fillRect(QRect(cell.left(), cell.bottom(), cell.width(), 1), blue);
            p.fillRect(QRect(cell.left(), cell.top(), 1, cell.height()), blue);
            p.fillRect(QRect(cell.right(), cell.top(), 1, cell.height()), blue);
        }
    }
}

void CBannerView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CBannerView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void CBannerView::mousePressEvent(QMouseEvent *event)
{
    s_lastButton = ImagingWindow::ButtonOf(event->button());
    if (s_lastButton == 1) {
        const QPoint at = event->position().toPoint();
        s_pressCell = HitTestCell(at.x(), at.y(), Geometry().cellHeight);
    }
    event->accept();
}

void CBannerView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    const int button = ImagingWindow::ButtonOf(event->button());
    if (button != s_lastButton || button != 1)
        return;
    const QPoint at = event->position().toPoint();
    const int cell = HitTestCell(at.x(), at.y(), Geometry().cellHeight);
    // A click beside the strip hits no frame and leaves the current one alone.
    if (cell == -1 || cell != s_pressCell || cell == m_selected)
        return;
    m_doc.SetCurrentFrame(cell, this);
    MarkSelection(m_doc.GetCurrentFrameIndex());
}

void CBannerView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    OnDblClick();
}

void CBannerView::OnDblClick()
{
    if (s_lastButton != 1 || m_selected == -1)
        return;
    ViewWindowHost *host = m_doc.Context().viewHost;
    if (!host)
        return;
    if (DocumentView *banner = m_doc.FindView(ViewKind::BannerView))
        host->ActivateViewWindow(*banner);
    else if (!host->OpenViewWindow(m_doc, ViewKind::BannerView))
        return;
    if (DocumentView *banner = m_doc.FindView(ViewKind::BannerView))
        banner->OnUpdate(this, hintCurrentFrame, nullptr);
    // The release that ends the double click is not a click of its own.
    s_lastButton = -s_lastButton;
}

void CBannerView::OnUpdate(DocumentView *, long hint, CSprite *)
{
    const int current = m_doc.GetCurrentFrameIndex();
    switch (hint) {
    case hintItemChanged:
    case hintItemsChanged:
    case 3:
    case 5:
    case hintFrameDelay:
        RedrawCell(current);
        break;
    case hintFrameRemoved:
    case hintFrameAdded:
    case hintFrameChanged:
        RebuildStrip();
        MarkSelection(current);
        break;
    case hintCurrentFrame:
        if (current != m_selected)
            MarkSelection(current);
        break;
    default:
        viewport()->update();
        break;
    }
}

// ---- commands and panes -----------------------------------------------------------------------

bool CBannerView::OnCommand(unsigned id)
{
    switch (id) {
    case ID_FILE_PRINT: OnFilePrint(); return true;
    case ID_FILE_PRINT_PREVIEW: OnFilePrintPreview(); return true;
    default: return false;
    }
}

bool CBannerView::OnUpdateCommand(unsigned id, CommandState &)
{
    return id == ID_FILE_PRINT || id == ID_FILE_PRINT_PREVIEW;
}

void CBannerView::OnFilePrint()
{
    QPrinter &printer = FramePrinting::SessionPrinter();
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted)
        return;
    FramePrinting::Print(m_doc, printer);
}

void CBannerView::OnFilePrintPreview()
{
    QPrintPreviewDialog preview(&FramePrinting::SessionPrinter(), this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *target) { FramePrinting::Print(m_doc, *target); });
    preview.exec();
}

void CBannerView::SetPanes()
{
    if (!m_frame)
        return;
    const CBannerFrame *frame = m_doc.GetFrame(m_selected);
    m_frame->SetStatusPane(ID_INDICATOR_FRAME, QString::asprintf("%d frames", m_doc.GetFrameCount()));
    m_frame->SetStatusPane(ID_INDICATOR_POSITION, QString::asprintf("Frame : %d,  Delay : %u", m_selected,
                                                                    frame ? unsigned(frame->m_nDelay) : 0u));
}

void CBannerView::OnActivateView()
{
    SetPanes();
    if (m_frame)
        m_frame->SetZoomText(100);
}

void CBannerView::OnIdleUpdate()
{
    SetPanes();
}
