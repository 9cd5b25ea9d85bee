#include "CommandTable.h"
#include "StringTable.h"
#include "resource.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

namespace {

// Every command id a menu bar names, depth first, in order.
void CollectMenuIds(const std::vector<MenuItem> &items, std::vector<unsigned> *ids)
{
    for (const MenuItem &item : items) {
        if (item.kind == MenuItem::Kind::Command || item.kind == MenuItem::Kind::RecentFiles)
            ids->push_back(item.id);
        CollectMenuIds(item.items, ids);
    }
}

std::vector<unsigned> MenuIds(unsigned menuId)
{
    std::vector<unsigned> ids;
    CollectMenuIds(Menu(menuId), &ids);
    return ids;
}

std::vector<unsigned> ToolbarIds(const ToolbarInfo &bar)
{
    std::vector<unsigned> ids;
    for (const ToolbarItem &item : bar.items)
        if (item.kind != ToolbarItem::Kind::Separator)
            ids.push_back(item.id);
    return ids;
}

const MenuItem *FindPopup(unsigned menuId, const QString &title)
{
    for (const MenuItem &popup : Menu(menuId))
        if (popup.text == title)
            return &popup;
    return nullptr;
}

TEST(CommandTable, EveryUsedCommandHasAnEntryWithPrompt)
{
    std::set<unsigned> used;
    for (unsigned menu : {IDR_MAINFRAME, IDR_FRAMESVIEW, IDR_BANNERVIEW})
        for (unsigned id : MenuIds(menu))
            used.insert(id);
    for (const ToolbarInfo &bar : Toolbars())
        for (unsigned id : ToolbarIds(bar))
            used.insert(id);
    for (const Accelerator &accelerator : Accelerators(IDR_MAINFRAME))
        used.insert(accelerator.command);
    ASSERT_GT(used.size(), 60u);

    for (unsigned id : used) {
        const CommandInfo *command = FindCommand(id);
        ASSERT_NE(command, nullptr) << id;
        QString entry;
        ASSERT_EQ(LoadResString(id, &entry), 0) << command->name;
        EXPECT_EQ(entry.count('\n'), 1) << command->name;
        EXPECT_FALSE(command->prompt.trimmed().isEmpty()) << command->name;
        EXPECT_FALSE(command->toolTip.trimmed().isEmpty()) << command->name;
        EXPECT_EQ(command->prompt, LoadPrompt(id));
        EXPECT_EQ(command->toolTip, LoadToolTip(id));
    }
}

TEST(CommandTable, ToolbarButtonsHaveImagesAndViewToggles)
{
    std::set<QString> images;
    for (const ToolbarInfo &bar : Toolbars()) {
        for (const ToolbarItem &item : bar.items) {
            if (item.kind != ToolbarItem::Kind::Button)
                continue;
            const CommandInfo *command = FindCommand(item.id);
            ASSERT_NE(command, nullptr) << item.id;
            EXPECT_FALSE(command->iconName.isEmpty()) << command->name;
            EXPECT_TRUE(images.insert(command->iconName).second) << "image used twice: "
                                                                 << command->iconName.toStdString();
        }
        // The toolbar can be shown and hidden from the View menu of a document window.
        const std::vector<unsigned> viewIds = MenuIds(IDR_BANNERVIEW);
        EXPECT_NE(std::find(viewIds.begin(), viewIds.end(), bar.toggleCommand), viewIds.end()) << bar.id;
        ASSERT_NE(FindCommand(bar.toggleCommand), nullptr);
        EXPECT_TRUE(FindCommand(bar.toggleCommand)->checkable);
    }
}

TEST(CommandTable, NoIdTwiceInOneMenuOrToolbar)
{
    for (unsigned menu : {IDR_MAINFRAME, IDR_FRAMESVIEW, IDR_BANNERVIEW}) {
        const std::vector<unsigned> ids = MenuIds(menu);
        EXPECT_EQ(std::set<unsigned>(ids.begin(), ids.end()).size(), ids.size()) << menu;
    }
    std::set<unsigned> acrossBars;
    for (const ToolbarInfo &bar : Toolbars()) {
        for (unsigned id : ToolbarIds(bar))
            EXPECT_TRUE(acrossBars.insert(id).second) << "toolbar " << bar.id << " repeats " << id;
    }
    std::set<unsigned> barIds;
    std::set<std::string> barNames;
    for (const ToolbarInfo &bar : Toolbars()) {
        EXPECT_TRUE(barIds.insert(bar.id).second);
        EXPECT_TRUE(barNames.insert(bar.objectName).second);
    }
}

TEST(CommandTable, DocumentMenusAreIdenticalAndDifferFromTheEmptyFrameMenu)
{
    ASSERT_FALSE(Menu(IDR_BANNERVIEW).empty());
    EXPECT_EQ(Menu(IDR_FRAMESVIEW), Menu(IDR_BANNERVIEW));
    EXPECT_NE(Menu(IDR_MAINFRAME), Menu(IDR_BANNERVIEW));
    EXPECT_TRUE(Menu(99999u).empty());

    QStringList titles;
    for (const MenuItem &popup : Menu(IDR_BANNERVIEW)) {
        EXPECT_EQ(popup.kind, MenuItem::Kind::Popup);
        titles << popup.text;
    }
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Tools", "&Arrange", "F&rame", "A&nimation",
                                   "&Server", "&Window", "&Help"}));
    titles.clear();
    for (const MenuItem &popup : Menu(IDR_MAINFRAME))
        titles << popup.text;
    EXPECT_EQ(titles, QStringList({"&File", "&View", "&Server", "&Help"}));
}

TEST(CommandTable, MenuItemsCarryTheCommandsMenuTexts)
{
    std::function<void(const std::vector<MenuItem> &)> check = [&](const std::vector<MenuItem> &items) {
        for (const MenuItem &item : items) {
            if (item.kind == MenuItem::Kind::Command) {
                const CommandInfo *command = FindCommand(item.id);
                ASSERT_NE(command, nullptr) << item.id;
                EXPECT_FALSE(item.text.isEmpty()) << command->name;
                EXPECT_EQ(item.text, command->menuText) << command->name;
            }
            check(item.items);
        }
    };
    check(Menu(IDR_MAINFRAME));
    check(Menu(IDR_BANNERVIEW));

    const MenuItem *frame = FindPopup(IDR_BANNERVIEW, "F&rame");
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->items.size(), 13u);
    EXPECT_EQ(frame->items[5].kind, MenuItem::Kind::Separator);
    EXPECT_EQ(frame->items[9].kind, MenuItem::Kind::Separator);
    EXPECT_EQ(frame->items[11].kind, MenuItem::Kind::Separator);
    EXPECT_EQ(frame->items[12].text, "Dela&y...\tCtrl+D");

    const MenuItem *animation = FindPopup(IDR_BANNERVIEW, "A&nimation");
    ASSERT_NE(animation, nullptr);
    std::vector<unsigned> order;
    for (const MenuItem &item : animation->items)
        order.push_back(item.id);
    EXPECT_EQ(order, (std::vector<unsigned>{ID_ANIMATION_PLAY, ID_ANIMATION_STOP, 0, ID_ANIMATION_FIRSTFRAME,
                                            ID_ANIMATION_LASTFRAME, ID_ANIMATION_NEXTFRAME,
                                            ID_ANIMATION_PREVIOUSFRAME, 0, ID_ANIMATION_LOOP}));
    EXPECT_EQ(animation->items[0].text, "Pla&y\tCtrl-Y");

    // The recent-file placeholder sits between two separators in the document menu's File popup
    // and directly before Exit in the menu without a document.
    const MenuItem *file = FindPopup(IDR_BANNERVIEW, "&File");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->items.size(), 12u);
    EXPECT_EQ(file->items[6].id, unsigned(ID_FILE_PRINT));
    EXPECT_EQ(file->items[7].id, unsigned(ID_FILE_PRINT_PREVIEW));
    EXPECT_EQ(file->items[9].kind, MenuItem::Kind::RecentFiles);
    EXPECT_EQ(file->items[9].id, unsigned(ID_FILE_MRU_FILE1));
    EXPECT_EQ(file->items[9].text, "Recent File");
    EXPECT_EQ(file->items[8].kind, MenuItem::Kind::Separator);
    EXPECT_EQ(file->items[10].kind, MenuItem::Kind::Separator);
    const MenuItem *mainFile = FindPopup(IDR_MAINFRAME, "&File");
    ASSERT_NE(mainFile, nullptr);
    ASSERT_EQ(mainFile->items.size(), 4u);
    EXPECT_EQ(mainFile->items[2].kind, MenuItem::Kind::RecentFiles);
    EXPECT_EQ(mainFile->items[3].id, unsigned(ID_APP_EXIT));

    const MenuItem *window = FindPopup(IDR_BANNERVIEW, "&Window");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->items.back().kind, MenuItem::Kind::WindowList);
}

TEST(CommandTable, AcceleratorTextInMenusMatchesTheAcceleratorTable)
{
    int checked = 0;
    for (const CommandInfo &command : Commands()) {
        const qsizetype tab = command.menuText.indexOf('\t');
        if (tab < 0)
            continue;
        EXPECT_EQ(command.MenuLabel(), command.menuText.left(tab));
        QString shown = command.menuText.mid(tab + 1);
        shown.replace("Ctrl-", "Ctrl+"); // the Play item writes "Ctrl-Y"
        const QKeySequence key = QKeySequence::fromString(shown, QKeySequence::PortableText);
        ASSERT_FALSE(key.isEmpty()) << command.name;
        EXPECT_NE(std::find(command.keys.begin(), command.keys.end(), key), command.keys.end())
            << command.name << " shows " << shown.toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 13);
}

TEST(CommandTable, AcceleratorKeysAreUniqueAndSingleChords)
{
    const std::vector<Accelerator> &table = Accelerators(IDR_MAINFRAME);
    ASSERT_EQ(table.size(), 21u);
    std::set<int> keys;
    for (const Accelerator &accelerator : table) {
        ASSERT_EQ(accelerator.key.count(), 1) << accelerator.command;
        EXPECT_TRUE(keys.insert(accelerator.key[0].toCombined()).second)
            << accelerator.key.toString().toStdString() << " appears twice";
    }
    EXPECT_TRUE(Accelerators(IDR_BANNERVIEW).empty());

    // Commands with two keys carry both, in table order.
    const CommandInfo *copy = FindCommand(ID_EDIT_COPY);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->keys.size(), 2u);
    EXPECT_EQ(copy->keys[0], QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(copy->keys[1], QKeySequence(Qt::CTRL | Qt::Key_Insert));
    const CommandInfo *undo = FindCommand(ID_EDIT_UNDO);
    ASSERT_NE(undo, nullptr);
    EXPECT_EQ(undo->keys, (std::vector<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Z),
                                                      QKeySequence(Qt::ALT | Qt::Key_Backspace)}));
    EXPECT_EQ(FindCommand(ID_EDIT_REDO)->keys, std::vector<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    const CommandInfo *cut = FindCommand(ID_EDIT_CUT);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->keys, (std::vector<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_X),
                                                    QKeySequence(Qt::SHIFT | Qt::Key_Delete)}));
    EXPECT_EQ(FindCommand(ID_ANIMATION_STOP)->keys, std::vector<QKeySequence>{QKeySequence(Qt::Key_Escape)});
    EXPECT_TRUE(FindCommand(ID_TOOLS_SELECT)->keys.empty());
}

TEST(CommandTable, ToolbarLayout)
{
    const std::vector<ToolbarInfo> &bars = Toolbars();
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_EQ(bars[0].id, unsigned(IDR_MAINFRAME));
    EXPECT_EQ(bars[1].id, unsigned(IDR_SERVER));
    EXPECT_EQ(bars[2].id, unsigned(IDR_TOOLPALETTE));
    EXPECT_EQ(bars[3].id, unsigned(IDR_ANIMATION));
    EXPECT_EQ(FindToolbar(IDR_ANIMATION), &bars[3]);
    EXPECT_EQ(FindToolbar(99999u), nullptr);

    const ToolbarInfo &main = bars[0];
    ASSERT_EQ(main.items.size(), 14u);
    for (size_t i : {3, 7, 10, 12})
        EXPECT_EQ(main.items[i].kind, ToolbarItem::Kind::Separator) << i;
    EXPECT_EQ(main.items[13].kind, ToolbarItem::Kind::ZoomBox);
    EXPECT_EQ(main.items[13].id, unsigned(ID_ZOOMCOMBO));
    EXPECT_EQ(main.items[13].width, 70);
    EXPECT_EQ(main.items[9].id, unsigned(ID_HELP_HOMEPAGE));
    EXPECT_EQ(main.allowedAreas, Qt::ToolBarAreas(Qt::TopToolBarArea));

    const ToolbarInfo &animation = bars[3];
    EXPECT_EQ(ToolbarIds(animation),
              (std::vector<unsigned>{ID_ANIMATION_PLAY, ID_ANIMATION_STOP, ID_ANIMATION_FIRSTFRAME,
                                     ID_ANIMATION_PREVIOUSFRAME, ID_ANIMATION_NEXTFRAME, ID_ANIMATION_LASTFRAME,
                                     ID_ANIMATION_LOOP}));
    EXPECT_EQ(animation.items[2].kind, ToolbarItem::Kind::Separator);
    EXPECT_EQ(animation.items[7].kind, ToolbarItem::Kind::Separator);
    EXPECT_EQ(bars[2].initialArea, Qt::LeftToolBarArea);
    EXPECT_TRUE(bars[2].wrap);
}

TEST(CommandTable, CommandsAreSortedAndNamed)
{
    const std::vector<CommandInfo> &commands = Commands();
    std::set<std::string> names;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(commands[i - 1].id, commands[i].id);
        }
        EXPECT_EQ(std::string(commands[i].name).rfind("ID_", 0), 0u) << commands[i].name;
        EXPECT_TRUE(names.insert(commands[i].name).second) << commands[i].name;
        EXPECT_EQ(FindCommand(commands[i].id), &commands[i]);
    }
    EXPECT_EQ(FindCommand(0), nullptr);
    EXPECT_EQ(FindCommand(ID_INDICATOR_FRAME), nullptr); // a status pane, not a command
    EXPECT_STREQ(FindCommand(57600)->name, "ID_FILE_NEW");
    EXPECT_EQ(FindCommand(ID_FILE_NEW)->toolTip, "New");
    EXPECT_EQ(FindCommand(ID_FILE_NEW)->iconName, "document-new");
    EXPECT_TRUE(FindCommand(ID_FILE_NEW)->iconThemed);
    EXPECT_TRUE(FindCommand(ID_ANIMATION_LOOP)->checkable);
    EXPECT_FALSE(FindCommand(ID_FRAME_ADD)->checkable);
}

} // namespace
