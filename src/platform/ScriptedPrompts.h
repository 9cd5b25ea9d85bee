#pragma once
// A Prompts that records what it was asked and answers from queues set up by the caller.
// Used by tests and by headless tools; an empty queue answers Cancel / no choice.
#include "platform/Prompts.h"

#include <deque>
#include <vector>

class ScriptedPrompts : public Prompts {
public:
    struct Shown {
        QString text;
        Icon icon;
        Buttons buttons;
    };

    Answer Message(const QString &text, Icon icon, Buttons buttons) override;
    std::optional<FileChoice> OpenFile(const FileDialog &options) override;
    std::optional<FileChoice> SaveFile(const FileDialog &options) override;
    std::optional<COLORREF> ChooseColor(COLORREF initial) override;
    std::optional<FontChoice> ChooseFont(const FontChoice &initial) override;
    bool ShowGifWarning() override;
    bool WarnWithOptOut(const QString &text) override; // recorded as a Warning message

    // True when a message with exactly this text and icon was shown.
    bool WasShown(const QString &text, Icon icon) const;

    std::vector<Shown> messages;
    std::vector<FileDialog> fileDialogs;
    int gifWarningsShown = 0;

    std::deque<Answer> answers;                      // for Message; empty: Ok for Buttons::Ok, else Cancel
    std::deque<std::optional<FileChoice>> fileChoices;
    std::deque<std::optional<COLORREF>> colorChoices;
    std::deque<std::optional<FontChoice>> fontChoices;
    bool gifWarningKeepShowing = true;
    bool optOutKeepShowing = true;                   // WarnWithOptOut's check box on closing
};
