#pragma once
// What items reach without a parameter: the two hidden imaging controls of the image item and the
// property dialogs that the editor registers at start-up. The application's core context installs
// one ItemContext for its lifetime; with none installed the controls are missing and the dialogs
// answer Cancel. A worker thread's own context (InstallForThread) takes precedence on that thread.
#include "platform/Colorref.h"

#include <cstdint>

class CText;
class ImagingControl;

// The item property dialogs, implemented by the editor.
class ItemDialogs {
public:
    // The values the Item properties dialog edits for a shape or freehand item.
    struct ShapeProperties {
        bool fill = false;
        COLORREF lineColor = 0;
        COLORREF fillColor = 0xFFFFFF;
        std::int16_t penWidth = 1;
        bool canFill = true; // whether the fill controls are offered
    };

    virtual ~ItemDialogs() = default;
    // The Text Properties dialog for the item, modal and without an owner; on OK it has written
    // text, colour, font and size into the item and returns true.
    virtual bool EditText(CText &item) = 0;
    // The Item properties dialog; on OK `properties` holds the user's fill flag, colours and width.
    virtual bool EditShape(ShapeProperties &properties) = 0;
};

struct ItemContext {
    ImagingControl *stampCtrl = nullptr; // draws and duplicates image items' pictures
    ImagingControl *workCtrl = nullptr;  // decodes picture files
    ItemDialogs *dialogs = nullptr;

    // The installed context; an empty one when none is installed.
    static ItemContext &Current();
    // Installs `context` (nothing: back to the empty one) and returns the one it replaces.
    static ItemContext *Install(ItemContext *context);
    // Installs `context` for the calling thread only, over the one Install set (nothing: back to
    // that one), and returns the thread's previous one. A worker thread that renders frames
    // installs its own controls so it never touches the interface thread's.
    static ItemContext *InstallForThread(ItemContext *context);
};
