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
    // Unbuffered, each write reaches the system at once, so a failing one carries its reason.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!write(file)) {
        // The system's reason ("No space left on device") is gone once the write is cancelled.
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        file.cancelWriting();
        if (error && error->isEmpty())
            *error = reason.isEmpty() ? QStringLiteral("the file could not be written") : reason;
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
    return Write(path, [&bytes](QIODevice &out) {
        // A disk that fills up takes part of a write first; the next one says why it stopped.
        for (qint64 done = 0; done < bytes.size();) {
            const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }, error);
}

}
