#pragma once
// The program's MDI main window: menus, the four toolbars with the zoom box, the three-pane
// status bar and the logo behind the document windows. Views use it for the status panes and
// the zoom box; it keeps its placement and toolbar layout between runs.
#include "shell/CommandRouter.h"
#include "editor/CommandTarget.h"
#include "editor/MainFrameServices.h"

#include <QMainWindow>
#include <QRect>
#include <functional>
#include <map>
#include <vector>

class CChildFrame;
class LogoBackgroundWnd;
class QComboBox;
class QLabel;
class QMdiSubWindow;
class QMenu;
class QToolBar;

// The ten numbers of the saved window placement.
struct WindowPlacement {
    unsigned flags = 0;
    unsigned showCmd = 1; // 1 normal, 2 minimized, 3 maximized
    int minX = -1, minY = -1;
    int maxX = -1, maxY = -1;
    int left = 0, top = 0, right = 0, bottom = 0; // normal rectangle, right and bottom exclusive

    QString Format() const;
    // False for a text with fewer than ten numbers or an empty normal rectangle.
    static bool Parse(const QString &text, WindowPlacement *out);
};

class CMainFrame : public QMainWindow, public CommandTarget, public MainFrameServices {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget *parent = nullptr);
    ~CMainFrame() override;

    // Builds toolbars, zoom box, status bar and menus and applies the saved placement and
    // toolbar layout. False when a part could not be made.
    bool Create();

    // --- services for views ---
    void SetStatusPane(unsigned paneId, const QString &text) override;
    QString StatusPaneText(unsigned paneId) const;
    QLabel *StatusPane(unsigned paneId) const;
    void SetZoomText(float value) override;
    float GetZoomValue() override;
    float NormalizeZoom() override;
    void ZoomStepIn() override;
    void ZoomStepOut() override;
    QComboBox *ZoomCombo() const { return m_zoomCombo; }

    // --- placement and bar state ---
    static bool LoadWindowPos(WindowPlacement *placement);
    static void SaveWindowPos(const WindowPlacement &placement);
    WindowPlacement CurrentPlacement() const;
    // Shows the window with the restored placement, or normally without one.
    void ShowWithPlacement();
    void SaveBarState();

    // --- command chain ---
    CommandRouter &Router() { return m_router; }
    // The application, last link of the chain.
    void SetApplicationTarget(CommandTarget *app) { m_app = app; }
    // The login state that picks the Server > Login/Logout prompt.
    void SetLoggedInTest(std::function<bool()> test) { m_isLoggedIn = std::move(test); }
    // Opens a file dropped on the window or handed over by a second start.
    void SetOpenFileHandler(std::function<bool(const QString &)> open) { m_openFile = std::move(open); }
    bool OpenFile(const QString &path);
    // Closes a set of document windows with one save question per document (File > Close and
    // closing the main window); false keeps the program as it was. Without it each window asks.
    void SetCloseWindowsHandler(std::function<bool(const std::vector<CChildFrame *> &)> close)
    {
        m_closeWindows = std::move(close);
    }

    LogoBackgroundWnd *MdiClient() const { return m_mdi; }
    CChildFrame *ActiveChildFrame() const;
    QToolBar *Toolbar(unsigned toolbarId) const;
    QMenu *MenuOf(unsigned menuId) const;
    unsigned CurrentMenuId() const { return m_currentMenu; }
    void AddChildFrame(CChildFrame *frame);

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, CommandState &state) override;

signals:
    void ActiveChildChanged(CChildFrame *frame);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateActions();
    bool CreateToolbars();
    void CreateStatusBar();
    void BuildMenus();
    QMenu *BuildPopup(const struct MenuItem &popup);
    void ShowMenuFor(CChildFrame *frame);
    void FillWindowList(QMenu *menu);
    void FillRecentFiles(QMenu *menu);
    void OnSubWindowActivated(QMdiSubWindow *window);
    bool CloseChildFrames(const std::vector<CChildFrame *> &frames);
    void UpdateTitle();
    void AfterCommandUpdate();
    CommandRouter::Chain CommandChain();
    void OnHelp();
    void OnHomePage();
    void ArrangeIcons();
    int ZoomIndexForStep(bool in) const;

    CommandRouter m_router;
    LogoBackgroundWnd *m_mdi = nullptr;
    QComboBox *m_zoomCombo = nullptr;
    QLabel *m_messagePane = nullptr;
    std::map<unsigned, QLabel *> m_panes;
    std::map<unsigned, QToolBar *> m_toolbars;
    std::map<unsigned, QMenu *> m_menus; // IDR_MAINFRAME and IDR_BANNERVIEW/IDR_FRAMESVIEW
    unsigned m_currentMenu = 0;
    CommandTarget *m_app = nullptr;
    std::function<bool()> m_isLoggedIn;
    std::function<bool(const QString &)> m_openFile;
    std::function<bool(const std::vector<CChildFrame *> &)> m_closeWindows;
    float m_lastZoom = 100.0f;
};
