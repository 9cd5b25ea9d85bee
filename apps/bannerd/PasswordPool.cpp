#include "PasswordPool.h"

#include "AccountStore.h"

#include <QPointer>
#include <sodium.h>

PasswordPool::PasswordPool(int threads, QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(threads < 1 ? 1 : threads);
    // Hash workers hold 64 MiB each while they run; keep them from idling around for long.
    m_pool.setExpiryTimeout(10000);
    unsigned char random[16];
    randombytes_buf(random, sizeof random);
    m_decoy = PasswordHash::Make(QByteArray(reinterpret_cast<const char *>(random), sizeof random));
}

PasswordPool::~PasswordPool()
{
    m_pool.clear();
    m_pool.waitForDone();
}

PasswordPool::Ticket PasswordPool::Verify(std::string hash, QByteArray password, QObject *context,
                                          std::function<void(bool)> done)
{
    auto ticket = std::make_shared<std::atomic<bool>>(false);
    QPointer<QObject> target(context);
    ++m_pending;
    m_pool.start([this, ticket, target, hash = std::move(hash), password = std::move(password),
                  done = std::move(done)]() mutable {
        bool accepted = false;
        if (!ticket->load()) {
            const bool known = !hash.empty();
            const bool matches = PasswordHash::Verify(known ? hash : m_decoy, password);
            accepted = known && matches;
        }
        sodium_memzero(password.data(), std::size_t(password.size()));
        QMetaObject::invokeMethod(this, [this, ticket, target, done = std::move(done), accepted] {
            --m_pending;
            if (target && !ticket->load())
                done(accepted);
        }, Qt::QueuedConnection);
    });
    return ticket;
}
