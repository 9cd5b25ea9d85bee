// What the user is told when a banner cannot be opened or saved, the save of a document being
// closed, and reads of files that lie about their sizes.
#include "DocumentFakes.h"
#include "document/BannerFile.h"
#include "items/Polyline.h"
#include "items/Stamp.h"
#include "items/Text.h"
#include "platform/ByteIO.h"
#include "platform/ScriptedPrompts.h"
#include "TestSupport.h"

#include <QDir>
#include <csignal>
#include <sys/resource.h>
#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString kNoCode = QStringLiteral("Vellumark Error ID: VKERR_SERZ_NOCODE. Please contact Corvantaplex.");

struct SaveFixture {
    CoreContext ctx;
    ScriptedPrompts prompts;
    CBannerDoc doc{ctx};
    QStringList recent;
    QString dir = TestSupport::NewTempDir();
    SaveFixture()
    {
        ctx.addToRecentFiles = [this](const QString &p) { recent << p; };
        Prompts::Register(&prompts);
        doc.OnNewDocument();
        doc.GetFrame(0)->AddItem(std::make_unique<CText>(CRect(1, 2, 3, 4)));
        doc.SetModifiedFlag();
    }
    ~SaveFixture() { Prompts::Register(nullptr); }
    QString At(const QString &name) const { return dir + "/" + name; }
    void Choose(const QString &path, int filter = 1) { prompts.fileChoices.push_back(Prompts::FileChoice{path, filter}); }
};

// The header of a banner file, up to and including the frame count.
QByteArray Header(std::uint32_t frames)
{
    ByteWriter w;
    w.Bytes(QByteArray("Corvantaplex Banner File#####\x1a"));
    w.U32(1);
    w.U32(0);
    w.F32(468.0f);
    w.F32(60.0f);
    w.I32(0);
    w.U32(0x00FFFFFF);
    w.U32(1000);
    w.I32(-1);
    w.U32(frames);
    return w.Take();
}

// One frame record without background holding `items` item entries.
QByteArray Frame(std::uint32_t items, const QByteArray &entries)
{
    ByteWriter w;
    w.U32(0x00FFFFFF);
    w.U32(1000);
    w.U32(0);
    w.U32(items);
    w.Bytes(entries);
    return w.Take();
}

} // namespace

TEST(DocumentSaveTest, FailedSavesSayWhyAndChangeNothing)
{
    SaveFixture f;
    // A folder that does not exist.
    EXPECT_FALSE(f.doc.OnSaveDocument(f.At("nowhere/x.bnr")));
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0].icon, Prompts::Icon::Stop);
    EXPECT_TRUE(f.prompts.messages[0].text.startsWith("Cannot save the file \"x.bnr\": "));
    EXPECT_FALSE(QDir(f.At("nowhere")).exists());

    // A read-only file chosen in Save As (the dialog asked before overwriting): refused.
    const QString locked = f.At("locked.bnr");
    ASSERT_TRUE(TestSupport::WriteFile(locked, "keep"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup);
    f.Choose(locked);
    EXPECT_FALSE(f.doc.OnFileSaveAs());
    EXPECT_EQ(TestSupport::ReadFile(locked), QByteArray("keep"));
    ASSERT_EQ(f.prompts.messages.size(), 2u);
    EXPECT_TRUE(f.prompts.messages[1].text.startsWith("Cannot save the file \"locked.bnr\": "));
    EXPECT_TRUE(f.doc.IsModified());
    EXPECT_TRUE(f.doc.GetPathName().isEmpty());
    EXPECT_TRUE(f.recent.isEmpty());
    EXPECT_EQ(QDir(f.dir).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left behind
}

// A disk that fills up (here: the process may not write more than a few bytes to a file) and a
// read-only GIF: both save roads keep the old file and say the system's reason in one message.
TEST(DocumentSaveTest, BothSaveRoadsKeepTheOldFileAndSayTheSystemsReason)
{
    SaveFixture f;
    for (const QString name : {"full.bnr", "full.gif"}) {
        const QString path = f.At(name);
        ASSERT_TRUE(TestSupport::WriteFile(path, "previous"));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit small = before;
        small.rlim_cur = 64;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved = f.doc.OnSaveDocument(path);
        setrlimit(RLIMIT_FSIZE, &before);
        EXPECT_FALSE(saved);
        EXPECT_TRUE(f.prompts.WasShown("Cannot save the file \"" + name + "\": File too large.", Prompts::Icon::Stop))
            << (f.prompts.messages.empty() ? std::string() : f.prompts.messages.back().text.toStdString());
        EXPECT_EQ(TestSupport::ReadFile(path), QByteArray("previous"));
    }

    const QString locked = f.At("locked.gif");
    ASSERT_TRUE(TestSupport::WriteFile(locked, "keep"));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup);
    f.Choose(locked, 2);
    EXPECT_FALSE(f.doc.OnFileSaveAs());
    EXPECT_TRUE(f.prompts.WasShown("Cannot save the file \"locked.gif\": the file is read-only.", Prompts::Icon::Stop));
    EXPECT_EQ(TestSupport::ReadFile(locked), QByteArray("keep"));
    EXPECT_TRUE(f.doc.GetPathName().isEmpty());
    EXPECT_EQ(QDir(f.dir).entryList(QDir::Files | QDir::Hidden).size(), 3); // no temporary left behind
}

// A banner file whose frames would need more than the memory budget is refused before they are
// read; one frame fewer opens.
TEST(DocumentSaveTest, BannerFilesBeyondTheMemoryBudgetAreRefused)
{
    SaveFixture f;
    f.ctx.m_memoryBudget = 10 * 468 * 60 * 7;
    for (std::uint32_t frames : {11u, 10u}) {
        QByteArray bytes = Header(frames);
        for (std::uint32_t k = 0; k < frames; ++k)
            bytes += Frame(0, {});
        const QString path = f.At(QStringLiteral("f%1.bnr").arg(frames));
        ASSERT_TRUE(TestSupport::WriteFile(path, bytes));
        f.prompts.messages.clear();
        const bool opened = f.doc.OnOpenDocument(path);
        EXPECT_EQ(opened, frames == 10);
        EXPECT_EQ(f.doc.GetFrameCount(), opened ? 10 : 1);
        EXPECT_EQ(f.prompts.WasShown("Cannot open the file \"f11.bnr\": its frames would need more than the 1 MB of "
                                     "memory a banner may use (setting MemoryBudgetMB).",
                                     Prompts::Icon::Stop),
                  !opened);
    }
}

TEST(DocumentSaveTest, SaveAsIntoAFolderNamedLikeABannerIsRefusedUntouched)
{
    SaveFixture f;
    ASSERT_TRUE(QDir().mkpath(f.At("Old.BNR")));
    for (const QString name : {"banner.txt", "banner.gif"}) {
        const QString path = f.At("Old.BNR/" + name);
        ASSERT_TRUE(TestSupport::WriteFile(path, "previous"));
        f.prompts.messages.clear();
        f.Choose(path, 3);
        EXPECT_FALSE(f.doc.OnFileSaveAs()) << name.toStdString();
        ASSERT_EQ(f.prompts.messages.size(), 1u);
        EXPECT_TRUE(f.prompts.WasShown(kNoCode, Prompts::Icon::Stop));
        EXPECT_EQ(TestSupport::ReadFile(path), QByteArray("previous"));
        EXPECT_TRUE(f.doc.IsModified());
        EXPECT_TRUE(f.doc.GetPathName().isEmpty());
    }
    EXPECT_TRUE(f.recent.isEmpty());
}

TEST(DocumentSaveTest, OpeningAFileThatCannotBeReadSaysSo)
{
    SaveFixture f;
    CBannerDoc other(f.ctx);
    EXPECT_FALSE(other.OnOpenDocument(f.At("missing.bnr")));
    ASSERT_EQ(f.prompts.messages.size(), 1u);
    EXPECT_EQ(f.prompts.messages[0].icon, Prompts::Icon::Stop);
    EXPECT_TRUE(f.prompts.messages[0].text.startsWith("Cannot open the file \"missing.bnr\": "));
    EXPECT_EQ(other.GetFrameCount(), 0);
}

TEST(DocumentSaveTest, EveryCutOfAFileOpensToItsMessageAndKeepsTheDocument)
{
    SaveFixture f;
    CBannerFrame &frame = *f.doc.GetFrame(0);
    auto stroke = std::make_unique<CPolyline>();
    stroke->AddPoint({1, 1});
    stroke->AddPoint({9, 4});
    frame.AddItem(std::move(stroke));
    auto stamp = std::make_unique<CStamp>(CRect(0, 0, 8, 8));
    stamp->m_hDib = std::make_unique<PackedDib>(std::vector<std::uint8_t>(40, 7));
    frame.AddItem(std::move(stamp));
    const QByteArray bytes = BannerFile::Write(f.doc);
    CBannerDoc target(f.ctx);
    ASSERT_TRUE(TestSupport::WriteFile(f.At("whole.bnr"), bytes));
    ASSERT_TRUE(target.OnOpenDocument(f.At("whole.bnr")));
    const QString damaged = QStringLiteral("Cannot read \"cut.bnr\": the file is damaged or not a banner file.");
    const QString foreign = QStringLiteral("File \"cut.bnr\" is not a Corvanta Vellumark file. Cannot Open file.");
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        ASSERT_TRUE(TestSupport::WriteFile(f.At("cut.bnr"), bytes.left(n)));
        f.prompts.messages.clear();
        ASSERT_FALSE(target.OnOpenDocument(f.At("cut.bnr"))) << n;
        ASSERT_EQ(f.prompts.messages.size(), 1u) << n;
        // Until "Banner" of the magic text is complete the file is simply not one of ours.
        ASSERT_EQ(f.prompts.messages[0].text, n < 19 ? foreign : damaged) << n;
        ASSERT_EQ(BannerFile::Write(target), bytes) << n;
    }
    EXPECT_EQ(target.GetPathName(), f.At("whole.bnr"));
}

TEST(DocumentSaveTest, CountsAreCheckedAgainstTheBytesLeft)
{
    SaveFixture f;
    auto stamp = [](std::uint32_t size) {
        ByteWriter w;
        w.Bytes(QByteArray::fromHex("ffff00000600") + "CStamp" + QByteArray(58, 0));
        w.U32(size);
        w.Bytes(QByteArray(64, 1));
        return w.Take();
    };
    auto stroke = [](std::uint32_t points) {
        ByteWriter w;
        w.Bytes(QByteArray::fromHex("ffff00000900") + "CPolyline" + QByteArray(58 + 2 + 4 + 4, 0));
        w.U32(points);
        w.Bytes(QByteArray(64, 2));
        return w.Take();
    };
    auto text = [](const char *prefix) {
        return QByteArray::fromHex("ffff00000500") + "CText" + QByteArray(58 + 60, 0) + QByteArray::fromHex(prefix)
            + QByteArray(64, 'a');
    };
    struct Case {
        QByteArray entry;
        bool reads;
    };
    const Case cases[] = {
        {stamp(64), true},
        {stamp(65), false},
        {stamp(0xFFFFFFFFu), false},
        {stroke(8), true},
        {stroke(9), false},
        {stroke(0x20000000u), false},
        {stroke(0xFFFFFFFFu), false},
        {text("40"), true},
        {text("41"), false},
        {text("ff4000"), true},
        {text("ffffff40000000"), true},
        {text("ffffffffffff7f"), false},        // two gigabytes announced
        {text("fffeff20"), true},               // 32 wide characters
        {text("fffeff21"), false},
        {text("fffeffffffffffffff7f"), false},  // four gigabytes of wide characters
    };
    for (const Case &c : cases) {
        CBannerDoc doc(f.ctx);
        const auto result = BannerFile::Read(doc, Header(1) + Frame(1, c.entry));
        EXPECT_EQ(result == BannerFile::ReadResult::Ok, c.reads) << c.entry.mid(0, 20).toHex().constData();
    }
}

TEST(DocumentSaveTest, ClosingSaveUsesTheBannerTypeAndItsExtension)
{
    SaveFixture f;
    f.Choose(f.At("closing"));
    ASSERT_TRUE(f.doc.DoFileSave());
    ASSERT_EQ(f.prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(f.prompts.fileDialogs[0].filter, QStringLiteral("Banner Files (*.bnr)|*.bnr||"));
    EXPECT_EQ(f.prompts.fileDialogs[0].defaultExt, QStringLiteral("bnr"));
    EXPECT_EQ(f.doc.GetPathName(), f.At("closing.bnr"));
    EXPECT_EQ(TestSupport::ReadFile(f.At("closing.bnr")), BannerFile::Write(f.doc));
    EXPECT_FALSE(f.doc.IsModified());
    EXPECT_EQ(f.recent, QStringList{f.At("closing.bnr")});
    // Saved once, the next closing save writes in place without asking.
    f.doc.GetFrame(0)->m_nDelay = 20;
    f.doc.SetModifiedFlag();
    ASSERT_TRUE(f.doc.DoFileSave());
    EXPECT_EQ(f.prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(TestSupport::ReadFile(f.At("closing.bnr")), BannerFile::Write(f.doc));
    // Cancel leaves everything as it is.
    f.doc.SetPathName(QString());
    EXPECT_FALSE(f.doc.DoFileSave());
    EXPECT_TRUE(f.prompts.messages.empty());
}
