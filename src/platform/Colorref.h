#pragma once
// COLORREF values (0x00BBGGRR) are the colour type of files, items and dialogs.
#include <QColor>
#include <cstdint>

using COLORREF = std::uint32_t;

constexpr COLORREF RGB(int r, int g, int b)
{
    return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}
constexpr int GetRValue(COLORREF c) { return int(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return int((c >> 16) & 0xFF); }

inline QColor ColorrefToQColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }
inline COLORREF QColorToColorref(const QColor &c) { return RGB(c.red(), c.green(), c.blue()); }
// QRgb is 0xAARRGGBB; the high byte of a COLORREF is dropped on the way in.
inline QRgb ColorrefToQRgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); }
inline COLORREF QRgbToColorref(QRgb c) { return RGB(qRed(c), qGreen(c), qBlue(c)); }
