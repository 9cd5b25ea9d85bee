#pragma once
// The Qt implementation of Prompts: real message boxes and common dialogs, owned by the
// main window so they are modal over it.
#include "platform/Prompts.h"

class QWidget;

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget *parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget *parent) { m_parent = parent; }

    Answer Message(const QString &text, Icon icon, Buttons buttons) override;
    std::optional<FileChoice> OpenFile(const FileDialog &options) override;
    std::optional<FileChoice> SaveFile(const FileDialog &options) override;
    std::optional<COLORREF> ChooseColor(COLORREF initial) override;
    std::optional<FontChoice> ChooseFont(const FontChoice &initial) override;
    bool ShowGifWarning() override;
    bool WarnWithOptOut(const QString &text) override;

private:
    std::optional<FileChoice> RunFileDialog(const FileDialog &options, bool save);

    QWidget *m_parent;
};
