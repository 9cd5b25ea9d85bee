// Draws the editor's toolbar icons, program icon, background logo and splash picture into
// resources/icons/.
// Run once after changing the artwork; the PNGs are committed.
//   g++ -std=c++20 -fPIC scripts/make-icons.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make-icons
//   QT_QPA_PLATFORM=offscreen /tmp/make-icons resources/icons
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <functional>

namespace {
const QColor kInk(0x20, 0x20, 0x20);
const QColor kBlue(0x1f, 0x5f, 0xbf);
const QColor kPaper(0xff, 0xff, 0xff);
const QColor kYellow(0xf0, 0xc0, 0x30);
const QColor kGreen(0x2a, 0x9d, 0x3a);
const QColor kRed(0xc8, 0x2a, 0x2a);

void Save(const QString &dir, const QString &name, int size, const std::function<void(QPainter &)> &draw,
          bool antialias = false)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, antialias);
    draw(p);
    p.end();
    img.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void Page(QPainter &p)
{
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(10, 1), QPoint(13, 4), QPoint(13, 14), QPoint(3, 14)}));
    p.drawLine(10, 1, 10, 4);
    p.drawLine(10, 4, 13, 4);
}

void Triangle(QPainter &p, bool right, int x0, const QColor &c)
{
    p.setPen(c);
    p.setBrush(c);
    if (right)
        p.drawPolygon(QPolygon({QPoint(x0, 3), QPoint(x0 + 6, 7), QPoint(x0 + 6, 8), QPoint(x0, 12)}));
    else
        p.drawPolygon(QPolygon({QPoint(x0 + 6, 3), QPoint(x0, 7), QPoint(x0, 8), QPoint(x0 + 6, 12)}));
}

void Person(QPainter &p)
{
    p.setPen(kInk);
    p.setBrush(kYellow);
    p.drawEllipse(2, 1, 6, 6);
    p.setBrush(kBlue);
    p.drawRoundedRect(1, 8, 8, 6, 2, 2);
}

void Arrow(QPainter &p, bool out, const QColor &c)
{
    // A door with an arrow leaving (out) or entering it.
    p.setPen(kInk);
    p.setBrush(QColor(0xc0, 0xa0, 0x70));
    p.drawRect(10, 2, 4, 11);
    p.setPen(c);
    p.setBrush(c);
    if (out) {
        p.drawRect(9, 7, 3, 1);
        p.drawPolygon(QPolygon({QPoint(12, 4), QPoint(15, 7), QPoint(15, 8), QPoint(12, 11)}));
    } else {
        p.drawRect(7, 7, 4, 1);
        p.drawPolygon(QPolygon({QPoint(10, 4), QPoint(13, 7), QPoint(13, 8), QPoint(10, 11)}));
    }
}
// The program's name in bold with a line of smaller text under it, as the logo and splash show it.
struct Title {
    QRect box;
    int pixels;
    QColor colour;
};
struct Subtitle {
    QRect box;
    QColor colour;
    QString text;
};
void Wordmark(QPainter &p, const Title &title, const Subtitle &sub)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(title.pixels);
    f.setBold(true);
    p.setFont(f);
    p.setPen(title.colour);
    p.drawText(title.box, Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Vellumark"));
    QFont small(QStringLiteral("Liberation Sans"));
    small.setPixelSize(14);
    p.setFont(small);
    p.setPen(sub.colour);
    p.drawText(sub.box, Qt::AlignCenter, sub.text);
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");

    Save(dir, QStringLiteral("document-new"), 16, [](QPainter &p) {
        Page(p);
        p.setPen(kYellow);
        p.drawLine(11, 9, 15, 13);
        p.drawLine(15, 9, 11, 13);
        p.drawLine(13, 8, 13, 14);
        p.drawLine(10, 11, 15, 11);
    });
    Save(dir, QStringLiteral("document-open"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(kYellow.darker(115));
        p.drawPolygon(QPolygon({QPoint(1, 3), QPoint(5, 3), QPoint(6, 4), QPoint(12, 4), QPoint(12, 13), QPoint(1, 13)}));
        p.setBrush(kYellow);
        p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(12, 13), QPoint(1, 13)}));
    });
    Save(dir, QStringLiteral("document-save"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(kBlue);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(kPaper);
        p.drawRect(4, 1, 7, 5);
        p.setBrush(QColor(0xd0, 0xd0, 0xd0));
        p.drawRect(3, 9, 9, 5);
    });
    Save(dir, QStringLiteral("edit-cut"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.drawLine(5, 1, 10, 9);
        p.drawLine(10, 1, 5, 9);
        p.setBrush(Qt::NoBrush);
        p.setPen(kRed);
        p.drawEllipse(1, 9, 5, 5);
        p.drawEllipse(9, 9, 5, 5);
    });
    Save(dir, QStringLiteral("edit-copy"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(kPaper);
        p.drawRect(1, 1, 8, 10);
        p.drawRect(6, 4, 8, 10);
        p.setPen(kBlue);
        for (int y = 7; y <= 11; y += 2)
            p.drawLine(8, y, 12, y);
    });
    Save(dir, QStringLiteral("edit-paste"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(QColor(0xb0, 0x80, 0x40));
        p.drawRect(1, 2, 10, 12);
        p.setBrush(QColor(0x90, 0x90, 0x90));
        p.drawRect(4, 1, 4, 2);
        p.setBrush(kPaper);
        p.drawRect(6, 6, 8, 9);
        p.setPen(kBlue);
        for (int y = 9; y <= 13; y += 2)
            p.drawLine(8, y, 12, y);
    });
    Save(dir, QStringLiteral("help-contents"), 16, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        p.setPen(kPaper);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(13);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("?"));
    }, true);
    Save(dir, QStringLiteral("go-home"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(kRed);
        p.drawPolygon(QPolygon({QPoint(8, 1), QPoint(15, 8), QPoint(1, 8)}));
        p.setBrush(kPaper);
        p.drawRect(3, 8, 10, 6);
        p.setBrush(kBlue);
        p.drawRect(7, 10, 2, 4);
    });
    Save(dir, QStringLiteral("zoom-original"), 16, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(kPaper);
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(kInk, 2.5));
        p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
        p.setPen(kBlue);
        QFont f(QStringLiteral("Liberation Sans"));
        f.setPixelSize(7);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(1.5, 1.5, 9, 9), Qt::AlignCenter, QStringLiteral("1"));
    }, true);

    // Tool palette.
    Save(dir, QStringLiteral("tool-select"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(kPaper);
        p.drawPolygon(QPolygon({QPoint(4, 1), QPoint(4, 13), QPoint(7, 10), QPoint(9, 15), QPoint(11, 14),
                                QPoint(9, 9), QPoint(13, 9)}));
    });
    Save(dir, QStringLiteral("tool-rectangle"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(kBlue.lighter(160));
        p.drawRect(1, 3, 13, 9);
    });
    Save(dir, QStringLiteral("tool-line"), 16, [](QPainter &p) {
        p.setPen(QPen(kInk, 2));
        p.drawLine(2, 13, 13, 2);
    });
    Save(dir, QStringLiteral("tool-ellipse"), 16, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kInk, 1));
        p.setBrush(kGreen.lighter(150));
        p.drawEllipse(QRectF(1.5, 3.5, 13, 9));
    }, true);
    Save(dir, QStringLiteral("tool-text"), 16, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(kInk);
        QFont f(QStringLiteral("Liberation Serif"));
        f.setPixelSize(16);
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A"));
    }, true);
    Save(dir, QStringLiteral("tool-image"), 16, [](QPainter &p) {
        p.setPen(kInk);
        p.setBrush(QColor(0xa8, 0xd8, 0xf0));
        p.drawRect(1, 2, 13, 11);
        p.setPen(kGreen);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygon({QPoint(2, 12), QPoint(6, 6), QPoint(9, 10), QPoint(11, 8), QPoint(13, 12)}));
        p.setPen(kYellow);
        p.setBrush(kYellow);
        p.drawRect(10, 4, 2, 2);
    });
    Save(dir, QStringLiteral("tool-freehand"), 16, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        QPainterPath path(QPointF(1.5, 12.5));
        path.cubicTo(QPointF(4, 2), QPointF(8, 16), QPointF(14.5, 3.5));
        p.setPen(QPen(kInk, 1.6));
        p.drawPath(path);
    }, true);

    // Animation.
    Save(dir, QStringLiteral("media-playback-start"), 16, [](QPainter &p) {
        p.setPen(kGreen.darker(130));
        p.setBrush(kGreen);
        p.drawPolygon(QPolygon({QPoint(4, 2), QPoint(12, 7), QPoint(12, 8), QPoint(4, 13)}));
    });
    Save(dir, QStringLiteral("media-playback-stop"), 16, [](QPainter &p) {
        p.setPen(kRed.darker(130));
        p.setBrush(kRed);
        p.drawRect(3, 3, 9, 9);
    });
    Save(dir, QStringLiteral("go-first"), 16, [](QPainter &p) {
        p.fillRect(2, 3, 2, 10, kInk);
        Triangle(p, false, 5, kBlue);
    });
    Save(dir, QStringLiteral("go-previous"), 16, [](QPainter &p) {
        Triangle(p, false, 2, kBlue);
        Triangle(p, false, 8, kBlue);
    });
    Save(dir, QStringLiteral("go-next"), 16, [](QPainter &p) {
        Triangle(p, true, 2, kBlue);
        Triangle(p, true, 8, kBlue);
    });
    Save(dir, QStringLiteral("go-last"), 16, [](QPainter &p) {
        Triangle(p, true, 5, kBlue);
        p.fillRect(12, 3, 2, 10, kInk);
    });
    Save(dir, QStringLiteral("media-playlist-repeat"), 16, [](QPainter &p) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kBlue, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2, 3, 12, 10), 60 * 16, 300 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kBlue);
        p.drawPolygon(QPolygonF({QPointF(9, 0.5), QPointF(14, 3.5), QPointF(9, 6.5)}));
    }, true);

    // Server.
    Save(dir, QStringLiteral("server-login"), 16, [](QPainter &p) {
        Person(p);
        Arrow(p, false, kGreen);
    });
    Save(dir, QStringLiteral("server-logout"), 16, [](QPainter &p) {
        Person(p);
        Arrow(p, true, kRed);
    });

    // The program icon: a banner strip with a play mark.
    for (int size : {16, 32, 48, 128}) {
        Save(dir, QStringLiteral("vellumark-%1").arg(size), size, [size](QPainter &p) {
            const qreal s = size / 32.0;
            p.setRenderHint(QPainter::Antialiasing, true);
            p.setPen(QPen(kInk, qMax(1.0, s)));
            QLinearGradient g(0, 8 * s, 0, 24 * s);
            g.setColorAt(0, kBlue.lighter(140));
            g.setColorAt(1, kBlue);
            p.setBrush(g);
            p.drawRoundedRect(QRectF(1.5 * s, 9.5 * s, 29 * s, 13 * s), 2 * s, 2 * s);
            p.setPen(Qt::NoPen);
            p.setBrush(kYellow);
            p.drawPolygon(QPolygonF({QPointF(12 * s, 11.5 * s), QPointF(21 * s, 16 * s), QPointF(12 * s, 20.5 * s)}));
        }, true);
    }

    // The logo behind the document windows, 430 x 210.
    QImage logo(430, 210, QImage::Format_RGB32);
    logo.fill(QColor(0x80, 0x80, 0x80));
    {
        QPainter p(&logo);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        QLinearGradient g(0, 60, 0, 150);
        g.setColorAt(0, QColor(0x95, 0x95, 0x9c));
        g.setColorAt(1, QColor(0x72, 0x72, 0x7a));
        p.setPen(QPen(QColor(0x60, 0x60, 0x66), 2));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(15, 62, 400, 86), 10, 10);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xb8, 0xb8, 0xbe));
        p.drawPolygon(QPolygonF({QPointF(40, 80), QPointF(90, 105), QPointF(40, 130)}));
        Wordmark(p, {QRect(100, 62, 300, 86), 52, QColor(0xc8, 0xc8, 0xcc)},
                 {QRect(15, 158, 400, 24), QColor(0x9c, 0x9c, 0xa2), QStringLiteral("animated web banners")});
    }
    logo.save(dir + QStringLiteral("/logo.png"));

    // The splash picture, 450 x 200, stored as a 24-bit BMP (the form bitmap resources take).
    QImage splash(450, 200, QImage::Format_RGB32);
    {
        QPainter p(&splash);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        QLinearGradient sky(0, 0, 0, 200);
        sky.setColorAt(0, QColor(0x2b, 0x6c, 0xd0));
        sky.setColorAt(1, QColor(0x12, 0x36, 0x78));
        p.fillRect(splash.rect(), sky);
        // A banner strip running across, with frames ticking by under it.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0xff, 0xff, 0x30));
        p.drawRoundedRect(QRectF(24, 40, 402, 70), 8, 8);
        for (int i = 0; i < 6; ++i) {
            p.setBrush(i == 2 ? kYellow : QColor(0xff, 0xff, 0xff, 0x60));
            p.drawRoundedRect(QRectF(36 + i * 66, 128, 56, 14), 3, 3);
        }
        p.setBrush(kYellow);
        p.drawPolygon(QPolygonF({QPointF(44, 56), QPointF(80, 75), QPointF(44, 94)}));
        Wordmark(p, {QRect(96, 40, 320, 70), 50, QColor(0xff, 0xff, 0xff)},
                 {QRect(24, 160, 402, 24), QColor(0xd8, 0xe4, 0xf8),
                  QStringLiteral("Animated web banners, frame by frame")});
        // The dialog-frame border belongs to the picture, so the window is exactly its size.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(Qt::NoBrush);
        p.setPen(QColor(0x0a, 0x1e, 0x44));
        p.drawRect(0, 0, 449, 199);
        p.setPen(QColor(0x6f, 0x9c, 0xe6));
        p.drawRect(1, 1, 447, 197);
    }
    splash.save(dir + QStringLiteral("/splash.bmp"), "BMP");
    return 0;
}
