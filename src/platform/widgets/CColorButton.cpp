#include "platform/widgets/CColorButton.h"

#include <QPainter>

CColorButton::CColorButton(QWidget *parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void CColorButton::SetColor(COLORREF color)
{
    m_color = color;
    update();
}

QSize CColorButton::sizeHint() const
{
    return QSize(40, 20);
}

void CColorButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor face = palette().color(QPalette::Button);
    const QColor frame = palette().color(QPalette::WindowText);

    // Rectangles below use exclusive right/bottom edges, as the border rules are stated that way.
    int left = 0, top = 0, right = width(), bottom = height();
    auto frameRing = [&p](int l, int t, int r, int b, const QColor &c) {
        if (r - l <= 0 || b - t <= 0)
            return;
        p.fillRect(l, t, r - l, 1, c);
        p.fillRect(l, b - 1, r - l, 1, c);
        p.fillRect(l, t, 1, b - t, c);
        p.fillRect(r - 1, t, 1, b - t, c);
    };

    // The swatch: everything inside the two-pixel frame.
    if (right - left > 4 && bottom - top > 4)
        p.fillRect(QRect(QPoint(2, 2), QPoint(right - 3, bottom - 3)), ColorrefToQColor(m_color));

    frameRing(left, top, right, bottom, face);
    ++left, ++top, --right, --bottom;
    if (hasFocus()) {
        frameRing(left, top, right, bottom, frame);
        --left, --top, ++right, ++bottom;
    } else {
        frameRing(left, top, right, bottom, face);
    }
    // The four sides of the ring without its corner pixels.
    if (right - left > 2) {
        p.fillRect(left + 1, top, right - left - 2, 1, frame);
        p.fillRect(left + 1, bottom - 1, right - left - 2, 1, frame);
    }
    if (bottom - top > 2) {
        p.fillRect(left, top + 1, 1, bottom - top - 2, frame);
        p.fillRect(right - 1, top + 1, 1, bottom - top - 2, frame);
    }
}
