#pragma once
// Item properties: the outline width and colour and the fill of a rectangle, ellipse, line or
// freehand stroke. The members are shown when the dialog opens and read back on OK.
#include "platform/Colorref.h"

#include <QDialog>

class CColorButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;

class ItemPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit ItemPropertiesDialog(QWidget *parent = nullptr);

    bool m_fill = false;
    qint32 m_width = 0; // refused on OK unless 1 to 20
    COLORREF m_lineColor = 0;
    COLORREF m_fillColor = 0;
    bool m_canFill = true; // false: the fill controls are disabled and the fill colour hidden

    QCheckBox *FillCheck() const { return m_fillCheck; }
    QLineEdit *WidthEdit() const { return m_widthEdit; }
    CColorButton *LineColorButton() const { return m_lineButton; }
    CColorButton *FillColorButton() const { return m_fillButton; }
    QLabel *FillColorLabel() const { return m_fillLabel; }
    QGroupBox *FillGroup() const { return m_fillGroup; }

    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ChooseColorOf(CColorButton *button);

    QCheckBox *m_fillCheck;
    QLineEdit *m_widthEdit;
    CColorButton *m_lineButton;
    CColorButton *m_fillButton;
    QLabel *m_fillLabel;
    QGroupBox *m_fillGroup;
};
