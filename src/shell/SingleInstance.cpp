#include "shell/SingleInstance.h"

#include "platform/settings/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

// The message is the files as UTF-8 lines followed by an empty line; the receiver answers
// "ok\n" once it has taken them, so the sender knows they arrived before it ends.

SingleInstance::SingleInstance(QObject *parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::SendToRunning(const QStringList &files, int timeoutMs)
{
    const QString name = AppPaths::InstanceSocketName();
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    for (const QString &file : files)
        message += QDir().absoluteFilePath(file).toUtf8() + '\n';
    message += '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(timeoutMs))
        reply += socket.readAll();
    return reply.startsWith("ok\n");
}

bool SingleInstance::Listen()
{
    const QString name = AppPaths::InstanceSocketName();
    if (name.isEmpty())
        return false;
    // Someone answering on the name is a running editor. A socket file nobody answers on was
    // left behind by one that crashed and is replaced.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(500)) {
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(name);
    return m_server->listen(name);
}

QStringList SingleInstance::FileArguments(const QStringList &arguments)
{
    QStringList files;
    bool options = true;
    for (const QString &arg : arguments) {
        if (options && arg == QLatin1String("--")) {
            options = false;
            continue;
        }
        // A name that starts like an option is still a file when such a file exists.
        if (options && arg.startsWith(QLatin1Char('-')) && !QFileInfo::exists(arg))
            continue;
        files << arg;
    }
    return files;
}

bool SingleInstance::IsListening() const
{
    return m_server->isListening();
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            *buffer += socket->readAll();
            // Bound what a stray client can make us hold.
            if (buffer->size() > (1 << 20)) {
                socket->abort();
                return;
            }
            const qsizetype end = buffer->indexOf("\n\n");
            if (end < 0 && !buffer->startsWith('\n'))
                return;
            QStringList files;
            for (const QByteArray &line : buffer->left(end < 0 ? 0 : end).split('\n'))
                if (!line.isEmpty())
                    files << QString::fromUtf8(line);
            buffer->clear();
            socket->write("ok\n");
            socket->flush();
            if (!files.isEmpty())
                emit FilesReceived(files);
        });
    }
}
