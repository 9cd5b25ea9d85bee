// ImagingControl: shapes and text. Shapes are rasterised into coverage masks (pen and fill)
// without antialiasing and then applied in one pass, so the inverting mode touches every pixel
// of a figure exactly once and drawing it twice restores the picture.
#include "platform/imaging/ImagingControl.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace {

int Pos(float v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::clamp(v, -1.0e8f, 1.0e8f));
}

constexpr int kInvert = 6;
constexpr int kPenNull = 5;
constexpr int kFillNone = 1;

// On/off run lengths of the one-pixel pen styles 1..4.
const std::vector<int> &DashPattern(int style)
{
    static const std::vector<int> solid;
    static const std::vector<int> dash{18, 6};
    static const std::vector<int> dot{3, 3};
    static const std::vector<int> dashDot{9, 6, 3, 6};
    static const std::vector<int> dashDotDot{9, 3, 3, 3, 3, 3};
    switch (style) {
    case 1: return dash;
    case 2: return dot;
    case 3: return dashDot;
    case 4: return dashDotDot;
    default: return solid;
    }
}

// Coverage of one figure within `area` (target coordinates): pen and fill masks, painted white
// on transparent where covered.
struct Coverage {
    QRect area;
    QImage pen, fill;

    explicit Coverage(const QRect &a) : area(a) {}
    QImage &Mask(QImage &m)
    {
        if (m.isNull()) {
            m = QImage(area.size(), QImage::Format_ARGB32_Premultiplied);
            m.fill(0);
        }
        return m;
    }
    void Set(QImage &m, int x, int y)
    {
        if (!area.contains(x, y))
            return;
        reinterpret_cast<QRgb *>(Mask(m).scanLine(y - area.top()))[x - area.left()] = 0xFFFFFFFF;
    }
    void SetRect(QImage &m, const QRect &r)
    {
        const QRect c = r.intersected(area);
        if (c.isEmpty())
            return;
        QImage &mask = Mask(m);
        for (int y = c.top(); y <= c.bottom(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(mask.scanLine(y - area.top()));
            std::fill(line + (c.left() - area.left()), line + (c.right() - area.left() + 1), 0xFFFFFFFFu);
        }
    }
    // A painter on a mask, translated to target coordinates, without antialiasing.
    void Paint(QImage &m, const std::function<void(QPainter &)> &draw)
    {
        QPainter p(&Mask(m));
        p.setRenderHint(QPainter::Antialiasing, false);
        p.translate(-area.left(), -area.top());
        draw(p);
    }
    // A one-pixel line from (x1, y1) toward (x2, y2), the end point excluded unless includeEnd.
    // phase carries the dash position along consecutive edges.
    void Line(int x1, int y1, int x2, int y2, bool includeEnd, const std::vector<int> &dashes, int *phase)
    {
        const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
        const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
        int err = dx + dy;
        int total = 0;
        for (int d : dashes)
            total += d;
        int x = x1, y = y1;
        for (;;) {
            const bool atEnd = x == x2 && y == y2;
            if (atEnd && !includeEnd)
                break;
            bool on = true;
            if (total > 0) {
                int p = (*phase)++ % total;
                for (std::size_t i = 0; i < dashes.size(); ++i) {
                    if (p < dashes[i]) {
                        on = i % 2 == 0;
                        break;
                    }
                    p -= dashes[i];
                }
            }
            if (on)
                Set(pen, x, y);
            if (atEnd)
                break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y += sy;
            }
        }
    }
};

// A run of pixels in one row, from left to right inclusive; empty when right < left.
struct Run {
    int left = 0;
    int right = -1;
    bool Empty() const { return right < left; }
};

QBrush FillBrush(int style)
{
    switch (style) {
    case 2: return QBrush(Qt::white, Qt::HorPattern);
    case 3: return QBrush(Qt::white, Qt::VerPattern);
    case 4: return QBrush(Qt::white, Qt::FDiagPattern);
    case 5: return QBrush(Qt::white, Qt::BDiagPattern);
    case 6: return QBrush(Qt::white, Qt::CrossPattern);
    case 7: return QBrush(Qt::white, Qt::DiagCrossPattern);
    default: return QBrush(Qt::white, Qt::SolidPattern);
    }
}

Qt::PenStyle QtPenStyle(int style)
{
    switch (style) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}


// The box of a rectangle or ellipse, and whether it has an outline and how wide (at least 1).
struct Figure {
    int x0, y0, w, h;
    bool outline;
    int pw;
};

// A negative width or height spans back from the corner; none when the box has no area.
std::optional<Figure> SpanFigure(float leftf, float topf, float widthf, float heightf, int penWidth, int penStyle)
{
    Figure f{Pos(leftf), Pos(topf), Pos(widthf), Pos(heightf), penWidth >= 0 && penStyle != kPenNull,
             std::max(1, penWidth)};
    if (f.w < 0) {
        f.x0 += f.w;
        f.w = -f.w;
    }
    if (f.h < 0) {
        f.y0 += f.h;
        f.h = -f.h;
    }
    if (f.w == 0 || f.h == 0)
        return std::nullopt;
    return f;
}

} // namespace

QImage *ImagingControl::DrawTarget()
{
    if (m_drawPersistent) {
        ImagingBitmap &b = CurMut();
        return b.image.isNull() ? nullptr : &b.image;
    }
    return m_surface.isNull() ? nullptr : &m_surface;
}

void ImagingControl::AfterDraw()
{
    if (m_drawPersistent)
        BitmapChanged();
    else
        emit SurfaceChanged();
}

namespace {

// Applies a figure's coverage to the target: pen over fill, or each covered pixel inverted once.
void Apply(QImage &target, const Coverage &c, bool invert, QRgb penColor, QRgb fillColor)
{
    // Rows are walked without per-pixel branches on which masks exist, so that inverting the
    // outlines of many dragged items stays cheap at high zooms.
    constexpr QRgb kFlip = 0x00FFFFFFu;
    uchar *bits = target.bits();
    const qsizetype stride = target.bytesPerLine();
    const int width = c.area.width();
    for (int y = 0; y < c.area.height(); ++y) {
        auto *d = reinterpret_cast<QRgb *>(bits + (c.area.top() + y) * stride) + c.area.left();
        const QRgb *pen = c.pen.isNull() ? nullptr : reinterpret_cast<const QRgb *>(c.pen.constScanLine(y));
        const QRgb *fill = c.fill.isNull() ? nullptr : reinterpret_cast<const QRgb *>(c.fill.constScanLine(y));
        if (invert && pen && fill) {
            for (int x = 0; x < width; ++x)
                d[x] ^= (pen[x] | fill[x]) ? kFlip : 0u;
        } else if (invert && (pen || fill)) {
            const QRgb *mask = pen ? pen : fill;
            for (int x = 0; x < width; ++x)
                d[x] ^= mask[x] ? kFlip : 0u;
        } else if (!invert) {
            for (int x = 0; x < width; ++x) {
                if (pen && pen[x])
                    d[x] = penColor;
                else if (fill && fill[x])
                    d[x] = fillColor;
            }
        }
    }
}

} // namespace

int ImagingControl::DrawLineShape(float x1f, float y1f, float x2f, float y2f)
{
    QImage *target = DrawTarget();
    if (target == nullptr)
        return ImagingErrNoBitmap;
    if (m_penWidth < 0 || m_penStyle == kPenNull)
        return ImagingOk;
    const int x1 = Pos(x1f), y1 = Pos(y1f), x2 = Pos(x2f), y2 = Pos(y2f);
    const int pw = std::max(1, m_penWidth);
    const QRect bounds = QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2)))
                             .adjusted(-pw, -pw, pw, pw);
    Coverage c(bounds.intersected(target->rect()));
    if (c.area.isEmpty())
        return ImagingOk;
    if (pw == 1) {
        int phase = 0;
        // Absurdly long lines (coordinates far outside any picture) go through Qt's clipping
        // rasteriser instead of a pixel walk.
        if (std::abs(qint64(x2) - x1) + std::abs(qint64(y2) - y1) < 4LL * 1024 * 1024)
            c.Line(x1, y1, x2, y2, false, DashPattern(m_penStyle), &phase);
        else
            c.Paint(c.pen, [&](QPainter &p) {
                p.setPen(QPen(Qt::white, 0));
                p.drawLine(QLineF(x1, y1, x2, y2));
            });
    } else {
        c.Paint(c.pen, [&](QPainter &p) {
            p.setPen(QPen(Qt::white, pw, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawLine(QPointF(x1 + 0.5, y1 + 0.5), QPointF(x2 + 0.5, y2 + 0.5));
        });
    }
    Apply(*target, c, m_drawMode == kInvert, ColorrefToQRgb(m_penColor), 0);
    AfterDraw();
    return ImagingOk;
}

namespace {

// The coverage of a rectangle: fill inside the box, the pen as a band of pw pixels centred on its
// edge, or a dashed one-pixel edge.
void CoverRectangle(Coverage &c, const Figure &f, const QRect &outer, int fillStyle, int penStyle)
{
    const int x0 = f.x0, y0 = f.y0, w = f.w, h = f.h, pw = f.pw;
    const bool outline = f.outline;
    const QRect box(x0, y0, w, h);
    if (fillStyle != kFillNone) {
        if (fillStyle == 0)
            c.SetRect(c.fill, box);
        else
            c.Paint(c.fill, [&](QPainter &p) { p.fillRect(box, FillBrush(fillStyle)); });
    }
    if (outline) {
        if (pw == 1 && penStyle != 0) {
            int phase = 0;
            const std::vector<int> &d = DashPattern(penStyle);
            const int r = x0 + w - 1, b = y0 + h - 1;
            c.Line(x0, y0, r, y0, false, d, &phase);
            c.Line(r, y0, r, b, false, d, &phase);
            c.Line(r, b, x0, b, false, d, &phase);
            c.Line(x0, b, x0, y0, w == 1 || h == 1, d, &phase);
        } else {
            // The band between the outer rectangle and the inner one, pw pixels wide.
            c.SetRect(c.pen, QRect(outer.left(), outer.top(), outer.width(), std::min(pw, outer.height())));
            c.SetRect(c.pen, QRect(outer.left(), outer.bottom() - pw + 1, outer.width(), std::min(pw, outer.height())));
            c.SetRect(c.pen, QRect(outer.left(), outer.top(), std::min(pw, outer.width()), outer.height()));
            c.SetRect(c.pen, QRect(outer.right() - pw + 1, outer.top(), std::min(pw, outer.width()), outer.height()));
        }
    }
}

void CoverEllipse(Coverage &c, const Figure &f, int fillStyle, int penStyle)
{
    const int x0 = f.x0, y0 = f.y0, w = f.w, h = f.h, pw = f.pw;
    const bool outline = f.outline;
    // Pixels belong to an ellipse when their centres lie inside it; the test is mirror-exact, so
    // ellipses come out symmetric about both axes of their box.
    const double cx = x0 + w / 2.0, cy = y0 + h / 2.0;
    auto inside = [&](int x, int y, double rx, double ry) {
        if (rx <= 0 || ry <= 0)
            return false;
        const double u = (x + 0.5 - cx) / rx, v = (y + 0.5 - cy) / ry;
        return u * u + v * v <= 1.0;
    };
    // Within a row the test only grows with the distance from cx, so the inside pixels are one
    // run, symmetric about cx: its left end is found by bisection with the very same test.
    const long long twiceCx = 2LL * x0 + w;
    auto run = [&](int y, double rx, double ry) {
        Run r;
        const int mid = int(std::floor(cx));
        if (!inside(mid, y, rx, ry))
            return r;
        int out = mid - int(std::ceil(rx)) - 2, in = mid; // out is beyond the radius
        while (in - out > 1) {
            const int m = out + (in - out) / 2;
            (inside(m, y, rx, ry) ? in : out) = m;
        }
        r.left = in;
        r.right = int(twiceCx - 1 - in);
        return r;
    };
    auto span = [&](QImage &mask, int y, int left, int right) {
        if (left <= right)
            c.SetRect(mask, QRect(QPoint(left, y), QPoint(right, y)));
    };
    const double rx = w / 2.0, ry = h / 2.0;
    const bool solidFill = fillStyle == 0;
    if (fillStyle != kFillNone && !solidFill) {
        c.Paint(c.fill, [&](QPainter &p) {
            QPainterPath path;
            for (int y = c.area.top(); y <= c.area.bottom(); ++y)
                if (const Run r = run(y, rx, ry); !r.Empty())
                    path.addRect(r.left, y, r.right - r.left + 1, 1);
            p.fillPath(path.simplified(), FillBrush(fillStyle));
        });
    }
    const bool dashed = outline && pw == 1 && penStyle >= 1 && penStyle <= 4;
    if (dashed) {
        c.Paint(c.pen, [&](QPainter &p) {
            p.setPen(QPen(Qt::white, 0, QtPenStyle(penStyle)));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(x0 + 0.5, y0 + 0.5, w - 1, h - 1));
        });
    }
    // A one-pixel pen is the boundary of the ellipse's pixels (those with a neighbour outside);
    // wider pens are a band of pw pixels centred on that boundary.
    const double a = (pw - 1) / 2.0, b = (pw + 1) / 2.0;
    for (int y = c.area.top(); y <= c.area.bottom(); ++y) {
        const Run in = run(y, rx, ry);
        if (solidFill && fillStyle != kFillNone)
            span(c.fill, y, in.left, in.right);
        if (!outline || dashed)
            continue;
        // The pen is a run minus an inner run: the whole run when nothing lies inside it.
        Run band = in, hole;
        if (pw == 1) {
            const Run up = run(y - 1, rx, ry), down = run(y + 1, rx, ry);
            if (!in.Empty() && !up.Empty() && !down.Empty()) {
                hole.left = std::max({in.left + 1, up.left, down.left});
                hole.right = std::min({in.right - 1, up.right, down.right});
            }
        } else {
            band = run(y, rx + a, ry + a);
            hole = run(y, rx - b, ry - b);
        }
        if (hole.Empty()) {
            span(c.pen, y, band.left, band.right);
        } else {
            span(c.pen, y, band.left, hole.left - 1);
            span(c.pen, y, hole.right + 1, band.right);
        }
    }
}

} // namespace

int ImagingControl::DrawRectangleShape(float leftf, float topf, float widthf, float heightf)
{
    return DrawBoxFigure(leftf, topf, widthf, heightf, false);
}

int ImagingControl::DrawEllipseShape(float leftf, float topf, float widthf, float heightf)
{
    return DrawBoxFigure(leftf, topf, widthf, heightf, true);
}

int ImagingControl::DrawBoxFigure(float leftf, float topf, float widthf, float heightf, bool ellipse)
{
    QImage *target = DrawTarget();
    if (target == nullptr)
        return ImagingErrNoBitmap;
    const auto figure = SpanFigure(leftf, topf, widthf, heightf, m_penWidth, m_penStyle);
    if (!figure)
        return ImagingOk;
    const Figure &f = *figure;
    // The pixels the figure may touch: a rectangle's pen is centred on its edge, an ellipse's
    // band may reach a pen width beyond its box.
    const QRect box(f.x0, f.y0, f.w, f.h);
    const int a = (f.pw - 1) / 2;
    const QRect outer = !f.outline ? box
                        : ellipse  ? box.adjusted(-f.pw, -f.pw, f.pw, f.pw)
                                   : QRect(f.x0 - a, f.y0 - a, f.w + f.pw - 1, f.h + f.pw - 1);
    Coverage c(outer.intersected(target->rect()));
    if (c.area.isEmpty())
        return ImagingOk;
    if (ellipse)
        CoverEllipse(c, f, m_fillStyle, m_penStyle);
    else
        CoverRectangle(c, f, outer, m_fillStyle, m_penStyle);
    Apply(*target, c, m_drawMode == kInvert, ColorrefToQRgb(m_penColor), ColorrefToQRgb(m_fillColor));
    AfterDraw();
    return ImagingOk;
}

QFont ImagingControl::TextFont(const ImagingFont &spec)
{
    QFont font(spec.Name);
    // Logical 96 dots per inch: the character height in pixels of Size points.
    font.setPixelSize(std::max(1, int(std::lround(spec.Size * 96.0 / 72.0))));
    int weight = spec.Weight <= 0 ? 400 : std::min(spec.Weight, 1000);
    if (spec.Bold)
        weight = std::max(weight, 700);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(spec.Italic);
    font.setUnderline(spec.Underline);
    font.setStrikeOut(spec.Strikethrough);
    // The desktop's hinting and subpixel settings must not change pixels: the editor, the
    // command-line tool and the tests render text alike.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}

int ImagingControl::DrawTextInRect(const QString &text, int flags)
{
    QImage *target = DrawTarget();
    if (target == nullptr)
        return ImagingErrNoBitmap;
    const QRect box(Pos(m_textBox[0]), Pos(m_textBox[1]), Pos(m_textBox[2]), Pos(m_textBox[3]));
    if (box.width() <= 0 || box.height() <= 0)
        return ImagingOk;
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));

    const QFont font = TextFont(m_font);

    int align = Qt::AlignTop | Qt::TextExpandTabs;
    align |= m_textAlignment == 1 ? Qt::AlignHCenter : m_textAlignment == 2 ? Qt::AlignRight : Qt::AlignLeft;
    if (flags & 1)
        align |= Qt::TextWordWrap;

    {
        QPainter p(target);
        p.setClipRect(box);
        if (m_textBackgroundMode == 2 || m_textBackgroundMode == 3)
            p.fillRect(box, QColor::fromRgb(ColorrefToQRgb(m_backColor)));
        p.setFont(font);
        p.setPen(QColor::fromRgb(ColorrefToQRgb(m_textColor)));
        p.drawText(box, align, lines);
    }
    AfterDraw();
    return ImagingOk;
}
