#include "platform/Prompts.h"
#include "platform/ScriptedPrompts.h"

#include <QRegularExpression>

namespace {
Prompts *g_prompts = nullptr;

// The Windows form is a flat list of "name|patterns" pairs ended by an empty entry.
QList<QPair<QString, QString>> FilterPairs(const QString &filter)
{
    QList<QPair<QString, QString>> pairs;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            break;
        pairs.append({parts[i], parts[i + 1]});
    }
    return pairs;
}
} // namespace

bool Prompts::WarnWithOptOut(const QString &text)
{
    Message(text, Icon::Warning);
    return true;
}

Prompts::Answer Prompts::AskSaveChanges(const QString &documentName)
{
    return Message(QStringLiteral("Save changes to %1?").arg(documentName), Icon::Warning,
                   Buttons::YesNoCancel);
}

Prompts &Prompts::Instance()
{
    if (!g_prompts) {
        static ScriptedPrompts headless;
        g_prompts = &headless;
    }
    return *g_prompts;
}

void Prompts::Register(Prompts *prompts)
{
    g_prompts = prompts;
}

QStringList WindowsFilterToQt(const QString &filter)
{
    QStringList out;
    for (const auto &[name, patterns] : FilterPairs(filter)) {
        QString spaced = patterns;
        spaced.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the parentheses of the name; keep a name that already
        // shows them, else append them, so the user sees the same text as before.
        const QString shown = name.contains(QLatin1Char('(')) ? name.section(QLatin1Char('('), 0, 0).trimmed() : name;
        out.append(QStringLiteral("%1 (%2)").arg(shown, spaced));
    }
    return out;
}

QStringList WindowsFilterPatterns(const QString &filter, int filterIndex)
{
    const auto pairs = FilterPairs(filter);
    if (filterIndex < 1 || filterIndex > pairs.size())
        return {};
    return pairs[filterIndex - 1].second.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

// --- ScriptedPrompts ---

Prompts::Answer ScriptedPrompts::Message(const QString &text, Icon icon, Buttons buttons)
{
    messages.push_back({text, icon, buttons});
    if (!answers.empty()) {
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

template <typename T>
static std::optional<T> Next(std::deque<std::optional<T>> &queue)
{
    std::optional<T> v;
    if (!queue.empty()) {
        v.swap(queue.front());
        queue.pop_front();
    }
    return v;
}

std::optional<Prompts::FileChoice> ScriptedPrompts::OpenFile(const FileDialog &options)
{
    fileDialogs.push_back(options);
    return Next(fileChoices);
}

std::optional<Prompts::FileChoice> ScriptedPrompts::SaveFile(const FileDialog &options)
{
    fileDialogs.push_back(options);
    return Next(fileChoices);
}

std::optional<COLORREF> ScriptedPrompts::ChooseColor(COLORREF)
{
    return Next(colorChoices);
}

std::optional<Prompts::FontChoice> ScriptedPrompts::ChooseFont(const FontChoice &)
{
    return Next(fontChoices);
}

bool ScriptedPrompts::WarnWithOptOut(const QString &text)
{
    Message(text, Icon::Warning, Buttons::Ok);
    return optOutKeepShowing;
}

bool ScriptedPrompts::ShowGifWarning()
{
    ++gifWarningsShown;
    return gifWarningKeepShowing;
}

bool ScriptedPrompts::WasShown(const QString &text, Icon icon) const
{
    for (const Shown &m : messages)
        if (m.text == text && m.icon == icon)
            return true;
    return false;
}
