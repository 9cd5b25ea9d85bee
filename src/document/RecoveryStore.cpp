#include "document/RecoveryStore.h"

#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QUuid>
#include <algorithm>

struct RecoveryStore::Folder {
    QString path;
    std::unique_ptr<QLockFile> lock;
    int open = 0; // copies neither restored, discarded nor kept aside; only the worker counts down
};

namespace {
const QString kDamaged = QStringLiteral("Damaged");

QString InfoFileOf(const QString &bannerFile)
{
    return bannerFile.chopped(4) + QStringLiteral(".json");
}

QByteArray InfoBytes(const RecoveryStore::Info &info)
{
    QJsonObject object;
    object[QStringLiteral("title")] = info.title;
    object[QStringLiteral("path")] = info.path;
    object[QStringLiteral("time")] = info.time.toUTC().toString(Qt::ISODateWithMs);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool ReadInfo(const QString &file, RecoveryStore::Info *info)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly) || in.size() > 64 * 1024)
        return false;
    const QJsonObject object = QJsonDocument::fromJson(in.readAll()).object();
    info->title = object.value(QStringLiteral("title")).toString();
    info->path = object.value(QStringLiteral("path")).toString();
    info->time = QDateTime::fromString(object.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
    return !info->title.isEmpty() && info->time.isValid();
}

// Everything of the folder goes; the lock last, so no other editor takes a half-removed folder.
void RemoveFolder(const QString &path, QLockFile *lock)
{
    QDir dir(path);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        if (name != QLatin1String("lock"))
            dir.remove(name);
    if (lock)
        lock->unlock();
    dir.removeRecursively();
}

std::unique_ptr<QLockFile> LockOf(const QString &folder)
{
    auto lock = std::make_unique<QLockFile>(folder + QStringLiteral("/lock"));
    // The lock is held for as long as the editor runs: only a dead owner makes it stale.
    lock->setStaleLockTime(0);
    return lock;
}
} // namespace

RecoveryStore::RecoveryStore(QString root) : m_root(std::move(root))
{
    m_worker.setMaxThreadCount(1);
}

RecoveryStore::~RecoveryStore()
{
    m_worker.waitForDone();
    m_adopted.clear();
    if (m_lock)
        RemoveFolder(m_folder, m_lock.get());
}

bool RecoveryStore::Open(QString *error)
{
    const QString name = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid())
                             .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    const QString folder = m_root + QLatin1Char('/') + name;
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    auto lock = LockOf(folder);
    if (!lock->tryLock(0)) {
        if (error)
            *error = QStringLiteral("the folder %1 cannot be locked").arg(QDir::toNativeSeparators(folder));
        QDir(folder).removeRecursively();
        return false;
    }
    m_folder = folder;
    m_lock = std::move(lock);
    return true;
}

QString RecoveryStore::BannerFile(int id) const
{
    return m_folder + QStringLiteral("/%1.bnr").arg(id);
}

QString RecoveryStore::InfoFile(int id) const
{
    return InfoFileOf(BannerFile(id));
}

void RecoveryStore::Write(int id, QByteArray bytes, Info info)
{
    if (!m_lock)
        return;
    const std::lock_guard<std::mutex> guard(m_mutex);
    Pending &pending = m_pending[id];
    pending.bytes = std::move(bytes);
    pending.info = std::move(info);
    if (pending.waiting)
        return;
    pending.waiting = true;
    pending.ticket = ++m_tickets;
    const unsigned ticket = pending.ticket;
    m_worker.start([this, id, ticket] { WritePending(id, ticket); });
}

void RecoveryStore::WritePending(int id, unsigned ticket)
{
    QByteArray bytes;
    Info info;
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        // A removal since the task was asked for took its copy away.
        const auto it = m_pending.find(id);
        if (it == m_pending.end() || it->second.ticket != ticket || !it->second.waiting)
            return;
        bytes = std::move(it->second.bytes);
        info = std::move(it->second.info);
        it->second.waiting = false;
    }
    // The description first: a banner file is only offered once what the offer says is there.
    QString error;
    const bool ok = AtomicFile::Write(InfoFile(id), InfoBytes(info), &error) &&
                    AtomicFile::Write(BannerFile(id), bytes, &error);
    const std::lock_guard<std::mutex> guard(m_mutex);
    m_error = ok ? QString() : error;
}

void RecoveryStore::Remove(int id)
{
    if (!m_lock)
        return;
    {
        const std::lock_guard<std::mutex> guard(m_mutex);
        m_pending.erase(id);
    }
    const QString banner = BannerFile(id);
    const QString info = InfoFile(id);
    m_worker.start([banner, info] {
        QFile::remove(banner);
        QFile::remove(info);
    });
}

void RecoveryStore::WaitForWrites()
{
    m_worker.waitForDone();
}

QString RecoveryStore::LastError() const
{
    const std::lock_guard<std::mutex> guard(m_mutex);
    return m_error;
}

std::vector<RecoveryStore::Recovered> RecoveryStore::AdoptCrashed()
{
    std::vector<Recovered> found;
    for (const QFileInfo &dir : QDir(m_root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString path = dir.absoluteFilePath();
        const bool adopted = std::any_of(m_adopted.begin(), m_adopted.end(),
                                         [&path](const auto &folder) { return folder->path == path; });
        if (path == QFileInfo(m_folder).absoluteFilePath() || dir.fileName() == kDamaged || adopted)
            continue;
        auto folder = std::make_shared<Folder>();
        folder->path = path;
        folder->lock = LockOf(path);
        if (!folder->lock->tryLock(0))
            continue; // its editor still runs, or another one is offering it
        for (const QFileInfo &file : QDir(path).entryInfoList({QStringLiteral("*.bnr")}, QDir::Files, QDir::Name)) {
            Recovered banner;
            banner.file = file.absoluteFilePath();
            banner.folder = folder;
            banner.damaged = !ReadInfo(InfoFileOf(banner.file), &banner.info);
            if (banner.damaged) {
                banner.info.title = file.fileName();
                banner.info.time = file.lastModified();
            }
            found.push_back(std::move(banner));
            ++folder->open;
        }
        // A description alone is a copy whose first write never finished: nothing to offer.
        if (folder->open == 0)
            RemoveFolder(path, folder->lock.get());
        else
            m_adopted.push_back(std::move(folder));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Recovered &a, const Recovered &b) { return a.info.time < b.info.time; });
    return found;
}

void RecoveryStore::Forget(const Recovered &banner)
{
    const std::shared_ptr<Folder> folder = banner.folder;
    const QString file = banner.file;
    m_worker.start([folder, file] {
        QFile::remove(file);
        QFile::remove(InfoFileOf(file));
        if (--folder->open == 0)
            RemoveFolder(folder->path, folder->lock.get());
    });
}

QString RecoveryStore::KeepAside(const Recovered &banner)
{
    const std::shared_ptr<Folder> folder = banner.folder;
    const QString file = banner.file;
    const QString aside = m_root + QLatin1Char('/') + kDamaged;
    const QString kept = aside + QLatin1Char('/') + QFileInfo(folder->path).fileName() + QLatin1Char('-') +
                         QFileInfo(file).fileName();
    m_worker.start([folder, file, aside, kept] {
        QDir().mkpath(aside);
        QFile::remove(kept);
        QFile::rename(file, kept);
        if (QFile::exists(InfoFileOf(file))) {
            QFile::remove(InfoFileOf(kept));
            QFile::rename(InfoFileOf(file), InfoFileOf(kept));
        }
        if (--folder->open == 0)
            RemoveFolder(folder->path, folder->lock.get());
    });
    return kept;
}

void RecoveryStore::ReleaseAdopted()
{
    // The worker may still be removing copies of these folders; it lets go of them after that.
    std::vector<std::shared_ptr<Folder>> folders = std::exchange(m_adopted, {});
    m_worker.start([folders] {
        for (const auto &folder : folders)
            if (folder->lock->isLocked())
                folder->lock->unlock();
    });
}
