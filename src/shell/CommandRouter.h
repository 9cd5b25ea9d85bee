#pragma once
// Owns one QAction per command id, routes triggered commands through the target chain and keeps
// the actions' enabled, checked and text states current: when the event loop goes idle and
// before a menu shows, exactly as update handlers expect.
#include "editor/CommandTarget.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QWidget;

class CommandRouter : public QObject {
    Q_OBJECT
public:
    using Chain = std::vector<CommandTarget *>;
    using ChainProvider = std::function<Chain()>;

    explicit CommandRouter(QObject *parent = nullptr);
    ~CommandRouter() override;

    void SetChainProvider(ChainProvider provider) { m_chain = std::move(provider); }
    Chain CurrentChain() const;

    // The action of `id`, created on first use.
    QAction *Action(unsigned id);
    QAction *FindAction(unsigned id) const;
    // Every id that has an action.
    std::vector<unsigned> Ids() const;

    // Offers `id` to the chain; true when some target handled it. Nothing happens for a
    // command that is currently disabled (its update handler said so, or nothing handles it).
    bool Execute(unsigned id);
    // Asks the chain for the state of `id`; false (and state disabled) when nothing handles it.
    bool Query(unsigned id, CommandState &state) const;

    // Refreshes every action's state from the chain.
    void UpdateAll();
    // Refreshes the actions of `menu` (and its submenus) before it shows.
    void WatchMenu(QMenu *menu);

    // Called after each UpdateAll, for states that are not a single action's (pane texts).
    void SetAfterUpdate(std::function<void()> hook) { m_afterUpdate = std::move(hook); }

signals:
    void CommandRouted(unsigned id, bool handled);

private:
    void Apply(unsigned id, QAction *action);
    void OnIdle();

    ChainProvider m_chain;
    std::map<unsigned, QAction *> m_actions;
    std::map<unsigned, QString> m_baseText;
    std::function<void()> m_afterUpdate;
    bool m_updating = false;
};
