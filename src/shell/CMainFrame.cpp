#include "shell/CMainFrame.h"

#include "CommandTable.h"
#include "StringTable.h"
#include "platform/Prompts.h"
#include "platform/settings/Settings.h"
#include "resource.h"
#include "shell/CChildFrame.h"
#include "shell/GifEstimatePane.h"
#include "shell/GifProgressDialog.h"
#include "shell/LogoBackgroundWnd.h"
#include "shell/OpenInBrowser.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRegularExpression>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

static void InitShellResources()
{
    Q_INIT_RESOURCE(vellumark_icons);
}

namespace {
const char *const kZoomEntries[] = {"800%", "700%", "600%", "500%", "400%", "300%",
                                    "200%", "100%", "75%",  "50%",  "33%",  "25%"};
constexpr int kZoomEntryCount = int(std::size(kZoomEntries));
constexpr int kZoomInitialEntry = 7;

QString SettingsSection() { return QStringLiteral("Settings"); }
QString BarStateSection() { return QStringLiteral("General"); }

QIcon IconOf(const CommandInfo &info)
{
    if (info.iconName.isEmpty())
        return {};
    const QIcon own(QStringLiteral(":/toolbar/%1.png").arg(info.iconName));
    if (info.iconThemed)
        return QIcon::fromTheme(info.iconName, own);
    return own;
}

// The leading number of a text, as "%f" reads it; false when there is none.
bool LeadingNumber(const QString &text, double *value)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?))"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    *value = m.captured(1).toDouble(&ok);
    return ok;
}
} // namespace

// ---------------------------------------------------------------------------------------------
QString WindowPlacement::Format() const
{
    return QString::asprintf("%u,%u,%d,%d,%d,%d,%d,%d,%d,%d", flags, showCmd, minX, minY, maxX, maxY, left, top,
                             right, bottom);
}

bool WindowPlacement::Parse(const QString &text, WindowPlacement *out)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() < 10)
        return false;
    long long v[10];
    for (int i = 0; i < 10; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toLongLong(&ok);
        if (!ok || v[i] < INT_MIN || v[i] > UINT_MAX)
            return false;
    }
    WindowPlacement p;
    p.flags = unsigned(v[0]);
    p.showCmd = unsigned(v[1]);
    p.minX = int(v[2]), p.minY = int(v[3]), p.maxX = int(v[4]), p.maxY = int(v[5]);
    p.left = int(v[6]), p.top = int(v[7]), p.right = int(v[8]), p.bottom = int(v[9]);
    // A window without area could never be seen or grabbed again.
    if (p.right <= p.left || p.bottom <= p.top)
        return false;
    *out = p;
    return true;
}

// ---------------------------------------------------------------------------------------------
CMainFrame::CMainFrame(QWidget *parent) : QMainWindow(parent)
{
    InitShellResources();
    setWindowTitle(LoadResString(IDR_MAINFRAME));
    setWindowIcon(QIcon(QStringLiteral(":/icons/vellumark.png")));
    m_router.SetChainProvider([this] { return CommandChain(); });
    m_router.SetAfterUpdate([this] { AfterCommandUpdate(); });
}

CMainFrame::~CMainFrame() = default;

bool CMainFrame::Create()
{
    m_mdi = new LogoBackgroundWnd(this);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::OnSubWindowActivated);

    WindowPlacement placement;
    if (LoadWindowPos(&placement))
        setGeometry(placement.left, placement.top, placement.right - placement.left, placement.bottom - placement.top);
    else
        resize(800, 600);

    CreateActions();
    if (!CreateToolbars())
        return false;
    CreateStatusBar();
    BuildMenus();
    ShowMenuFor(nullptr);

    const QString state = Profile::GetString(BarStateSection(), QStringLiteral("BarState"));
    if (!state.isEmpty())
        restoreState(QByteArray::fromBase64(state.toLatin1()));

    setAcceptDrops(true);
    m_router.UpdateAll();
    return true;
}

void CMainFrame::CreateActions()
{
    for (const CommandInfo &info : Commands()) {
        QAction *action = m_router.Action(info.id);
        action->setText(info.menuText.isEmpty() ? info.toolTip : info.menuText);
        action->setStatusTip(info.prompt);
        action->setToolTip(info.toolTip.isEmpty() ? info.MenuLabel().remove(QLatin1Char('&')) : info.toolTip);
        action->setIcon(IconOf(info));
        action->setIconVisibleInMenu(false);
        action->setCheckable(info.checkable);
        action->setShortcuts(QList<QKeySequence>(info.keys.begin(), info.keys.end()));
        // Keys act in every window of the program, whether or not a menu shows the command.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

bool CMainFrame::CreateToolbars()
{
    for (const ToolbarInfo &bar : Toolbars()) {
        auto *toolbar = new QToolBar(bar.title, this);
        toolbar->setObjectName(QString::fromLatin1(bar.objectName));
        toolbar->setIconSize(QSize(16, 16));
        toolbar->setAllowedAreas(bar.allowedAreas);
        for (const ToolbarItem &item : bar.items) {
            switch (item.kind) {
            case ToolbarItem::Kind::Button:
                toolbar->addAction(m_router.Action(item.id));
                break;
            case ToolbarItem::Kind::Separator:
                toolbar->addSeparator();
                break;
            case ToolbarItem::Kind::ZoomBox: {
                m_zoomCombo = new QComboBox(toolbar);
                m_zoomCombo->setObjectName(QString::number(item.id));
                m_zoomCombo->setEditable(true);
                m_zoomCombo->setInsertPolicy(QComboBox::NoInsert);
                m_zoomCombo->setMaxVisibleItems(kZoomEntryCount);
                m_zoomCombo->setFixedWidth(item.width);
                for (const char *entry : kZoomEntries)
                    m_zoomCombo->addItem(QString::fromLatin1(entry));
                m_zoomCombo->setCurrentIndex(kZoomInitialEntry);
                if (const CommandInfo *info = FindCommand(item.id)) {
                    m_zoomCombo->setStatusTip(info->prompt);
                    m_zoomCombo->setToolTip(info->toolTip);
                }
                // A choice from the list is the box's selection notification; Enter in the
                // edit field is the dialog-style OK command. Both go to the active view.
                connect(m_zoomCombo, &QComboBox::activated, this, [this] { m_router.Execute(ID_ZOOMCOMBO); });
                m_zoomCombo->lineEdit()->installEventFilter(this);
                QAction *slot = toolbar->addWidget(m_zoomCombo);
                slot->setData(item.id);
                break;
            }
            }
        }
        addToolBar(bar.initialArea, toolbar);
        m_toolbars[bar.id] = toolbar;
    }
    return m_zoomCombo && m_toolbars.size() == Toolbars().size();
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar *bar = statusBar();
    // Pane 0 shows the idle text; menu and button prompts temporarily cover it.
    m_messagePane = new QLabel(LoadResString(AFX_IDS_IDLEMESSAGE), bar);
    bar->addWidget(m_messagePane, 1);
    const std::pair<unsigned, const char *> panes[] = {{ID_INDICATOR_POSITION, "X : 0,  Y : 0"},
                                                       {ID_INDICATOR_FRAME, "Frame : 0,  Total : 0"}};
    for (const auto &[id, text] : panes) {
        auto *label = new QLabel(bar);
        label->setObjectName(QString::number(id));
        label->setContentsMargins(0, 0, 0, 0);
        bar->addPermanentWidget(label);
        m_panes[id] = label;
        SetStatusPane(id, QString::fromLatin1(text));
    }
    new GifEstimatePane(*this);
}

// ---------------------------------------------------------------------------------------------
// Command chain

CChildFrame *CMainFrame::ActiveChildFrame() const
{
    return m_mdi ? qobject_cast<CChildFrame *>(m_mdi->activeSubWindow()) : nullptr;
}

CommandRouter::Chain CMainFrame::CommandChain()
{
    CommandRouter::Chain chain;
    if (CChildFrame *child = ActiveChildFrame()) {
        chain.push_back(child->ViewTarget());
        chain.push_back(child->DocumentTarget());
        chain.push_back(child);
    }
    chain.push_back(this);
    chain.push_back(m_app);
    return chain;
}

void CMainFrame::AfterCommandUpdate()
{
    if (CChildFrame *child = ActiveChildFrame())
        if (CommandTarget *view = child->ViewTarget())
            view->OnIdleUpdate();
    // Server > Login/Logout has one id for two meanings; its prompt follows the login state.
    if (QAction *login = m_router.FindAction(ID_SERVER_LOGIN)) {
        const bool loggedIn = m_isLoggedIn && m_isLoggedIn();
        const QString prompt = loggedIn ? QStringLiteral("Logout from the Vellumark Server")
                                        : QStringLiteral("Login to the Vellumark Server");
        if (login->statusTip() != prompt)
            login->setStatusTip(prompt);
    }
}

bool CMainFrame::OnUpdateCommand(unsigned id, CommandState &state)
{
    for (const ToolbarInfo &bar : Toolbars()) {
        if (bar.toggleCommand == id) {
            QToolBar *toolbar = Toolbar(bar.id);
            state.SetCheck(toolbar && toolbar->isVisible());
            return true;
        }
    }
    switch (id) {
    case ID_VIEW_STATUS_BAR:
        state.SetCheck(statusBar()->isVisible());
        return true;
    case ID_HELP_HELP:
    case ID_HELP_HOMEPAGE:
    case ID_APP_EXIT:
        return true;
    case ID_FILE_CLOSE:
    case ID_WINDOW_CASCADE:
    case ID_WINDOW_TILE_HORZ:
    case ID_WINDOW_ARRANGE:
        state.Enable(ActiveChildFrame() != nullptr);
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnCommand(unsigned id)
{
    for (const ToolbarInfo &bar : Toolbars()) {
        if (bar.toggleCommand == id) {
            if (QToolBar *toolbar = Toolbar(bar.id))
                toolbar->setVisible(!toolbar->isVisible());
            return true;
        }
    }
    switch (id) {
    case ID_VIEW_STATUS_BAR:
        statusBar()->setVisible(!statusBar()->isVisible());
        return true;
    case ID_HELP_HELP:
        OnHelp();
        return true;
    case ID_HELP_HOMEPAGE:
        OnHomePage();
        return true;
    case ID_APP_EXIT:
        close();
        return true;
    case ID_FILE_CLOSE:
        // Closing the document: every window of the active window's document.
        if (CChildFrame *child = ActiveChildFrame()) {
            CommandTarget *document = child->DocumentTarget();
            std::vector<CChildFrame *> frames;
            for (QMdiSubWindow *window : m_mdi->subWindowList()) {
                auto *frame = qobject_cast<CChildFrame *>(window);
                if (frame && (frame == child || (document && frame->DocumentTarget() == document)))
                    frames.push_back(frame);
            }
            CloseChildFrames(frames);
        }
        return true;
    case ID_WINDOW_CASCADE:
        m_mdi->cascadeSubWindows();
        return true;
    case ID_WINDOW_TILE_HORZ:
        m_mdi->tileSubWindows();
        return true;
    case ID_WINDOW_ARRANGE:
        ArrangeIcons();
        return true;
    default:
        return false;
    }
}

void CMainFrame::ArrangeIcons()
{
    // Minimised document windows line up along the bottom edge, left to right.
    int x = 0;
    for (QMdiSubWindow *window : m_mdi->subWindowList()) {
        if (!window->isMinimized())
            continue;
        const QSize size = window->size();
        window->move(x, m_mdi->viewport()->height() - size.height());
        x += size.width();
    }
}

void CMainFrame::OnHelp()
{
    QString url;
    if (ReadSettingString(SettingsHive::Machine, LoadResString(IDS_SETTINGS_KEY), QStringLiteral("HelpURL"), &url) == 0)
        OpenInBrowser(url, LoadResString(IDS_HELP_TITLE), this);
    else
        Prompts::Instance().Message(QStringLiteral("Error displaying Vellumark Help. \nPlease view the "
                                                   "<Vellumark directory>\\VKHelp\\Content.htm file for help."));
}

void CMainFrame::OnHomePage()
{
    OpenInBrowser(LoadResString(IDS_HOMEPAGE_URL), LoadResString(IDS_HOMEPAGE_TITLE), this);
}

// ---------------------------------------------------------------------------------------------
// Document windows

void CMainFrame::AddChildFrame(CChildFrame *frame)
{
    m_mdi->addSubWindow(frame);
    connect(frame, &CChildFrame::DocumentTitleChanged, this, &CMainFrame::UpdateTitle);
}

void CMainFrame::OnSubWindowActivated(QMdiSubWindow *)
{
    CChildFrame *child = ActiveChildFrame();
    // While the last window is closing it is still listed but no longer active.
    if (!child && !m_mdi->subWindowList().isEmpty())
        if (auto *first = qobject_cast<CChildFrame *>(m_mdi->currentSubWindow()))
            child = first;
    ShowMenuFor(child);
    UpdateTitle();
    if (child && child == ActiveChildFrame())
        if (CommandTarget *view = child->ViewTarget())
            view->OnActivateView();
    emit ActiveChildChanged(child);
    m_router.UpdateAll();
}

void CMainFrame::UpdateTitle()
{
    const QString app = LoadResString(IDR_MAINFRAME);
    CChildFrame *child = ActiveChildFrame();
    if (child && !child->DocumentTitle().isEmpty())
        setWindowTitle(app + QStringLiteral(" - ") + child->DocumentTitle());
    else
        setWindowTitle(app);
}

bool CMainFrame::OpenFile(const QString &path)
{
    return m_openFile ? m_openFile(path) : false;
}

QToolBar *CMainFrame::Toolbar(unsigned toolbarId) const
{
    const auto it = m_toolbars.find(toolbarId);
    return it == m_toolbars.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------------------------
// Status panes and zoom box

QLabel *CMainFrame::StatusPane(unsigned paneId) const
{
    const auto it = m_panes.find(paneId);
    return it == m_panes.end() ? nullptr : it->second;
}

void CMainFrame::SetStatusPane(unsigned paneId, const QString &text)
{
    QLabel *pane = StatusPane(paneId);
    if (!pane)
        return;
    const int width = qMax(10, pane->fontMetrics().horizontalAdvance(text));
    // Views write their panes at every refresh; only a change costs a repaint.
    if (pane->text() == text && pane->width() == width)
        return;
    pane->setFixedWidth(width);
    pane->setText(text);
    pane->repaint();
}

QString CMainFrame::StatusPaneText(unsigned paneId) const
{
    QLabel *pane = StatusPane(paneId);
    return pane ? pane->text() : QString();
}

void CMainFrame::SetZoomText(float value)
{
    if (std::isfinite(value) && value > 0)
        m_lastZoom = value;
    m_zoomCombo->setEditText(QString::asprintf("%.0f%%", double(value)));
}

float CMainFrame::GetZoomValue()
{
    // A text without a positive leading number keeps the zoom that was last in effect.
    double value = 0;
    if (LeadingNumber(m_zoomCombo->currentText(), &value) && std::isfinite(float(value)) && value > 0)
        m_lastZoom = float(value);
    return m_lastZoom;
}

float CMainFrame::NormalizeZoom()
{
    const float value = GetZoomValue();
    SetZoomText(value);
    return value;
}

int CMainFrame::ZoomIndexForStep(bool in) const
{
    const int index = m_zoomCombo->findText(m_zoomCombo->currentText());
    if (index >= 0)
        return in ? qMax(0, index - 1) : qMin(kZoomEntryCount - 1, index + 1);
    // A typed value that is not in the list: the nearest entry in the step's direction.
    double value = m_lastZoom;
    LeadingNumber(m_zoomCombo->currentText(), &value);
    if (in) {
        for (int i = kZoomEntryCount - 1; i >= 0; --i)
            if (QString::fromLatin1(kZoomEntries[i]).chopped(1).toDouble() > value)
                return i;
        return 0;
    }
    for (int i = 0; i < kZoomEntryCount; ++i)
        if (QString::fromLatin1(kZoomEntries[i]).chopped(1).toDouble() < value)
            return i;
    return kZoomEntryCount - 1;
}

void CMainFrame::ZoomStepIn()
{
    const int index = ZoomIndexForStep(true);
    m_zoomCombo->setCurrentIndex(index);
    m_zoomCombo->setEditText(m_zoomCombo->itemText(index));
}

void CMainFrame::ZoomStepOut()
{
    const int index = ZoomIndexForStep(false);
    m_zoomCombo->setCurrentIndex(index);
    m_zoomCombo->setEditText(m_zoomCombo->itemText(index));
}

bool CMainFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (m_zoomCombo && watched == m_zoomCombo->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_router.Execute(IDOK);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Placement, bar state, closing, dropped files

bool CMainFrame::LoadWindowPos(WindowPlacement *placement)
{
    const QString text = Profile::GetString(SettingsSection(), QStringLiteral("WindowPos"));
    if (text.isEmpty())
        return false;
    return WindowPlacement::Parse(text, placement);
}

void CMainFrame::SaveWindowPos(const WindowPlacement &placement)
{
    Profile::WriteString(SettingsSection(), QStringLiteral("WindowPos"), placement.Format());
}

WindowPlacement CMainFrame::CurrentPlacement() const
{
    WindowPlacement p;
    p.showCmd = isMinimized() ? 2 : isMaximized() ? 3 : 1;
    // Restoring a minimised window that was maximised before brings it back maximised.
    if (isMinimized() && (windowState() & Qt::WindowMaximized))
        p.flags = 2;
    const QRect normal = (isMaximized() || isMinimized()) && normalGeometry().isValid() ? normalGeometry() : geometry();
    p.left = normal.left();
    p.top = normal.top();
    p.right = normal.left() + normal.width();
    p.bottom = normal.top() + normal.height();
    return p;
}

void CMainFrame::ShowWithPlacement()
{
    WindowPlacement placement;
    if (LoadWindowPos(&placement) && placement.showCmd == 3)
        showMaximized();
    else
        show();
}

void CMainFrame::SaveBarState()
{
    Profile::WriteString(BarStateSection(), QStringLiteral("BarState"), QString::fromLatin1(saveState().toBase64()));
}

void CMainFrame::closeEvent(QCloseEvent *event)
{
    if (CloseAfterGifWork(this, event))
        return;
    SaveBarState();
    SaveWindowPos(CurrentPlacement());
    // Each document is asked about its unsaved changes; a cancel keeps the program running.
    std::vector<CChildFrame *> frames;
    for (QMdiSubWindow *window : m_mdi->subWindowList())
        if (auto *frame = qobject_cast<CChildFrame *>(window))
            frames.push_back(frame);
    if (!CloseChildFrames(frames) || !m_mdi->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

bool CMainFrame::CloseChildFrames(const std::vector<CChildFrame *> &frames)
{
    if (m_closeWindows)
        return m_closeWindows(frames);
    for (CChildFrame *frame : frames)
        if (!frame->close())
            return false;
    return true;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent *event)
{
    bool any = false;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (!url.isLocalFile())
            continue;
        any = true;
        OpenFile(url.toLocalFile());
    }
    if (any) {
        activateWindow();
        event->acceptProposedAction();
    }
}
