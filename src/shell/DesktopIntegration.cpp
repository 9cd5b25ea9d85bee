#include "shell/DesktopIntegration.h"

#include "StringTable.h"
#include "platform/AtomicFile.h"
#include "platform/settings/AppPaths.h"
#include "platform/settings/Settings.h"
#include "resource.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {
bool WriteIfChanged(const QString &path, const QByteArray &bytes)
{
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes)
        return true;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    return AtomicFile::Write(path, bytes);
}

QByteArray ReadResource(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString Quoted(const QString &s)
{
    return QLatin1Char('"') + s + QLatin1Char('"');
}

// Quoting of an Exec key: a path with spaces or specials goes in double quotes, and a literal
// '%' is doubled everywhere, since the key gives '%' its field-code meaning.
QString ExecArgument(const QString &rawPath)
{
    static const QString specials = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString path = rawPath;
    path.replace(QLatin1Char('%'), QLatin1String("%%"));
    for (QChar c : path)
        if (specials.contains(c)) {
            QString escaped = path;
            escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\\\\\"));
            for (const char *ch : {"\"", "`", "$"})
                escaped.replace(QLatin1String(ch), QLatin1String("\\\\") + QLatin1String(ch));
            return Quoted(escaped);
        }
    return path;
}

void RunDetachedIfPresent(const QString &program, const QStringList &args)
{
    if (!QStandardPaths::findExecutable(program).isEmpty())
        QProcess::startDetached(program, args);
}

void WriteClassesRecords(const QString &exePath)
{
    const QString ext = QStringLiteral(".bnr");
    QString typeId, typeName;
    GetDocString(IDR_BANNERVIEW, DocStringIndex::RegFileTypeId, &typeId);
    GetDocString(IDR_BANNERVIEW, DocStringIndex::RegFileTypeName, &typeName);
    const QString exe = Quoted(exePath);
    const std::pair<QString, QString> values[] = {
        {ext, typeId},
        {typeId, typeName},
        {typeId + QStringLiteral("\\DefaultIcon"), exePath + QStringLiteral(",0")},
        {typeId + QStringLiteral("\\shell\\open\\command"), exe + QStringLiteral(" \"%1\"")},
        {typeId + QStringLiteral("\\shell\\print\\command"), exe + QStringLiteral(" --print \"%1\"")},
        {typeId + QStringLiteral("\\shell\\printto\\command"), exe + QStringLiteral(" --print-to \"%2\" \"%1\"")},
    };
    for (const auto &[key, value] : values) {
        CreateSettingsKey(SettingsHive::Classes, key);
        WriteSettingString(SettingsHive::Classes, key, DesktopIntegration::kDefaultValue, value);
    }
}
} // namespace

namespace DesktopIntegration {

QString DesktopEntry(const QString &exePath)
{
    QByteArray text = ReadResource(QStringLiteral(":/desktop/vellumark.desktop.in"));
    text.replace("@VELLUMARK_EXEC@", ExecArgument(exePath).toUtf8());
    return QString::fromUtf8(text);
}

bool RegisterFileType(const QString &exePath)
{
    WriteClassesRecords(exePath);

    const QString root = AppPaths::DesktopDataDir();
    bool ok = WriteIfChanged(root + QStringLiteral("/applications/vellumark.desktop"), DesktopEntry(exePath).toUtf8());
    ok &= WriteIfChanged(root + QStringLiteral("/mime/packages/vellumark.xml"),
                         ReadResource(QStringLiteral(":/desktop/vellumark-mime.xml")));
    for (int size : {16, 32, 48, 128})
        ok &= WriteIfChanged(root + QStringLiteral("/icons/hicolor/%1x%1/apps/vellumark.png").arg(size),
                             ReadResource(QStringLiteral(":/icons/vellumark-%1.png").arg(size)));
    // The caches are refreshed in the background; the start does not wait for them.
    RunDetachedIfPresent(QStringLiteral("update-mime-database"), {root + QStringLiteral("/mime")});
    RunDetachedIfPresent(QStringLiteral("update-desktop-database"), {root + QStringLiteral("/applications")});
    return ok;
}

} // namespace DesktopIntegration
