#pragma once
// Editing state shared by every Banner View of the application: the item clipboard (separate
// from the desktop clipboard, surviving the switch between documents), the current mouse tool
// and the last mouse position in control pixels.
#include <QPoint>
#include <memory>
#include <vector>

class CSprite;

struct EditorState {
    enum class Tool { Select, Shape, Text, Image, Freehand };

    // Copies made by Copy and Cut, in selection order; Paste clones them again.
    std::vector<std::unique_ptr<CSprite>> ItemClipboard;
    Tool currentTool = Tool::Select;
    // The shape tool's prototype shape: 0 rectangle, 1 ellipse, 2 line.
    int shape = 0;
    QPoint lastMouse;

    static EditorState &Instance();
};
