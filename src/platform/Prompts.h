#pragma once
// Every question the program puts to the user goes through Prompts: message boxes, the file,
// colour and font dialogs, the save question and the animated-GIF warning. The core calls the
// registered instance; the editor registers the Qt one at start-up and tests a ScriptedPrompts.
#include "platform/Colorref.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Prompts {
public:
    enum class Icon { None, Stop, Warning, Information, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    // Options of the open and save file dialogs. `filter` is the Windows form
    // "Name (*.a)|*.a|Other|*.b;*.c||"; `filterIndex` is 1-based, as is the index reported back.
    struct FileDialog {
        QString title;
        QString filter;
        int filterIndex = 1;
        QString defaultExt;   // without the dot; empty for none
        QString initialPath;  // folder or file name to start from
        bool fileMustExist = false;
        bool pathMustExist = false;
        bool overwritePrompt = false;
        // Save dialogs: when set, an "&Options..." button opens the GIF export options, enabled
        // while this says that the name typed (perhaps none yet) and the filter selected save a GIF.
        std::function<bool(const QString &name, int filterIndex)> savesGif;
    };
    struct FileChoice {
        QString path;        // full path
        int filterIndex = 1; // the filter the user had selected
    };

    // What the font dialog edits; height is the LOGFONT height (negative: character height
    // in logical pixels at 96 dots per inch).
    struct FontChoice {
        QString face;
        int height = -13;
        int weight = 400;
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        COLORREF color = 0;
    };

    virtual ~Prompts() = default;

    virtual Answer Message(const QString &text, Icon icon = Icon::None, Buttons buttons = Buttons::Ok) = 0;
    virtual std::optional<FileChoice> OpenFile(const FileDialog &options) = 0;
    virtual std::optional<FileChoice> SaveFile(const FileDialog &options) = 0;
    virtual std::optional<COLORREF> ChooseColor(COLORREF initial) = 0;
    virtual std::optional<FontChoice> ChooseFont(const FontChoice &initial) = 0;
    // The animated-GIF warning; returns whether "&Show this dialog next time." stayed checked.
    virtual bool ShowGifWarning() = 0;
    // A warning with a check box "&Show this message next time." that starts checked; returns
    // whether it stayed checked. Without a dialog of its own: the plain message, kept on.
    virtual bool WarnWithOptOut(const QString &text);

    // The close question for a modified document: Yes saves, No discards, Cancel keeps it open.
    Answer AskSaveChanges(const QString &documentName);

    // The registered instance. Before any registration a ScriptedPrompts that answers
    // Cancel to everything stands in, so headless tools never block on a dialog.
    static Prompts &Instance();
    static void Register(Prompts *prompts);
};

// Splits a Windows filter string into Qt name filters ("Name (*.a *.b)"), one per pair.
QStringList WindowsFilterToQt(const QString &filter);
// The patterns ("*.a", "*.b") of the 1-based filter index of a Windows filter string.
QStringList WindowsFilterPatterns(const QString &filter, int filterIndex);
