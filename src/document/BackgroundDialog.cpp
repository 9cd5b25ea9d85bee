#include "document/BackgroundDialog.h"

#include "document/BannerDoc.h"
#include "document/BannerFrame.h"
#include "document/CoreContext.h"
#include "platform/Prompts.h"
#include "platform/imaging/ImagingFileDialog.h"
#include "platform/imaging/ImagingWindow.h"
#include "platform/widgets/DialogUnits.h"
#include "resource.h"

#include <QCheckBox>
#include <QPushButton>
#include <algorithm>

BackgroundDialog::BackgroundDialog(float width, float height, CBannerDoc &doc, QWidget *parent,
                                   ImagingControl *output)
    : QDialog(parent), m_frame(doc.GetCurrentFrame()), m_output(output ? *output : doc.Context().WorkCtrl),
      m_selection(0, 0, int(width), int(height))
{
    setWindowTitle(QStringLiteral("Background"));
    const DialogUnits du(this);
    setFixedSize(du.Size(480, 182));

    m_window = new ImagingWindow(&m_display, this);
    m_window->setObjectName(QString::number(IDC_BKG_PICTURE));
    du.Place(m_window, 15, 13, 380, 142);
    m_load = new QPushButton(QStringLiteral("&Load..."), this);
    m_load->setObjectName(QString::number(IDC_BKG_LOAD));
    du.Place(m_load, 34, 160, 50, 14);
    m_lock = new QCheckBox(QStringLiteral("&Lock rectangle to displayed area"), this);
    m_lock->setObjectName(QString::number(IDC_BKG_LOCK));
    du.Place(m_lock, 102, 162, 119, 10);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    du.Place(m_ok, 410, 22, 50, 14);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    du.Place(cancel, 410, 44, 50, 14);
    m_zoomIn = new QPushButton(QStringLiteral("Zoom &In"), this);
    m_zoomIn->setObjectName(QString::number(IDC_BKG_ZOOMIN));
    du.Place(m_zoomIn, 410, 77, 50, 14);
    m_zoomOut = new QPushButton(QStringLiteral("Zoom &Out"), this);
    m_zoomOut->setObjectName(QString::number(IDC_BKG_ZOOMOUT));
    du.Place(m_zoomOut, 410, 100, 50, 14);

    connect(m_load, &QPushButton::clicked, this, &BackgroundDialog::OnLoad);
    connect(m_ok, &QPushButton::clicked, this, &BackgroundDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_zoomIn, &QPushButton::clicked, this, [this] { OnZoom(10.0f); });
    connect(m_zoomOut, &QPushButton::clicked, this, [this] { OnZoom(-10.0f); });
    connect(m_lock, &QCheckBox::toggled, this, &BackgroundDialog::OnLock);
    connect(&m_display, &ImagingControl::MouseDown, this, &BackgroundDialog::OnMouseDown);
    connect(&m_display, &ImagingControl::MouseMove, this, &BackgroundDialog::OnMouseMove);
    connect(&m_display, &ImagingControl::MouseUp, this, &BackgroundDialog::OnMouseUp);
    connect(&m_display, &ImagingControl::ControlEvent, this, &BackgroundDialog::OnControlEvent);

    m_display.SetDisplayOption57(true);
    m_display.SetDisplaySizeMode(ImagingControl::DisplayZoomed);
    m_display.SetCoordinateUnits(3);
    // The selection is an outline that inverts what it covers, drawn over every paint.
    m_display.SetDrawPersistent(false);
    m_display.SetDrawMode(6);
    m_display.SetDrawFillStyle(1);
    m_display.SetDrawPenStyle(0);
    m_display.SetDrawPenWidth(1);

    if (m_frame && m_frame->HasBackground()) {
        m_display.SetBitmapHandle({});
        m_display.SetFromDIB(*m_frame->m_hBackground);
        m_ok->setEnabled(false);
        m_loaded = true;
    } else {
        m_zoomIn->setEnabled(false);
        m_zoomOut->setEnabled(false);
        m_output.SetBitmapHandle({});
        m_loaded = false;
    }
}

BackgroundDialog::~BackgroundDialog()
{
    // The window goes before the control it shows.
    delete m_window;
}

void BackgroundDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_opened)
        return;
    m_opened = true;
    // The window has its size now; the rectangle's room is measured once.
    m_client = CRect(0, 0, m_display.WindowWidth(), m_display.WindowHeight());
    m_locked = false;
    m_lock->setChecked(false);
    ComputeBounds();
    m_display.Repaint();
}

void BackgroundDialog::ComputeBounds()
{
    if (!m_loaded)
        return;
    // The picture as displayed at the present zoom, so the lock keeps the rectangle on what the
    // user sees.
    const int vx = std::min(int(m_display.DisplayWidth()), m_client.right);
    const int vy = std::min(int(m_display.DisplayHeight()), m_client.bottom);
    const int w = m_selection.Width(), h = m_selection.Height();
    m_bounds = m_locked ? CRect(0, 0, vx, vy) : CRect(-w, -h, w + vx, h + vy);
}

void BackgroundDialog::OnLoad()
{
    ImagingFileDialog dialog = ImagingFileDialog::ForPictures();
    if (dialog.ShowOpenDialog() != 0) {
        m_display.Repaint();
        m_load->setFocus();
        return;
    }
    if (m_display.LoadFile(dialog.DialogFileName(), 24, 0, 1) != ImagingOk) {
        // The picture shown stays, and so does what OK would make of it.
        Prompts::Instance().Message(QStringLiteral("Error loading file."), Prompts::Icon::Stop);
        m_load->setFocus();
        return;
    }
    m_loaded = true;
    m_zoomIn->setEnabled(true);
    m_zoomOut->setEnabled(true);
    m_ok->setEnabled(true);
    m_ok->setFocus();
    ComputeBounds();
}

void BackgroundDialog::OnZoom(float step)
{
    const float zoom = m_display.ZoomPercent();
    if (step > 0 || zoom > 10.0f)
        m_display.SetZoomPercent(zoom + step);
    ComputeBounds();
    m_ok->setEnabled(true);
}

void BackgroundDialog::OnLock(bool locked)
{
    m_locked = locked;
    ComputeBounds();
    if (m_locked) {
        m_selection.OffsetRect(-m_selection.left, -m_selection.top);
        m_display.Repaint();
    }
}

void BackgroundDialog::OnMouseDown(int button, int, int x, int y)
{
    if (button != 1 || !m_loaded || !m_selection.PtInRect(CPoint(x, y)))
        return;
    m_last = CPoint(x, y);
    m_dragging = true;
    m_display.SetMouseCursor(5);
}

void BackgroundDialog::OnMouseMove(int button, int, int x, int y)
{
    if (m_dragging && (x < 0 || y < 0 || x > m_client.right || y > m_client.bottom)) {
        m_dragging = false;
        m_display.SetMouseCursor(0);
        return;
    }
    if (!(button & 1) || !m_dragging)
        return;
    // Each way is clamped by the edge the motion heads for. A locked rectangle larger than the
    // picture cannot lie inside it: pulled right it stops with its right edge on the picture's,
    // pulled left with its left edge on the picture's, and the second edge must not undo the first.
    int dx = x - m_last.x, dy = y - m_last.y;
    if (dx >= 1) {
        if (m_selection.right + dx > m_bounds.right)
            dx = m_bounds.right - m_selection.right;
    } else if (dx < 0 && m_selection.left + dx < m_bounds.left) {
        dx = m_bounds.left - m_selection.left;
    }
    if (dy <= 0) {
        if (m_selection.top + dy < m_bounds.top)
            dy = m_bounds.top - m_selection.top;
    } else if (m_selection.bottom + dy > m_bounds.bottom) {
        dy = m_bounds.bottom - m_selection.bottom;
    }
    m_selection.OffsetRect(dx, dy);
    m_last = CPoint(x, y);
    m_display.Repaint();
    m_ok->setEnabled(true);
}

void BackgroundDialog::OnMouseUp(int button, int, int, int)
{
    if (button != 1 || !m_dragging)
        return;
    m_dragging = false;
    m_display.SetMouseCursor(0);
}

void BackgroundDialog::OnControlEvent(int eventId)
{
    if (eventId == 3) {
        m_display.Repaint();
        return;
    }
    if (eventId != 1)
        return;
    m_display.DrawRectangleShape(float(m_selection.left), float(m_selection.top), float(m_selection.Width()),
                                 float(m_selection.Height()));
}

void BackgroundDialog::accept()
{
    m_output.SetBitmapHandle({});
    if (m_display.HasBitmap())
        CropIntoOutput();
    QDialog::accept();
}

void BackgroundDialog::CropIntoOutput()
{
    const float w = float(m_selection.Width()), h = float(m_selection.Height());
    m_output.CreateBitmap(w, h, 24);
    m_output.FillColor(m_fillColor);

    // Single precision throughout; the controls receive the values unrounded.
    const float sx = m_display.DisplayWidth() / m_display.SourceWidth();
    const float sy = m_display.DisplayHeight() / m_display.SourceHeight();
    float srcX = (float(m_selection.left) - m_display.DisplayLeft()) / sx + m_display.SourceLeft();
    float srcY = (float(m_selection.top) - m_display.DisplayTop()) / sy + m_display.SourceTop();
    float srcW = w / sx, srcH = h / sy;
    float dstX = 0.0f, dstY = 0.0f, dstW = w, dstH = h;
    if (srcX < 0.0f) {
        dstX = -srcX * sx;
        dstW -= dstX;
        srcW += srcX;
        srcX = 0.0f;
    }
    if (srcY < 0.0f) {
        dstY = -srcY * sy;
        dstH -= dstY;
        srcH += srcY;
        srcY = 0.0f;
    }
    const float bitmapW = m_display.BitmapWidth(), bitmapH = m_display.BitmapHeight();
    if (srcX + srcW > bitmapW) {
        srcW = bitmapW - srcX;
        dstW = srcW * sx;
    }
    if (srcY + srcH > bitmapH) {
        srcH = bitmapH - srcY;
        dstH = srcH * sy;
    }
    if (srcW < 0.0f || srcH < 0.0f || dstW < 0.0f || dstH < 0.0f) {
        // The rectangle lies beside the picture: no picture, so the frame shows its colour.
        m_output.SetBackColor(m_frame ? m_frame->m_crBackground : m_fillColor);
        m_output.SetFromDIB(PackedDib());
        return;
    }
    // A sliver too thin to keep a pixel leaves the banner white rather than pasting the
    // uncropped picture.
    if (m_display.TrimBitmap(srcX, srcY, srcW, srcH) != ImagingOk ||
        m_display.ResizeBitmap(dstW, dstH, 2) != ImagingOk)
        return;
    m_output.CombineBitmap(dstX, dstY, dstW, dstH, m_display.BitmapHandle(), 0.0f, 0.0f, 800);
}
