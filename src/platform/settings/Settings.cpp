#include "platform/settings/Settings.h"
#include "platform/AtomicFile.h"
#include "platform/settings/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include <map>
#include <mutex>
#include <sys/stat.h>

// Each hive is one JSON file: {"keys": {"<key path>": {"<value>": {"sz": "text"} | {"dword": n}}}}.
// A hive's contents are kept between operations and read again only when its file changed on
// disk (another running editor wrote it), so the idle refreshes that read settings many times
// a second cost a stat each. Writes run under a lock file and replace the file atomically
// (AtomicFile), so a crash mid-write leaves the previous settings intact. A file that cannot be
// parsed is moved aside to "<name>.bad" before anything replaces it, and reported once.
namespace {

const QString kSz = QStringLiteral("sz");
const QString kDword = QStringLiteral("dword");

QString HiveFile(SettingsHive hive)
{
    switch (hive) {
    case SettingsHive::User: return AppPaths::UserConfigDir() + QStringLiteral("/user.json");
    case SettingsHive::Classes: return AppPaths::UserConfigDir() + QStringLiteral("/classes.json");
    case SettingsHive::Machine: return AppPaths::MachineSettingsFile();
    }
    return {};
}

// What identifies one version of a file: a replacement by rename changes the inode, an
// overwrite in place the time or the size.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp &) const = default;
};

FileStamp StampOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, st.st_dev, st.st_ino, st.st_size, std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

struct CachedHive {
    QString path;
    FileStamp stamp;
    QJsonObject keys;
    bool valid = false;
};

std::recursive_mutex g_cacheMutex;
std::map<SettingsHive, CachedHive> g_cache;
std::uint64_t g_fileReads = 0;
std::function<void(const QString &, const QString &)> g_damageHandler;

// Keeps a file that does not parse beside the hive, so the next write cannot lose what it held.
// `locked`: the caller already holds the hive's lock file.
void KeepDamagedFile(const QString &path, const QByteArray &bytes, bool locked)
{
    const QString kept = path + QStringLiteral(".bad");
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    if (!locked && !lock.tryLock(5000))
        return;
    // Only the damaged version goes aside, not one another editor has written since.
    QFile again(path);
    if (!again.open(QIODevice::ReadOnly) || again.readAll() != bytes)
        return;
    again.close();
    QFile::remove(kept);
    if (!QFile::rename(path, kept))
        return;
    if (g_damageHandler)
        g_damageHandler(path, kept);
    else
        qWarning("Settings file %s could not be read; it was kept as %s", qPrintable(path), qPrintable(kept));
}

QJsonObject LoadKeys(SettingsHive hive, bool locked = false)
{
    std::lock_guard guard(g_cacheMutex);
    const QString path = HiveFile(hive);
    CachedHive &cached = g_cache[hive];
    const FileStamp stamp = StampOf(path);
    if (cached.valid && cached.path == path && cached.stamp == stamp)
        return cached.keys;
    cached = CachedHive{path, stamp, {}, true};
    if (!stamp.exists)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        cached.valid = false;
        return {};
    }
    ++g_fileReads;
    const QByteArray bytes = file.readAll();
    file.close();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (!bytes.trimmed().isEmpty() && (error.error != QJsonParseError::NoError || !document.isObject())) {
        if (hive != SettingsHive::Machine) {
            KeepDamagedFile(path, bytes, locked);
            cached.stamp = StampOf(path);
        }
        return {};
    }
    cached.keys = document.object().value(QStringLiteral("keys")).toObject();
    return cached.keys;
}

bool SaveKeys(SettingsHive hive, const QJsonObject &keys)
{
    const QString path = HiveFile(hive);
    if (!AtomicFile::Write(path, QJsonDocument(QJsonObject{{QStringLiteral("keys"), keys}}).toJson()))
        return false;
    std::lock_guard guard(g_cacheMutex);
    g_cache[hive] = CachedHive{path, StampOf(path), keys, true};
    return true;
}

QString Normalize(QString key)
{
    key.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (key.endsWith(QLatin1Char('\\')))
        key.chop(1);
    while (key.startsWith(QLatin1Char('\\')))
        key.remove(0, 1);
    return key;
}

// The stored spelling of a name that equals `name` without case, or empty.
QString FindName(const QJsonObject &object, const QString &name)
{
    for (auto it = object.begin(); it != object.end(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.key();
    return {};
}

std::optional<QJsonObject> ReadValue(SettingsHive hive, const QString &key, const QString &name)
{
    const QJsonObject keys = LoadKeys(hive);
    const QString k = FindName(keys, Normalize(key));
    if (k.isEmpty())
        return std::nullopt;
    const QJsonObject values = keys.value(k).toObject();
    const QString v = FindName(values, name);
    if (v.isEmpty())
        return std::nullopt;
    return values.value(v).toObject();
}

// Read-modify-write of one hive under its lock. `change` returns false to abandon the write.
template <typename Change>
int Update(SettingsHive hive, Change change)
{
    if (hive == SettingsHive::Machine)
        return -1;
    const QString path = HiveFile(hive);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return -1;
    QLockFile lock(path + QStringLiteral(".lock"));
    lock.setStaleLockTime(5000);
    if (!lock.tryLock(5000))
        return -1;
    std::lock_guard guard(g_cacheMutex);
    QJsonObject keys = LoadKeys(hive, true);
    if (!change(keys))
        return -1;
    return SaveKeys(hive, keys) ? 0 : -1;
}

int WriteValue(SettingsHive hive, const QString &key, const QString &name, const QJsonObject &value)
{
    return Update(hive, [&](QJsonObject &keys) {
        const QString k = FindName(keys, Normalize(key));
        if (k.isEmpty())
            return false;
        QJsonObject values = keys.value(k).toObject();
        const QString existing = FindName(values, name);
        values.remove(existing);
        values.insert(existing.isEmpty() ? name : existing, value);
        keys.insert(k, values);
        return true;
    });
}

// Machine values may name the per-user data folder as %DATA%, since an installation cannot
// know each user's home.
QString Expand(SettingsHive hive, QString text)
{
    if (hive == SettingsHive::Machine)
        text.replace(QStringLiteral("%DATA%"), AppPaths::UserDataDir());
    return text;
}

QString g_applicationKey = QStringLiteral("Software\\Corvanta\\Vellumark");

} // namespace

int ReadSettingString(SettingsHive hive, const QString &key, const QString &name, QString *text)
{
    const auto value = ReadValue(hive, key, name);
    if (!value || !value->value(kSz).isString())
        return -1;
    if (text)
        *text = Expand(hive, value->value(kSz).toString());
    return 0;
}

int WriteSettingString(SettingsHive hive, const QString &key, const QString &name, const QString &text)
{
    return WriteValue(hive, key, name, QJsonObject{{kSz, text}});
}

int ReadSettingDword(SettingsHive hive, const QString &key, const QString &name, std::uint32_t *value)
{
    if (value)
        *value = 0;
    const auto stored = ReadValue(hive, key, name);
    if (!stored || !stored->value(kDword).isDouble())
        return -1;
    const double d = stored->value(kDword).toDouble();
    if (d < 0 || d > 4294967295.0)
        return -1;
    if (value)
        *value = std::uint32_t(d);
    return 0;
}

int WriteSettingDword(SettingsHive hive, const QString &key, const QString &name, std::uint32_t value)
{
    return WriteValue(hive, key, name, QJsonObject{{kDword, double(value)}});
}

int CreateSettingsKey(SettingsHive hive, const QString &key)
{
    return Update(hive, [&](QJsonObject &keys) {
        const QString k = Normalize(key);
        if (k.isEmpty())
            return false;
        if (FindName(keys, k).isEmpty())
            keys.insert(k, QJsonObject{});
        return true;
    });
}

bool SettingsKeyExists(SettingsHive hive, const QString &key)
{
    return !FindName(LoadKeys(hive), Normalize(key)).isEmpty();
}

int DeleteSettingValue(SettingsHive hive, const QString &key, const QString &name)
{
    return Update(hive, [&](QJsonObject &keys) {
        const QString k = FindName(keys, Normalize(key));
        if (k.isEmpty())
            return false;
        QJsonObject values = keys.value(k).toObject();
        const QString v = FindName(values, name);
        if (v.isEmpty())
            return false;
        values.remove(v);
        keys.insert(k, values);
        return true;
    });
}

void SetSettingsDamageHandler(std::function<void(const QString &, const QString &)> handler)
{
    std::lock_guard guard(g_cacheMutex);
    g_damageHandler = std::move(handler);
}

std::uint64_t SettingsFileReads()
{
    std::lock_guard guard(g_cacheMutex);
    return g_fileReads;
}

namespace Profile {

void SetApplicationKey(const QString &key)
{
    g_applicationKey = key;
}

QString ApplicationKey()
{
    return g_applicationKey;
}

static QString SectionKey(const QString &section)
{
    return g_applicationKey + QLatin1Char('\\') + section;
}

QString GetString(const QString &section, const QString &entry, const QString &fallback)
{
    QString text;
    return ReadSettingString(SettingsHive::User, SectionKey(section), entry, &text) == 0 ? text : fallback;
}

bool WriteString(const QString &section, const QString &entry, const QString &value)
{
    return CreateSettingsKey(SettingsHive::User, SectionKey(section)) == 0
        && WriteSettingString(SettingsHive::User, SectionKey(section), entry, value) == 0;
}

std::uint32_t GetInt(const QString &section, const QString &entry, std::uint32_t fallback)
{
    std::uint32_t value = 0;
    return ReadSettingDword(SettingsHive::User, SectionKey(section), entry, &value) == 0 ? value : fallback;
}

bool WriteInt(const QString &section, const QString &entry, std::uint32_t value)
{
    return CreateSettingsKey(SettingsHive::User, SectionKey(section)) == 0
        && WriteSettingDword(SettingsHive::User, SectionKey(section), entry, value) == 0;
}

} // namespace Profile
