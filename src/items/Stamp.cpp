#include "items/Stamp.h"

#include "items/ItemContext.h"
#include "items/ItemDrawing.h"
#include "platform/Prompts.h"
#include "platform/imaging/ImagingControl.h"
#include "platform/imaging/ImagingDC.h"
#include "platform/imaging/ImagingFileDialog.h"


CStamp::CStamp() = default;

CStamp::CStamp(const CRect &position) : CSprite(position) {}

CStamp::~CStamp() = default;

QString CStamp::Placeholder()
{
    return QStringLiteral("Double click to change image");
}

QString CStamp::FileFilter()
{
    return ImagingFileDialog::PictureFilter();
}

void CStamp::SetPicture(std::unique_ptr<PackedDib> dib)
{
    if (dib && dib->IsEmpty())
        dib.reset();
    m_hDib = std::move(dib);
}

std::unique_ptr<CSprite> CStamp::Clone() const
{
    auto copy = std::make_unique<CStamp>(m_position);
    if (m_hDib) {
        if (ImagingControl *stamp = ItemContext::Current().stampCtrl) {
            stamp->SetFromDIB(*m_hDib);
            copy->SetPicture(std::make_unique<PackedDib>(stamp->GetAsDIB()));
        }
        // A block the control cannot read is still the user's picture: keep its bytes.
        if (!copy->m_hDib)
            copy->m_hDib = std::make_unique<PackedDib>(*m_hDib);
    }
    return copy;
}

void CStamp::Draw(ImagingControl &ctrl)
{
    const CRect r = BitmapToClient(ctrl, m_position).Normalized();
    if (m_hDib) {
        ImagingControl *stamp = ItemContext::Current().stampCtrl;
        if (!stamp)
            return;
        stamp->SetFromDIB(*m_hDib);
        QImage *src = stamp->GetBitmapDC();
        const bool persistent = ctrl.DrawPersistent();
        QImage *dst = persistent ? ctrl.GetBitmapDC() : ctrl.GetWindowDC();
        if (src && dst) {
            const QRect srcRect(0, 0, int(stamp->BitmapWidth()), int(stamp->BitmapHeight()));
            ImagingDC::StretchCopy(*dst, QRect(r.left, r.top, r.Width(), r.Height()), *src, srcRect);
        }
        stamp->ReleaseBitmapDC();
        if (persistent)
            ctrl.ReleaseBitmapDC();
        else
            ctrl.ReleaseWindowDC();
        return;
    }
    if (ctrl.DrawPersistent())
        return;
    ImagingFont &font = ctrl.Font();
    font.Name = QStringLiteral("Arial");
    font.Size = 10;
    font.Bold = false;
    font.Italic = true;
    font.Strikethrough = false;
    font.Underline = false;
    font.Weight = 100;
    ctrl.SetDrawTextColor(m_lineColor);
    ctrl.SetTextAlignment(0);
    ctrl.SetTextBackgroundMode(0);
    SetTextBox(ctrl, r);
    ctrl.DrawTextInRect(Placeholder(), 0);
}

bool CStamp::EditProperties()
{
    ImagingFileDialog dialog = ImagingFileDialog::ForPictures();
    if (dialog.ShowOpenDialog() != 0)
        return true;
    const QString path = dialog.DialogFileName();
    ImagingControl *work = ItemContext::Current().workCtrl;
    if (!work)
        return true;
    work->SetEnabled20(false);
    if (work->LoadFile(path, 24, 0, 1) == 0) {
        SetPicture(std::make_unique<PackedDib>(work->GetAsDIB()));
    } else {
        // The picture the item had stays: a failed replacement must not cost the user it.
        Prompts::Instance().Message(QStringLiteral("Error loading file."), Prompts::Icon::Stop);
    }
    work->SetEnabled20(true);
    return true;
}

void CStamp::OnOpen()
{
    EditProperties();
}
