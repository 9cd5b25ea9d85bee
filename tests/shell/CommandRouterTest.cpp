// The command chain: order of the targets, disabled commands, update handlers.
#include "resource.h"
#include "shell/CommandRouter.h"

#include <QAction>
#include <QEventLoop>
#include <QMenu>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// A target that handles a fixed set of ids and records what reached it.
struct FakeTarget : CommandTarget {
    FakeTarget(std::string n, std::vector<unsigned> ids) : name(std::move(n)), handled(std::move(ids)) {}
    bool Handles(unsigned id) const { return std::find(handled.begin(), handled.end(), id) != handled.end(); }
    bool OnCommand(unsigned id) override
    {
        if (!Handles(id))
            return false;
        log->push_back(name);
        return true;
    }
    bool OnUpdateCommand(unsigned id, CommandState &state) override
    {
        if (!Handles(id))
            return false;
        state.Enable(enabled);
        if (checkable)
            state.SetCheck(checked);
        if (!text.isEmpty())
            state.SetText(text);
        return true;
    }
    std::string name;
    std::vector<unsigned> handled;
    std::vector<std::string> *log = nullptr;
    bool enabled = true, checkable = false, checked = false;
    QString text;
};
} // namespace

TEST(CommandRouter, FirstTargetInChainOrderWinsAndLaterOnesNeverSeeTheCommand)
{
    std::vector<std::string> log;
    FakeTarget view("view", {ID_EDIT_COPY}), doc("doc", {ID_EDIT_COPY, ID_FRAME_ADD}),
        child("child", {ID_FRAME_ADD, ID_WINDOW_CASCADE}), frame("frame", {ID_WINDOW_CASCADE, ID_HELP_HELP}),
        app("app", {ID_HELP_HELP, ID_APP_ABOUT, ID_EDIT_COPY});
    for (FakeTarget *t : {&view, &doc, &child, &frame, &app})
        t->log = &log;
    CommandRouter router;
    router.SetChainProvider([&] { return CommandRouter::Chain{&view, &doc, &child, &frame, &app}; });

    for (unsigned id : {ID_EDIT_COPY, ID_FRAME_ADD, ID_WINDOW_CASCADE, ID_HELP_HELP, ID_APP_ABOUT})
        EXPECT_TRUE(router.Execute(id)) << id;
    EXPECT_EQ(log, (std::vector<std::string>{"view", "doc", "child", "frame", "app"}));

    // Without a view (no document window) the command falls through to the next handler.
    log.clear();
    router.SetChainProvider([&] { return CommandRouter::Chain{nullptr, nullptr, nullptr, &frame, &app}; });
    EXPECT_TRUE(router.Execute(ID_EDIT_COPY));
    EXPECT_EQ(log, std::vector<std::string>{"app"});
}

TEST(CommandRouter, UnhandledCommandIsDisabledAndTriggeringItDoesNothing)
{
    std::vector<std::string> log;
    FakeTarget frame("frame", {ID_HELP_HELP});
    frame.log = &log;
    CommandRouter router;
    router.SetChainProvider([&] { return CommandRouter::Chain{&frame}; });
    QAction *undo = router.Action(ID_EDIT_UNDO);
    QAction *help = router.Action(ID_HELP_HELP);
    router.UpdateAll();
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(help->isEnabled());
    EXPECT_FALSE(router.Execute(ID_EDIT_UNDO));
    undo->trigger();
    EXPECT_TRUE(log.empty());

    // A handler that claims the command but disables it wins over later enabled handlers.
    FakeTarget app("app", {ID_HELP_HELP});
    app.log = &log;
    frame.enabled = false;
    router.SetChainProvider([&] { return CommandRouter::Chain{&frame, &app}; });
    router.UpdateAll();
    EXPECT_FALSE(help->isEnabled());
    EXPECT_FALSE(router.Execute(ID_HELP_HELP));
    EXPECT_TRUE(log.empty());
}

TEST(CommandRouter, UpdateHandlersSetCheckAndTextAndRefreshBeforeAMenuShows)
{
    FakeTarget app("app", {ID_SERVER_LOGIN, ID_VIEW_TOOLBAR});
    CommandRouter router;
    router.SetChainProvider([&] { return CommandRouter::Chain{&app}; });
    QAction *login = router.Action(ID_SERVER_LOGIN);
    login->setText(QStringLiteral("&Login..."));
    QAction *toolbar = router.Action(ID_VIEW_TOOLBAR);
    toolbar->setText(QStringLiteral("&Toolbar"));
    QMenu menu;
    menu.addAction(login);
    menu.addAction(toolbar);
    router.WatchMenu(&menu);

    app.text = QStringLiteral("Logout");
    app.checkable = true;
    app.checked = true;
    emit menu.aboutToShow();
    EXPECT_EQ(login->text(), QStringLiteral("Logout"));
    EXPECT_TRUE(toolbar->isCheckable());
    EXPECT_TRUE(toolbar->isChecked());

    // Without a text of its own the item returns to its menu text.
    app.text.clear();
    app.checked = false;
    emit menu.aboutToShow();
    EXPECT_EQ(login->text(), QStringLiteral("&Login..."));
    EXPECT_FALSE(toolbar->isChecked());
}

TEST(CommandRouter, StatesFollowTheChainWhenTheEventLoopGoesIdle)
{
    FakeTarget app("app", {ID_APP_ABOUT});
    CommandRouter router;
    CommandRouter::Chain chain;
    router.SetChainProvider([&] { return chain; });
    QAction *about = router.Action(ID_APP_ABOUT);
    router.UpdateAll();
    EXPECT_FALSE(about->isEnabled());
    chain = {&app};
    // No explicit refresh: the idle moment of a running event loop does it.
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_TRUE(about->isEnabled());
}
