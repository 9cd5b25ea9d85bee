#pragma once
// A scripted banner server on 127.0.0.1 for the connection tests: it records what the client
// sends and writes whatever bytes the test tells it to, in the pieces the test chooses.
#include "platform/ByteIO.h"
#include "platform/settings/Settings.h"
#include "server/ServerMessage.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace LoopbackTest {

inline QByteArray U32(std::uint32_t v)
{
    ByteWriter w;
    w.U32(v);
    return w.Take();
}
inline QByteArray LoginReplyBytes(std::uint32_t result) { return U32(ServerMessageType::LoginReply) + U32(result); }
inline QByteArray PageReplyBytes(const QByteArray &page)
{
    return U32(ServerMessageType::UploadPageReply) + U32(std::uint32_t(page.size())) + page;
}

// Points the client at 127.0.0.1:port through the user settings.
inline void UseServerPort(quint16 port)
{
    const QString key = QStringLiteral("Software\\Corvanta\\Vellumark");
    CreateSettingsKey(SettingsHive::User, key);
    WriteSettingString(SettingsHive::User, key, QStringLiteral("ServerHost"), QStringLiteral("127.0.0.1"));
    WriteSettingDword(SettingsHive::User, key, QStringLiteral("ServerPort"), port);
}

// A port that nothing listens on (taken and released at once).
inline quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

class LoopbackServer : public QObject {
public:
    LoopbackServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                client = s;
                ++connections;
                connect(s, &QTcpSocket::readyRead, this, [this, s] { received += s->readAll(); });
            }
        });
    }
    quint16 Port() const { return m_server.serverPort(); }

    bool WaitForBytes(qsizetype n, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return received.size() >= n; }, ms);
    }
    // Writes the bytes in pieces of `piece` bytes, letting each reach the client on its own.
    void Write(const QByteArray &bytes, qsizetype piece = 0)
    {
        if (piece <= 0)
            piece = bytes.size();
        for (qsizetype i = 0; i < bytes.size(); i += piece) {
            client->write(bytes.mid(i, piece));
            client->flush();
            if (piece < bytes.size())
                QTest::qWait(5);
        }
    }
    // Takes a login request off what was received: the name and password, or empty on failure.
    bool TakeLogin(QString *name, QString *password)
    {
        if (!WaitForBytes(166))
            return false;
        const QByteArray wire = received.left(166);
        received.remove(0, 166);
        ByteReader r(wire);
        if (r.U32() != ServerMessageType::LoginRequest)
            return false;
        *name = QString::fromLatin1(TextFieldBytes(wire.constData() + 4, 81));
        *password = QString::fromLatin1(TextFieldBytes(wire.constData() + 85, 81));
        return true;
    }

    QTcpServer m_server;
    QTcpSocket *client = nullptr;
    int connections = 0;
    QByteArray received;
};

} // namespace LoopbackTest
