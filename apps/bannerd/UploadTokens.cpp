#include "UploadTokens.h"

#include <sodium.h>

#include <algorithm>

UploadTokens::UploadTokens(std::chrono::seconds lifetime, Now now) : m_lifetime(lifetime), m_now(std::move(now)) {}

std::string UploadTokens::IssueFor(quint64 connection, const QString &user)
{
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    if (auto own = m_byConnection.find(connection); own != m_byConnection.end()) {
        auto entry = m_byToken.find(own->second);
        if (entry != m_byToken.end() && entry->second.user == user && now < entry->second.expires)
            return own->second;
        if (entry != m_byToken.end())
            m_byToken.erase(entry);
        m_byConnection.erase(own);
    }
    unsigned char random[32];
    randombytes_buf(random, sizeof random);
    char hex[2 * sizeof random + 1];
    sodium_bin2hex(hex, sizeof hex, random, sizeof random);
    std::string token(hex);
    m_byToken[token] = Entry{user, connection, now + m_lifetime, {}};
    m_byConnection[connection] = token;
    return token;
}

std::optional<QString> UploadTokens::Redeem(const std::string &token)
{
    std::lock_guard lock(m_mutex);
    const auto entry = m_byToken.find(token);
    if (entry == m_byToken.end() || !(m_now() < entry->second.expires))
        return std::nullopt;
    return entry->second.user;
}

bool UploadTokens::ClaimUpload(const std::string &token, const std::string &digest)
{
    // A page that is used for many different banners keeps only the latest ones in mind.
    constexpr std::size_t kRemembered = 64;
    std::lock_guard lock(m_mutex);
    const auto entry = m_byToken.find(token);
    if (entry == m_byToken.end())
        return true;
    std::vector<std::string> &uploads = entry->second.uploads;
    if (std::find(uploads.begin(), uploads.end(), digest) != uploads.end())
        return false;
    if (uploads.size() >= kRemembered)
        uploads.erase(uploads.begin());
    uploads.push_back(digest);
    return true;
}

void UploadTokens::ReleaseUpload(const std::string &token, const std::string &digest)
{
    std::lock_guard lock(m_mutex);
    if (const auto entry = m_byToken.find(token); entry != m_byToken.end())
        std::erase(entry->second.uploads, digest);
}

void UploadTokens::RevokeConnection(quint64 connection)
{
    std::lock_guard lock(m_mutex);
    const auto own = m_byConnection.find(connection);
    if (own == m_byConnection.end())
        return;
    m_byToken.erase(own->second);
    m_byConnection.erase(own);
}

std::size_t UploadTokens::Purge()
{
    std::lock_guard lock(m_mutex);
    const auto now = m_now();
    for (auto it = m_byToken.begin(); it != m_byToken.end();) {
        if (now < it->second.expires) {
            ++it;
            continue;
        }
        m_byConnection.erase(it->second.connection);
        it = m_byToken.erase(it);
    }
    return m_byToken.size();
}
