#include "shell/OpenInBrowser.h"

#include "shell/BrowserFallbackDialog.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace {
// The first word of a command line, honouring double and single quotes.
QString ProgramOfCommand(const QString &command)
{
    const QStringList words = QProcess::splitCommand(command.trimmed());
    return words.isEmpty() ? QString() : words.first();
}

// The keys of a desktop entry's [Desktop Entry] group that a launch needs.
struct DesktopEntry {
    QString path;
    QString exec;
    QString name;
    QString icon;
};

DesktopEntry ReadDesktopEntry(const QString &desktopId)
{
    DesktopEntry entry;
    entry.path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    QFile file(entry.path);
    if (entry.path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    bool inEntry = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inEntry || eq < 0)
            continue;
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Exec"))
            entry.exec = value;
        else if (key == QLatin1String("Name"))
            entry.name = value;
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
    }
    return entry;
}

// The string escapes of a desktop entry value (\s, \n, \t, \r, \\); any other backslash is left
// for the Exec quoting, which many entries rely on for \" inside quotes.
QString UnescapeValue(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar c = value[++i];
        if (c == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (c == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (c == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (c == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (c == QLatin1Char('\\'))
            out += c;
        else
            out += QLatin1Char('\\') + QString(c);
    }
    return out;
}

// Splits an Exec value into words: blanks separate, double quotes group, and inside them a
// backslash takes the next character literally. Each word remembers whether it was quoted,
// since field codes are not expanded inside quotes.
std::vector<std::pair<QString, bool>> ExecWords(const QString &exec, bool *ok)
{
    std::vector<std::pair<QString, bool>> words;
    QString word;
    bool inWord = false, quoted = false, inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size())
                word += exec[++i];
            else if (c == QLatin1Char('"'))
                inQuotes = false;
            else
                word += c;
        } else if (c == QLatin1Char('"')) {
            inQuotes = inWord = quoted = true;
        } else if (c.isSpace()) {
            if (inWord)
                words.emplace_back(word, quoted);
            word.clear();
            inWord = quoted = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    *ok = !inQuotes;
    if (inWord)
        words.emplace_back(word, quoted);
    return words;
}
} // namespace

QStringList ExpandDesktopExec(const QString &exec, const QString &address, const QString &name,
                              const QString &icon, const QString &desktopFile)
{
    bool ok = false;
    const auto words = ExecWords(UnescapeValue(exec), &ok);
    if (!ok)
        return {};
    QStringList argv;
    bool addressGiven = false;
    for (const auto &[word, quoted] : words) {
        if (quoted) {
            argv << word;
            continue;
        }
        // A field code that stands alone may become several arguments or none.
        if (word == QLatin1String("%u") || word == QLatin1String("%U") || word == QLatin1String("%f")
            || word == QLatin1String("%F")) {
            argv << address;
            addressGiven = true;
            continue;
        }
        if (word == QLatin1String("%i")) {
            if (!icon.isEmpty())
                argv << QStringLiteral("--icon") << icon;
            continue;
        }
        QString out;
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] != QLatin1Char('%') || i + 1 == word.size()) {
                out += word[i];
                continue;
            }
            switch (word[++i].unicode()) {
            case '%': out += QLatin1Char('%'); break;
            case 'u': case 'U': case 'f': case 'F': out += address; addressGiven = true; break;
            case 'c': out += name; break;
            case 'k': out += desktopFile; break;
            default: break; // deprecated and unknown codes are dropped
            }
        }
        // A code that expanded to nothing leaves no empty argument behind.
        if (!out.isEmpty())
            argv << out;
    }
    if (argv.isEmpty())
        return {};
    // An entry that takes no file or address gets it at the end.
    if (!addressGiven)
        argv << address;
    return argv;
}

QStringList BrowserCommandOfDesktopEntry(const QString &desktopId, const QString &address)
{
    const DesktopEntry entry = ReadDesktopEntry(desktopId);
    if (entry.exec.isEmpty())
        return {};
    return ExpandDesktopExec(entry.exec, address, entry.name, entry.icon, entry.path);
}

QString FindDefaultBrowser()
{
    const QString fromEnv = qEnvironmentVariable("BROWSER");
    if (!fromEnv.trimmed().isEmpty())
        return ProgramOfCommand(fromEnv.split(QLatin1Char(':')).first());

    if (QStandardPaths::findExecutable(QStringLiteral("xdg-settings")).isEmpty())
        return {};
    QProcess query;
    query.start(QStringLiteral("xdg-settings"), {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (!query.waitForFinished(3000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    const QString desktopId = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    const QStringList command = desktopId.isEmpty() ? QStringList() : BrowserCommandOfDesktopEntry(desktopId, {});
    return command.isEmpty() ? QString() : command.first();
}

void ShowBrowserFallback(const QString &address, const QString &title, QWidget *owner)
{
    BrowserFallbackDialog dialog(owner ? owner : QApplication::activeWindow());
    dialog.m_address = address;
    dialog.m_message = QStringLiteral("Could not detect the default browser to access ") + title;
    dialog.exec();
}

namespace {
// Runs a helper program without waiting for it; `done` gets its exit code and output, or -1
// when it could not be started or crashed.
void RunAsync(const QString &program, const QStringList &args, std::function<void(int, QByteArray)> done,
              bool forwardOutput = false)
{
    auto *process = new QProcess(qApp);
    auto finish = [process, done](int code) {
        const QByteArray out = code < 0 ? QByteArray() : process->readAllStandardOutput();
        process->disconnect();
        process->deleteLater();
        done(code, out);
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(-1);
    });
    QObject::connect(process, &QProcess::finished, process, [finish](int exitCode, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit ? exitCode : -1);
    });
    if (forwardOutput)
        process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(program, args);
}

void OpenWithXdgOpen(const QString &address, const QString &title, QPointer<QWidget> owner)
{
    // xdg-open's own start succeeds even when it finds nothing to open the page with, so its
    // exit code decides.
    RunAsync(QStringLiteral("xdg-open"), {address}, [=](int code, const QByteArray &) {
        if (code != 0)
            ShowBrowserFallback(address, title, owner.data());
    }, true);
}
} // namespace

void OpenInBrowser(const QString &address, const QString &title, QWidget *owner)
{
    QPointer<QWidget> ownerRef(owner);
    const QString fromEnv = qEnvironmentVariable("BROWSER");
    if (!fromEnv.trimmed().isEmpty()) {
        const QString browser = ProgramOfCommand(fromEnv.split(QLatin1Char(':')).first());
        if (!QProcess::startDetached(browser, {address}))
            ShowBrowserFallback(address, title, owner);
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-settings")).isEmpty()) {
        OpenWithXdgOpen(address, title, ownerRef);
        return;
    }
    // The desktop's choice is asked without waiting: xdg-settings can take seconds.
    RunAsync(QStringLiteral("xdg-settings"), {QStringLiteral("get"), QStringLiteral("default-web-browser")},
             [=](int code, const QByteArray &out) {
                 const QString desktopId = code == 0 ? QString::fromLocal8Bit(out).trimmed() : QString();
                 const QStringList command =
                     desktopId.isEmpty() ? QStringList() : BrowserCommandOfDesktopEntry(desktopId, address);
                 if (command.isEmpty()) {
                     OpenWithXdgOpen(address, title, ownerRef);
                     return;
                 }
                 if (!QProcess::startDetached(command.first(), command.mid(1)))
                     ShowBrowserFallback(address, title, ownerRef.data());
             });
}
