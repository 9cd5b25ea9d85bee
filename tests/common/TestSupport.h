#pragma once
// Helpers shared by every test program.
#include <QByteArray>
#include <QString>

namespace TestSupport {
// The per-process temporary VELLUMARK_HOME that TestMain set up.
QString HomeDir();
// A fresh empty folder under HomeDir(), unique per call.
QString NewTempDir();
QByteArray ReadFile(const QString &path);
bool WriteFile(const QString &path, const QByteArray &bytes);
// Full path of a test data file in the source tree (tests/data/<name>).
QString SourceData(const QString &name);
// Runs an external program; returns its exit code (or -1 if it could not start), with output.
int Run(const QString &program, const QStringList &args, QByteArray *stdOut = nullptr,
        QByteArray *stdErr = nullptr, int timeoutMs = 60000);
}
