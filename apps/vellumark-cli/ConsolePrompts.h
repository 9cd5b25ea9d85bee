#pragma once
// The prompts of a batch run: every message goes to standard error as the editor would show it,
// and nothing is ever asked (file dialogs answer Cancel; the animated-GIF warning is not shown).
#include "platform/Prompts.h"

class ConsolePrompts : public Prompts {
public:
    Answer Message(const QString &text, Icon icon, Buttons buttons) override;
    std::optional<FileChoice> OpenFile(const FileDialog &) override { return std::nullopt; }
    std::optional<FileChoice> SaveFile(const FileDialog &) override { return std::nullopt; }
    std::optional<COLORREF> ChooseColor(COLORREF) override { return std::nullopt; }
    std::optional<FontChoice> ChooseFont(const FontChoice &) override { return std::nullopt; }
    bool ShowGifWarning() override { return false; }
};
