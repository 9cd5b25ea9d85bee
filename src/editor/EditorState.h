#pragma once
// Editing state shared by every Banner View of the application: the item clipboard (separate
// from the desktop clipboard, surviving the switch between documents) and the last mouse position
// in control pixels. The mouse tools and their drag state are ItemTools.
#include <QPoint>
#include <memory>
#include <vector>

class CSprite;

struct EditorState {
    // Copies made by Copy and Cut, in selection order; Paste clones them again.
    std::vector<std::unique_ptr<CSprite>> ItemClipboard;
    QPoint lastMouse;

    static EditorState &Instance();
};
