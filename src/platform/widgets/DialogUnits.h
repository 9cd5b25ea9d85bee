#pragma once
// Dialog templates are laid out in dialog units: a quarter of the font's average character
// width across and an eighth of its height down. Converting with the dialog's own font keeps
// the layout's proportions whatever font Qt picks.
#include <QFontMetrics>
#include <QRect>
#include <QWidget>

class DialogUnits {
public:
    explicit DialogUnits(const QWidget *dialog)
    {
        const QFontMetrics fm(dialog->font());
        const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_baseX = (fm.horizontalAdvance(sample) / 26 + 1) / 2;
        m_baseY = fm.height();
    }
    int X(int du) const { return (du * m_baseX + 2) / 4; }
    int Y(int du) const { return (du * m_baseY + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }
    QSize Size(int w, int h) const { return QSize(X(w), Y(h)); }
    // Places a child at its template position and size.
    void Place(QWidget *child, int x, int y, int w, int h) const { child->setGeometry(Rect(x, y, w, h)); }

private:
    int m_baseX = 6;
    int m_baseY = 13;
};
