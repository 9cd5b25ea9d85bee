#pragma once
// Password checks off the protocol thread, on a small fixed number of workers. Each argon2id
// check takes 64 MiB and a good fraction of a second, so a burst of logins queues here instead
// of running all at once; the protocol thread only hands work over and takes results back.
#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

class PasswordPool : public QObject {
    Q_OBJECT
public:
    explicit PasswordPool(int threads, QObject *parent = nullptr);
    ~PasswordPool() override;

    // A ticket lets the caller drop a check it no longer needs (its client went away) before a
    // worker spends a hash on it.
    using Ticket = std::shared_ptr<std::atomic<bool>>;

    // Checks password against hash on a worker, then calls done(accepted) on this object's
    // thread, provided context still exists. An empty hash is checked against a decoy, so an
    // unknown user costs as much time as a wrong password.
    Ticket Verify(std::string hash, QByteArray password, QObject *context, std::function<void(bool)> done);

    int Threads() const { return m_pool.maxThreadCount(); }
    // Checks handed over and not yet answered.
    int Pending() const { return m_pending.load(); }

private:
    QThreadPool m_pool;
    std::string m_decoy;
    std::atomic<int> m_pending{0};
};
