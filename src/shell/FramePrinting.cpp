#include "shell/FramePrinting.h"

#include "document/BannerDoc.h"
#include "shell/FrameCells.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
std::unique_ptr<QPrinter> g_printer;
}

namespace FramePrinting {

QPrinter &SessionPrinter()
{
    if (!g_printer) {
        g_printer = std::make_unique<QPrinter>();
        qAddPostRoutine([] { g_printer.reset(); });
    }
    return *g_printer;
}

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
