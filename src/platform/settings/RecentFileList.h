#pragma once
// The recently used files: at most four paths, most recent first, kept in the user settings
// (section "Recent File List", entries File1 to File4) and shown by the shell as the File menu
// entries 57616 to 57619. Every change is stored at once, so every window and every later run
// sees the same list.
#include <QString>
#include <QStringList>

class RecentFileList {
public:
    static constexpr int kSize = 4;

    // The stored entries, most recent first; empty entries are skipped.
    static QStringList Entries();
    // Puts the path (made absolute) at the front, dropping an equal older entry and the
    // fifth one.
    static void Add(const QString &path);
    // Removes the entry at a 0-based position (for an entry whose file can no longer be opened).
    static void Remove(int index);

private:
    static void Store(const QStringList &entries);
};
