#pragma once
// RecoveryStore: the copies of an editor's open modified banners kept for after a crash, and the
// copies an editor that ended without closing its banners left behind. Each editor keeps its
// copies in a folder of its own under the recovery folder, held by a lock file for as long as it
// runs: a folder whose lock no live process holds was left by a crash, and a folder whose owner
// still runs is never taken. The files are written and removed on a worker thread of the store's
// own, one at a time in the order asked for, so the interface never waits for the disk.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QThreadPool>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QLockFile;

class RecoveryStore {
public:
    // What the offer after a crash says of a banner, kept beside its bytes.
    struct Info {
        QString title;
        QString path;   // the file the banner came from or was saved to; empty when untitled
        QDateTime time; // when the copy was taken
    };
    struct Folder;
    // A banner copy a crashed editor left.
    struct Recovered {
        Info info;
        QString file;         // the banner bytes
        bool damaged = false; // its description is missing or does not read
        std::shared_ptr<Folder> folder;
    };

    // `root` is the recovery folder (AppPaths::RecoveryDir()).
    explicit RecoveryStore(QString root);
    // Waits for the writes under way and removes this editor's folder with its copies: an editor
    // that ends in order leaves nothing to recover.
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore &) = delete;
    RecoveryStore &operator=(const RecoveryStore &) = delete;

    // Makes and locks this editor's folder. Without it the copies are not written; `error` says why.
    bool Open(QString *error = nullptr);
    // This editor's folder (empty before Open).
    QString OwnFolder() const { return m_folder; }

    // Replaces the copy of banner `id`. Copies asked for while one waits for the worker replace
    // that one, so a slow disk never lets them pile up.
    void Write(int id, QByteArray bytes, Info info);
    // Removes the copy of banner `id`, after any write asked for before.
    void Remove(int id);
    // Waits until every write and removal asked for so far is done.
    void WaitForWrites();
    // The reason the last write failed; empty after a successful one.
    QString LastError() const;

    // Takes every folder that no live editor holds and lists its copies, oldest first. The
    // folders stay locked, so no other editor offers them, until ReleaseAdopted.
    std::vector<Recovered> AdoptCrashed();
    // Removes a copy that was restored or discarded (after the writes asked for before); a
    // folder that has no copies left goes too.
    void Forget(const Recovered &banner);
    // Moves a damaged copy out of the way, into the recovery folder's "Damaged" folder, and
    // returns where its bytes were put.
    QString KeepAside(const Recovered &banner);
    // Lets go of the adopted folders, with the copies neither restored nor discarded: the
    // next start offers them again.
    void ReleaseAdopted();

private:
    struct Pending {
        QByteArray bytes;
        Info info;
        bool waiting = false; // a task of the worker will write it
        unsigned ticket = 0;  // the task that may write it
    };
    QString BannerFile(int id) const;
    QString InfoFile(int id) const;
    void WritePending(int id, unsigned ticket);

    QString m_root;
    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QThreadPool m_worker;
    mutable std::mutex m_mutex; // guards m_pending and m_error, shared with the worker
    std::map<int, Pending> m_pending;
    unsigned m_tickets = 0;
    QString m_error;
    std::vector<std::shared_ptr<Folder>> m_adopted;
};
