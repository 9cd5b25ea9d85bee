#include "shell/FrameCells.h"

#include "document/BannerDoc.h"
#include "platform/imaging/ImagingControl.h"

namespace FrameCells {

Geometry Geometry::Of(const CBannerDoc &doc)
{
    Geometry g;
    g.width = int(doc.m_fWidth);
    g.height = int(doc.m_fHeight);
    g.stripWidth = int(doc.m_fWidth + 2);
    g.cellHeight = int(doc.m_fHeight + 30);
    return g;
}

QString Caption(const CBannerDoc &doc, int index)
{
    const CBannerFrame *frame = doc.GetFrame(index);
    return QString::asprintf("Frame : %d       Duration : %ums", index, frame ? unsigned(frame->m_nDelay) : 0u);
}

QImage DrawCell(const CBannerDoc &doc, int index)
{
    const CBannerFrame *frame = doc.GetFrame(index);
    if (!frame)
        return {};
    const Geometry g = Geometry::Of(doc);
    // A control of its own: cells are drawn while painting, which may happen while a long
    // file operation that uses the application's RenderCtrl shows its progress.
    ImagingControl render;
    render.CreateBitmap(doc.m_fWidth, doc.m_fHeight, 24);
    render.SetDrawPersistent(true);
    frame->RenderInto(render);

    ImagingControl cell;
    cell.CreateBitmap(float(g.stripWidth), float(g.cellHeight), 24);
    cell.FillColor(StripGrey);
    cell.SetDrawPersistent(true);
    cell.CombineBitmap(1, 1, float(g.width), float(g.height), render.BitmapHandle(), 0, 0, 800);
    // The caption over the grey cell, in the control's default font and text colour.
    cell.SetTextBackgroundMode(1);
    cell.SetTextBoxLeft(1);
    cell.SetTextBoxTop(float(g.height));
    cell.SetTextBoxWidth(float(g.width));
    cell.SetTextBoxHeight(float(g.cellHeight - g.height - 1));
    cell.DrawTextInRect(Caption(doc, index), 0);
    return cell.BitmapHandle().image;
}

} // namespace FrameCells
