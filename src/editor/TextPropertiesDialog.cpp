#include "editor/TextPropertiesDialog.h"

#include "items/Text.h"
#include "platform/Prompts.h"
#include "platform/imaging/ImagingControl.h"
#include "platform/widgets/DialogUnits.h"
#include "resource.h"

#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdlib>

TextPropertiesDialog::TextPropertiesDialog(CText &item, QWidget *parent)
    : QDialog(parent), m_logFont(item.m_logFont), m_color(item.m_lineColor), m_item(item)
{
    setWindowTitle(QStringLiteral("Text Properties"));
    const DialogUnits du(this);
    setFixedSize(du.Size(240, 128));

    auto *label = new QLabel(QStringLiteral("&Edit Text:"), this);
    du.Place(label, 7, 7, 100, 8);
    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QString::number(IDC_TEXT_EDIT));
    // Lines end only where the user pressed Enter; long ones scroll sideways.
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setTabChangesFocus(true);
    du.Place(m_edit, 7, 18, 226, 70);
    label->setBuddy(m_edit);
    QString text = item.m_text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_edit->setPlainText(text);

    m_fontLabel = new QLabel(this);
    du.Place(m_fontLabel, 7, 92, 226, 8);

    auto *font = new QPushButton(QStringLiteral("&Font..."), this);
    font->setObjectName(QString::number(IDC_TEXT_FONT));
    du.Place(font, 7, 106, 50, 14);
    auto *color = new QPushButton(QStringLiteral("&Color..."), this);
    color->setObjectName(QString::number(IDC_TEXT_COLOR));
    du.Place(color, 62, 106, 50, 14);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    du.Place(ok, 128, 106, 50, 14);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    du.Place(cancel, 183, 106, 50, 14);
    for (QPushButton *b : {font, color, ok, cancel})
        b->setAutoDefault(false);
    ok->setDefault(true); // Enter in the text starts a new line; elsewhere it presses OK
    connect(font, &QPushButton::clicked, this, &TextPropertiesDialog::OnFont);
    connect(color, &QPushButton::clicked, this, &TextPropertiesDialog::OnColor);
    connect(ok, &QPushButton::clicked, this, &TextPropertiesDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    ShowFont();
}

std::int16_t TextPropertiesDialog::PointsOf(const LOGFONT &logFont, std::int16_t current)
{
    if (logFont.lfHeight == 0)
        return current;
    // A positive height (the cell height some files carry) gives its size the same way, never
    // a negative one that would draw the text a pixel high.
    return std::int16_t(MulDiv(std::abs(logFont.lfHeight), 72, kLogPixelsY));
}

void TextPropertiesDialog::ShowFont()
{
    const QString face = m_logFont.FaceName();
    const std::int16_t points = PointsOf(m_logFont, m_item.m_penWidth);
    const QString used = QFontInfo(ImagingControl::TextFont(CText::DrawingFont(m_logFont, points))).family();
    QString text = QStringLiteral("%1, %2 pt").arg(face).arg(points);
    if (used.compare(face, Qt::CaseInsensitive) != 0)
        text += QStringLiteral(" (drawn with %1)").arg(used);
    m_fontLabel->setText(text);
}

void TextPropertiesDialog::OnFont()
{
    Prompts::FontChoice initial;
    initial.face = m_logFont.FaceName();
    initial.height = m_logFont.lfHeight;
    initial.weight = m_logFont.lfWeight;
    initial.italic = m_logFont.lfItalic != 0;
    initial.underline = m_logFont.lfUnderline != 0;
    initial.strikeOut = m_logFont.lfStrikeOut != 0;
    initial.color = m_color;
    const std::optional<Prompts::FontChoice> chosen = Prompts::Instance().ChooseFont(initial);
    if (!chosen)
        return;
    m_logFont.SetFaceName(chosen->face);
    m_logFont.lfHeight = chosen->height;
    m_logFont.lfWidth = 0;
    m_logFont.lfWeight = chosen->weight;
    m_logFont.lfItalic = chosen->italic ? 1 : 0;
    m_logFont.lfUnderline = chosen->underline ? 1 : 0;
    m_logFont.lfStrikeOut = chosen->strikeOut ? 1 : 0;
    m_color = chosen->color;
    ShowFont();
}

void TextPropertiesDialog::OnColor()
{
    if (const std::optional<COLORREF> chosen = Prompts::Instance().ChooseColor(m_color))
        m_color = *chosen;
}

void TextPropertiesDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_edit->setFocus();
    m_edit->selectAll();
    m_edit->ensureCursorVisible();
}

void TextPropertiesDialog::accept()
{
    QString text = m_edit->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    m_item.m_text = text;
    m_item.SetLineColor(m_color);
    m_item.m_logFont = m_logFont;
    m_item.m_penWidth = PointsOf(m_logFont, m_item.m_penWidth);
    QDialog::accept();
}
