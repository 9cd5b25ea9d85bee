#pragma once
// Upload tokens: the secret part of an upload page's form address. A token belongs to one user
// and one protocol connection; it is good while that connection stays logged in, for at most
// its lifetime (30 minutes), and is shared between the protocol thread that issues it and the
// HTTP workers that redeem it.
#include <QString>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class UploadTokens {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    explicit UploadTokens(std::chrono::seconds lifetime = std::chrono::minutes(30), Now now = Clock::now);

    // The connection's live token for this user, or a fresh one (64 hex digits) that replaces
    // whatever the connection had. Asking again on the same connection gives the same address
    // back, so going back to the page and uploading again works.
    std::string IssueFor(quint64 connection, const QString &user);
    // The user a token was issued to, while it is good.
    std::optional<QString> Redeem(const std::string &token);
    // An accepted upload of these bytes (their digest) through this token is about to be
    // stored: true the first time, false when the same bytes already came through it, so a
    // request that a client sends again is answered from the first instead of stored twice.
    bool ClaimUpload(const std::string &token, const std::string &digest);
    // The claimed upload could not be stored after all.
    void ReleaseUpload(const std::string &token, const std::string &digest);
    // The connection closed or logged in anew: its token is refused from now on.
    void RevokeConnection(quint64 connection);
    // Drops expired tokens; returns how many remain.
    std::size_t Purge();

private:
    struct Entry {
        QString user;
        quint64 connection;
        Clock::time_point expires;
        std::vector<std::string> uploads; // digests of what was stored through it
    };

    std::chrono::seconds m_lifetime;
    Now m_now;
    std::mutex m_mutex;
    std::unordered_map<std::string, Entry> m_byToken;
    std::unordered_map<quint64, std::string> m_byConnection;
};
