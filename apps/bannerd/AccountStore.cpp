#include "AccountStore.h"

#include "platform/Win1252.h"

#include <sodium.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kMaxFieldChars = 80; // an 81-byte wire field with its terminator

QString SqlError(sqlite3 *db)
{
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : "out of memory");
}

bool IsWireText(const QString &text, const char *what, QString *why)
{
    if (text.isEmpty()) {
        *why = QStringLiteral("the %1 is empty").arg(QLatin1String(what));
        return false;
    }
    if (text.size() > kMaxFieldChars) {
        *why = QStringLiteral("the %1 is longer than %2 characters").arg(QLatin1String(what)).arg(kMaxFieldChars);
        return false;
    }
    if (!Win1252::CanEncode(text)) {
        *why = QStringLiteral("the %1 has characters outside Windows-1252").arg(QLatin1String(what));
        return false;
    }
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control) {
            *why = QStringLiteral("the %1 has control characters").arg(QLatin1String(what));
            return false;
        }
    }
    return true;
}

// RAII for one prepared statement.
class Statement {
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    sqlite3_stmt *get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }

private:
    sqlite3_stmt *m_stmt = nullptr;
};
} // namespace

std::string PasswordHash::Make(const QByteArray &password)
{
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.constData(), std::size_t(password.size()), kPasses, kMemoryBytes,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return out;
}

bool PasswordHash::NeedsRehash(const std::string &hash)
{
    return crypto_pwhash_str_needs_rehash(hash.c_str(), kPasses, kMemoryBytes) != 0;
}

bool PasswordHash::Verify(const std::string &hash, const QByteArray &password)
{
    return !hash.empty()
        && crypto_pwhash_str_verify(hash.c_str(), password.constData(), std::size_t(password.size())) == 0;
}

AccountStore::~AccountStore()
{
    sqlite3_close(m_db);
}

bool AccountStore::Exec(const char *sql, QString *error)
{
    char *message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    *error = QString::fromUtf8(message ? message : "unknown error");
    sqlite3_free(message);
    return false;
}

bool AccountStore::Open(const QString &path, QString *error)
{
    if (sodium_init() < 0) {
        *error = QStringLiteral("libsodium could not be initialised");
        return false;
    }
    const QByteArray file = path.toUtf8();
    // The file holds password hashes: made for the server's user alone. SQLite gives its
    // journal files the same permissions.
    if (const int fd = ::open(file.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); fd >= 0)
        ::close(fd);
    if (sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, SqlError(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    // adduser may run while the server reads: wait for the other's lock rather than fail.
    sqlite3_busy_timeout(m_db, 5000);
    QString why;
    if (!Exec("PRAGMA journal_mode=WAL;", &why)
        || !Exec("CREATE TABLE IF NOT EXISTS accounts ("
                 " name TEXT PRIMARY KEY NOT NULL,"
                 " hash TEXT NOT NULL,"
                 " created INTEGER NOT NULL,"
                 " changed INTEGER NOT NULL);",
                 &why)) {
        *error = QStringLiteral("cannot use %1: %2").arg(path, why);
        return false;
    }
    return true;
}

AccountStore::SetResult AccountStore::SetPassword(const QString &name, const QByteArray &password, QString *error)
{
    const std::string hash = PasswordHash::Make(password);
    if (hash.empty()) {
        *error = QStringLiteral("not enough memory to hash the password");
        return SetResult::Failed;
    }
    const bool existed = HashOf(name).has_value();
    Statement insert(m_db, "INSERT INTO accounts(name, hash, created, changed) VALUES(?1, ?2, ?3, ?3)"
                           " ON CONFLICT(name) DO UPDATE SET hash = excluded.hash, changed = excluded.changed;");
    if (!insert) {
        *error = SqlError(m_db);
        return SetResult::Failed;
    }
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(insert.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert.get(), 2, hash.c_str(), int(hash.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert.get(), 3, sqlite3_int64(time(nullptr)));
    if (sqlite3_step(insert.get()) != SQLITE_DONE) {
        *error = SqlError(m_db);
        return SetResult::Failed;
    }
    return existed ? SetResult::Changed : SetResult::Added;
}

std::optional<std::string> AccountStore::HashOf(const QString &name) const
{
    Statement select(m_db, "SELECT hash FROM accounts WHERE name = ?1;");
    if (!select)
        return std::nullopt;
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(select.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(select.get()) != SQLITE_ROW)
        return std::nullopt;
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(select.get(), 0));
    if (!text)
        return std::nullopt;
    return std::string(text);
}

bool AccountStore::ReplaceHash(const QString &name, const std::string &oldHash, const std::string &newHash)
{
    Statement update(m_db, "UPDATE accounts SET hash = ?3 WHERE name = ?1 AND hash = ?2;");
    if (!update || newHash.empty())
        return false;
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(update.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(update.get(), 2, oldHash.c_str(), int(oldHash.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(update.get(), 3, newHash.c_str(), int(newHash.size()), SQLITE_TRANSIENT);
    return sqlite3_step(update.get()) == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

bool AccountStore::IsValidUserName(const QString &name, QString *why)
{
    return IsWireText(name, "user name", why);
}

bool AccountStore::IsValidPassword(const QString &password, QString *why)
{
    return IsWireText(password, "password", why);
}
