// The banner file: exact bytes, class tags across frames, counted strings, every reading check,
// damaged files, and saving without harming the previous file.
#include "DocumentFakes.h"
#include "document/BannerFile.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"
#include "platform/ByteIO.h"
#include "platform/ScriptedPrompts.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

struct FileFixture {
    CoreContext ctx;
    CBannerDoc doc{ctx};
    ScriptedPrompts prompts;
    FileFixture()
    {
        doc.OnNewDocument();
        Prompts::Register(&prompts);
    }
    ~FileFixture() { Prompts::Register(nullptr); }
};

CText *AddText(CBannerFrame &frame, const QString &text)
{
    auto t = std::make_unique<CText>(CRect(1, 2, 3, 4));
    t->m_text = text;
    return static_cast<CText *>(frame.AddItem(std::move(t)));
}

// Every field of two documents, item by item, through the writer itself plus the fields the
// bytes carry.
void ExpectSameBanner(const CBannerDoc &a, const CBannerDoc &b)
{
    EXPECT_EQ(BannerFile::Write(a), BannerFile::Write(b));
    ASSERT_EQ(a.GetFrameCount(), b.GetFrameCount());
    EXPECT_EQ(a.m_nCurrentFrame, b.m_nCurrentFrame);
    EXPECT_EQ(a.m_bLoop, b.m_bLoop);
}

// A document with one of everything over two frames.
void FillEverything(CoreContext &ctx, CBannerDoc &doc)
{
    CBannerFrame &f0 = *doc.GetFrame(0);
    f0.m_crBackground = RGB(1, 2, 3);
    f0.m_nDelay = 1234;
    auto plain = std::make_unique<CSprite>(CRect(-5, 6, 7, -8));
    plain->m_reserved = {11, 22, 33, 44, 55, 66, 77};
    plain->m_penStyle = 3;
    plain->m_fillStyle = 0;
    f0.AddItem(std::move(plain));
    CText *t = AddText(f0, QStringLiteral("Caf\u00e9 \u20ac\r\nline two"));
    t->m_logFont.lfFaceName[25] = 'q';
    t->m_logFont.lfWeight = 700;
    auto shape = std::make_unique<CPrimitiveGraphics>(CRect(10, 10, 0, 0));
    shape->m_shape = 2;
    shape->m_fill = 1;
    shape->m_penWidth = -3;
    f0.AddItem(std::move(shape));
    auto stroke = std::make_unique<CPolyline>();
    for (CPoint p : {CPoint(1, 1), CPoint(5, 9), CPoint(-2, 4)})
        stroke->AddPoint(p);
    stroke->m_closed = 1;
    f0.AddItem(std::move(stroke));

    auto f1 = std::make_unique<CBannerFrame>(nullptr, RGB(9, 9, 9), 50);
    ctx.WorkCtrl.CreateBitmap(468, 60, 24);
    ctx.WorkCtrl.FillColor(RGB(100, 150, 200));
    f1->SetBackground(OwnedBlock(ctx.WorkCtrl.GetAsDIB()));
    auto stamp = std::make_unique<CStamp>(CRect(0, 0, 40, 20));
    ctx.WorkCtrl.CreateBitmap(7, 3, 24);
    stamp->SetPicture(OwnedBlock(ctx.WorkCtrl.GetAsDIB()));
    f1->AddItem(std::move(stamp));
    f1->AddItem(std::make_unique<CStamp>(CRect(1, 1, 2, 2)));
    AddText(*f1, QString());
    doc.AddFrame(std::move(f1));
    doc.m_nCurrentFrame = 1;
    doc.m_bLoop = 0;
}

} // namespace

TEST(BannerFileTest, ANewBannerIsEightyTwoBytes)
{
    FileFixture f;
    const QByteArray bytes = BannerFile::Write(f.doc);
    ASSERT_EQ(bytes.size(), 82);
    EXPECT_EQ(bytes.left(29), QByteArray("Corvantaplex Banner File#####"));
    EXPECT_EQ(bytes.mid(29).toHex(), QByteArray("1a" "01000000" "00000000" "0000ea43" "00007042" "00000000"
                                                 "ffffff00" "e8030000" "ffffffff" "01000000"
                                                 "ffffff00" "e8030000" "00000000" "00000000"));
    CBannerDoc back(f.ctx);
    ASSERT_EQ(BannerFile::Read(back, bytes), BannerFile::ReadResult::Ok);
    ExpectSameBanner(back, f.doc);
    EXPECT_FALSE(back.IsModified());
}

TEST(BannerFileTest, EveryItemKindRoundTripsByteForByte)
{
    FileFixture f;
    FillEverything(f.ctx, f.doc);
    const QByteArray bytes = BannerFile::Write(f.doc);
    CBannerDoc back(f.ctx);
    ASSERT_EQ(BannerFile::Read(back, bytes), BannerFile::ReadResult::Ok);
    EXPECT_EQ(BannerFile::Write(back), bytes);
    ASSERT_EQ(back.GetFrameCount(), 2);
    EXPECT_EQ(back.m_nCurrentFrame, 1);
    EXPECT_EQ(back.m_bLoop, 0);
    const CBannerFrame &f0 = *back.GetFrame(0);
    ASSERT_EQ(f0.Items().size(), 4u);
    auto it = f0.Items().begin();
    EXPECT_EQ((*it)->ClassName(), "CSprite");
    EXPECT_EQ((*it)->m_reserved, (std::array<std::uint32_t, 7>{11, 22, 33, 44, 55, 66, 77}));
    EXPECT_EQ((*it)->m_position, CRect(-5, 6, 7, -8));
    const auto &text = static_cast<const CText &>(**++it);
    EXPECT_EQ(text.m_text, QStringLiteral("Caf\u00e9 \u20ac\r\nline two"));
    EXPECT_EQ(text.m_logFont.lfFaceName[25], 'q');
    const auto &shape = static_cast<const CPrimitiveGraphics &>(**++it);
    EXPECT_EQ(shape.m_shape, 2);
    EXPECT_EQ(shape.m_penWidth, -3);
    const auto &stroke = static_cast<const CPolyline &>(**++it);
    EXPECT_EQ(stroke.m_closed, 1);
    EXPECT_TRUE(stroke.CanFill());
    EXPECT_EQ(stroke.m_points, (std::vector<CPoint>{{1, 1}, {5, 9}, {-2, 4}}));
    const CBannerFrame &f1 = *back.GetFrame(1);
    ASSERT_TRUE(f1.m_hBackground);
    EXPECT_EQ(f1.m_hBackground->Size(), 84280u);
    EXPECT_EQ(*f1.m_hBackground, *f.doc.GetFrame(1)->m_hBackground);
    EXPECT_TRUE(static_cast<const CStamp &>(*f1.Items().front()).HasPicture());

    // The reserved words stand in the order R4 R1 R2 R3 R6 R7 R5 after the colours.
    ByteReader r(bytes.constData() + 82 + 6 + 7 + 30, 28);
    EXPECT_EQ(r.U32(), 44u);
    EXPECT_EQ(r.U32(), 11u);
    EXPECT_EQ(r.U32(), 22u);
    EXPECT_EQ(r.U32(), 33u);
    EXPECT_EQ(r.U32(), 66u);
    EXPECT_EQ(r.U32(), 77u);
    EXPECT_EQ(r.U32(), 55u);
}

TEST(BannerFileTest, ClassTagsNumberClassesAcrossFrames)
{
    FileFixture f;
    AddText(*f.doc.GetFrame(0), QStringLiteral("a"));
    AddText(*f.doc.GetFrame(0), QStringLiteral("b"));
    auto second = std::make_unique<CBannerFrame>();
    second->AddItem(std::make_unique<CPrimitiveGraphics>(CRect(0, 0, 1, 1)));
    second->AddItem(std::make_unique<CPolyline>());
    AddText(*second, QStringLiteral("c"));
    f.doc.AddFrame(std::move(second));
    const QByteArray bytes = BannerFile::Write(f.doc);

    const QByteArray newText = QByteArray::fromHex("ffff00000500") + "CText";
    ASSERT_EQ(bytes.indexOf(newText), 82);
    EXPECT_EQ(bytes.count(newText), 1);
    const QByteArray newShape = QByteArray::fromHex("ffff00001200") + "CPrimitiveGraphics";
    const QByteArray newStroke = QByteArray::fromHex("ffff00000900") + "CPolyline";
    EXPECT_EQ(bytes.count(newShape), 1);
    EXPECT_EQ(bytes.count(newStroke), 1);
    EXPECT_GT(bytes.indexOf(newStroke), bytes.indexOf(newShape));
    // The first text record: tag, 58 + 60 bytes, "a" with its one-byte prefix; the second item is a
    // known CText (index 1); the last text, in frame 2, too.
    const int secondTag = 82 + newText.size() + 58 + 60 + 2;
    EXPECT_EQ(bytes.mid(secondTag, 2).toHex(), QByteArray("0180"));
    const int lastTag = bytes.size() - (2 + 58 + 60 + 2);
    EXPECT_EQ(bytes.mid(lastTag, 2).toHex(), QByteArray("0180"));

    CBannerDoc back(f.ctx);
    ASSERT_EQ(BannerFile::Read(back, bytes), BannerFile::ReadResult::Ok);
    EXPECT_EQ(BannerFile::Write(back), bytes);
}

TEST(BannerFileTest, CountedStringPrefixes)
{
    FileFixture f;
    CText *t = AddText(*f.doc.GetFrame(0), QString(300, QChar('x')));
    QByteArray bytes = BannerFile::Write(f.doc);
    const int prefix = 82 + 6 + 5 + 58 + 60;
    EXPECT_EQ(bytes.mid(prefix, 3).toHex(), QByteArray("ff2c01"));
    EXPECT_EQ(bytes.size(), prefix + 3 + 300);

    t->m_text = QString(254, QChar('y'));
    EXPECT_EQ(BannerFile::Write(f.doc).mid(prefix, 1).toHex(), QByteArray("fe"));
    t->m_text = QString(255, QChar('y'));
    EXPECT_EQ(BannerFile::Write(f.doc).mid(prefix, 3).toHex(), QByteArray("ffff00"));
    t->m_text = QString(70000, QChar('z'));
    bytes = BannerFile::Write(f.doc);
    EXPECT_EQ(bytes.mid(prefix, 7).toHex(), QByteArray("ffffff70110100"));
    CBannerDoc back(f.ctx);
    ASSERT_EQ(BannerFile::Read(back, bytes), BannerFile::ReadResult::Ok);
    EXPECT_EQ(static_cast<const CText &>(*back.GetFrame(0)->Items().front()).m_text.size(), 70000);

    // The wide form is read (never written): 0xFF 0xFE 0xFF, a length, two-byte characters.
    t->m_text = QStringLiteral("ab");
    bytes = BannerFile::Write(f.doc);
    QByteArray wide = bytes.left(prefix) + QByteArray::fromHex("fffeff03") + QByteArray("h\0\xe9\0\x3a\x26", 6);
    ASSERT_EQ(BannerFile::Read(back, wide), BannerFile::ReadResult::Ok);
    EXPECT_EQ(static_cast<const CText &>(*back.GetFrame(0)->Items().front()).m_text, QStringLiteral("h\u00e9?"));
}

TEST(BannerFileTest, HeaderChecksHaveTheirMessages)
{
    FileFixture f;
    const QByteArray good = BannerFile::Write(f.doc);
    using R = BannerFile::ReadResult;
    CBannerDoc target(f.ctx);
    target.OnNewDocument();
    target.GetFrame(0)->m_nDelay = 77;

    QByteArray minor = good;
    minor[34] = 1;
    EXPECT_EQ(BannerFile::Read(target, minor), R::Version);
    QByteArray wide = good;
    ByteWriter w;
    w.F32(468.5f);
    wide.replace(38, 4, w.Data());
    EXPECT_EQ(BannerFile::Read(target, wide), R::Dimensions);
    QByteArray foreign = good;
    foreign.replace(0, 8, "Corvanto");
    EXPECT_EQ(BannerFile::Read(target, foreign), R::NotBanner);
    // A NUL ends the magic text early.
    QByteArray cut = good;
    cut[12] = '\0';
    EXPECT_EQ(BannerFile::Read(target, cut), R::NotBanner);
    // Other text around the two words is accepted.
    QByteArray other = good;
    other.replace(0, 29, "xx Corvanta yy Banner zz #####");
    other.remove(29, 1);
    EXPECT_EQ(BannerFile::Read(target, other.left(29) + good.mid(29)), R::Ok);
    // Nothing of a refused file reached the document.
    target.GetFrame(0)->m_nDelay = 77;
    EXPECT_EQ(BannerFile::Read(target, minor), R::Version);
    EXPECT_EQ(target.GetFrame(0)->m_nDelay, 77u);

    EXPECT_EQ(BannerFile::ReadFailureMessage(R::Version, "/tmp/a.bnr/b.BNR"),
              QStringLiteral("File \"b.BNR\" does not match the version number. Cannot Open file."));
    EXPECT_EQ(BannerFile::ReadFailureMessage(R::NotBanner, "x/c.bnr"),
              QStringLiteral("File \"c.bnr\" is not a Corvanta Vellumark file. Cannot Open file."));
    const QString path = TestSupport::NewTempDir() + "/wide.bnr";
    ASSERT_TRUE(TestSupport::WriteFile(path, wide));
    EXPECT_FALSE(BannerFile::ReadFile(target, path));
    EXPECT_TRUE(f.prompts.WasShown(QStringLiteral("Banner file being read has improper dimensions. Will abort read operation..."),
                                   Prompts::Icon::Stop));
}

TEST(BannerFileTest, DamagedFilesFailWholeAtEveryCut)
{
    FileFixture f;
    FillEverything(f.ctx, f.doc);
    const QByteArray good = BannerFile::Write(f.doc);
    CBannerDoc target(f.ctx);
    target.OnNewDocument();
    const QByteArray before = BannerFile::Write(target);
    // Read from memory, and from a device as files are: one that ends where it says and one
    // that ends before the size it announced (a file cut while it is read).
    const auto readThrough = [&](QByteArray bytes, std::size_t announced) {
        QBuffer device(&bytes);
        device.open(QIODevice::ReadOnly);
        ByteReader reader(&device, announced);
        return BannerFile::Read(target, reader);
    };
    for (qsizetype n = 0; n < good.size(); n += (n < 400 ? 1 : 97)) {
        const QByteArray cut = good.left(n);
        ASSERT_NE(BannerFile::Read(target, cut), BannerFile::ReadResult::Ok) << n;
        ASSERT_NE(readThrough(cut, std::size_t(n)), BannerFile::ReadResult::Ok) << n;
        ASSERT_NE(readThrough(cut, std::size_t(good.size())), BannerFile::ReadResult::Ok) << n;
        ASSERT_EQ(BannerFile::Write(target), before) << n;
    }
    ASSERT_GT(good.size(), 70 * 1024); // a background block larger than the reader's window
    ASSERT_EQ(readThrough(good, std::size_t(good.size())), BannerFile::ReadResult::Ok);
    EXPECT_EQ(BannerFile::Write(target), good);
    target.OnNewDocument();

    // Malformed tags, classes, schemas, indexes and counts.
    FileFixture g;
    AddText(*g.doc.GetFrame(0), QStringLiteral("a"));
    AddText(*g.doc.GetFrame(0), QStringLiteral("b"));
    const QByteArray two = BannerFile::Write(g.doc);
    const int tag1 = 82;
    const int tag2 = tag1 + 11 + 58 + 60 + 2;
    ASSERT_EQ(two.mid(tag2, 2).toHex(), QByteArray("0180"));
    auto patched = [&](int at, const QByteArray &hex) { return QByteArray(two).replace(at, hex.size() / 2, QByteArray::fromHex(hex)); };
    using R = BannerFile::ReadResult;
    EXPECT_EQ(BannerFile::Read(target, patched(tag2, "0280")), R::Malformed);  // index never given
    EXPECT_EQ(BannerFile::Read(target, patched(tag2, "0080")), R::Malformed);  // index 0
    EXPECT_EQ(BannerFile::Read(target, patched(tag2, "0100")), R::Malformed);  // not a class tag
    EXPECT_EQ(BannerFile::Read(target, patched(tag1 + 2, "0100")), R::Malformed); // schema 1
    EXPECT_EQ(BannerFile::Read(target, patched(tag1 + 6, "4354657854")), R::Malformed); // "CTexT"
    EXPECT_EQ(BannerFile::Read(target, patched(78, "ffffffff")), R::Malformed); // item count
    EXPECT_EQ(BannerFile::Read(target, patched(62, "ffffff0f")), R::Malformed); // frame count
    EXPECT_EQ(BannerFile::Read(target, patched(74, "00000010")), R::Malformed); // background size
    // The large-index form of a known class reads like the short one.
    QByteArray large = QByteArray(two).replace(tag2, 2, QByteArray::fromHex("ff7f01000080"));
    EXPECT_EQ(BannerFile::Read(target, large), R::Ok);
    EXPECT_EQ(BannerFile::Write(target), two);
    EXPECT_EQ(BannerFile::Write(target).size(), large.size() - 4);
}

TEST(BannerFileTest, NoFramesAndOutOfRangeIndexAreMadeUsable)
{
    FileFixture f;
    QByteArray bytes = BannerFile::Write(f.doc).left(62);
    bytes += QByteArray::fromHex("00000000");
    bytes.replace(46, 4, QByteArray::fromHex("05000000"));
    bytes.replace(54, 4, QByteArray::fromHex("f4010000")); // default delay 500
    CBannerDoc doc(f.ctx);
    ASSERT_EQ(BannerFile::Read(doc, bytes), BannerFile::ReadResult::Ok);
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(doc.GetFrame(0)->m_nDelay, 500u);
    EXPECT_EQ(doc.m_nCurrentFrame, 0);
    EXPECT_FALSE(doc.IsModified());

    f.doc.AddFrame(std::make_unique<CBannerFrame>());
    f.doc.m_nCurrentFrame = -4;
    ASSERT_EQ(BannerFile::Read(doc, BannerFile::Write(f.doc)), BannerFile::ReadResult::Ok);
    EXPECT_EQ(doc.m_nCurrentFrame, 0);
    f.doc.m_nCurrentFrame = 9;
    ASSERT_EQ(BannerFile::Read(doc, BannerFile::Write(f.doc)), BannerFile::ReadResult::Ok);
    EXPECT_EQ(doc.m_nCurrentFrame, 1);
}

TEST(BannerFileTest, SavingNeverHarmsThePreviousFile)
{
    FileFixture f;
    const QString dir = TestSupport::NewTempDir();

    // ".bnr" only in a folder name: refused, the existing file untouched, the save failed.
    ASSERT_TRUE(QDir().mkpath(dir + "/old.bnr"));
    const QString wrong = dir + "/old.bnr/banner.gif";
    ASSERT_TRUE(TestSupport::WriteFile(wrong, "previous"));
    EXPECT_FALSE(BannerFile::WriteFile(f.doc, wrong));
    EXPECT_TRUE(f.prompts.WasShown(BannerFile::WrongNameMessage(), Prompts::Icon::Stop));
    EXPECT_EQ(TestSupport::ReadFile(wrong), QByteArray("previous"));

    const QString path = dir + "/Banner.BNR";
    ASSERT_TRUE(BannerFile::WriteFile(f.doc, path));
    EXPECT_EQ(TestSupport::ReadFile(path), BannerFile::Write(f.doc));
    CBannerDoc back(f.ctx);
    EXPECT_TRUE(BannerFile::ReadFile(back, path));

    // Permissions are kept; a link stays a link to the new file.
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    f.doc.GetFrame(0)->m_nDelay = 5;
    ASSERT_TRUE(BannerFile::WriteFile(f.doc, path));
    const QFile::Permissions notUser = ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    EXPECT_EQ(QFileInfo(path).permissions() & notUser, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QString link = dir + "/link.bnr";
    ASSERT_TRUE(QFile::link(path, link));
    f.doc.GetFrame(0)->m_nDelay = 6;
    ASSERT_TRUE(BannerFile::WriteFile(f.doc, link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(TestSupport::ReadFile(path), BannerFile::Write(f.doc));

    // A read-only file is not replaced.
    const QString locked = dir + "/locked.bnr";
    ASSERT_TRUE(TestSupport::WriteFile(locked, "keep"));
    QFile::setPermissions(locked, QFile::ReadOwner);
    EXPECT_FALSE(BannerFile::WriteFile(f.doc, locked));
    EXPECT_EQ(TestSupport::ReadFile(locked), QByteArray("keep"));
}

TEST(BannerFileTest, AFileBuiltByHandFromTheLayoutReadsAndWritesBackUnchanged)
{
    // Made outside this code (the fuzz seed), with every item kind, a known-class tag across
    // frames and small pictures.
    FileFixture f;
    const QByteArray bytes = TestSupport::ReadFile(VELLUMARK_SOURCE_DIR "/fuzz/corpus/bnr/items.bnr");
    ASSERT_FALSE(bytes.isEmpty());
    CBannerDoc doc(f.ctx);
    ASSERT_EQ(BannerFile::Read(doc, bytes), BannerFile::ReadResult::Ok);
    EXPECT_EQ(BannerFile::Write(doc), bytes);
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(doc.GetCurrentFrameIndex(), 1);
    const CBannerFrame &f0 = *doc.GetFrame(0);
    ASSERT_EQ(f0.Items().size(), 6u);
    EXPECT_EQ(static_cast<const CText &>(*f0.Items().front()).m_text, QStringLiteral("Hello"));
    EXPECT_EQ(f0.Items().back()->ClassName(), "CText");
    EXPECT_EQ(doc.GetFrame(1)->Items().front()->ClassName(), "CPrimitiveGraphics");

    // Its frames render at the banner's size: the 2 x 1 background (red, blue) at the top left
    // under the line from (0, 0), the frame's colour beside it.
    doc.RenderAllFrames();
    f.ctx.FileCtrl.SetPageIndex(1);
    const QImage page = f.ctx.FileCtrl.BitmapHandle().image;
    EXPECT_EQ(page.size(), QSize(468, 60));
    EXPECT_EQ(page.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(1, 0), qRgb(0, 0, 255));
    EXPECT_EQ(page.pixel(467, 59), ColorrefToQRgb(doc.GetFrame(1)->m_crBackground) | 0xFF000000u);
}
