#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <atomic>

namespace TestSupport {

QString HomeDir()
{
    return qEnvironmentVariable("VELLUMARK_HOME");
}

QString NewTempDir()
{
    static std::atomic<int> counter{0};
    const QString dir = HomeDir() + QStringLiteral("/tmp%1").arg(counter++);
    QDir().mkpath(dir);
    return dir;
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString SourceData(const QString &name)
{
    return QStringLiteral(VELLUMARK_SOURCE_DIR "/tests/data/") + name;
}

int Run(const QString &program, const QStringList &args, QByteArray *stdOut, QByteArray *stdErr, int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return -1;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (stdOut)
        *stdOut = p.readAllStandardOutput();
    if (stdErr)
        *stdErr = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace TestSupport
