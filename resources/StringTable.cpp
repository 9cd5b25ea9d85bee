#include "StringTable.h"
#include "resource.h"

#include <QStringList>
#include <unordered_map>

namespace {
// UTF-8 source texts. Command entries are "status-bar prompt\ntooltip".
const std::unordered_map<unsigned, const char *> &Table()
{
    static const std::unordered_map<unsigned, const char *> table = {
        // Program, documents, settings
        {IDS_SOCKETS_INIT_FAILED, "Windows sockets initialization failed."},
        {IDR_MAINFRAME, "Vellumark"},
        {IDR_FRAMESVIEW, "\nBanner\n\n\n.bnr\nVellumark.Document\nBanner Document"},
        {IDR_BANNERVIEW, "\nBanner\nBanner\nBanner Files (*.bnr)\n.bnr\nVellumark.Document\nBanner Document"},
        {AFX_IDS_APP_TITLE, "Vellumark"},
        {AFX_IDS_IDLEMESSAGE, "For Help, press F1"},
        {IDS_BANNER_MAGIC, "Corvantaplex Banner File#####"},
        {IDS_HOMEPAGE_URL, "https://www.corvantaplex.example/"},
        {IDS_HELP_TITLE, "the on-line help."},
        {IDS_HOMEPAGE_TITLE, "the Corvantaplex home page."},
        {IDS_SETTINGS_KEY, "Software\\Corvanta\\Vellumark"},

        // Status bar panes: the initial texts
        {ID_INDICATOR_POSITION, "X : 0,  Y : 0"},
        {ID_INDICATOR_FRAME, "Frame : 0,  Total : 0"},

        // File
        {ID_FILE_NEW, "Create a new banner\nNew"},
        {ID_FILE_OPEN, "Open an existing banner\nOpen"},
        {ID_FILE_CLOSE, "Close the selected banner\nClose"},
        {ID_FILE_SAVE, "Save the selected banner\nSave"},
        {ID_FILE_SAVE_AS, "Save the selected banner with a new name\nSave As"},
        {ID_FILE_PRINT_SETUP, "Change the printer and printing options\nPrint Setup"},
        {ID_FILE_PRINT, "Print the selected banner\nPrint"},
        {ID_FILE_PRINT_PREVIEW, "Show the pages the selected banner prints on\nPrint Preview"},
        {ID_FILE_MRU_FILE1, "Open this banner\nRecent File"},
        {ID_FILE_MRU_FILE2, "Open this banner\nRecent File"},
        {ID_FILE_MRU_FILE3, "Open this banner\nRecent File"},
        {ID_FILE_MRU_FILE4, "Open this banner\nRecent File"},
        {ID_APP_EXIT, "Quit Vellumark; prompts to save banners\nExit"},

        // Edit
        {ID_EDIT_CUT, "Cut the selected item and place it on the clipboard\nCut"},
        {ID_EDIT_COPY, "Copy the selected item and place it on the clipboard\nCopy"},
        {ID_EDIT_PASTE, "Paste item from clipboard\nPaste"},
        {ID_EDIT_DELETE, "Delete the selected items\nDelete"},
        {ID_EDIT_UNDO, "Undo the last action\nUndo"},
        {ID_EDIT_REDO, "Redo the last undone action\nRedo"},

        // View
        {ID_VIEW_ZOOMIN, "Zoom in on the banner\nZoom In"},
        {ID_VIEW_ZOOMOUT, "Zoom out of the banner\nZoom Out"},
        {ID_VIEW_NORMAL, "Normal Banner View with no zoom factor\nNormal Banner View"},
        {ID_ZOOMCOMBO, "Change zoom factor of this view\nChange Zoom Factor"},
        {ID_VIEW_FRAMES, "Show or hide the Frames View\nToggle Frames View"},
        {ID_VIEW_BANNER, "Show or hide the Banner View\nToggle Banner View"},
        {ID_VIEW_TOOLBAR, "Show or hide the toolbar\nToggle Toolbar"},
        {ID_VIEW_TOOLPALETTE, "Show or hide the tool palette\nToggle Tool Palette"},
        {ID_VIEW_ANIMATION, "Show or hide the animation toolbar\nToggle Animation Toolbar"},
        {ID_VIEW_SERVER, "Show or hide the server toolbar\nToggle Server Toolbar"},
        {ID_VIEW_STATUS_BAR, "Show or hide the status bar\nToggle Status Bar"},

        // Tools
        {ID_TOOLS_SELECT, "Selection tool\nSelect"},
        {ID_TOOLS_RECTANGLE, "Draw a rectangle\nRectangle"},
        {ID_TOOLS_LINE, "Draw a line\nLine"},
        {ID_TOOLS_ELLIPSE, "Draw an ellipse\nEllipse"},
        {ID_TOOLS_TEXT, "Create text\nText"},
        {ID_TOOLS_IMAGE, "Import an image\nImage"},
        {ID_TOOLS_FREEHAND, "Draw using freehand\nFreehand"},

        // Arrange
        {ID_ARRANGE_MOVETOBACK, "Move the selected item behind all other items\nMove to Back"},
        {ID_ARRANGE_MOVETOFRONT, "Move the selected item in front of all other items\nMove to Front"},
        {ID_ARRANGE_MOVEBACKWARD, "Move the selected item one step backward\nMove Backward"},
        {ID_ARRANGE_MOVEFORWARD, "Move the selected item one step forward\nMove Forward"},

        // Frame
        {ID_FRAME_ADD, "Add a frame below the selected frame\nAdd frame"},
        {ID_FRAME_DELETE, "Delete the selected frame\nDelete frame"},
        {ID_FRAME_CUT, "Cut the selected frame\nCut frame"},
        {ID_FRAME_COPY, "Copy the selected frame\nCopy frame"},
        {ID_FRAME_PASTE, "Replace selected frame\nPaste frame"},
        {ID_FRAME_COPYBACKGROUND, "Copy the background from the selected frame\nCopy background"},
        {ID_FRAME_PASTEBACKGROUND, "Replace the background of the selected frame\nPaste background"},
        {ID_FRAME_DELETEBACKGROUND, "Delete the background of the selected frame\nDelete background"},
        {ID_FRAME_LOADBACKGROUND, "Load a background for the selected frame\nLoad background"},
        {ID_FRAME_DELAY, "Frame delay\nFrame delay"},

        // Animation
        {ID_ANIMATION_PLAY, "Play the current animated banner\nPlay"},
        {ID_ANIMATION_STOP, "Stop playing the banner\nStop"},
        {ID_ANIMATION_FIRSTFRAME, "Move to the first frame\nFirst "},
        {ID_ANIMATION_PREVIOUSFRAME, "Move to the previous frame\nPrevious"},
        {ID_ANIMATION_NEXTFRAME, "Move to the next frame\nNext"},
        {ID_ANIMATION_LASTFRAME, "Move to the last frame\nEnd"},
        {ID_ANIMATION_LOOP, "Loop\nLoop"},

        // Server (the main frame rewrites the Login/Logout menu item's prompt by login state)
        {ID_SERVER_LOGIN, "Login to the Vellumark Server\nLogin"},
        {ID_SERVER_UPLOADGIF, "Upload GIF to Corvantaplex\nUpload GIF"},
        {ID_SERVER_LOGINBUTTON, "Login to the Vellumark Server\nLogin"},
        {ID_SERVER_LOGOUTBUTTON, "Logout from the Vellumark Server\nLogout"},

        // Window
        {ID_WINDOW_CASCADE, "Arrange windows so they overlap\nCascade Windows"},
        {ID_WINDOW_TILE_HORZ, "Arrange windows as non-overlapping tiles\nTile Windows"},
        {ID_WINDOW_ARRANGE, "Arrange icons at the bottom of the window\nArrange Icons"},
        {ID_NEXT_PANE, "Switch to the next window pane\nNext Pane"},
        {ID_PREV_PANE, "Switch back to the previous window pane\nPrevious Pane"},

        // Help
        {ID_HELP_HELP, "Display Vellumark Help\nHelp"},
        {ID_HELP_HOMEPAGE, "Go to Corvantaplex\nwww.corvantaplex.example"},
        {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    };
    return table;
}
} // namespace

int LoadResString(unsigned id, QString *text)
{
    const auto it = Table().find(id);
    if (it == Table().end())
        return -1;
    if (text)
        *text = QString::fromUtf8(it->second);
    return 0;
}

QString LoadResString(unsigned id)
{
    QString text;
    LoadResString(id, &text);
    return text;
}

QString LoadPrompt(unsigned id)
{
    const QString text = LoadResString(id);
    const qsizetype newline = text.indexOf(u'\n');
    return newline < 0 ? text : text.left(newline);
}

QString LoadToolTip(unsigned id)
{
    const QString text = LoadResString(id);
    const qsizetype newline = text.indexOf(u'\n');
    return newline < 0 ? QString() : text.mid(newline + 1);
}

bool GetDocString(unsigned templateId, DocStringIndex index, QString *text)
{
    QString whole;
    if (LoadResString(templateId, &whole) != 0)
        return false;
    const QStringList fields = whole.split(u'\n');
    const auto i = static_cast<qsizetype>(index);
    if (i >= fields.size())
        return false;
    if (text)
        *text = fields.at(i);
    return true;
}
