#pragma once
// Accounts of the banner server: user names with argon2id password hashes in an SQLite file.
// Passwords are the Windows-1252 bytes the editor sends, so the hash is made over those bytes.
#include <QByteArray>
#include <QString>
#include <optional>
#include <string>

struct sqlite3;

namespace PasswordHash {
// argon2id with libsodium's interactive limits (2 passes, 64 MiB): sound for logins that a
// person waits for, and what every stored hash records, so Verify follows the stored limits.
std::string Make(const QByteArray &password);
bool Verify(const std::string &hash, const QByteArray &password);
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

    // What the wire can carry: 1 to 80 Windows-1252 characters, no control characters.
    static bool IsValidUserName(const QString &name, QString *why);
    static bool IsValidPassword(const QString &password, QString *why);

private:
    bool Exec(const char *sql, QString *error);

    sqlite3 *m_db = nullptr;
};
