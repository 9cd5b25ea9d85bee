#include "items/Text.h"

#include "items/ItemContext.h"
#include "items/ItemDrawing.h"
#include "platform/imaging/ImagingControl.h"

#include <algorithm>
#include <climits>
#include <cmath>

CText::CText() : m_logFont(DefaultTextLogFont()) {}

CText::CText(const CRect &position) : CSprite(position), m_logFont(DefaultTextLogFont()) {}

QString CText::Placeholder()
{
    return QStringLiteral("Double click to change text");
}

std::int16_t CText::DrawnPointSize(float zoomPercent, std::int16_t points)
{
    // A file's pen height at a high zoom can exceed 16 bits: it saturates instead of wrapping.
    const float size = std::trunc(zoomPercent * float(points) * 0.01f);
    if (std::isnan(size))
        return 0;
    return std::int16_t(std::clamp(size, float(INT16_MIN), float(INT16_MAX)));
}

ImagingFont CText::DrawingFont(const LOGFONT &logFont, std::int16_t points)
{
    ImagingFont font;
    font.Name = logFont.FaceName();
    font.Size = points;
    font.Bold = logFont.lfWeight == 700;
    font.Italic = logFont.lfItalic != 0;
    font.Strikethrough = logFont.lfStrikeOut != 0;
    font.Underline = logFont.lfUnderline != 0;
    font.Weight = logFont.lfWeight;
    return font;
}

std::unique_ptr<CSprite> CText::Clone() const
{
    auto copy = std::make_unique<CText>(m_position);
    CopyCommonTo(*copy);
    copy->m_logFont = m_logFont;
    copy->m_text = m_text;
    return copy;
}

void CText::Draw(ImagingControl &ctrl)
{
    const std::int16_t size = DrawnPointSize(ZoomPercentOf(ctrl), m_penWidth);
    CRect r = BitmapToClient(ctrl, m_position);
    ctrl.Font() = DrawingFont(m_logFont, size);
    ctrl.SetDrawTextColor(m_lineColor);
    ctrl.SetTextAlignment(0);
    ctrl.SetTextBackgroundMode(0);
    r.NormalizeRect();
    SetTextBox(ctrl, r);
    if (!m_text.isEmpty())
        ctrl.DrawTextInRect(m_text, 0);
    else if (!ctrl.DrawPersistent())
        ctrl.DrawTextInRect(Placeholder(), 0);
}

bool CText::EditProperties()
{
    ItemDialogs *dialogs = ItemContext::Current().dialogs;
    return dialogs && dialogs->EditText(*this);
}

void CText::OnOpen()
{
    EditProperties();
}
