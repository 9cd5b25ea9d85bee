#pragma once
// Saving a file without ever damaging the previous one: the bytes go to a temporary file beside
// the target, which replaces the target only once everything was written. The target's
// permissions are kept, a symbolic link keeps pointing at the (new) file, and a read-only
// target is refused rather than replaced.
#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>

namespace AtomicFile {
// True when the file exists and its attributes say it must not be written: no write permission
// for us, or no write permission for its owner (which the superuser would otherwise ignore).
bool IsReadOnly(const QString &path);
// Writes through `write`, which returns false to abandon the save. On failure the target is
// unchanged, no temporary file is left and `error` (when given) says why.
bool Write(const QString &path, const std::function<bool(QIODevice &)> &write, QString *error = nullptr);
bool Write(const QString &path, const QByteArray &bytes, QString *error = nullptr);
}
