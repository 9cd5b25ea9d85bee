// GIF export beyond the plain road: delays that keep the banner's running time, the warning about
// frames browsers slow down, and a size budget met by lossy coding.
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
    void TearDown() override
    {
        GifExportSettings::Write({});
        Prompts::Register(nullptr);
    }

    int ShortFrameWarnings() const
    {
        int n = 0;
        for (const ScriptedPrompts::Shown &m : prompts.messages)
            n += m.icon == Prompts::Icon::Warning && m.text.contains(QStringLiteral("20 ms"));
        return n;
    }

    ScriptedPrompts prompts;
    CoreContext ctx;
    CBannerDoc doc{ctx};
};

// Frames with a moving block over a photographic background.
std::vector<QImage> MovingBlock(int frames)
{
    std::vector<QImage> pictures;
    for (int k = 0; k < frames; ++k) {
        QImage picture = Photographic(5);
        QPainter p(&picture);
        p.fillRect(12 * k, 10, 30, 30, QColor(250, 250, 250));
        pictures.push_back(picture);
    }
    return pictures;
}

// The mean difference, per channel, of the averages over 6 x 6 blocks: what the eye sees from a
// little further away, where dithering brings a reduced picture closer to the original.
double BlockError(const QImage &a, const QImage &b)
{
    double total = 0;
    int blocks = 0;
    for (int by = 0; by + 6 <= a.height(); by += 6)
        for (int bx = 0; bx + 6 <= a.width(); bx += 6, ++blocks)
            for (int shift : {16, 8, 0}) {
                int sa = 0, sb = 0;
                for (int y = by; y < by + 6; ++y)
                    for (int x = bx; x < bx + 6; ++x) {
                        sa += int(a.pixel(x, y) >> shift & 0xff);
                        sb += int(b.pixel(x, y) >> shift & 0xff);
                    }
                total += std::abs(sa - sb) / 36.0;
            }
    return total / (3.0 * blocks);
}

} // namespace

TEST_F(GifExportOptionsTest, DitheringFromTheUserSettingsChangesOnlyPagesWithTooManyColours)
{
    const QString dir = TestSupport::NewTempDir();
    const std::vector<QImage> photo = MovingBlock(4);
    // Flat: each page a ramp of 200 colours, more than a GIF palette holds together.
    std::vector<QImage> flat;
    for (int k = 0; k < 3; ++k) {
        QImage picture = Plain(0);
        for (int x = 0; x < kWidth; ++x)
            QPainter(&picture).fillRect(x, 0, 1, kHeight, QColor(x % 200, 60 * k, 255 - x % 200));
        flat.push_back(picture);
    }
    auto exported = [&](const std::vector<QImage> &pictures, const QString &name) {
        SetFrames(doc, pictures);
        EXPECT_TRUE(doc.SaveAsGif(dir + name));
        return TestSupport::ReadFile(dir + name);
    };
    const QByteArray photoExact = exported(photo, QStringLiteral("/photo.gif"));
    std::vector<QImage> undithered;
    for (int k = 0; k < doc.GetFrameCount(); ++k)
        undithered.push_back(FrameImage(doc, k));
    const QByteArray flatExact = exported(flat, QStringLiteral("/flat.gif"));

    // The editor reads the options at every export; stored defaults write the same bytes.
    ctx.gifOptionsFromSettings = true;
    ASSERT_TRUE(GifExportSettings::Write({}));
    EXPECT_EQ(exported(photo, QStringLiteral("/photo-defaults.gif")), photoExact);
    GifExportSettings::Stored dither;
    dither.dither = true;
    ASSERT_TRUE(GifExportSettings::Write(dither));
    EXPECT_EQ(exported(flat, QStringLiteral("/flat-dithered.gif")), flatExact);

    SetFrames(doc, photo);
    const std::vector<QImage> rendered = Rendered(doc);
    const QString path = dir + QStringLiteral("/photo-dithered.gif");
    ASSERT_TRUE(doc.SaveAsGif(path));
    ASSERT_EQ(doc.GetFrameCount(), 4);
    for (int k = 0; k < 4; ++k) {
        const QImage frame = FrameImage(doc, k);
        EXPECT_NE(FirstDifference(undithered[std::size_t(k)], frame), QString()) << k;
        EXPECT_GT(Psnr(rendered[std::size_t(k)], frame), 25.0) << k;
        EXPECT_LT(BlockError(rendered[std::size_t(k)], frame), BlockError(rendered[std::size_t(k)], undithered[std::size_t(k)]))
            << k;
    }
    // Only what changed is dithered again: later pages stay the block's old and new place.
    GifCodec::Animation gif;
    ASSERT_EQ(GifCodec::Read(TestSupport::ReadFile(path), &gif), GifCodec::Ok);
    ASSERT_EQ(gif.pages.size(), 4u);
    for (std::size_t k = 1; k < 4; ++k) {
        EXPECT_LE(gif.pages[k].image.width(), 42) << k;
        EXPECT_LE(gif.pages[k].image.height(), 30) << k;
    }
    // Read at the next export: turned off again, the photographic banner is written exactly as before.
    ASSERT_TRUE(GifExportSettings::Write({}));
    EXPECT_EQ(exported(photo, QStringLiteral("/photo-again.gif")), photoExact);
}

TEST_F(GifExportOptionsTest, HundredFramesOf33MsKeepTheirRunningTimeAsGifsicleReadsIt)
{
    std::vector<QImage> pictures;
    for (int k = 0; k < 100; ++k)
        pictures.push_back(Plain(qRgb(k, 100, 200)));
    SetFrames(doc, pictures, 33);
    const QString path = TestSupport::NewTempDir() + QStringLiteral("/timing.gif");
    ASSERT_TRUE(doc.SaveAsGif(path));
    QByteArray info;
    ASSERT_EQ(TestSupport::Run(QStringLiteral("gifsicle"), {QStringLiteral("--info"), path}, &info), 0);
    int totalMs = 0, frames = 0;
    static const QRegularExpression delay(QStringLiteral("delay (\\d+)\\.(\\d+)s"));
    for (auto it = delay.globalMatch(QString::fromLatin1(info)); it.hasNext(); ++frames) {
        const QRegularExpressionMatch m = it.next();
        totalMs += m.captured(1).toInt() * 1000 + m.captured(2).toInt() * 10;
    }
    EXPECT_EQ(frames, 100);
    EXPECT_LE(std::abs(totalMs - 3300), 10) << totalMs;
    EXPECT_EQ(ShortFrameWarnings(), 0);
}

TEST_F(GifExportOptionsTest, FramesUnder20MsAreWarnedOfOncePerExportUntilTurnedOff)
{
    SetFrames(doc, {Plain(qRgb(1, 2, 3)), Plain(qRgb(4, 5, 6)), Plain(qRgb(7, 8, 9))}, 10);
    const QString dir = TestSupport::NewTempDir();
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/a.gif")));
    EXPECT_EQ(ShortFrameWarnings(), 1);
    // Cleared check box: remembered, also by a later run of the application.
    prompts.optOutKeepShowing = false;
    SetFrames(doc, {Plain(qRgb(1, 2, 3)), Plain(qRgb(4, 5, 6))}, 0);
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/b.gif")));
    EXPECT_EQ(ShortFrameWarnings(), 2);
    std::uint32_t stored = 0;
    EXPECT_EQ(ReadSettingDword(SettingsHive::User, Profile::ApplicationKey(), kWarnValue, &stored), 0);
    EXPECT_EQ(stored, 2u);
    CoreContext later;
    CBannerDoc again{later};
    SetFrames(again, {Plain(qRgb(1, 2, 3)), Plain(qRgb(4, 5, 6))}, 10);
    ASSERT_TRUE(again.SaveAsGif(dir + QStringLiteral("/c.gif")));
    EXPECT_EQ(ShortFrameWarnings(), 2);
}

TEST_F(GifExportOptionsTest, BudgetChoosesTheLeastLossyFileThatFitsOrRefusesWithTheBestSize)
{
    const std::vector<QImage> pictures = MovingBlock(8);
    const QString dir = TestSupport::NewTempDir();
    SetFrames(doc, pictures);
    const std::vector<QImage> rendered = Rendered(doc);
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/exact.gif")));
    const qint64 exact = QFile(dir + QStringLiteral("/exact.gif")).size();
    std::vector<QImage> exactFrames;
    for (int k = 0; k < doc.GetFrameCount(); ++k)
        exactFrames.push_back(FrameImage(doc, k));

    // A budget the exact file meets changes nothing.
    SetFrames(doc, pictures);
    ctx.m_gifOptions.budget = exact;
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/same.gif")));
    EXPECT_EQ(QFile(dir + QStringLiteral("/same.gif")).size(), exact);

    // 85 %: some loss, within the pictures' quality.
    SetFrames(doc, pictures);
    ctx.m_gifOptions.budget = exact * 85 / 100;
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/fit.gif")));
    EXPECT_LE(QFile(dir + QStringLiteral("/fit.gif")).size(), ctx.m_gifOptions.budget);
    ASSERT_EQ(doc.GetFrameCount(), 8);
    for (int k = 0; k < 8; ++k) {
        EXPECT_GT(Psnr(rendered[std::size_t(k)], FrameImage(doc, k)), 25.0) << k;
        EXPECT_NE(FirstDifference(exactFrames[std::size_t(k)], FrameImage(doc, k)), QString()) << k;
    }

    // Out of reach: nothing written, the document unchanged, the best size in the message.
    SetFrames(doc, pictures);
    doc.SetModifiedFlag(true);
    ctx.m_gifOptions.budget = 2000;
    const QString tooSmall = dir + QStringLiteral("/small.gif");
    EXPECT_FALSE(doc.SaveAsGif(tooSmall));
    EXPECT_FALSE(QFile::exists(tooSmall));
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
    // 200 colours in the first frame; then a small square of a colour of its own moves over it.
    QImage first = Plain(qRgb(0, 0, 0));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            first.setPixel(x, y, qRgb(x % 200, 255 - x % 200, 60));
    std::vector<QImage> pictures{first};
    for (int k = 1; k < 6; ++k) {
        QImage picture = first;
        QPainter(&picture).fillRect(40 * k, 20, 12, 12, QColor(255, 255, 255));
        pictures.push_back(picture);
    }
    SetFrames(doc, pictures);
    const std::vector<QImage> rendered = Rendered(doc);
    const QString path = TestSupport::NewTempDir() + QStringLiteral("/order.gif");
    ASSERT_TRUE(doc.SaveAsGif(path));
    GifCodec::Animation gif;
    ASSERT_EQ(GifCodec::Read(TestSupport::ReadFile(path), &gif), GifCodec::Ok);
    ASSERT_EQ(gif.pages.size(), 6u);
    EXPECT_EQ(gif.globalPalette.size(), 256);
    for (std::size_t k = 1; k < gif.pages.size(); ++k) {
        const GifCodec::Page &page = gif.pages[k];
        EXPECT_FALSE(page.localPalette) << k;
        int highest = 0;
        for (int y = 0; y < page.image.height(); ++y)
            for (int x = 0; x < page.image.width(); ++x)
                highest = std::max<int>(highest, page.image.constScanLine(y)[x]);
        // The transparent colour, white, and the stripe colours between the square's last and
        // new place (up to 52): six-bit codes, where the 256-entry table alone would take eight.
        EXPECT_LT(highest, 64) << k;
    }
    const std::vector<QImage> decoded = CoalescedByImageMagick(path, qRgb(255, 255, 255));
    ASSERT_EQ(decoded.size(), rendered.size());
    for (std::size_t k = 0; k < rendered.size(); ++k)
        EXPECT_EQ(FirstDifference(rendered[k], decoded[k]), QString()) << k;
}
