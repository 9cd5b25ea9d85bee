#include "shell/CommandRouter.h"

#include "document/GifProgress.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>
#include <QThread>

CommandRouter::CommandRouter(QObject *parent) : QObject(parent)
{
    // "Idle" is the moment the GUI thread's event loop is about to wait for new events.
    if (auto *dispatcher = QAbstractEventDispatcher::instance(QCoreApplication::instance()
                                                                  ? QCoreApplication::instance()->thread()
                                                                  : QThread::currentThread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CommandRouter::OnIdle);
}

CommandRouter::~CommandRouter() = default;

CommandRouter::Chain CommandRouter::CurrentChain() const
{
    Chain chain = m_chain ? m_chain() : Chain{};
    std::erase(chain, nullptr);
    return chain;
}

QAction *CommandRouter::Action(unsigned id)
{
    if (QAction *existing = FindAction(id))
        return existing;
    auto *action = new QAction(this);
    action->setData(id);
    action->setEnabled(false);
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions[id] = action;
    return action;
}

QAction *CommandRouter::FindAction(unsigned id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

std::vector<unsigned> CommandRouter::Ids() const
{
    std::vector<unsigned> ids;
    for (const auto &[id, action] : m_actions)
        ids.push_back(id);
    return ids;
}

bool CommandRouter::Query(unsigned id, CommandState &state) const
{
    for (CommandTarget *target : CurrentChain()) {
        CommandState s;
        if (target->OnUpdateCommand(id, s)) {
            state = s;
            return true;
        }
    }
    state = CommandState{};
    state.enabled = false;
    return false;
}

bool CommandRouter::Execute(unsigned id)
{
    // A command arriving while a GIF is read or written (from a timer) runs once that is done.
    if (GifProgress::Busy()) {
        GifProgress::WhenIdle([router = QPointer<CommandRouter>(this), id] {
            if (router)
                router->Execute(id);
        });
        return false;
    }
    // The state is asked first: a key whose command is disabled must not act even when the
    // action was enabled at the last refresh.
    CommandState state;
    if (!Query(id, state) || !state.enabled) {
        emit CommandRouted(id, false);
        return false;
    }
    for (CommandTarget *target : CurrentChain()) {
        if (target->OnCommand(id)) {
            emit CommandRouted(id, true);
            UpdateAll();
            return true;
        }
    }
    emit CommandRouted(id, false);
    return false;
}

void CommandRouter::Apply(unsigned id, QAction *action)
{
    CommandState state;
    Query(id, state);
    if (action->isEnabled() != state.enabled)
        action->setEnabled(state.enabled);
    if (state.checkable) {
        if (!action->isCheckable())
            action->setCheckable(true);
        if (action->isChecked() != state.checked)
            action->setChecked(state.checked);
    } else if (action->isCheckable()) {
        action->setChecked(false);
        action->setCheckable(false);
    }
    auto base = m_baseText.find(id);
    if (base == m_baseText.end())
        base = m_baseText.emplace(id, action->text()).first;
    const QString text = state.text.isEmpty() ? base->second : state.text;
    if (action->text() != text)
        action->setText(text);
}

void CommandRouter::UpdateAll()
{
    if (m_updating)
        return;
    m_updating = true;
    for (const auto &[id, action] : m_actions)
        Apply(id, action);
    if (m_afterUpdate)
        m_afterUpdate();
    m_updating = false;
}

void CommandRouter::OnIdle()
{
    UpdateAll();
}

void CommandRouter::WatchMenu(QMenu *menu)
{
    connect(menu, &QMenu::aboutToShow, this, &CommandRouter::UpdateAll);
}
