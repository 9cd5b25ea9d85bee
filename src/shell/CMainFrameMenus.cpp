// The main frame's menu bars: built from the command table, switched with the active document
// window, with the recent-file entries and the window list filled in as a menu opens.
#include "shell/CMainFrame.h"

#include "CommandTable.h"
#include "resource.h"
#include "shell/CChildFrame.h"
#include "shell/LogoBackgroundWnd.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

// ---------------------------------------------------------------------------------------------
// Menus

QMenu *CMainFrame::BuildPopup(const MenuItem &popup)
{
    auto *menu = new QMenu(popup.text, this);
    m_router.WatchMenu(menu);
    for (const MenuItem &item : popup.items) {
        switch (item.kind) {
        case MenuItem::Kind::Command:
            menu->addAction(m_router.Action(item.id));
            break;
        case MenuItem::Kind::Separator:
            menu->addSeparator();
            break;
        case MenuItem::Kind::Popup:
            menu->addMenu(BuildPopup(item));
            break;
        case MenuItem::Kind::RecentFiles: {
            // A marker action; the entries are filled in before the menu shows.
            QAction *marker = menu->addSeparator();
            marker->setVisible(false);
            marker->setData(QStringLiteral("recent"));
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillRecentFiles(menu); });
            FillRecentFiles(menu);
            break;
        }
        case MenuItem::Kind::WindowList: {
            QAction *marker = menu->addSeparator();
            marker->setData(QStringLiteral("windows"));
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { FillWindowList(menu); });
            break;
        }
        }
    }
    return menu;
}

void CMainFrame::BuildMenus()
{
    for (unsigned menuId : {unsigned(IDR_MAINFRAME), unsigned(IDR_BANNERVIEW), unsigned(IDR_FRAMESVIEW)}) {
        auto *root = new QMenu(this);
        for (const MenuItem &popup : Menu(menuId))
            root->addMenu(BuildPopup(popup));
        m_menus[menuId] = root;
    }
}

QMenu *CMainFrame::MenuOf(unsigned menuId) const
{
    const auto it = m_menus.find(menuId);
    return it == m_menus.end() ? nullptr : it->second;
}

void CMainFrame::ShowMenuFor(CChildFrame *frame)
{
    const unsigned menuId = frame ? frame->TemplateId() : unsigned(IDR_MAINFRAME);
    if (menuId == m_currentMenu || !MenuOf(menuId))
        return;
    m_currentMenu = menuId;
    QMenuBar *bar = menuBar();
    bar->clear();
    for (QAction *popup : MenuOf(menuId)->actions())
        bar->addAction(popup);
}

void CMainFrame::FillRecentFiles(QMenu *menu)
{
    // Entries after the marker up to the next separator belong to the list.
    QList<QAction *> actions = menu->actions();
    qsizetype marker = -1;
    for (qsizetype i = 0; i < actions.size(); ++i)
        if (actions[i]->data() == QStringLiteral("recent"))
            marker = i;
    if (marker < 0)
        return;
    for (qsizetype i = marker + 1; i < actions.size() && !actions[i]->isSeparator(); ++i) {
        const QVariant data = actions[i]->data();
        if (data.typeId() == QMetaType::UInt && data.toUInt() >= ID_FILE_MRU_FILE1 &&
            data.toUInt() < ID_FILE_MRU_FILE1 + ID_FILE_MRU_COUNT)
            menu->removeAction(actions[i]);
    }
    QAction *before = marker + 1 < actions.size() ? actions[marker + 1] : nullptr;
    // The application's update handlers name the entries; an empty list shows "Recent File".
    for (unsigned i = 0; i < ID_FILE_MRU_COUNT; ++i) {
        const unsigned id = ID_FILE_MRU_FILE1 + i;
        CommandState state;
        const bool handled = m_router.Query(id, state);
        if (i > 0 && (!handled || state.text.isEmpty()))
            break;
        QAction *action = m_router.Action(id);
        if (!handled && i == 0)
            action->setText(FindCommand(id) ? FindCommand(id)->menuText : QString());
        menu->insertAction(before, action);
    }
}

void CMainFrame::FillWindowList(QMenu *menu)
{
    QList<QAction *> actions = menu->actions();
    bool after = false;
    for (QAction *action : actions) {
        if (action->data() == QStringLiteral("windows"))
            after = true;
        else if (after)
            menu->removeAction(action), action->deleteLater();
    }
    const QList<QMdiSubWindow *> windows = m_mdi->subWindowList();
    int n = 0;
    for (QMdiSubWindow *window : windows) {
        ++n;
        QAction *action = menu->addAction(QStringLiteral("&%1 %2").arg(n).arg(window->windowTitle()));
        action->setCheckable(true);
        action->setChecked(window == m_mdi->activeSubWindow());
        connect(action, &QAction::triggered, this, [this, window] { m_mdi->setActiveSubWindow(window); });
    }
}

