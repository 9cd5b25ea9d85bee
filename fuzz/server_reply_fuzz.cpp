// Arbitrary reply bytes into the client's receive path: the stream framing and the reply kinds'
// receive steps, over a scripted socket. The first byte picks how the bytes are split into
// notifications, so splits inside type codes, length fields and pages are all exercised; its high
// bit reads the bytes as requests instead, the server's side of the same code.
#include "server/ScriptedMessageSocket.h"
#include "server/ServerMessage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + (data[0] & 0x0F);
    const bool requests = (data[0] & 0x80) != 0;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    ScriptedMessageSocket socket;
    MessageReceiver receiver(requests ? CreateRequest : CreateReply);
    qsizetype delivered = 0;
    for (int pass = 0; pass < 100000; ++pass) {
        if (delivered < stream.size()) {
            socket.Deliver(stream.mid(delivered, qsizetype(piece)));
            delivered += qsizetype(piece);
        }
        const qint64 before = socket.incoming.size();
        const MessageReceiver::Outcome outcome = receiver.Receive(socket);
        if (outcome == MessageReceiver::Outcome::Failed)
            break;
        if (outcome == MessageReceiver::Outcome::Complete) {
            const ServerMessage *reply = receiver.Current();
            if (const auto *login = dynamic_cast<const LoginReply *>(reply))
                (void)login->Result();
            else if (const auto *page = dynamic_cast<const UploadPageReply *>(reply))
                if (std::uint32_t(page->Page().size()) != page->PageLength())
                    __builtin_trap();
        }
        // Everything delivered and nothing more to read: the rest is an unfinished message.
        if (delivered >= stream.size() && socket.incoming.size() == before && outcome != MessageReceiver::Outcome::Complete)
            break;
    }
    return 0;
}
