#include "shell/FramePrinting.h"

#include "document/BannerDoc.h"
#include "shell/FrameCells.h"

#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace FramePrinting {

bool Print(const CBannerDoc &doc, QPrinter &printer)
{
    const FrameCells::Geometry g = FrameCells::Geometry::Of(doc);
    QPainter painter;
    if (g.stripWidth <= 0 || g.cellHeight <= 0 || !painter.begin(&printer))
        return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double scale = page.width() / g.stripWidth;
    const double cellHeight = g.cellHeight * scale;
    const int perPage = std::max(1, int(std::floor(page.height() / cellHeight)));
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int i = 0; i < doc.GetFrameCount(); ++i) {
        if (i > 0 && i % perPage == 0 && !printer.newPage())
            return false;
        const QRectF target(0, (i % perPage) * cellHeight, page.width(), cellHeight);
        painter.drawImage(target, FrameCells::DrawCell(doc, i));
    }
    return painter.end();
}

} // namespace FramePrinting
