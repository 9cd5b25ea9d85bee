#include "server/MessageSocket.h"

#include <QAbstractSocket>

qint64 QtMessageSocket::Available()
{
    return m_socket ? m_socket->bytesAvailable() : -1;
}

qint64 QtMessageSocket::Peek(char *data, qint64 max)
{
    return m_socket ? m_socket->peek(data, max) : -1;
}

qint64 QtMessageSocket::Receive(char *data, qint64 max)
{
    return m_socket ? m_socket->read(data, max) : -1;
}

qint64 QtMessageSocket::Send(const char *data, qint64 size)
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return -1;
    return m_socket->write(data, size);
}
