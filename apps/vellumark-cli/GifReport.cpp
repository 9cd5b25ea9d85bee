#include "GifReport.h"

#include "document/BannerDoc.h"
#include "platform/imaging/GifCodec.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <bitset>

bool GifReportJson(CBannerDoc &doc, QJsonObject *report)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.gif"));
    if (!dir.isValid() || !doc.SaveAsGif(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    GifCodec::Animation gif;
    std::vector<int> pageBytes;
    if (GifCodec::Read(bytes, &gif, -1, &pageBytes) != GifCodec::Ok)
        return false;
    QJsonArray pages;
    for (std::size_t i = 0; i < gif.pages.size(); ++i) {
        const GifCodec::Page &page = gif.pages[i];
        std::bitset<256> used;
        for (int y = 0; y < page.image.height(); ++y) {
            const uchar *line = page.image.constScanLine(y);
            for (int x = 0; x < page.image.width(); ++x)
                used.set(line[x]);
        }
        if (page.transparentIndex >= 0)
            used.reset(std::size_t(page.transparentIndex));
        QJsonObject o;
        o.insert(QStringLiteral("rect"), QJsonArray{page.left, page.top, page.image.width(), page.image.height()});
        o.insert(QStringLiteral("colours"), int(used.count()));
        o.insert(QStringLiteral("palette"), page.localPalette ? QStringLiteral("own") : QStringLiteral("global"));
        o.insert(QStringLiteral("paletteSize"), page.localPalette ? int(page.image.colorCount()) : int(gif.globalPalette.size()));
        o.insert(QStringLiteral("bytes"), i < pageBytes.size() ? pageBytes[i] : 0);
        o.insert(QStringLiteral("delay"), page.delayMs);
        pages.append(o);
    }
    report->insert(QStringLiteral("bytes"), qint64(bytes.size()));
    report->insert(QStringLiteral("globalPaletteSize"), int(gif.globalPalette.size()));
    report->insert(QStringLiteral("pages"), pages);
    return true;
}
