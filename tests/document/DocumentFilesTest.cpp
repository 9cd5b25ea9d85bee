// Which road a path takes when a banner is opened or saved, and the Save / Save As commands.
#include "DocumentFakes.h"
#include "document/BannerFile.h"
#include "platform/ScriptedPrompts.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class RecordingGif : public GifFiles {
public:
    bool ReadGif(CBannerDoc &, const QString &path) override
    {
        read.push_back(path);
        return true;
    }
    bool SaveAsGif(CBannerDoc &, const QString &path) override
    {
        saved.push_back(path);
        return true;
    }
    QStringList read, saved;
};

struct FilesFixture {
    CoreContext ctx;
    RecordingGif gif;
    ScriptedPrompts prompts;
    CBannerDoc doc{ctx};
    QStringList recent;
    QString dir = TestSupport::NewTempDir();
    FilesFixture()
    {
        ctx.gifFiles = &gif;
        ctx.addToRecentFiles = [this](const QString &p) { recent << p; };
        Prompts::Register(&prompts);
        doc.OnNewDocument();
        doc.SetModifiedFlag();
    }
    ~FilesFixture() { Prompts::Register(nullptr); }
    void Choose(const QString &name, int filter) { prompts.fileChoices.push_back(Prompts::FileChoice{dir + "/" + name, filter}); }
};

} // namespace

TEST(DocumentFilesTest, SaveAsCompletesTheExtensionFromTheFilter)
{
    FilesFixture f;
    f.Choose("anim", 2);
    ASSERT_TRUE(f.doc.OnFileSaveAs());
    EXPECT_EQ(f.gif.saved, QStringList{f.dir + "/anim.gif"});
    EXPECT_EQ(f.doc.GetPathName(), f.dir + "/anim.gif");
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_EQ(f.recent, QStringList{f.dir + "/anim.gif"});
    ASSERT_EQ(f.prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(f.prompts.fileDialogs[0].filter, CBannerDoc::SaveAsFilter());
    EXPECT_TRUE(f.prompts.fileDialogs[0].overwritePrompt);
    EXPECT_TRUE(f.prompts.fileDialogs[0].initialPath.isEmpty());
    EXPECT_TRUE(f.prompts.fileDialogs[0].defaultExt.isEmpty());

    f.Choose("plain", 1);
    ASSERT_TRUE(f.doc.OnFileSaveAs());
    EXPECT_EQ(TestSupport::ReadFile(f.dir + "/plain.bnr"), BannerFile::Write(f.doc));

    // Upper case is a banner file too.
    f.Choose("UPPER.BNR", 2);
    ASSERT_TRUE(f.doc.OnFileSaveAs());
    EXPECT_TRUE(QFile::exists(f.dir + "/UPPER.BNR"));
    EXPECT_EQ(f.gif.saved.size(), 1);
}

TEST(DocumentFilesTest, SaveAsRefusesOtherExtensions)
{
    FilesFixture f;
    f.doc.SetPathName("/old/path.bnr");
    f.Choose("notes.txt", 1);
    f.Choose("noext", 3);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(f.doc.OnFileSaveAs());
        EXPECT_EQ(f.doc.GetPathName(), QStringLiteral("/old/path.bnr"));
        EXPECT_TRUE(f.doc.IsModified());
    }
    EXPECT_EQ(f.prompts.messages.size(), 2u);
    EXPECT_TRUE(f.prompts.WasShown(CBannerDoc::InvalidExtensionMessage(), Prompts::Icon::Stop));
    EXPECT_FALSE(QFile::exists(f.dir + "/notes.txt"));
    EXPECT_TRUE(f.gif.saved.isEmpty());
    EXPECT_TRUE(f.recent.isEmpty());
    // Cancel ends the command quietly.
    EXPECT_FALSE(f.doc.OnFileSaveAs());
    EXPECT_EQ(f.prompts.messages.size(), 2u);
}

TEST(DocumentFilesTest, SaveGoesToSaveAsUnlessTheFileCanBeWritten)
{
    FilesFixture f;
    EXPECT_FALSE(f.doc.OnFileSave()); // never saved: the dialog opens (and is cancelled)
    EXPECT_EQ(f.prompts.fileDialogs.size(), 1u);

    const QString path = f.dir + "/b.bnr";
    f.doc.SetPathName(path);
    EXPECT_FALSE(f.doc.OnFileSave()); // the file does not exist
    EXPECT_EQ(f.prompts.fileDialogs.size(), 2u);

    ASSERT_TRUE(TestSupport::WriteFile(path, "old"));
    ASSERT_TRUE(f.doc.OnFileSave());
    EXPECT_EQ(f.prompts.fileDialogs.size(), 2u);
    EXPECT_EQ(TestSupport::ReadFile(path), BannerFile::Write(f.doc));
    EXPECT_FALSE(f.doc.IsModified());

    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser);
    f.doc.SetModifiedFlag();
    EXPECT_FALSE(f.doc.OnFileSave());
    EXPECT_EQ(f.prompts.fileDialogs.size(), 3u);
    EXPECT_TRUE(f.doc.IsModified());
}

TEST(DocumentFilesTest, OpenChoosesTheReaderByName)
{
    FilesFixture f;
    EXPECT_FALSE(f.doc.OnOpenDocument(f.dir + "/notes.txt"));
    EXPECT_TRUE(f.prompts.WasShown(QStringLiteral("Cannot open the file notes.txt \n The file is neither a "
                                                  "BANNER(.bnr) file nor a GIF (.gif) file."),
                                   Prompts::Icon::Stop));

    CBannerDoc source(f.ctx);
    source.OnNewDocument();
    source.GetFrame(0)->m_nDelay = 321;
    const QString path = f.dir + "/x.Bnr";
    ASSERT_TRUE(BannerFile::WriteFile(source, path));
    ASSERT_TRUE(f.doc.OnOpenDocument(path));
    EXPECT_EQ(f.doc.GetFrame(0)->m_nDelay, 321u);
    EXPECT_EQ(f.doc.GetPathName(), path);
    EXPECT_FALSE(f.doc.IsModified());

    // Only the file name decides: a GIF in a folder named like a banner file is a GIF.
    ASSERT_TRUE(QDir().mkpath(f.dir + "/folder.bnr"));
    EXPECT_TRUE(f.doc.OnOpenDocument(f.dir + "/folder.bnr/anim.gif"));
    EXPECT_EQ(f.gif.read, QStringList{f.dir + "/folder.bnr/anim.gif"});
    // A file that is not a banner file fails with its message and leaves the document alone.
    ASSERT_TRUE(TestSupport::WriteFile(f.dir + "/junk.bnr", "hello"));
    EXPECT_FALSE(f.doc.OnOpenDocument(f.dir + "/junk.bnr"));
    EXPECT_TRUE(f.prompts.WasShown(QStringLiteral("File \"junk.bnr\" is not a Corvanta Vellumark file. Cannot Open file."),
                                   Prompts::Icon::Stop));
}
