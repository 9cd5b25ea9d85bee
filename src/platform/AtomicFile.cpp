#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace AtomicFile {

bool IsReadOnly(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner);
}

bool Write(const QString &path, const std::function<bool(QIODevice &)> &write, QString *error)
{
    if (IsReadOnly(path)) {
        if (error)
            *error = QStringLiteral("the file is read-only");
        return false;
    }
    // QSaveFile writes beside the target (following a symbolic link to the file it names),
    // keeps the permissions of an existing target and renames only on commit.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!write(file)) {
        file.cancelWriting();
        if (error && error->isEmpty())
            *error = file.errorString();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool Write(const QString &path, const QByteArray &bytes, QString *error)
{
    return Write(path, [&bytes](QIODevice &out) { return out.write(bytes) == bytes.size(); }, error);
}

}
