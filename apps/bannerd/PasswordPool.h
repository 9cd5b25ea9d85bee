#pragma once
// Password checks off the protocol thread, on a small fixed number of workers. Each argon2id
// check takes some MiB and tens of milliseconds, so a burst of logins waits here instead of
// running all at once; the protocol thread only hands work over and takes results back.
// Waiting checks are bounded and taken in turn by client address, so one address that floods
// the server with logins delays the logins of others by at most one check per round.
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

struct PasswordPoolLimits {
    // Checks waiting or running. An address may always have its fair share of this (the bound
    // divided among the addresses waiting), up to twice the bound in all.
    int maxPending = 64;
};

class PasswordPool : public QObject {
    Q_OBJECT
public:
    using Limits = PasswordPoolLimits;

    explicit PasswordPool(int threads, Limits limits = {}, QObject *parent = nullptr);
    ~PasswordPool() override;

    // A ticket lets the caller drop a check it no longer needs (its client went away) before a
    // worker spends a hash on it.
    using Ticket = std::shared_ptr<std::atomic<bool>>;
    // accepted; newHash is a fresh hash of the accepted password when the stored one was made
    // with older parameters (empty otherwise).
    using Done = std::function<void(bool accepted, const std::string &newHash)>;

    // Checks password against hash on a worker, then calls done on this object's thread,
    // provided context still exists. An empty hash is checked against a decoy, so an unknown
    // user costs as much time as a wrong password. A null ticket, and no call, when the queue
    // has no room for another check from this address.
    Ticket Verify(const QString &address, std::string hash, QByteArray password, QObject *context, Done done);

    int Threads() const { return m_pool.maxThreadCount(); }
    // Checks handed over and not yet answered.
    int Pending() const { return m_pending.load(); }

private:
    struct Job {
        Ticket ticket;
        std::string hash;
        QByteArray password;
        std::function<void(bool, std::string)> finish;
    };
    bool HasRoomFor(const QString &address) const;
    void RunNext();

    QThreadPool m_pool;
    Limits m_limits;
    std::string m_decoy;
    std::atomic<int> m_pending{0};
    mutable std::mutex m_mutex;
    std::map<QString, std::deque<Job>> m_waiting; // by address
    std::map<QString, int> m_perAddress;           // waiting or running
    std::deque<QString> m_turns;                   // addresses with waiting checks, next first
    int m_total = 0;
};
