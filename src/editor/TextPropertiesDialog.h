#pragma once
// Text Properties: edits a text item's lines, font and colour on working copies that reach the
// item only when the user presses OK.
#include "items/LogFont.h"
#include "platform/Colorref.h"

#include <QDialog>

class CText;
class QLabel;
class QPlainTextEdit;

class TextPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // The working copies are taken from the item here.
    explicit TextPropertiesDialog(CText &item, QWidget *parent = nullptr);

    LOGFONT m_logFont;
    COLORREF m_color = 0;

    QPlainTextEdit *TextEdit() const { return m_edit; }
    // Names the working font, its size and, when the machine lacks that face, the one drawn.
    QLabel *FontLabel() const { return m_fontLabel; }

    // The size in whole points a LOGFONT height stands for at 96 dots per inch (10 for -13);
    // `current` when the height leaves the size open (0).
    static std::int16_t PointsOf(const LOGFONT &logFont, std::int16_t current);

    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void OnFont();
    void OnColor();
    void ShowFont();

    CText &m_item;
    QPlainTextEdit *m_edit;
    QLabel *m_fontLabel;
};
