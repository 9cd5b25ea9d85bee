// Opening animated GIFs: the format and size checks, the animated-GIF warning and its setting,
// and the composition of pages, compared with what ImageMagick shows for files it and gifsicle made.
#include "DocumentFakes.h"
#include "GifTestSupport.h"
#include "TestSupport.h"

#include "platform/ScriptedPrompts.h"
#include "platform/imaging/GifCodec.h"
#include "platform/settings/Settings.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace GifTest;

namespace {

const QString kWarnValue = QStringLiteral("GifWarnDlg");

class GifImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prompts::Register(&prompts);
        CreateSettingsKey(SettingsHive::User, Profile::ApplicationKey());
        DeleteSettingValue(SettingsHive::User, Profile::ApplicationKey(), kWarnValue);
        dir = TestSupport::NewTempDir();
    }
    void TearDown() override { Prompts::Register(nullptr); }

    QString Made(const QString &name, const QStringList &convertArgs)
    {
        const QString out = dir + QLatin1Char('/') + name;
        EXPECT_TRUE(RunTool(QStringLiteral("/usr/bin/convert"), QStringList(convertArgs) << out)) << name.toStdString();
        return out;
    }

    // Opens the GIF in a fresh document and checks every frame against ImageMagick's view of it.
    void ExpectSameAsImageMagick(const QString &gif)
    {
        CBannerDoc opened(ctx);
        ASSERT_TRUE(opened.ReadGif(gif)) << gif.toStdString() << ": "
                                         << (prompts.messages.empty() ? std::string() : prompts.messages.back().text.toStdString());
        // The frames' colour is the file's background colour, as ImageMagick reads it.
        const QRgb back = BackgroundByImageMagick(gif);
        EXPECT_EQ(ColorrefToQRgb(opened.GetFrame(0)->m_crBackground), back) << gif.toStdString();
        const std::vector<QImage> expected = CoalescedByImageMagick(gif, back);
        ASSERT_EQ(int(expected.size()), opened.GetFrameCount()) << gif.toStdString();
        for (int k = 0; k < opened.GetFrameCount(); ++k) {
            EXPECT_EQ(FirstDifference(FrameImage(opened, k), expected[std::size_t(k)]), QString())
                << gif.toStdString() << " frame " << k;
            EXPECT_TRUE(opened.GetFrame(k)->m_items.empty());
        }
    }

    ScriptedPrompts prompts;
    CoreContext ctx;
    CBannerDoc doc{ctx};
    QString dir;
};

// Frames of several sizes and offsets over a picture that does not cover the whole screen, one of
// them reaching past the screen's edge; the disposal given applies to every page.
QStringList Animation(const QString &dispose, bool pageOutside = true)
{
    QStringList outside = {QStringLiteral("("), QStringLiteral("-size"), QStringLiteral("50x50"), QStringLiteral("xc:none"),
                           QStringLiteral("-fill"), QStringLiteral("lime"), QStringLiteral("-draw"), QStringLiteral("circle 25,25 25,10"),
                           QStringLiteral("-repage"), QStringLiteral("468x60+440+30"), QStringLiteral(")")};
    if (!pageOutside)
        outside.clear();
    return QStringList{QStringLiteral("-dispose"), dispose, QStringLiteral("-delay"), QStringLiteral("7"),
            QStringLiteral("-size"), QStringLiteral("400x50"), QStringLiteral("xc:#3060a0"),
            QStringLiteral("-repage"), QStringLiteral("468x60+30+5"),
            QStringLiteral("("), QStringLiteral("-size"), QStringLiteral("60x30"), QStringLiteral("xc:none"),
            QStringLiteral("-fill"), QStringLiteral("red"), QStringLiteral("-draw"), QStringLiteral("rectangle 5,5 40,20"),
            QStringLiteral("-repage"), QStringLiteral("468x60+20+10"), QStringLiteral(")"),
            QStringLiteral("("), QStringLiteral("-size"), QStringLiteral("100x40"), QStringLiteral("xc:yellow"),
            QStringLiteral("-fill"), QStringLiteral("none"), QStringLiteral("-draw"), QStringLiteral("color 50,20 point"),
            QStringLiteral("-repage"), QStringLiteral("468x60+60+15"), QStringLiteral(")"),
            QStringLiteral("-loop"), QStringLiteral("0")} + outside;
}

} // namespace

TEST_F(GifImportTest, RefusesFilesThatAreNotGifs)
{
    const QString png = dir + QStringLiteral("/picture.gif");
    ASSERT_TRUE(Plain(qRgb(1, 2, 3)).save(png, "PNG"));
    EXPECT_FALSE(doc.ReadGif(png));
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Error: Cannot open file.\nThe file is not a GIF file."), Prompts::Icon::Stop));
    EXPECT_FALSE(doc.ReadGif(dir + QStringLiteral("/missing.gif")));
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.gifWarningsShown, 0);
}

TEST_F(GifImportTest, RefusesOtherSizesWithTheBannerSize)
{
    const QString gif = Made(QStringLiteral("small.gif"), {QStringLiteral("-size"), QStringLiteral("400x40"), QStringLiteral("xc:red")});
    doc.OnNewDocument();
    EXPECT_FALSE(doc.ReadGif(gif));
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Error: Cannot open file.\nThe file to be opened is not of the standard "
                                                "banner size of 468 by 60 pixels."),
                                 Prompts::Icon::Stop));
    EXPECT_EQ(doc.GetFrameCount(), 1); // untouched
    EXPECT_EQ(prompts.gifWarningsShown, 0);
}

// Banner-size pages of one colour each, written by our codec, so that page boundaries are known.
QByteArray PlainPages(int pages, int side = 0)
{
    GifCodec::Animation gif;
    gif.width = 468;
    gif.height = 60;
    gif.globalPalette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(9, 9, 9)};
    for (int k = 0; k < pages; ++k) {
        GifCodec::Page page;
        page.image = QImage(side ? side : 468, side ? side : 60, QImage::Format_Indexed8);
        page.image.setColorTable(gif.globalPalette);
        page.image.fill(uint(k % 3));
        gif.pages.push_back(page);
    }
    QByteArray bytes;
    EXPECT_EQ(GifCodec::Write(gif, &bytes), GifCodec::Ok);
    return bytes;
}

// Files cut short: a lost trailer opens completely, a cut inside a page keeps the pages before
// it and says the file is damaged, a cut inside the first page is refused with the reader's code
// and its reason.
TEST_F(GifImportTest, CutFilesKeepTheirCompletePagesAndSayWhy)
{
    ctx.m_gifWarnState = 2;
    const QByteArray two = PlainPages(2), three = PlainPages(3);
    const QString cut = dir + QStringLiteral("/cut.gif");
    const QString reason = QStringLiteral("Lead Error Code:3 (the data ends early or is corrupt).");

    SetFrames(doc, {Plain(qRgb(9, 9, 9))});
    ASSERT_TRUE(TestSupport::WriteFile(cut, three.left(40)));
    EXPECT_FALSE(doc.ReadGif(cut));
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Error: Cannot open file.\n") + reason, Prompts::Icon::Stop));
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(FrameImage(doc, 0), Plain(qRgb(9, 9, 9)));

    prompts.messages.clear();
    ASSERT_TRUE(TestSupport::WriteFile(cut, three.left(three.size() - 1)));
    ASSERT_TRUE(doc.ReadGif(cut));
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(doc.GetFrameCount(), 3);
    EXPECT_EQ(FrameImage(doc, 2), Plain(qRgb(0, 0, 255)));

    const qsizetype thirdPage = two.size() - 1;
    ASSERT_TRUE(TestSupport::WriteFile(cut, three.left(thirdPage + (three.size() - thirdPage) / 2)));
    ASSERT_TRUE(doc.ReadGif(cut));
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("The file is damaged: only its first 2 frames could be read.\n") + reason,
                                 Prompts::Icon::Warning));
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(FrameImage(doc, 1), Plain(qRgb(0, 255, 0)));
}

// Files whose frames would need more than the memory budget are refused before their frames are
// made; pages far larger than the banner are kept only where the banner shows them.
TEST_F(GifImportTest, FramesBeyondTheMemoryBudgetAreRefused)
{
    ctx.m_gifWarnState = 2;
    ctx.m_memoryBudget = 10 * 468 * 60 * 7; // ten frames
    const QString gif = dir + QStringLiteral("/many.gif");
    SetFrames(doc, {Plain(qRgb(9, 9, 9))});
    ASSERT_TRUE(TestSupport::WriteFile(gif, PlainPages(11)));
    EXPECT_FALSE(doc.ReadGif(gif));
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Cannot open the file \"many.gif\": its frames would need more than the "
                                                "1 MB of memory a banner may use (setting MemoryBudgetMB)."),
                                 Prompts::Icon::Stop));
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(FrameImage(doc, 0), Plain(qRgb(9, 9, 9)));
    ASSERT_TRUE(TestSupport::WriteFile(gif, PlainPages(10)));
    EXPECT_TRUE(doc.ReadGif(gif));
    EXPECT_EQ(doc.GetFrameCount(), 10);

    ASSERT_TRUE(TestSupport::WriteFile(gif, PlainPages(2, 3000)));
    ASSERT_TRUE(doc.ReadGif(gif));
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(FrameImage(doc, 1), Plain(qRgb(0, 255, 0)));
    // The pages are read cut to the screen, and the reader keeps none of them afterwards.
    EXPECT_FALSE(ctx.FileCtrl.PageList());
    std::vector<QSize> sizes;
    ASSERT_EQ(ctx.FileCtrl.ReadGifPages(gif, [&](int, int, const ImagingBitmap &page) {
        sizes.push_back(page.image.size());
        return true;
    }), 0);
    EXPECT_EQ(sizes, std::vector<QSize>(2, QSize(468, 60)));
}

TEST_F(GifImportTest, WarningFollowsTheSetting)
{
    const QString gif = Made(QStringLiteral("one.gif"), {QStringLiteral("-size"), QStringLiteral("468x60"), QStringLiteral("xc:blue")});
    const QString key = Profile::ApplicationKey();

    // No setting: shown every time, the state stays unknown.
    EXPECT_TRUE(doc.ReadGif(gif));
    EXPECT_TRUE(doc.ReadGif(gif));
    EXPECT_EQ(prompts.gifWarningsShown, 2);
    EXPECT_EQ(ctx.m_gifWarnState, 0);

    // Any value but 2 shows it.
    ASSERT_EQ(WriteSettingDword(SettingsHive::User, key, kWarnValue, 1), 0);
    EXPECT_TRUE(doc.ReadGif(gif));
    EXPECT_EQ(prompts.gifWarningsShown, 3);
    EXPECT_EQ(ctx.m_gifWarnState, 1);

    // 2 read at the first open: never shown.
    CoreContext other;
    CBannerDoc second(other);
    ASSERT_EQ(WriteSettingDword(SettingsHive::User, key, kWarnValue, 2), 0);
    EXPECT_TRUE(second.ReadGif(gif));
    EXPECT_EQ(prompts.gifWarningsShown, 3);
    EXPECT_EQ(other.m_gifWarnState, 2);
}

TEST_F(GifImportTest, ClearingTheCheckBoxSuppressesTheWarningForGood)
{
    const QString gif = Made(QStringLiteral("one.gif"), {QStringLiteral("-size"), QStringLiteral("468x60"), QStringLiteral("xc:blue")});
    prompts.gifWarningKeepShowing = false;
    EXPECT_TRUE(doc.ReadGif(gif));
    EXPECT_EQ(prompts.gifWarningsShown, 1);
    EXPECT_EQ(ctx.m_gifWarnState, 2);
    std::uint32_t value = 0;
    ASSERT_EQ(ReadSettingDword(SettingsHive::User, Profile::ApplicationKey(), kWarnValue, &value), 0);
    EXPECT_EQ(value, 2u);
    EXPECT_TRUE(doc.ReadGif(gif));
    EXPECT_EQ(prompts.gifWarningsShown, 1);

    // A new run of the application reads the setting.
    CoreContext restarted;
    CBannerDoc later(restarted);
    prompts.gifWarningKeepShowing = true;
    EXPECT_TRUE(later.ReadGif(gif));
    EXPECT_EQ(prompts.gifWarningsShown, 1);
}

TEST_F(GifImportTest, PagesBecomeFramesWithDelaysBackgroundAndLoop)
{
    ctx.m_gifWarnState = 2;
    const QString gif = Made(QStringLiteral("anim.gif"), Animation(QStringLiteral("none")));
    ASSERT_TRUE(doc.ReadGif(gif));
    ASSERT_EQ(doc.GetFrameCount(), 4);
    EXPECT_EQ(doc.m_bLoop, -1);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(doc.GetFrame(k)->m_nDelay, 70u);

    const QString looping = Made(QStringLiteral("looping.gif"), {QStringLiteral("-size"), QStringLiteral("468x60"),
                                                                QStringLiteral("xc:blue"), QStringLiteral("xc:red")});
    const QString once = dir + QStringLiteral("/once.gif");
    ASSERT_TRUE(RunTool(QStringLiteral("/usr/bin/gifsicle"), {QStringLiteral("--no-loopcount"), looping, QStringLiteral("-o"), once}));
    ASSERT_TRUE(doc.ReadGif(once));
    EXPECT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(doc.m_bLoop, 0); // no loop block

    const QString single = Made(QStringLiteral("single.gif"), {QStringLiteral("-size"), QStringLiteral("468x60"), QStringLiteral("xc:blue"),
                                                              QStringLiteral("-loop"), QStringLiteral("0")});
    ASSERT_TRUE(doc.ReadGif(single));
    EXPECT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(doc.m_bLoop, 0); // one page never repeats
    EXPECT_EQ(FrameImage(doc, 0), Plain(qRgb(0, 0, 255)));
}

// A loop count other than for ever is kept through opening and saving; a banner that does not
// loop is saved without a loop even right after a looping GIF was read.
TEST_F(GifImportTest, LoopCountSurvivesOpeningAndSaving)
{
    ctx.m_gifWarnState = 2;
    const QString looping = Made(QStringLiteral("looping.gif"), {QStringLiteral("-size"), QStringLiteral("468x60"),
                                                                QStringLiteral("xc:blue"), QStringLiteral("xc:red")});
    const QString twice = dir + QStringLiteral("/twice.gif");
    ASSERT_TRUE(RunTool(QStringLiteral("/usr/bin/gifsicle"), {QStringLiteral("--loopcount=2"), looping, QStringLiteral("-o"), twice}));
    auto loopInfo = [](const QString &gif) {
        QByteArray out;
        EXPECT_EQ(TestSupport::Run(QStringLiteral("/usr/bin/gifsicle"), {QStringLiteral("--info"), gif}, &out), 0);
        const qsizetype at = out.indexOf("loop");
        return at < 0 ? QByteArray() : out.mid(at, out.indexOf('\n', at) - at);
    };
    ASSERT_EQ(loopInfo(twice), QByteArray("loop count 2"));
    ASSERT_TRUE(doc.ReadGif(twice));
    EXPECT_EQ(doc.m_bLoop, 2);
    const QString saved = dir + QStringLiteral("/saved.gif");
    ASSERT_TRUE(doc.SaveAsGif(saved));
    EXPECT_EQ(loopInfo(saved), QByteArray("loop count 2"));
    EXPECT_EQ(doc.m_bLoop, 2);

    ASSERT_TRUE(doc.ReadGif(looping));
    EXPECT_EQ(doc.m_bLoop, -1);
    doc.m_bLoop = 0;
    ASSERT_TRUE(doc.SaveAsGif(saved));
    EXPECT_EQ(loopInfo(saved), QByteArray());
}

TEST_F(GifImportTest, ComposesEveryDisposalAsImageMagickShowsIt)
{
    ctx.m_gifWarnState = 2;
    for (const char *dispose : {"undefined", "none", "background", "previous"})
        ExpectSameAsImageMagick(Made(QStringLiteral("dispose-%1.gif").arg(QLatin1String(dispose)), Animation(QLatin1String(dispose))));
}

TEST_F(GifImportTest, ComposesGifsicleOutputAsImageMagickShowsIt)
{
    ctx.m_gifWarnState = 2;
    const QString source = Made(QStringLiteral("source.gif"), Animation(QStringLiteral("none"), false));
    const QString full = Made(QStringLiteral("full.gif"), Animation(QStringLiteral("none"), false) << QStringLiteral("-coalesce"));
    const struct {
        QString mode, input;
    } runs[] = {{QStringLiteral("-O3"), full},
                {QStringLiteral("--disposal=background"), source},
                {QStringLiteral("--disposal=previous"), source}};
    int n = 0;
    for (const auto &run : runs) {
        const QString out = dir + QStringLiteral("/gifsicle-%1.gif").arg(++n);
        ASSERT_TRUE(RunTool(QStringLiteral("/usr/bin/gifsicle"), {run.mode, run.input, QStringLiteral("-o"), out}))
            << run.mode.toStdString();
        ExpectSameAsImageMagick(out);
    }
}

TEST_F(GifImportTest, OurExportReadsBackAsImageMagickShowsIt)
{
    ctx.m_gifWarnState = 2;
    std::vector<QImage> pictures;
    for (int k = 0; k < 6; ++k) {
        QImage picture = Plain(qRgb(255, 250, 240));
        for (int y = 10; y < 30; ++y)
            for (int x = 40 * k; x < 40 * k + 30; ++x)
                picture.setPixel(x, y, qRgb(0, 100, 0));
        pictures.push_back(picture);
    }
    SetFrames(doc, pictures);
    const QString gif = dir + QStringLiteral("/ours.gif");
    ASSERT_TRUE(doc.SaveAsGif(gif));
    ExpectSameAsImageMagick(gif);
}
