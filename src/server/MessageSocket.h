#pragma once
// The four socket operations the message steps need. The same message code runs on a Qt socket
// (both ends of the banner connection) and on a scripted socket in tests that hands the bytes
// over in whatever pieces it is told to.
#include <QtGlobal>

class QAbstractSocket;

class MessageSocket {
public:
    virtual ~MessageSocket() = default;
    // Bytes that can be received now without waiting; -1 when the socket cannot tell.
    virtual qint64 Available() = 0;
    // Copies up to max bytes of what is available without consuming them; -1 on failure.
    virtual qint64 Peek(char *data, qint64 max) = 0;
    // Consumes up to max available bytes; the count, or -1 on failure.
    virtual qint64 Receive(char *data, qint64 max) = 0;
    // Hands up to size bytes to the socket; the count it took (0 when it takes nothing now),
    // or -1 on failure.
    virtual qint64 Send(const char *data, qint64 size) = 0;
};

// A MessageSocket over a Qt TCP (or local) socket. Qt buffers every write, so Send takes all
// that it is given while the socket is open.
class QtMessageSocket : public MessageSocket {
public:
    explicit QtMessageSocket(QAbstractSocket *socket) : m_socket(socket) {}
    qint64 Available() override;
    qint64 Peek(char *data, qint64 max) override;
    qint64 Receive(char *data, qint64 max) override;
    qint64 Send(const char *data, qint64 size) override;

private:
    QAbstractSocket *m_socket;
};
