#pragma once
// A push button that shows a colour swatch with a thin dark border that thickens while the
// button has the keyboard focus. Dialogs open a colour chooser on click and call SetColor.
#include "platform/Colorref.h"

#include <QPushButton>

class CColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit CColorButton(QWidget *parent = nullptr);

    // Stores the colour and schedules a repaint of the button.
    void SetColor(COLORREF color);
    COLORREF GetColor() const { return m_color; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    COLORREF m_color = 0;
};
