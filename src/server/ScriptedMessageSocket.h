#pragma once
// A MessageSocket driven by its caller: bytes "arrive" when the caller delivers them and are
// then available in one buffer, as a real socket's receive queue; what is sent is recorded.
// Tests use it to hand a message over in any split; the fuzz target feeds it arbitrary bytes.
#include "server/MessageSocket.h"

#include <QByteArray>
#include <algorithm>
#include <cstring>

class ScriptedMessageSocket : public MessageSocket {
public:
    void Deliver(const QByteArray &bytes) { incoming.append(bytes); }

    qint64 Available() override { return failAvailable ? -1 : incoming.size(); }
    qint64 Peek(char *data, qint64 max) override
    {
        if (failReceive)
            return -1;
        const qint64 n = std::min<qint64>(max, incoming.size());
        std::memcpy(data, incoming.constData(), std::size_t(n));
        return n;
    }
    qint64 Receive(char *data, qint64 max) override
    {
        const qint64 n = Peek(data, max);
        if (n > 0) {
            incoming.remove(0, n);
            received += n;
        }
        return n;
    }
    qint64 Send(const char *data, qint64 size) override
    {
        if (failSend)
            return -1;
        const qint64 n = sendLimit >= 0 ? std::min(size, sendLimit) : size;
        sent.append(data, n);
        ++sendCalls;
        return n;
    }

    QByteArray incoming;      // arrived, not yet received
    QByteArray sent;          // everything the socket took
    qint64 received = 0;      // bytes consumed by Receive
    qint64 sendLimit = -1;    // most bytes one Send takes; -1: all
    int sendCalls = 0;
    bool failAvailable = false;
    bool failReceive = false;
    bool failSend = false;
};
