#include "PasswordPool.h"

#include "AccountStore.h"

#include <QPointer>
#include <sodium.h>

PasswordPool::PasswordPool(int threads, Limits limits, QObject *parent) : QObject(parent), m_limits(limits)
{
    m_pool.setMaxThreadCount(threads < 1 ? 1 : threads);
    // Hash workers hold their memory while they run; keep them from idling around for long.
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

bool PasswordPool::HasRoomFor(const QString &address) const
{
    const int bound = std::max(1, m_limits.maxPending);
    if (m_total < bound)
        return true;
    const auto own = m_perAddress.find(address);
    const int mine = own == m_perAddress.end() ? 0 : own->second;
    const int addresses = int(m_perAddress.size()) + (own == m_perAddress.end() ? 1 : 0);
    return m_total < 2 * bound && mine < bound / addresses;
}

PasswordPool::Ticket PasswordPool::Verify(const QString &address, std::string hash, QByteArray password,
                                          QObject *context, Done done)
{
    auto ticket = std::make_shared<std::atomic<bool>>(false);
    {
        std::lock_guard lock(m_mutex);
        if (!HasRoomFor(address)) {
            sodium_memzero(password.data(), std::size_t(password.size()));
            return nullptr;
        }
        ++m_total;
        ++m_perAddress[address];
        std::deque<Job> &queue = m_waiting[address];
        if (queue.empty())
            m_turns.push_back(address);
        QPointer<QObject> target(context);
        queue.push_back(Job{ticket, std::move(hash), std::move(password),
                            [this, ticket, target, address, done = std::move(done)](bool accepted, std::string newHash) {
                                QMetaObject::invokeMethod(this, [=, this] {
                                    --m_pending;
                                    if (target && !ticket->load())
                                        done(accepted, newHash);
                                }, Qt::QueuedConnection);
                                std::lock_guard lock(m_mutex);
                                --m_total;
                                if (--m_perAddress[address] == 0)
                                    m_perAddress.erase(address);
                            }});
    }
    ++m_pending;
    // One run per check; each takes whichever check is next in turn.
    m_pool.start([this] { RunNext(); });
    return ticket;
}

void PasswordPool::RunNext()
{
    Job job;
    {
        std::lock_guard lock(m_mutex);
        if (m_turns.empty())
            return;
        const QString address = m_turns.front();
        m_turns.pop_front();
        std::deque<Job> &queue = m_waiting[address];
        job = std::move(queue.front());
        queue.pop_front();
        if (queue.empty())
            m_waiting.erase(address);
        else
            m_turns.push_back(address);
    }
    bool accepted = false;
    std::string newHash;
    if (!job.ticket->load()) {
        const bool known = !job.hash.empty();
        const bool matches = PasswordHash::Verify(known ? job.hash : m_decoy, job.password);
        accepted = known && matches;
        if (accepted && PasswordHash::NeedsRehash(job.hash))
            newHash = PasswordHash::Make(job.password);
    }
    sodium_memzero(job.password.data(), std::size_t(job.password.size()));
    job.finish(accepted, std::move(newHash));
}
