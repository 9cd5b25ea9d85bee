// GIF export options: dithering, delays and the short-frame warning, a size budget, shared palettes.
#include "GifTestSupport.h"
#include "TestSupport.h"

#include "document/GifExportSettings.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/GifCodec.h"
#include "platform/settings/Settings.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace GifTest;

namespace {

const QString kWarnValue = QStringLiteral("ShortFrameWarnDlg");

class GifExportOptionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prompts::Register(&prompts);
        CreateSettingsKey(SettingsHive::User, Profile::ApplicationKey());
        DeleteSettingValue(SettingsHive::User, Profile::ApplicationKey(), kWarnValue);
    }
    void TearDown() override { GifExportSettings::Write({}), Prompts::Register(nullptr); }
    long ShortFrameWarnings() const
    {
        return std::count_if(prompts.messages.begin(), prompts.messages.end(), [](const ScriptedPrompts::Shown &m) {
            return m.icon == Prompts::Icon::Warning && m.text.contains(QStringLiteral("20 ms"));
        });
    }
    // Sets the frames, exports them to `name` in the test's folder and returns the file's bytes.
    QByteArray Export(const std::vector<QImage> &pictures, const QString &name)
    {
        SetFrames(doc, pictures);
        EXPECT_TRUE(doc.SaveAsGif(dir + name));
        return TestSupport::ReadFile(dir + name);
    }
    std::vector<QImage> Frames() const
    {
        std::vector<QImage> frames;
        for (int k = 0; k < doc.GetFrameCount(); ++k)
            frames.push_back(FrameImage(doc, k));
        return frames;
    }
    ScriptedPrompts prompts;
    CoreContext ctx;
    CBannerDoc doc{ctx};
    const QString dir = TestSupport::NewTempDir();
};

// Frames with a moving block over a photographic background.
std::vector<QImage> MovingBlock(int frames)
{
    std::vector<QImage> pictures;
    for (int k = 0; k < frames; ++k) {
        pictures.push_back(Photographic(5));
        QPainter(&pictures.back()).fillRect(12 * k, 10, 30, 30, QColor(250, 250, 250));
    }
    return pictures;
}

// Mean per-channel difference of 6 x 6 block averages: what dithering brings closer to the original.
double BlockError(const QImage &a, const QImage &b)
{
    double total = 0;
    int blocks = 0;
    for (int by = 0; by + 6 <= a.height(); by += 6)
        for (int bx = 0; bx + 6 <= a.width(); bx += 6, ++blocks)
            for (int shift : {16, 8, 0}) {
                int diff = 0;
                for (int y = by; y < by + 6; ++y)
                    for (int x = bx; x < bx + 6; ++x)
                        diff += int(a.pixel(x, y) >> shift & 0xff) - int(b.pixel(x, y) >> shift & 0xff);
                total += std::abs(diff) / 36.0;
            }
    return total / (3.0 * blocks);
}

} // namespace

TEST_F(GifExportOptionsTest, DitheringFromTheUserSettingsChangesOnlyPagesWithTooManyColours)
{
    const std::vector<QImage> photo = MovingBlock(4);
    std::vector<QImage> flat; // each page a ramp of 200 colours, more than one palette holds together
    for (int k = 0; k < 3; ++k) {
        flat.push_back(Plain(0));
        for (int x = 0; x < kWidth; ++x)
            QPainter(&flat.back()).fillRect(x, 0, 1, kHeight, QColor(x % 200, 60 * k, 255 - x % 200));
    }
    const QByteArray photoExact = Export(photo, QStringLiteral("/photo.gif"));
    const std::vector<QImage> undithered = Frames();
    const QByteArray flatExact = Export(flat, QStringLiteral("/flat.gif"));

    ctx.gifOptionsFromSettings = true; // read at every export; stored defaults write the same bytes
    ASSERT_TRUE(GifExportSettings::Write({}));
    EXPECT_EQ(Export(photo, QStringLiteral("/photo-defaults.gif")), photoExact);
    GifExportSettings::Stored dither;
    dither.dither = true;
    ASSERT_TRUE(GifExportSettings::Write(dither));
    EXPECT_EQ(Export(flat, QStringLiteral("/flat-dithered.gif")), flatExact);

    SetFrames(doc, photo);
    const std::vector<QImage> rendered = Rendered(doc);
    GifCodec::Animation gif;
    ASSERT_EQ(GifCodec::Read(Export(photo, QStringLiteral("/photo-dithered.gif")), &gif), GifCodec::Ok);
    ASSERT_EQ(doc.GetFrameCount(), 4);
    for (std::size_t k = 0; k < 4; ++k) {
        const QImage frame = FrameImage(doc, int(k));
        EXPECT_GT(Psnr(rendered[k], frame), 25.0) << k;
        EXPECT_LT(BlockError(rendered[k], frame), BlockError(rendered[k], undithered[k])) << k;
    }
    // Only what changed is dithered again: later pages cover the block's old and new place.
    ASSERT_EQ(gif.pages.size(), 4u);
    for (std::size_t k = 1; k < 4; ++k)
        EXPECT_TRUE(gif.pages[k].image.width() <= 42 && gif.pages[k].image.height() <= 30) << k;
    ASSERT_TRUE(GifExportSettings::Write({}));
    EXPECT_EQ(Export(photo, QStringLiteral("/photo-again.gif")), photoExact);
}

TEST_F(GifExportOptionsTest, FramesOf33MsKeepTheirRunningTimeAndThoseUnder20MsAreWarnedOfUntilTurnedOff)
{
    std::vector<QImage> pictures;
    for (int k = 0; k < 100; ++k)
        pictures.push_back(Plain(qRgb(k, 100, 200)));
    SetFrames(doc, pictures, 33);
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/timing.gif")));
    QByteArray info;
    ASSERT_EQ(TestSupport::Run(QStringLiteral("gifsicle"), {QStringLiteral("--info"), dir + QStringLiteral("/timing.gif")}, &info), 0);
    int totalMs = 0, frames = 0;
    static const QRegularExpression delay(QStringLiteral("delay (\\d+)\\.(\\d+)s"));
    for (auto it = delay.globalMatch(QString::fromLatin1(info)); it.hasNext(); ++frames) {
        const QRegularExpressionMatch m = it.next();
        totalMs += m.captured(1).toInt() * 1000 + m.captured(2).toInt() * 10;
    }
    EXPECT_EQ(frames, 100);
    EXPECT_LE(std::abs(totalMs - 3300), 10) << totalMs;
    EXPECT_EQ(ShortFrameWarnings(), 0);

    const QImage a = Plain(qRgb(1, 2, 3)), b = Plain(qRgb(4, 5, 6));
    SetFrames(doc, {a, b, Plain(qRgb(7, 8, 9))}, 10);
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/a.gif")));
    EXPECT_EQ(ShortFrameWarnings(), 1);
    // Cleared check box: remembered, also by a later run of the application.
    prompts.optOutKeepShowing = false;
    SetFrames(doc, {a, b}, 0);
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/b.gif")));
    EXPECT_EQ(ShortFrameWarnings(), 2);
    std::uint32_t stored = 0;
    EXPECT_EQ(ReadSettingDword(SettingsHive::User, Profile::ApplicationKey(), kWarnValue, &stored), 0);
    EXPECT_EQ(stored, 2u);
    CoreContext later;
    CBannerDoc again{later};
    SetFrames(again, {a, b}, 10);
    ASSERT_TRUE(again.SaveAsGif(dir + QStringLiteral("/c.gif")));
    EXPECT_EQ(ShortFrameWarnings(), 2);
}

TEST_F(GifExportOptionsTest, BudgetChoosesTheLeastLossyFileThatFitsOrRefusesWithTheBestSize)
{
    const std::vector<QImage> pictures = MovingBlock(8);
    SetFrames(doc, pictures);
    const std::vector<QImage> rendered = Rendered(doc);
    const qint64 exact = Export(pictures, QStringLiteral("/exact.gif")).size();
    const std::vector<QImage> exactFrames = Frames();

    ctx.m_gifOptions.budget = exact; // met by the exact file: nothing changes
    EXPECT_EQ(Export(pictures, QStringLiteral("/same.gif")).size(), exact);

    ctx.m_gifOptions.budget = exact * 85 / 100; // some loss, within the pictures' quality
    EXPECT_LE(Export(pictures, QStringLiteral("/fit.gif")).size(), ctx.m_gifOptions.budget);
    ASSERT_EQ(doc.GetFrameCount(), 8);
    for (int k = 0; k < 8; ++k) {
        EXPECT_GT(Psnr(rendered[std::size_t(k)], FrameImage(doc, k)), 25.0) << k;
        EXPECT_NE(FirstDifference(exactFrames[std::size_t(k)], FrameImage(doc, k)), QString()) << k;
    }

    // Out of reach: nothing written, the document unchanged, the best size in the message.
    SetFrames(doc, pictures);
    doc.SetModifiedFlag(true);
    ctx.m_gifOptions.budget = 2000;
    EXPECT_FALSE(doc.SaveAsGif(dir + QStringLiteral("/small.gif")));
    EXPECT_FALSE(QFile::exists(dir + QStringLiteral("/small.gif")));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(FrameImage(doc, 3), rendered[3]);
    ASSERT_EQ(prompts.messages.size(), 1u);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("has (\\d+) bytes; the size budget is 2000 bytes")).match(prompts.messages[0].text);
    ASSERT_TRUE(m.hasMatch()) << prompts.messages[0].text.toStdString();
    EXPECT_GT(m.captured(1).toLongLong(), 2000);
    EXPECT_LT(m.captured(1).toLongLong(), exact * 85 / 100);
}

TEST_F(GifExportOptionsTest, PagesSharingTheGlobalPaletteUseItsFirstEntriesAndShowTheFramesExactly)
{
    // 200 colours in the first frame; then a small white square moves over it.
    std::vector<QImage> pictures{Plain(0)};
    for (int x = 0; x < kWidth; ++x)
        QPainter(&pictures[0]).fillRect(x, 0, 1, kHeight, QColor(x % 200, 255 - x % 200, 60));
    for (int k = 1; k < 6; ++k) {
        pictures.push_back(pictures[0]);
        QPainter(&pictures.back()).fillRect(40 * k, 20, 12, 12, QColor(255, 255, 255));
    }
    SetFrames(doc, pictures);
    const std::vector<QImage> rendered = Rendered(doc);
    GifCodec::Animation gif;
    ASSERT_EQ(GifCodec::Read(Export(pictures, QStringLiteral("/order.gif")), &gif), GifCodec::Ok);
    ASSERT_EQ(gif.pages.size(), 6u);
    EXPECT_EQ(gif.globalPalette.size(), 256);
    for (std::size_t k = 1; k < gif.pages.size(); ++k) {
        const GifCodec::Page &page = gif.pages[k];
        EXPECT_FALSE(page.localPalette) << k;
        int highest = 0;
        for (int y = 0; y < page.image.height(); ++y)
            for (int x = 0; x < page.image.width(); ++x)
                highest = std::max<int>(highest, page.image.constScanLine(y)[x]);
        // Transparent, white and the stripes the square crossed (up to 52): six-bit codes, not eight.
        EXPECT_LT(highest, 64) << k;
    }
    const std::vector<QImage> decoded = CoalescedByImageMagick(dir + QStringLiteral("/order.gif"), qRgb(255, 255, 255));
    ASSERT_EQ(decoded.size(), rendered.size());
    for (std::size_t k = 0; k < rendered.size(); ++k)
        EXPECT_EQ(FirstDifference(rendered[k], decoded[k]), QString()) << k;
}
