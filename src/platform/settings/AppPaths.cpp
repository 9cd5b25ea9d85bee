#include "platform/settings/AppPaths.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#ifndef VELLUMARK_INSTALL_DATADIR
#define VELLUMARK_INSTALL_DATADIR "/usr/local/share/vellumark"
#endif

namespace {
QString ExeDir()
{
    // Before a QCoreApplication exists the executable's folder is unknown; fall back to /proc.
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

// A real folder (not a link to one) of ours that nobody else may enter.
bool IsPrivateDir(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}
} // namespace

namespace AppPaths {

QString Home()
{
    return qEnvironmentVariable("VELLUMARK_HOME");
}

QString UserConfigDir()
{
    const QString home = Home();
    if (!home.isEmpty())
        return home + QStringLiteral("/config");
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/vellumark");
}

QString UserDataDir()
{
    const QString home = Home();
    if (!home.isEmpty())
        return home + QStringLiteral("/data");
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/vellumark");
}

QString RecoveryDir()
{
    return UserDataDir() + QStringLiteral("/Recovery");
}

QString DesktopDataDir()
{
    const QString home = Home();
    if (!home.isEmpty())
        return home + QStringLiteral("/share");
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString PrivateRuntimeDir()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && IsPrivateDir(runtime))
        return runtime;
    // Without a usable runtime folder: one of our own in the temporary folder, made private
    // before anything is put in it, and refused if someone else owns or can enter it.
    const QString own = QDir::tempPath() + QStringLiteral("/vellumark-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return IsPrivateDir(own) ? own : QString();
}

QString InstanceSocketName()
{
    const QString root = Home().isEmpty() ? QDir::homePath() : Home();
    const QByteArray hash = QCryptographicHash::hash(root.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    const QString dir = PrivateRuntimeDir();
    if (dir.isEmpty())
        return {};
    return dir + QStringLiteral("/vellumark-%1").arg(QString::fromLatin1(hash));
}

QString MachineSettingsFile()
{
    const QString home = Home();
    if (!home.isEmpty() && QFileInfo::exists(home + QStringLiteral("/machine")))
        return home + QStringLiteral("/machine");
    const QString beside = ExeDir() + QStringLiteral("/vellumark-machine.json");
    if (QFileInfo::exists(beside))
        return beside;
    return QStringLiteral(VELLUMARK_INSTALL_DATADIR "/machine.json");
}

QString SharedDataDir()
{
    const QString build = QDir(ExeDir() + QStringLiteral("/../share/vellumark")).absolutePath();
    if (QFileInfo(build).isDir())
        return build;
    return QStringLiteral(VELLUMARK_INSTALL_DATADIR);
}

bool PrepareUserDataDir()
{
    const QString target = UserDataDir();
    if (!QDir().mkpath(target + QStringLiteral("/Misc")))
        return false;
    const QString source = SharedDataDir();
    QDirIterator it(source, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString relative = QDir(source).relativeFilePath(from);
        if (relative == QLatin1String("machine.json"))
            continue;
        const QString to = target + QLatin1Char('/') + relative;
        if (QFileInfo::exists(to))
            continue;
        QDir().mkpath(QFileInfo(to).absolutePath());
        QFile::copy(from, to);
        QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    return true;
}

} // namespace AppPaths
