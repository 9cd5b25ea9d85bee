#include <gtest/gtest.h>

#include "TestSupport.h"
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "items/Polyline.h"
#include "items/Stamp.h"
#include "items/Text.h"

#include <QFile>
#include <algorithm>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
std::unique_ptr<PackedDib> Block(std::size_t n, int seed = 0)
{
    std::vector<std::uint8_t> bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = std::uint8_t((i * 31 + std::size_t(seed) * 7 + i / 256) & 0xFF);
    return std::make_unique<PackedDib>(std::move(bytes));
}

void SetCommon(CSprite &s, int seed)
{
    s.m_position = CRect(10 + seed, 20 - seed, 5 * seed - 3, 40 + seed); // stored as given, inverted too
    s.m_lineColor = 0x00102030u + std::uint32_t(seed);
    s.m_fillColor = 0x00A0B0C0u - std::uint32_t(seed);
    s.m_penStyle = std::uint16_t(seed % 5);
    s.m_fillStyle = std::uint16_t(7 - seed % 3);
    s.m_penWidth = std::int16_t(-seed - 1);
    for (std::size_t r = 0; r < s.m_reserved.size(); ++r)
        s.m_reserved[r] = 0x11111111u * std::uint32_t(r + 1) + std::uint32_t(seed);
}

// Two frames holding every item class with every field away from its default, the current
// frame 1, the animation played once.
void FillRich(CBannerDoc &doc)
{
    doc.DeleteContents();
    doc.m_nCurrentFrame = 1;
    doc.m_crDefaultBackground = 0x00123456;
    doc.m_nDefaultDelay = 750;
    doc.m_bLoop = 0;

    auto first = std::make_unique<CBannerFrame>(Block(40 + 3 * 4 * 2, 1), 0x00ABCDEF, 250);
    auto text = std::make_unique<CText>();
    SetCommon(*text, 1);
    text->m_logFont.lfHeight = -27;
    text->m_logFont.lfWeight = 700;
    text->m_logFont.lfItalic = 1;
    text->m_logFont.lfStrikeOut = 1;
    text->m_logFont.SetFaceName(QStringLiteral("Times New Roman"));
    text->m_logFont.lfFaceName[30] = 'z'; // a byte after the terminator, carried as it is
    text->m_text = QString::fromUtf8("Caf\u00e9 \u20ac5\r\nsecond line");
    first->AddItem(std::move(text));
    auto shape = std::make_unique<CPrimitiveGraphics>();
    SetCommon(*shape, 2);
    shape->m_shape = CPrimitiveGraphics::kEllipse;
    shape->m_fill = 1;
    first->AddItem(std::move(shape));
    auto stamp = std::make_unique<CStamp>();
    SetCommon(*stamp, 3);
    stamp->m_hDib = Block(40 + 2 * 8, 3);
    first->AddItem(std::move(stamp));
    doc.m_frames.push_back(std::move(first));

    auto second = std::make_unique<CBannerFrame>(nullptr, 0x00000000, 0);
    auto stroke = std::make_unique<CPolyline>();
    SetCommon(*stroke, 4);
    stroke->m_shape = 7;
    stroke->m_points = {{1, 2}, {-3, 4}, {1, 2}, {1, 2}, {400, -60}};
    stroke->m_closed = 1;
    second->AddItem(std::move(stroke));
    auto plain = std::make_unique<CSprite>();
    SetCommon(*plain, 5);
    second->AddItem(std::move(plain));
    auto emptyStamp = std::make_unique<CStamp>();
    SetCommon(*emptyStamp, 6);
    second->AddItem(std::move(emptyStamp));
    auto text2 = std::make_unique<CText>();
    SetCommon(*text2, 7);
    second->AddItem(std::move(text2));
    doc.m_frames.push_back(std::move(second));
}

struct Result {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

Result Cli(const QStringList &args)
{
    Result r;
    r.code = TestSupport::Run(QStringLiteral(VELLUMARK_CLI), args, &r.out, &r.err);
    return r;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override { dir = TestSupport::NewTempDir(); }
    QString At(const QString &name) const { return dir + QLatin1Char('/') + name; }
    QString WriteBanner(const QString &name, const CBannerDoc &doc)
    {
        const QString path = At(name);
        EXPECT_TRUE(TestSupport::WriteFile(path, BannerFile::Write(doc)));
        return path;
    }

    CoreContext context;
    QString dir;
};
} // namespace

TEST_F(CliTest, WrongUsageExitsWithTwo)
{
    const QString file = At(QStringLiteral("x.bnr"));
    for (const QStringList &args : {QStringList{}, QStringList{"info", file}, QStringList{"info", file, "--xml"},
                                    QStringList{"convert", file}, QStringList{"render", file, "0"},
                                    QStringList{"render", file, "first", At("o.png")}, QStringList{"paint", file}}) {
        const Result r = Cli(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("usage: vellumark-cli")) << args.join(' ').toStdString();
    }
}

TEST_F(CliTest, InfoDescribesEveryFrameAndItemAsStored)
{
    CBannerDoc doc(context);
    FillRich(doc);
    const Result r = Cli({"info", WriteBanner(QStringLiteral("rich.bnr"), doc), "--json"});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(r.out, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(o["width"].toInt(), 468);
    EXPECT_EQ(o["height"].toInt(), 60);
    EXPECT_EQ(o["currentFrame"].toInt(), 1);
    EXPECT_EQ(o["loop"].toInt(), 0);
    EXPECT_EQ(o["defaultDelay"].toInt(), 750);
    EXPECT_EQ(o["defaultBackground"].toInteger(), 0x00123456);
    const QJsonArray frames = o["frames"].toArray();
    ASSERT_EQ(frames.size(), 2);
    const QJsonObject f0 = frames[0].toObject();
    EXPECT_EQ(f0["delay"].toInt(), 250);
    EXPECT_EQ(f0["background"].toInteger(), 0x00ABCDEF);
    EXPECT_EQ(f0["backgroundBytes"].toInt(), 64);
    EXPECT_EQ(frames[1].toObject()["backgroundBytes"].toInt(), 0);

    const QJsonArray items0 = f0["items"].toArray();
    ASSERT_EQ(items0.size(), 3);
    const QJsonObject text = items0[0].toObject();
    EXPECT_EQ(text["class"].toString(), QStringLiteral("CText"));
    EXPECT_EQ(text["position"].toArray(), (QJsonArray{11, 19, 2, 41}));
    EXPECT_EQ(text["lineColor"].toInteger(), 0x00102031);
    EXPECT_EQ(text["fillColor"].toInteger(), 0x00A0B0BF);
    EXPECT_EQ(text["penStyle"].toInt(), 1);
    EXPECT_EQ(text["fillStyle"].toInt(), 6);
    EXPECT_EQ(text["penWidth"].toInt(), -2);
    EXPECT_EQ(text["text"].toString(), QString::fromUtf8("Caf\u00e9 \u20ac5\r\nsecond line"));
    EXPECT_EQ(text["face"].toString(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(text["height"].toInt(), -27);
    EXPECT_EQ(text["weight"].toInt(), 700);
    EXPECT_EQ(text["italic"].toInt(), 1);
    EXPECT_EQ(text["underline"].toInt(), 0);
    EXPECT_EQ(text["strikeOut"].toInt(), 1);
    const QJsonObject shape = items0[1].toObject();
    EXPECT_EQ(shape["shape"].toInt(), 1);
    EXPECT_EQ(shape["fill"].toInt(), 1);
    EXPECT_FALSE(shape.contains("points"));
    EXPECT_EQ(items0[2].toObject()["pictureBytes"].toInt(), 56);

    const QJsonArray items1 = frames[1].toObject()["items"].toArray();
    const QJsonObject stroke = items1[0].toObject();
    EXPECT_EQ(stroke["class"].toString(), QStringLiteral("CPolyline"));
    EXPECT_EQ(stroke["shape"].toInt(), 7);
    EXPECT_EQ(stroke["closed"].toInt(), 1);
    EXPECT_EQ(stroke["points"].toArray(),
              (QJsonArray{QJsonArray{1, 2}, QJsonArray{-3, 4}, QJsonArray{1, 2}, QJsonArray{1, 2}, QJsonArray{400, -60}}));
    EXPECT_EQ(items1[1].toObject()["class"].toString(), QStringLiteral("CSprite"));
    EXPECT_FALSE(items1[1].toObject().contains("shape"));
    EXPECT_EQ(items1[2].toObject()["pictureBytes"].toInt(), 0);
}

TEST_F(CliTest, FailuresPrintTheEditorsMessageAndExitWithOne)
{
    ASSERT_TRUE(TestSupport::WriteFile(At("bad.bnr"), "just some text, not a banner"));
    Result r = Cli({"info", At("bad.bnr"), "--json"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.trimmed(), QByteArray("File \"bad.bnr\" is not a Corvanta Vellumark file. Cannot Open file."));
    EXPECT_TRUE(r.out.isEmpty());

    r = Cli({"info", At("notes.txt"), "--json"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.trimmed(),
              QByteArray("Cannot open the file notes.txt \n The file is neither a BANNER(.bnr) file nor a GIF (.gif) file."));

    CBannerDoc doc(context);
    doc.OnNewDocument();
    const QString in = WriteBanner(QStringLiteral("in.bnr"), doc);
    r = Cli({"convert", in, At("out.txt")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.trimmed(), QByteArray("Invalid file extension. Please save as either a \".gif\" or a \".bnr\" file."));
    EXPECT_FALSE(QFile::exists(At("out.txt")));
}

TEST_F(CliTest, ConvertRewritesBannersByteForByte)
{
    CBannerDoc doc(context);
    FillRich(doc);
    const QString in = WriteBanner(QStringLiteral("in.bnr"), doc);
    const Result r = Cli({"convert", in, At("out.BNR")});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    EXPECT_EQ(TestSupport::ReadFile(At("out.BNR")), TestSupport::ReadFile(in));
    EXPECT_TRUE(r.err.isEmpty());

    // Over the file it reads: the pictures are read from the file until the new one is written.
    const QByteArray before = TestSupport::ReadFile(in);
    ASSERT_EQ(Cli({"convert", in, in}).code, 0);
    EXPECT_EQ(TestSupport::ReadFile(in), before);

    // A file that ends inside the first frame's picture (from byte 78) is refused as damaged, as
    // the editor refuses it.
    ASSERT_TRUE(TestSupport::WriteFile(At("cut.bnr"), before.left(90)));
    const Result cut = Cli({"convert", At("cut.bnr"), At("cut.gif")});
    EXPECT_EQ(cut.code, 1);
    EXPECT_EQ(cut.err.trimmed(), QByteArray("Cannot read \"cut.bnr\": the file is damaged or not a banner file."));
    EXPECT_FALSE(QFile::exists(At("cut.gif")));
}

TEST_F(CliTest, RenderWritesTheFramePictureAndChecksTheFrameNumber)
{
    CBannerDoc doc(context);
    doc.OnNewDocument();
    doc.GetFrame(0)->m_crBackground = RGB(0, 0, 255);
    auto second = std::make_unique<CBannerFrame>(nullptr, RGB(255, 255, 0), 500);
    auto box = std::make_unique<CPrimitiveGraphics>(CRect(10, 10, 30, 20));
    box->m_fill = 1;
    box->m_fillColor = RGB(255, 0, 0);
    box->m_lineColor = RGB(0, 128, 0);
    second->AddItem(std::move(box));
    doc.m_frames.push_back(std::move(second));
    const QString in = WriteBanner(QStringLiteral("two.bnr"), doc);

    ASSERT_EQ(Cli({"render", in, "1", At("f1.png")}).code, 0);
    const QImage f1(At("f1.png"));
    ASSERT_EQ(f1.size(), QSize(468, 60));
    EXPECT_EQ(f1.pixel(0, 0), qRgb(255, 255, 0));
    EXPECT_EQ(f1.pixel(20, 15), qRgb(255, 0, 0));
    EXPECT_EQ(f1.pixel(10, 15), qRgb(0, 128, 0));
    ASSERT_EQ(Cli({"render", in, "0", At("f0.png")}).code, 0);
    EXPECT_EQ(QImage(At("f0.png")).pixel(200, 30), qRgb(0, 0, 255));

    for (const char *frame : {"2", "-1"}) {
        const Result r = Cli({"render", in, frame, At("no.png")});
        EXPECT_EQ(r.code, 2) << frame;
        EXPECT_TRUE(r.err.contains("outside the banner")) << frame;
    }
    EXPECT_FALSE(QFile::exists(At("no.png")));

    // Text needs fonts, which the tool starts only for banners with text: the text is drawn, and
    // the picture says the same resolution as one drawn without them.
    auto text = std::make_unique<CText>();
    text->m_position = CRect(10, 5, 300, 55);
    text->m_lineColor = RGB(255, 255, 255);
    text->m_logFont.lfHeight = -30;
    text->m_text = QStringLiteral("Sale");
    doc.GetFrame(0)->AddItem(std::move(text));
    const QString withText = WriteBanner(QStringLiteral("text.bnr"), doc);
    ASSERT_EQ(Cli({"render", withText, "0", At("t0.png")}).code, 0);
    const QImage t0 = QImage(At("t0.png")).convertToFormat(QImage::Format_RGB32);
    int drawn = 0;
    for (int y = 5; y < 55; ++y)
        for (int x = 10; x < 300; ++x)
            drawn += t0.pixel(x, y) != qRgb(0, 0, 255);
    EXPECT_GT(drawn, 50);
    EXPECT_EQ(t0.dotsPerMeterX(), f1.dotsPerMeterX());
}

TEST_F(CliTest, ConvertExportsAndImportsGifsThatRenderAsTheBannerDid)
{
    // Three frames: a moving box on coloured backgrounds, the last frame repeating the second.
    CBannerDoc doc(context);
    doc.OnNewDocument();
    doc.m_bLoop = -1;
    doc.GetFrame(0)->m_crBackground = RGB(0, 0, 160);
    for (int k = 1; k < 3; ++k)
        doc.m_frames.push_back(std::make_unique<CBannerFrame>(nullptr, RGB(250, 240, 0), 200 * std::uint32_t(k)));
    for (int k = 0; k < 3; ++k) {
        auto box = std::make_unique<CPrimitiveGraphics>(CRect(20 + 30 * std::min(k, 1), 10, 80 + 30 * std::min(k, 1), 40));
        box->m_fill = 1;
        box->m_fillColor = RGB(255, 0, 0);
        doc.GetFrame(k)->AddItem(std::move(box));
    }
    const QString in = WriteBanner(QStringLiteral("moving.bnr"), doc);

    Result r = Cli({"convert", in, At("moving.gif")});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty()); // progress only goes to a terminal
    QByteArray frames;
    ASSERT_EQ(TestSupport::Run(QStringLiteral("/usr/bin/identify"), {"-format", "%T,", At("moving.gif")}, &frames), 0);
    EXPECT_EQ(frames, QByteArray("100,20,40,"));

    r = Cli({"convert", At("moving.gif"), At("back.bnr")});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    r = Cli({"info", At("back.bnr"), "--json"});
    ASSERT_EQ(r.code, 0);
    const QJsonObject info = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(info["loop"].toInt(), -1);
    const QJsonArray back = info["frames"].toArray();
    ASSERT_EQ(back.size(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(back[k].toObject()["backgroundBytes"].toInt(), 84280) << k;
        EXPECT_TRUE(back[k].toObject()["items"].toArray().isEmpty()) << k;
        const QString n = QString::number(k);
        ASSERT_EQ(Cli({"render", in, n, At("a" + n + ".png")}).code, 0);
        ASSERT_EQ(Cli({"render", At("back.bnr"), n, At("b" + n + ".png")}).code, 0);
        EXPECT_EQ(QImage(At("a" + n + ".png")).convertToFormat(QImage::Format_RGB32),
                  QImage(At("b" + n + ".png")).convertToFormat(QImage::Format_RGB32))
            << "frame " << k;
    }
    EXPECT_EQ(back[1].toObject()["delay"].toInt(), 200);
}

TEST_F(CliTest, ConvertMeetsASizeBudgetOrSaysWhyAndReportsTheGifPageByPage)
{
    CBannerDoc doc(context);
    doc.OnNewDocument();
    doc.m_frames.push_back(std::make_unique<CBannerFrame>(nullptr, RGB(255, 255, 255), 100));
    auto box = std::make_unique<CPrimitiveGraphics>(CRect(40, 10, 60, 30));
    box->m_fill = 1;
    box->m_fillColor = RGB(255, 0, 0);
    doc.GetFrame(1)->AddItem(std::move(box));
    const QString in = WriteBanner(QStringLiteral("box.bnr"), doc);

    Result r = Cli({"convert", in, At("tiny.gif"), "--budget", "100"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("the size budget is 100 bytes")) << r.err.constData();
    EXPECT_FALSE(QFile::exists(At("tiny.gif")));
    r = Cli({"convert", in, At("fits.gif"), "--budget", "5000", "--lossy", "8"});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    EXPECT_LE(QFile(At("fits.gif")).size(), 5000);
    for (const QStringList &bad : {QStringList{"convert", in, At("x.gif"), "--lossy", "300"},
                                   QStringList{"convert", in, At("x.gif"), "--budget"},
                                   QStringList{"convert", in, At("x.gif"), "--budget", "-4"}})
        EXPECT_EQ(Cli(bad).code, 2) << bad.join(' ').toStdString();

    r = Cli({"info", in, "--gif-report"});
    ASSERT_EQ(r.code, 0) << r.err.constData();
    const QJsonObject report = QJsonDocument::fromJson(r.out).object();
    const QJsonArray pages = report["pages"].toArray();
    ASSERT_EQ(pages.size(), 2);
    EXPECT_EQ(pages[0].toObject()["rect"].toArray(), (QJsonArray{0, 0, 468, 60}));
    EXPECT_EQ(pages[0].toObject()["colours"].toInt(), 1);
    // The second page is the box, drawn with its outline, in its own colours.
    const QJsonArray rect = pages[1].toObject()["rect"].toArray();
    EXPECT_EQ(rect, (QJsonArray{40, 10, 20, 20}));
    EXPECT_EQ(pages[1].toObject()["colours"].toInt(), 2);
    EXPECT_EQ(pages[1].toObject()["palette"].toString(), QStringLiteral("global"));
    const qint64 total = report["bytes"].toInteger();
    EXPECT_EQ(total, QFile(At("fits.gif")).size()); // the lossy level changes nothing on two colours
    EXPECT_LT(pages[0].toObject()["bytes"].toInt() + pages[1].toObject()["bytes"].toInt(), total);
}
