#include <gtest/gtest.h>

#include "platform/settings/RecentFileList.h"

TEST(RecentFileListTest, KeepsTheFourMostRecentWithoutDuplicates)
{
    for (const char *p : {"/b/1.bnr", "/b/2.bnr", "/b/3.gif", "/b/4.bnr", "/b/5.bnr"})
        RecentFileList::Add(QString::fromLatin1(p));
    RecentFileList::Add(QStringLiteral("/b/3.gif"));
    EXPECT_EQ(RecentFileList::Entries(), QStringList({"/b/3.gif", "/b/5.bnr", "/b/4.bnr", "/b/2.bnr"}));
    RecentFileList::Remove(1);
    RecentFileList::Remove(7);
    EXPECT_EQ(RecentFileList::Entries(), QStringList({"/b/3.gif", "/b/4.bnr", "/b/2.bnr"}));
}
