#include "platform/settings/RecentFileList.h"

#include "platform/settings/Settings.h"

#include <QFileInfo>

namespace {
const QString kSection = QStringLiteral("Recent File List");

QString EntryName(int i)
{
    return QStringLiteral("File%1").arg(i + 1);
}
} // namespace

QStringList RecentFileList::Entries()
{
    QStringList entries;
    for (int i = 0; i < kSize; ++i) {
        const QString path = Profile::GetString(kSection, EntryName(i));
        if (!path.isEmpty())
            entries.append(path);
    }
    return entries;
}

void RecentFileList::Add(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList entries = Entries();
    entries.removeAll(absolute);
    entries.prepend(absolute);
    Store(entries);
}

void RecentFileList::Remove(int index)
{
    QStringList entries = Entries();
    if (index < 0 || index >= entries.size())
        return;
    entries.removeAt(index);
    Store(entries);
}

void RecentFileList::Store(const QStringList &entries)
{
    for (int i = 0; i < kSize; ++i)
        Profile::WriteString(kSection, EntryName(i), i < entries.size() ? entries.at(i) : QString());
}
