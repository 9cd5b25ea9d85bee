#include "BannerInfo.h"

#include "document/BannerDoc.h"
#include "items/Polyline.h"
#include "items/Stamp.h"
#include "items/Text.h"

#include <QJsonArray>

namespace {
QJsonObject ItemJson(const CSprite &item)
{
    QJsonObject o;
    const std::string_view name = item.ClassName();
    o.insert(QStringLiteral("class"), QString::fromLatin1(name.data(), qsizetype(name.size())));
    const CRect &r = item.m_position;
    o.insert(QStringLiteral("position"), QJsonArray{r.left, r.top, r.right, r.bottom});
    o.insert(QStringLiteral("lineColor"), qint64(item.m_lineColor));
    o.insert(QStringLiteral("fillColor"), qint64(item.m_fillColor));
    o.insert(QStringLiteral("penStyle"), item.m_penStyle);
    o.insert(QStringLiteral("fillStyle"), item.m_fillStyle);
    o.insert(QStringLiteral("penWidth"), item.m_penWidth);
    if (name == "CText") {
        const auto &t = static_cast<const CText &>(item);
        o.insert(QStringLiteral("text"), t.m_text);
        o.insert(QStringLiteral("face"), t.m_logFont.FaceName());
        o.insert(QStringLiteral("height"), t.m_logFont.lfHeight);
        o.insert(QStringLiteral("weight"), t.m_logFont.lfWeight);
        o.insert(QStringLiteral("italic"), t.m_logFont.lfItalic);
        o.insert(QStringLiteral("underline"), t.m_logFont.lfUnderline);
        o.insert(QStringLiteral("strikeOut"), t.m_logFont.lfStrikeOut);
    } else if (name == "CStamp") {
        const auto &s = static_cast<const CStamp &>(item);
        o.insert(QStringLiteral("pictureBytes"), qint64(s.m_hDib ? s.m_hDib->Size() : 0));
    } else if (name == "CPrimitiveGraphics" || name == "CPolyline") {
        const auto &g = static_cast<const CPrimitiveGraphics &>(item);
        o.insert(QStringLiteral("shape"), g.m_shape);
        o.insert(QStringLiteral("fill"), qint64(g.m_fill));
        if (name == "CPolyline") {
            const auto &p = static_cast<const CPolyline &>(item);
            QJsonArray points;
            for (const CPoint &pt : p.m_points)
                points.append(QJsonArray{pt.x, pt.y});
            o.insert(QStringLiteral("points"), points);
            o.insert(QStringLiteral("closed"), p.m_closed);
        }
    }
    return o;
}
} // namespace

QJsonObject BannerInfoJson(const CBannerDoc &doc)
{
    QJsonObject o;
    o.insert(QStringLiteral("width"), double(doc.m_fWidth));
    o.insert(QStringLiteral("height"), double(doc.m_fHeight));
    o.insert(QStringLiteral("currentFrame"), doc.m_nCurrentFrame);
    o.insert(QStringLiteral("loop"), doc.m_bLoop);
    o.insert(QStringLiteral("defaultDelay"), qint64(doc.m_nDefaultDelay));
    o.insert(QStringLiteral("defaultBackground"), qint64(doc.m_crDefaultBackground));
    QJsonArray frames;
    for (const auto &frame : doc.m_frames) {
        QJsonObject f;
        f.insert(QStringLiteral("delay"), qint64(frame->m_nDelay));
        f.insert(QStringLiteral("background"), qint64(frame->m_crBackground));
        f.insert(QStringLiteral("backgroundBytes"), qint64(frame->m_hBackground ? frame->m_hBackground->Size() : 0));
        QJsonArray items;
        for (const auto &item : frame->m_items)
            items.append(ItemJson(*item));
        f.insert(QStringLiteral("items"), items);
        frames.append(f);
    }
    o.insert(QStringLiteral("frames"), frames);
    return o;
}
