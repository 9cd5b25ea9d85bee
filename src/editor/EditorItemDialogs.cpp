#include "editor/EditorItemDialogs.h"

#include "editor/ItemPropertiesDialog.h"
#include "editor/TextPropertiesDialog.h"

#include <QApplication>

// The items open their dialogs without knowing a window; they appear over the active one.
bool EditorItemDialogs::EditText(CText &item)
{
    TextPropertiesDialog dialog(item, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool EditorItemDialogs::EditShape(ShapeProperties &properties)
{
    ItemPropertiesDialog dialog(QApplication::activeWindow());
    dialog.m_fill = properties.fill;
    dialog.m_lineColor = properties.lineColor;
    dialog.m_fillColor = properties.fillColor;
    dialog.m_width = properties.penWidth;
    dialog.m_canFill = properties.canFill;
    if (dialog.exec() != QDialog::Accepted)
        return false;
    properties.fill = dialog.m_fill;
    properties.lineColor = dialog.m_lineColor;
    properties.fillColor = dialog.m_fillColor;
    properties.penWidth = std::int16_t(dialog.m_width);
    return true;
}
