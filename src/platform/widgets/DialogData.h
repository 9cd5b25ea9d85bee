#pragma once
// Reading a dialog's number fields when OK is pressed: text that is not a whole number, or a
// number outside the allowed range, is refused with the standard message through Prompts, and
// the field takes the focus with its text selected so the user can type again.
#include <QtGlobal>

class QLineEdit;

// True with `value` set when the field holds a whole number from `min` to `max`.
bool ReadIntField(QLineEdit *edit, qint32 min, qint32 max, qint32 &value);
