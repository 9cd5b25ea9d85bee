#pragma once
// The command table: every command id with its menu text, prompt, tooltip, keys and toolbar
// image, and the structure of the menus, toolbars and the accelerator table built from them.
//
// The main frame builds its QMenuBar, QToolBars and QActions from this data alone:
//   - one QAction per CommandInfo: text = menuText (or toolTip when there is no menu item),
//     statusTip = prompt, toolTip = toolTip, shortcuts = keys, checkable = checkable, icon from
//     iconName (see IconName below), data = id. The same action goes into menus and toolbars.
//   - menus: Menu(IDR_MAINFRAME) with no document open, Menu(IDR_BANNERVIEW) or
//     Menu(IDR_FRAMESVIEW) while a window of that template is active (the two are identical).
//   - toolbars: Toolbars() in creation order, each item a button, a separator or the zoom box.
//   - Accelerators(IDR_MAINFRAME): every key, including keys of commands that have no menu item
//     and no handler (Ctrl+Z, F6); a key with no enabled command does nothing.
//
// Prompts and tooltips come from the string table (StringTable.h); the command table copies
// them so a caller needs one lookup. Texts that change with state (Server > Login.../Logout)
// are set by the command's update handler.
#include <QKeySequence>
#include <QString>
#include <Qt>

#include <vector>

struct CommandInfo {
    unsigned id = 0;
    const char *name = "";     // symbolic name of the id, "ID_FILE_NEW"
    // Exact menu text: '&' marks the mnemonic; the text after '\t' is the accelerator shown
    // at the right ("&Save\tCtrl+S"). Empty when the command has no menu item.
    QString menuText;
    QString prompt;            // status-bar text
    QString toolTip;           // tooltip of a toolbar button
    std::vector<QKeySequence> keys; // every accelerator of table IDR_MAINFRAME for it, in table order
    // Toolbar (and menu) image. With iconThemed, a freedesktop icon theme name
    // (QIcon::fromTheme(iconName)); otherwise the base name of a PNG of our own
    // (":/toolbar/<iconName>.png"). Empty when the command has no image.
    QString iconName;
    bool iconThemed = false;
    // Its update handler may set a check mark (tools, view toggles, Play, Loop).
    bool checkable = false;

    // The menu text without the accelerator text after '\t'.
    QString MenuLabel() const;
};

// All commands, ordered by id.
const std::vector<CommandInfo> &Commands();
// The command with that id, or nullptr.
const CommandInfo *FindCommand(unsigned id);

struct MenuItem {
    enum class Kind {
        Command,     // id: the command; text: its menu text
        Separator,
        Popup,       // text: the popup's title; items: its contents
        RecentFiles, // id ID_FILE_MRU_FILE1, text "Recent File": stands for up to ID_FILE_MRU_COUNT
                     // recent files (ids ID_FILE_MRU_FILE1 onward); shown disabled when the list is empty
        WindowList,  // the list of open document windows (end of the Window menu)
    };
    Kind kind = Kind::Command;
    unsigned id = 0;
    QString text;
    std::vector<MenuItem> items;

    bool operator==(const MenuItem &) const = default;
};

// The popups of menu bar `menuId` (IDR_MAINFRAME, IDR_FRAMESVIEW, IDR_BANNERVIEW), left to
// right; each is a Kind::Popup item. Empty for an unknown id.
const std::vector<MenuItem> &Menu(unsigned menuId);

struct ToolbarItem {
    enum class Kind {
        Button,    // id: the command
        Separator, // a gap
        ZoomBox,   // id ID_ZOOMCOMBO: a slot `width` pixels wide that hosts the zoom box
    };
    Kind kind = Kind::Button;
    unsigned id = 0;
    int width = 0;
};

struct ToolbarInfo {
    unsigned id = 0;            // toolbar and bitmap resource id
    const char *objectName = ""; // stable name, used to save and restore the layout
    QString title;              // shown while floating
    unsigned toggleCommand = 0; // View menu command that shows and hides it
    Qt::ToolBarArea initialArea = Qt::TopToolBarArea;
    Qt::ToolBarAreas allowedAreas = Qt::AllToolBarAreas;
    bool wrap = false;          // buttons wrap into rows or columns (tool palette, animation)
    std::vector<ToolbarItem> items;
};

// The four toolbars in creation and docking order: main (top), server (top, after main),
// tool palette (left), animation (left, after the tool palette).
const std::vector<ToolbarInfo> &Toolbars();
// The toolbar with that id, or nullptr.
const ToolbarInfo *FindToolbar(unsigned toolbarId);

struct Accelerator {
    QKeySequence key;
    unsigned command = 0;
};

// Accelerator table `tableId` (only IDR_MAINFRAME exists; it is active in every window).
// Empty for an unknown id.
const std::vector<Accelerator> &Accelerators(unsigned tableId);
