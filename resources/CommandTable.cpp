#include "CommandTable.h"
#include "StringTable.h"
#include "resource.h"

#include <algorithm>

namespace {

enum Flags : unsigned {
    None = 0,
    Themed = 1, // iconName is a freedesktop theme name
    Check = 2,  // checkable
};

struct CommandDef {
    unsigned id;
    const char *name;
    const char *menuText;
    const char *iconName;
    unsigned flags;
};

#define CMD(id, menu, icon, flags) CommandDef{id, #id, menu, icon, flags}

// Menu texts and images of every command. Prompts and tooltips live in the string table,
// keys in the accelerator table.
constexpr CommandDef kCommands[] = {
    // File
    CMD(ID_FILE_NEW, "&New\tCtrl+N", "document-new", Themed),
    CMD(ID_FILE_OPEN, "&Open...\tCtrl+O", "document-open", Themed),
    CMD(ID_FILE_CLOSE, "&Close", "document-close", Themed),
    CMD(ID_FILE_SAVE, "&Save\tCtrl+S", "document-save", Themed),
    CMD(ID_FILE_SAVE_AS, "Save &As...", "document-save-as", Themed),
    CMD(ID_FILE_PRINT_SETUP, "", "document-page-setup", Themed),
    CMD(ID_FILE_PRINT, "&Print...\tCtrl+P", "document-print", Themed),
    CMD(ID_FILE_PRINT_PREVIEW, "Print Pre&view", "document-print-preview", Themed),
    CMD(ID_FILE_MRU_FILE1, "Recent File", "", None),
    CMD(ID_FILE_MRU_FILE2, "", "", None),
    CMD(ID_FILE_MRU_FILE3, "", "", None),
    CMD(ID_FILE_MRU_FILE4, "", "", None),
    CMD(ID_APP_EXIT, "E&xit", "application-exit", Themed),
    // Edit
    CMD(ID_EDIT_CUT, "Cu&t\tCtrl+X", "edit-cut", Themed),
    CMD(ID_EDIT_COPY, "&Copy\tCtrl+C", "edit-copy", Themed),
    CMD(ID_EDIT_PASTE, "&Paste\tCtrl+V", "edit-paste", Themed),
    CMD(ID_EDIT_DELETE, "&Delete\tDel", "edit-delete", Themed),
    CMD(ID_EDIT_UNDO, "&Undo\tCtrl+Z", "edit-undo", Themed),
    CMD(ID_EDIT_REDO, "&Redo\tCtrl+Shift+Z", "edit-redo", Themed),
    // View
    CMD(ID_VIEW_ZOOMIN, "Zoom &In", "zoom-in", Themed),
    CMD(ID_VIEW_ZOOMOUT, "Zoom &Out", "zoom-out", Themed),
    CMD(ID_VIEW_NORMAL, "&Normal View", "zoom-original", Themed),
    CMD(ID_ZOOMCOMBO, "", "", None),
    CMD(ID_VIEW_FRAMES, "&Frames", "", Check),
    CMD(ID_VIEW_BANNER, "&Banner", "", Check),
    CMD(ID_VIEW_TOOLBAR, "&Toolbar", "", Check),
    CMD(ID_VIEW_TOOLPALETTE, "Tool &Palette", "", Check),
    CMD(ID_VIEW_ANIMATION, "&Animation", "", Check),
    CMD(ID_VIEW_SERVER, "Se&rver", "", Check),
    CMD(ID_VIEW_STATUS_BAR, "&Status Bar", "", Check),
    // Tools
    CMD(ID_TOOLS_SELECT, "&Select", "tool-select", Check),
    CMD(ID_TOOLS_RECTANGLE, "&Rectangle", "tool-rectangle", Check),
    CMD(ID_TOOLS_LINE, "&Line", "tool-line", Check),
    CMD(ID_TOOLS_ELLIPSE, "&Ellipse", "tool-ellipse", Check),
    CMD(ID_TOOLS_TEXT, "&Text", "tool-text", Check),
    CMD(ID_TOOLS_IMAGE, "&Image", "tool-image", Check),
    CMD(ID_TOOLS_FREEHAND, "&Freehand", "tool-freehand", Check),
    // Arrange
    CMD(ID_ARRANGE_MOVETOBACK, "Move to &Back", "", None),
    CMD(ID_ARRANGE_MOVETOFRONT, "Move to &Front", "", None),
    CMD(ID_ARRANGE_MOVEBACKWARD, "Move Bac&kward", "", None),
    CMD(ID_ARRANGE_MOVEFORWARD, "Move For&ward", "", None),
    // Frame
    CMD(ID_FRAME_ADD, "&Add", "", None),
    CMD(ID_FRAME_DELETE, "&Delete", "", None),
    CMD(ID_FRAME_CUT, "C&ut", "", None),
    CMD(ID_FRAME_COPY, "&Copy", "", None),
    CMD(ID_FRAME_PASTE, "&Paste", "", None),
    CMD(ID_FRAME_COPYBACKGROUND, "C&opy Background", "", None),
    CMD(ID_FRAME_PASTEBACKGROUND, "Pa&ste Background", "", None),
    CMD(ID_FRAME_DELETEBACKGROUND, "Dele&te Background", "", None),
    CMD(ID_FRAME_LOADBACKGROUND, "&Load Background...", "", None),
    CMD(ID_FRAME_DELAY, "Dela&y...\tCtrl+D", "", None),
    // Animation
    CMD(ID_ANIMATION_PLAY, "Pla&y\tCtrl-Y", "media-playback-start", Themed | Check),
    CMD(ID_ANIMATION_STOP, "&Stop\tEsc", "media-playback-stop", Themed),
    CMD(ID_ANIMATION_FIRSTFRAME, "&First Frame", "go-first", Themed),
    CMD(ID_ANIMATION_LASTFRAME, "&Last Frame", "go-last", Themed),
    CMD(ID_ANIMATION_NEXTFRAME, "&Next Frame", "go-next", Themed),
    CMD(ID_ANIMATION_PREVIOUSFRAME, "&Previous Frame", "go-previous", Themed),
    CMD(ID_ANIMATION_LOOP, "L&oop", "media-playlist-repeat", Themed | Check),
    // Server
    CMD(ID_SERVER_LOGIN, "&Login...", "", None),
    CMD(ID_SERVER_UPLOADGIF, "&Upload GIF...", "", None),
    CMD(ID_SERVER_LOGINBUTTON, "", "server-login", None),
    CMD(ID_SERVER_LOGOUTBUTTON, "", "server-logout", None),
    // Window
    CMD(ID_WINDOW_CASCADE, "&Cascade", "", None),
    CMD(ID_WINDOW_TILE_HORZ, "&Tile", "", None),
    CMD(ID_WINDOW_ARRANGE, "&Arrange Icons", "", None),
    CMD(ID_NEXT_PANE, "", "", None),
    CMD(ID_PREV_PANE, "", "", None),
    // Help
    CMD(ID_HELP_HELP, "&Help", "help-contents", Themed),
    CMD(ID_HELP_HOMEPAGE, "&Go to Corvantaplex", "go-home", Themed),
    CMD(ID_APP_ABOUT, "&About Vellumark...", "help-about", Themed),
};

#undef CMD

QKeySequence Key(QKeyCombination combination)
{
    return QKeySequence(combination);
}

std::vector<Accelerator> BuildMainAccelerators()
{
    return {
        {Key(Qt::CTRL | Qt::Key_N), ID_FILE_NEW},
        {Key(Qt::CTRL | Qt::Key_O), ID_FILE_OPEN},
        {Key(Qt::CTRL | Qt::Key_S), ID_FILE_SAVE},
        {Key(Qt::CTRL | Qt::Key_F4), ID_FILE_CLOSE},
        {Key(Qt::CTRL | Qt::Key_P), ID_FILE_PRINT},
        {Key(Qt::CTRL | Qt::Key_X), ID_EDIT_CUT},
        {Key(Qt::SHIFT | Qt::Key_Delete), ID_EDIT_CUT},
        {Key(Qt::CTRL | Qt::Key_C), ID_EDIT_COPY},
        {Key(Qt::CTRL | Qt::Key_Insert), ID_EDIT_COPY},
        {Key(Qt::CTRL | Qt::Key_V), ID_EDIT_PASTE},
        {Key(Qt::SHIFT | Qt::Key_Insert), ID_EDIT_PASTE},
        {Key(QKeyCombination(Qt::Key_Delete)), ID_EDIT_DELETE},
        {Key(Qt::CTRL | Qt::Key_Z), ID_EDIT_UNDO},
        {Key(Qt::ALT | Qt::Key_Backspace), ID_EDIT_UNDO},
        {Key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), ID_EDIT_REDO},
        {Key(Qt::CTRL | Qt::Key_D), ID_FRAME_DELAY},
        {Key(Qt::CTRL | Qt::Key_Y), ID_ANIMATION_PLAY},
        {Key(QKeyCombination(Qt::Key_Escape)), ID_ANIMATION_STOP},
        {Key(QKeyCombination(Qt::Key_F1)), ID_HELP_HELP},
        {Key(QKeyCombination(Qt::Key_F6)), ID_NEXT_PANE},
        {Key(Qt::SHIFT | Qt::Key_F6), ID_PREV_PANE},
    };
}

std::vector<CommandInfo> BuildCommands()
{
    const std::vector<Accelerator> &accelerators = Accelerators(IDR_MAINFRAME);
    std::vector<CommandInfo> commands;
    commands.reserve(std::size(kCommands));
    for (const CommandDef &def : kCommands) {
        CommandInfo info;
        info.id = def.id;
        info.name = def.name;
        info.menuText = QString::fromUtf8(def.menuText);
        info.prompt = LoadPrompt(def.id);
        info.toolTip = LoadToolTip(def.id);
        for (const Accelerator &accelerator : accelerators)
            if (accelerator.command == def.id)
                info.keys.push_back(accelerator.key);
        info.iconName = QString::fromUtf8(def.iconName);
        info.iconThemed = (def.flags & Themed) != 0;
        info.checkable = (def.flags & Check) != 0;
        commands.push_back(std::move(info));
    }
    std::sort(commands.begin(), commands.end(),
              [](const CommandInfo &a, const CommandInfo &b) { return a.id < b.id; });
    return commands;
}

// Menu building blocks: a command item takes its text from the command table.
MenuItem Item(unsigned id)
{
    const CommandInfo *command = FindCommand(id);
    return MenuItem{MenuItem::Kind::Command, id, command ? command->menuText : QString(), {}};
}

MenuItem Separator()
{
    return MenuItem{MenuItem::Kind::Separator, 0, QString(), {}};
}

MenuItem RecentFiles()
{
    return MenuItem{MenuItem::Kind::RecentFiles, ID_FILE_MRU_FILE1,
                    FindCommand(ID_FILE_MRU_FILE1)->menuText, {}};
}

MenuItem WindowList()
{
    return MenuItem{MenuItem::Kind::WindowList, 0, QString(), {}};
}

MenuItem Popup(const char *title, std::vector<MenuItem> items)
{
    return MenuItem{MenuItem::Kind::Popup, 0, QString::fromUtf8(title), std::move(items)};
}

MenuItem HelpPopup()
{
    return Popup("&Help", {Item(ID_HELP_HELP), Item(ID_HELP_HOMEPAGE), Separator(), Item(ID_APP_ABOUT)});
}

MenuItem ServerPopup()
{
    return Popup("&Server", {Item(ID_SERVER_LOGIN), Item(ID_SERVER_UPLOADGIF)});
}

// Shown while no document window is open.
std::vector<MenuItem> BuildMainMenu()
{
    return {
        Popup("&File", {Item(ID_FILE_NEW), Item(ID_FILE_OPEN), RecentFiles(), Item(ID_APP_EXIT)}),
        Popup("&View", {Item(ID_VIEW_TOOLBAR), Item(ID_VIEW_STATUS_BAR)}),
        ServerPopup(),
        HelpPopup(),
    };
}

// Shown while a Banner View or Frames View window is active.
std::vector<MenuItem> BuildDocumentMenu()
{
    return {
        Popup("&File", {Item(ID_FILE_NEW), Item(ID_FILE_OPEN), Item(ID_FILE_CLOSE), Item(ID_FILE_SAVE),
                        Item(ID_FILE_SAVE_AS), Separator(), Item(ID_FILE_PRINT), Item(ID_FILE_PRINT_PREVIEW),
                        Separator(), RecentFiles(), Separator(), Item(ID_APP_EXIT)}),
        Popup("&Edit", {Item(ID_EDIT_UNDO), Item(ID_EDIT_REDO), Separator(), Item(ID_EDIT_CUT), Item(ID_EDIT_COPY), Item(ID_EDIT_PASTE), Item(ID_EDIT_DELETE)}),
        Popup("&View", {Item(ID_VIEW_ZOOMIN), Item(ID_VIEW_ZOOMOUT), Item(ID_VIEW_NORMAL), Separator(),
                        Item(ID_VIEW_FRAMES), Item(ID_VIEW_BANNER), Separator(), Item(ID_VIEW_TOOLBAR),
                        Item(ID_VIEW_TOOLPALETTE), Item(ID_VIEW_ANIMATION), Item(ID_VIEW_SERVER),
                        Item(ID_VIEW_STATUS_BAR)}),
        Popup("&Tools", {Item(ID_TOOLS_SELECT), Item(ID_TOOLS_RECTANGLE), Item(ID_TOOLS_LINE),
                         Item(ID_TOOLS_ELLIPSE), Item(ID_TOOLS_TEXT), Item(ID_TOOLS_IMAGE),
                         Item(ID_TOOLS_FREEHAND)}),
        Popup("&Arrange", {Item(ID_ARRANGE_MOVETOBACK), Item(ID_ARRANGE_MOVETOFRONT),
                           Item(ID_ARRANGE_MOVEBACKWARD), Item(ID_ARRANGE_MOVEFORWARD)}),
        Popup("F&rame", {Item(ID_FRAME_ADD), Item(ID_FRAME_DELETE), Item(ID_FRAME_CUT), Item(ID_FRAME_COPY),
                         Item(ID_FRAME_PASTE), Separator(), Item(ID_FRAME_COPYBACKGROUND),
                         Item(ID_FRAME_PASTEBACKGROUND), Item(ID_FRAME_DELETEBACKGROUND), Separator(),
                         Item(ID_FRAME_LOADBACKGROUND), Separator(), Item(ID_FRAME_DELAY)}),
        Popup("A&nimation", {Item(ID_ANIMATION_PLAY), Item(ID_ANIMATION_STOP), Separator(),
                             Item(ID_ANIMATION_FIRSTFRAME), Item(ID_ANIMATION_LASTFRAME),
                             Item(ID_ANIMATION_NEXTFRAME), Item(ID_ANIMATION_PREVIOUSFRAME), Separator(),
                             Item(ID_ANIMATION_LOOP)}),
        ServerPopup(),
        Popup("&Window", {Item(ID_WINDOW_CASCADE), Item(ID_WINDOW_TILE_HORZ), Item(ID_WINDOW_ARRANGE),
                          WindowList()}),
        HelpPopup(),
    };
}

ToolbarItem Button(unsigned id)
{
    return ToolbarItem{ToolbarItem::Kind::Button, id, 0};
}

ToolbarItem Gap()
{
    return ToolbarItem{ToolbarItem::Kind::Separator, 0, 0};
}

std::vector<ToolbarInfo> BuildToolbars()
{
    std::vector<ToolbarInfo> bars;

    ToolbarInfo main;
    main.id = IDR_MAINFRAME;
    main.objectName = "MainToolbar";
    main.title = QStringLiteral("Standard");
    main.toggleCommand = ID_VIEW_TOOLBAR;
    main.initialArea = Qt::TopToolBarArea;
    main.allowedAreas = Qt::TopToolBarArea;
    main.items = {Button(ID_FILE_NEW), Button(ID_FILE_OPEN), Button(ID_FILE_SAVE), Gap(),
                  Button(ID_EDIT_CUT), Button(ID_EDIT_COPY), Button(ID_EDIT_PASTE), Gap(),
                  Button(ID_HELP_HELP), Button(ID_HELP_HOMEPAGE), Gap(),
                  Button(ID_VIEW_NORMAL), Gap(),
                  ToolbarItem{ToolbarItem::Kind::ZoomBox, ID_ZOOMCOMBO, 70}};
    bars.push_back(std::move(main));

    ToolbarInfo server;
    server.id = IDR_SERVER;
    server.objectName = "ServerToolbar";
    server.title = QStringLiteral("Server");
    server.toggleCommand = ID_VIEW_SERVER;
    server.initialArea = Qt::TopToolBarArea;
    server.allowedAreas = Qt::AllToolBarAreas;
    server.items = {Button(ID_SERVER_LOGINBUTTON), Button(ID_SERVER_LOGOUTBUTTON)};
    bars.push_back(std::move(server));

    ToolbarInfo palette;
    palette.id = IDR_TOOLPALETTE;
    palette.objectName = "ToolPalette";
    palette.title = QStringLiteral("Tool Palette");
    palette.toggleCommand = ID_VIEW_TOOLPALETTE;
    palette.initialArea = Qt::LeftToolBarArea;
    palette.allowedAreas = Qt::AllToolBarAreas;
    palette.wrap = true;
    palette.items = {Button(ID_TOOLS_SELECT), Button(ID_TOOLS_RECTANGLE), Button(ID_TOOLS_LINE),
                     Button(ID_TOOLS_ELLIPSE), Button(ID_TOOLS_TEXT), Button(ID_TOOLS_IMAGE),
                     Button(ID_TOOLS_FREEHAND)};
    bars.push_back(std::move(palette));

    ToolbarInfo animation;
    animation.id = IDR_ANIMATION;
    animation.objectName = "AnimationToolbar";
    animation.title = QStringLiteral("Animation");
    animation.toggleCommand = ID_VIEW_ANIMATION;
    animation.initialArea = Qt::LeftToolBarArea;
    animation.allowedAreas = Qt::AllToolBarAreas;
    animation.wrap = true;
    animation.items = {Button(ID_ANIMATION_PLAY), Button(ID_ANIMATION_STOP), Gap(),
                       Button(ID_ANIMATION_FIRSTFRAME), Button(ID_ANIMATION_PREVIOUSFRAME),
                       Button(ID_ANIMATION_NEXTFRAME), Button(ID_ANIMATION_LASTFRAME), Gap(),
                       Button(ID_ANIMATION_LOOP)};
    bars.push_back(std::move(animation));

    return bars;
}

} // namespace

QString CommandInfo::MenuLabel() const
{
    const qsizetype tab = menuText.indexOf(u'\t');
    return tab < 0 ? menuText : menuText.left(tab);
}

const std::vector<CommandInfo> &Commands()
{
    static const std::vector<CommandInfo> commands = BuildCommands();
    return commands;
}

const CommandInfo *FindCommand(unsigned id)
{
    const std::vector<CommandInfo> &commands = Commands();
    const auto it = std::lower_bound(commands.begin(), commands.end(), id,
                                     [](const CommandInfo &c, unsigned value) { return c.id < value; });
    return it != commands.end() && it->id == id ? &*it : nullptr;
}

const std::vector<MenuItem> &Menu(unsigned menuId)
{
    static const std::vector<MenuItem> mainMenu = BuildMainMenu();
    static const std::vector<MenuItem> framesMenu = BuildDocumentMenu();
    static const std::vector<MenuItem> bannerMenu = BuildDocumentMenu();
    static const std::vector<MenuItem> none;
    switch (menuId) {
    case IDR_MAINFRAME:
        return mainMenu;
    case IDR_FRAMESVIEW:
        return framesMenu;
    case IDR_BANNERVIEW:
        return bannerMenu;
    default:
        return none;
    }
}

const std::vector<ToolbarInfo> &Toolbars()
{
    static const std::vector<ToolbarInfo> bars = BuildToolbars();
    return bars;
}

const ToolbarInfo *FindToolbar(unsigned toolbarId)
{
    for (const ToolbarInfo &bar : Toolbars())
        if (bar.id == toolbarId)
            return &bar;
    return nullptr;
}

const std::vector<Accelerator> &Accelerators(unsigned tableId)
{
    static const std::vector<Accelerator> mainTable = BuildMainAccelerators();
    static const std::vector<Accelerator> none;
    return tableId == IDR_MAINFRAME ? mainTable : none;
}
