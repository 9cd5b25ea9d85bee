#pragma once
// Commands are numeric ids (resource.h). Menus, toolbar buttons and keys trigger them; the
// CommandRouter offers each one to a chain of CommandTargets (active view, its document, its
// child frame, the main frame, the application) and the first that handles it wins.

#include <QString>

// What an update handler reports for one command. A handler that answers the update has
// `enabled` preset to true; `text` left empty keeps the item's own text.
struct CommandState {
    bool enabled = true;
    bool checked = false;
    QString text;
    // Only set `checked` when this is true, so the item becomes a check item.
    bool checkable = false;

    void Enable(bool on) { enabled = on; }
    void SetCheck(bool on) { checkable = true; checked = on; }
    void SetText(const QString &t) { text = t; }
};

class CommandTarget {
public:
    virtual ~CommandTarget() = default;
    // Carries out `id`; true when this target handled it.
    virtual bool OnCommand(unsigned id) { (void)id; return false; }
    // True when this target handles `id`; it then fills `state`. A command whose chain answers
    // false everywhere is shown disabled, so every target that handles a command in OnCommand
    // must also claim it here.
    virtual bool OnUpdateCommand(unsigned id, CommandState &state) { (void)id; (void)state; return false; }
    // A view's hooks: its window became the active one; the user interface is being refreshed
    // while it is active (status panes).
    virtual void OnActivateView() {}
    virtual void OnIdleUpdate() {}
};
