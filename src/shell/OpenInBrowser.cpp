#include "shell/OpenInBrowser.h"

#include "shell/BrowserFallbackDialog.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>

namespace {
// The first word of a command line, honouring double and single quotes.
QString ProgramOfCommand(const QString &command)
{
    const QStringList words = QProcess::splitCommand(command.trimmed());
    return words.isEmpty() ? QString() : words.first();
}

QString ExecOfDesktopEntry(const QString &desktopId)
{
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopId);
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    bool inEntry = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return ProgramOfCommand(line.mid(5));
    }
    return {};
}
} // namespace

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
        return {};
    }
    const QString desktopId = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (desktopId.isEmpty())
        return {};
    return ExecOfDesktopEntry(desktopId);
}

void ShowBrowserFallback(const QString &address, const QString &title, QWidget *owner)
{
    BrowserFallbackDialog dialog(owner ? owner : QApplication::activeWindow());
    dialog.m_address = address;
    dialog.m_message = QStringLiteral("Could not detect the default browser to access ") + title;
    dialog.exec();
}

void OpenInBrowser(const QString &address, const QString &title, QWidget *owner)
{
    const QString browser = FindDefaultBrowser();
    if (!browser.isEmpty()) {
        if (!QProcess::startDetached(browser, {address}))
            ShowBrowserFallback(address, title, owner);
        return;
    }

    // xdg-open's own start succeeds even when it finds nothing to open the page with, so its
    // exit code decides; it is watched asynchronously and the dialog comes when it fails.
    auto *opener = new QProcess(qApp);
    QPointer<QWidget> ownerRef(owner);
    auto fail = [opener, address, title, ownerRef] {
        opener->deleteLater();
        ShowBrowserFallback(address, title, ownerRef.data());
    };
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, fail](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail();
    });
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, fail](int exitCode, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || exitCode != 0)
                             fail();
                         else
                             opener->deleteLater();
                     });
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->start(QStringLiteral("xdg-open"), {address});
}
