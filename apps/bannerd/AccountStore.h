#pragma once
// Accounts of the banner server: user names with argon2id password hashes in an SQLite file.
// Passwords are the Windows-1252 bytes the editor sends, so the hash is made over those bytes.
#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

struct sqlite3;

namespace PasswordHash {
// argon2id with 2 passes over 19 MiB (the common guidance for interactive logins): a few tens
// of milliseconds, so a burst of logins is through quickly. Every stored hash records its own
// parameters, so Verify follows the stored ones.
inline constexpr unsigned long long kPasses = 2;
inline constexpr std::size_t kMemoryBytes = 19u * 1024 * 1024;
std::string Make(const QByteArray &password);
bool Verify(const std::string &hash, const QByteArray &password);
// The hash was made with other parameters than Make uses now.
bool NeedsRehash(const std::string &hash);
}

class AccountStore {
public:
    AccountStore() = default;
    ~AccountStore();
    AccountStore(const AccountStore &) = delete;
    AccountStore &operator=(const AccountStore &) = delete;

    // Opens (creating when missing) the database file and its table.
    bool Open(const QString &path, QString *error);

    enum class SetResult { Added, Changed, Failed };
    // Adds the user, or gives an existing one a new password. Hashes on the calling thread.
    SetResult SetPassword(const QString &name, const QByteArray &password, QString *error);
    // The stored hash of a user; none when the user is unknown or the lookup fails.
    std::optional<std::string> HashOf(const QString &name) const;
    // Replaces the user's hash, provided it is still `oldHash` (nobody set a new password since).
    bool ReplaceHash(const QString &name, const std::string &oldHash, const std::string &newHash);

    // What the wire can carry: 1 to 80 Windows-1252 characters, no control characters.
    static bool IsValidUserName(const QString &name, QString *why);
    static bool IsValidPassword(const QString &password, QString *why);

private:
    bool Exec(const char *sql, QString *error);

    sqlite3 *m_db = nullptr;
};
