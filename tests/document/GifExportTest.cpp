// Saving a banner as an animated GIF: the pages written (rectangles, transparency, colour depth,
// loop), the document read back afterwards, the failure paths, and what independent decoders see.
#include "DocumentFakes.h"
#include "GifTestSupport.h"
#include "TestSupport.h"

#include "document/GifFrameWalk.h"
#include "document/GifProgress.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/GifCodec.h"
#include "platform/imaging/ImagingControl.h"

#include <QFile>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <functional>
#include <gtest/gtest.h>

using namespace GifTest;

namespace {

class GifExportTest : public ::testing::Test {
protected:
    void SetUp() override { Prompts::Register(&prompts); }
    void TearDown() override { Prompts::Register(nullptr); }

    GifCodec::Animation SaveAndDecode(const QString &name = QStringLiteral("out.gif"))
    {
        path = TestSupport::NewTempDir() + QLatin1Char('/') + name;
        EXPECT_TRUE(doc.SaveAsGif(path));
        GifCodec::Animation animation;
        EXPECT_EQ(GifCodec::Read(TestSupport::ReadFile(path), &animation), GifCodec::Ok);
        return animation;
    }

    ScriptedPrompts prompts;
    CoreContext ctx;
    CBannerDoc doc{ctx};
    QString path;
};

QRgb PixelOf(const GifCodec::Page &page, int x, int y)
{
    return page.image.color(page.image.pixelIndex(x, y));
}

int IndexOf(const GifCodec::Page &page, int x, int y)
{
    return page.image.pixelIndex(x, y);
}

int PaletteSize(const GifCodec::Animation &animation, const GifCodec::Page &page)
{
    return page.localPalette ? page.image.colorTable().size() : animation.globalPalette.size();
}

// A picture with exactly `colours` distinct colours in vertical stripes.
QImage Stripes(int colours)
{
    QImage image = Plain(qRgb(0, 0, 0));
    for (int x = 0; x < kWidth; ++x)
        for (int y = 0; y < kHeight; ++y) {
            const int c = x % colours;
            image.setPixel(x, y, qRgb(c, 255 - c, (c * 7) & 0xFF));
        }
    return image;
}

} // namespace

TEST_F(GifExportTest, OneFrameIsOnePageWithoutTransparencyAtItsColourDepth)
{
    QImage picture = Plain(qRgb(10, 20, 30));
    picture.fill(qRgb(10, 20, 30));
    {
        QPainter p(&picture);
        p.fillRect(0, 0, 20, 10, QColor(200, 0, 0));
    }
    SetFrames(doc, {picture});
    doc.m_bLoop = 0;
    RecordingView view(doc, ViewKind::BannerView);
    doc.SetModifiedFlag(true);

    const GifCodec::Animation gif = SaveAndDecode();
    ASSERT_EQ(gif.pages.size(), 1u);
    const GifCodec::Page &page = gif.pages[0];
    EXPECT_EQ(page.image.size(), QSize(kWidth, kHeight));
    EXPECT_EQ(page.transparentIndex, -1);
    EXPECT_EQ(PaletteSize(gif, page), 4); // two colours: 2^1 does not exceed 2, so 2 bits
    EXPECT_EQ(PixelOf(page, 5, 5) & 0xFFFFFF, 0xC80000u);
    EXPECT_EQ(PixelOf(page, 100, 30) & 0xFFFFFF, 0x0A141Eu);
    EXPECT_EQ(gif.loopCount, -1);

    // The document now holds what was written, selected frame and views told.
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(doc.GetFrameCount(), 1);
    EXPECT_EQ(FrameImage(doc, 0), picture);
    EXPECT_TRUE(doc.GetFrame(0)->m_items.empty());
    ASSERT_FALSE(view.hints.empty());
    EXPECT_EQ(view.hints.back(), hintCurrentFrame);
}

TEST_F(GifExportTest, ColourDepthIsTheFewestBitsAboveTheLargestColourCount)
{
    const struct {
        int colours, size;
    } cases[] = {{1, 2}, {16, 32}, {17, 32}, {127, 128}, {128, 256}, {255, 256}, {256, 256}};
    for (const auto &c : cases) {
        SetFrames(doc, {Stripes(c.colours)});
        const GifCodec::Animation gif = SaveAndDecode();
        ASSERT_EQ(gif.pages.size(), 1u);
        EXPECT_EQ(PaletteSize(gif, gif.pages[0]), c.size) << c.colours << " colours";
        EXPECT_EQ(FrameImage(doc, 0), Stripes(c.colours)) << c.colours << " colours";
    }
}

TEST_F(GifExportTest, SecondPageHoldsOnlyTheChangedAreaWithUnchangedPixelsTransparent)
{
    const QImage first = Plain(qRgb(0, 128, 255));
    QImage second = first;
    // A 10 x 5 outline: its inside stays as it was.
    for (int x = 200; x < 210; ++x) {
        second.setPixel(x, 20, qRgb(255, 255, 0));
        second.setPixel(x, 24, qRgb(255, 255, 0));
    }
    for (int y = 20; y < 25; ++y) {
        second.setPixel(200, y, qRgb(255, 255, 0));
        second.setPixel(209, y, qRgb(255, 255, 0));
    }
    SetFrames(doc, {first, second}, 250);
    doc.m_bLoop = -1;

    const GifCodec::Animation gif = SaveAndDecode();
    ASSERT_EQ(gif.pages.size(), 2u);
    EXPECT_EQ(gif.loopCount, 0); // loops forever
    const GifCodec::Page &page0 = gif.pages[0];
    EXPECT_EQ(page0.image.size(), QSize(kWidth, kHeight));
    EXPECT_EQ(page0.transparentIndex, -1);
    EXPECT_EQ(page0.disposal, 1);
    EXPECT_EQ(page0.delayMs, 250);

    const GifCodec::Page &page1 = gif.pages[1];
    EXPECT_EQ(page1.image.size(), QSize(10, 5));
    EXPECT_EQ(page1.left, 200);
    EXPECT_EQ(page1.top, 20);
    EXPECT_EQ(page1.disposal, 1);
    ASSERT_GE(page1.transparentIndex, 0);
    EXPECT_EQ(IndexOf(page1, 0, 0) == page1.transparentIndex, false);
    EXPECT_EQ(PixelOf(page1, 0, 0) & 0xFFFFFF, 0xFFFF00u);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 9; ++x)
            EXPECT_EQ(IndexOf(page1, x, y), page1.transparentIndex) << x << "," << y;

    // Read back, the frames are the pictures again, and the banner still loops.
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(FrameImage(doc, 0), first);
    EXPECT_EQ(FirstDifference(FrameImage(doc, 1), second), QString());
    EXPECT_EQ(doc.GetFrame(1)->m_nDelay, 250u);
    EXPECT_EQ(doc.m_bLoop, -1);
}

TEST_F(GifExportTest, IdenticalFramesGiveOneTransparentPixelAtTheOrigin)
{
    const QImage picture = Plain(qRgb(90, 90, 90));
    SetFrames(doc, {picture, picture});
    doc.m_bLoop = 0;
    doc.m_nCurrentFrame = 1;

    const GifCodec::Animation gif = SaveAndDecode();
    ASSERT_EQ(gif.pages.size(), 2u);
    EXPECT_EQ(gif.loopCount, -1);
    const GifCodec::Page &page1 = gif.pages[1];
    EXPECT_EQ(page1.image.size(), QSize(1, 1));
    EXPECT_EQ(page1.left, 0);
    EXPECT_EQ(page1.top, 0);
    EXPECT_EQ(IndexOf(page1, 0, 0), page1.transparentIndex);
    EXPECT_EQ(doc.m_bLoop, 0);
    EXPECT_EQ(doc.GetCurrentFrameIndex(), 1); // the selection survives the reload
    EXPECT_EQ(FrameImage(doc, 1), picture);
}

TEST_F(GifExportTest, TransparentColourIsOneNoPageUses)
{
    // The first candidate (black) is used by the first page only, the second (0, 0, 64) only by
    // the last: neither may become the transparent colour.
    QImage a = Plain(qRgb(0, 0, 0));
    QImage b = Plain(qRgb(255, 255, 255));
    QImage c = Plain(qRgb(0, 0, 64));
    SetFrames(doc, {a, b, c});
    ctx.FileCtrl.SetPageList(0);
    doc.RenderAllFrames(&ctx.FileCtrl);
    int index = -1;
    const COLORREF colour = CBannerDoc::ChooseTransparentColor(ctx.FileCtrl, &index);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(colour, RGB(0, 0, 128)); // the third candidate
}

TEST_F(GifExportTest, PhotographicAnimationIsSavedWithRoomForTheTransparentColour)
{
    std::vector<QImage> pictures;
    for (int k = 0; k < 4; ++k) {
        QImage picture = Photographic(1);
        QPainter p(&picture);
        p.fillRect(20 + 60 * k, 10, 30, 30, QColor(255, 255, 255));
        pictures.push_back(picture);
    }
    SetFrames(doc, pictures);
    const GifCodec::Animation gif = SaveAndDecode();
    EXPECT_TRUE(prompts.messages.empty());
    ASSERT_EQ(gif.pages.size(), 4u);
    for (std::size_t k = 1; k < gif.pages.size(); ++k) {
        const GifCodec::Page &page = gif.pages[k];
        ASSERT_GE(page.transparentIndex, 0);
        // The moving square's old and new places, not the whole banner.
        EXPECT_LE(page.image.width(), 100) << k;
        // No visible pixel has the transparent colour.
        const QRgb key = page.image.color(page.transparentIndex) & 0xFFFFFF;
        int clashes = 0;
        for (int y = 0; y < page.image.height(); ++y)
            for (int x = 0; x < page.image.width(); ++x)
                clashes += IndexOf(page, x, y) != page.transparentIndex && (PixelOf(page, x, y) & 0xFFFFFF) == key;
        EXPECT_EQ(clashes, 0) << "page " << k;
    }
    ASSERT_EQ(doc.GetFrameCount(), 4);
    for (int k = 0; k < 4; ++k) {
        const double psnr = Psnr(pictures[std::size_t(k)], FrameImage(doc, k));
        std::printf("photographic frame %d: PSNR %.1f dB\n", k, psnr);
        EXPECT_GT(psnr, 30.0) << k;
    }
}

TEST_F(GifExportTest, PhotographicFramesAfterFlatOnesLeaveTheFlatOnesExactDitheredOrNot)
{
    // The first frame fits a palette, the second does not: the export learns only then that the
    // photographic frames share a reduced palette and walks the frames again. The transparent
    // colour must keep away from the colours of both kinds: the first two candidates, black (in
    // the photographic frames) and dark blue (in the flat ones).
    std::vector<QImage> pictures;
    for (int k = 0; k < 5; ++k) {
        pictures.push_back(k % 2 ? Photographic(k) : Plain(qRgb(255, 255, 255)));
        QPainter(&pictures.back()).fillRect(30 + 50 * k, 10, 40, 30, k % 2 ? QColor(0, 0, 0) : QColor(0, 0, 64));
    }
    std::vector<int> reported;
    GifProgress::SetReportInterval(0);
    GifProgress::SetHandler([&](GifProgress::Task task, int done, int) {
        if (task == GifProgress::Task::Export)
            reported.push_back(done);
    });
    for (const bool dither : {false, true}) {
        SetFrames(doc, pictures);
        ctx.m_gifOptions.dither = dither;
        const CBannerDoc::GifOutcome measured = doc.MeasureGif(ctx.m_gifOptions, [] { return false; });
        reported.clear();
        const GifCodec::Animation gif = SaveAndDecode(dither ? QStringLiteral("dithered.gif") : QStringLiteral("out.gif"));
        EXPECT_EQ(measured.bytes, QFile(path).size()) << dither;
        ASSERT_EQ(gif.pages.size(), pictures.size()) << dither;
        ASSERT_EQ(doc.GetFrameCount(), int(pictures.size()));
        for (int k = 0; k < doc.GetFrameCount(); ++k) {
            if (k % 2)
                EXPECT_GT(Psnr(pictures[std::size_t(k)], FrameImage(doc, k)), 28.0) << k << dither;
            else
                EXPECT_EQ(FirstDifference(pictures[std::size_t(k)], FrameImage(doc, k)), QString()) << k << dither;
        }
        // Both walks count towards one progress that never goes back and ends at the last frame.
        ASSERT_FALSE(reported.empty());
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end())) << dither;
        EXPECT_EQ(reported.back(), int(pictures.size())) << dither;
    }
    GifProgress::SetHandler({});
}

TEST_F(GifExportTest, FramesWalkedInTwoRunsAtOnceGiveTheFileOfOneRun)
{
    // Long banners are walked in two runs of frames, the later one on another thread. Each kind
    // must come out byte for byte as from one run: colours only the later run sees, pages only it
    // finds too colourful (or only the first run does), photographs throughout, dithering, and
    // text and pictures drawn on both threads at once.
    ctx.m_batch = true; // the document keeps its frames after a save
    constexpr int n = 20;
    const QImage stampPicture = Stripes(5).copy(0, 0, 40, 20);
    const auto build = [&](const std::function<QImage(int)> &picture) {
        std::vector<QImage> pictures;
        for (int k = 0; k < n; ++k)
            pictures.push_back(picture(k));
        SetFrames(doc, pictures, 40);
        for (int k = 0; k < n; ++k) {
            auto text = std::make_unique<CText>(CRect(150 + 2 * k, 20, 300, 50));
            text->m_text = QStringLiteral("Sale %1%").arg(k * 7);
            doc.GetFrame(k)->AddItem(std::move(text));
            auto stamp = std::make_unique<CStamp>(CRect(10 + 5 * k, 5, 50 + 5 * k, 25));
            stamp->SetPicture(std::make_unique<PackedDib>(Dib::Encode24(stampPicture)));
            doc.GetFrame(k)->AddItem(std::move(stamp));
        }
    };
    const QImage flat = Plain(qRgb(20, 40, 90));
    const std::vector<std::pair<const char *, std::function<QImage(int)>>> banners = {
        {"flat", [&](int) { return flat; }},
        {"photographs later", [&](int k) { return k < 13 ? flat : Photographic(k / 3); }},
        {"photographs first", [&](int k) { return k < 6 ? Photographic(k / 2) : flat; }},
        {"every third a photograph", [&](int k) { return k % 3 ? flat : Photographic(k); }},
        {"photographs", [&](int k) { return Photographic(k / 4); }},
    };
    const auto save = [&](int minFramesToSplit, const QString &name) {
        GifFrameWalk::SetMinFramesToSplit(minFramesToSplit);
        path = TestSupport::NewTempDir() + QLatin1Char('/') + name;
        EXPECT_TRUE(doc.SaveAsGif(path));
        return TestSupport::ReadFile(path);
    };
    std::vector<int> reported;
    GifProgress::SetReportInterval(0);
    GifProgress::SetHandler([&](GifProgress::Task task, int done, int) {
        if (task == GifProgress::Task::Export)
            reported.push_back(done);
    });
    for (const auto &[name, picture] : banners) {
        for (const bool dither : {false, true}) {
            SCOPED_TRACE(std::string(name) + (dither ? ", dithered" : ""));
            build(picture);
            ctx.m_gifOptions.dither = dither;
            const QByteArray oneRun = save(INT_MAX, QStringLiteral("one.gif"));
            reported.clear();
            const QByteArray twoRuns = save(2, QStringLiteral("two.gif"));
            ASSERT_FALSE(oneRun.isEmpty());
            EXPECT_TRUE(oneRun == twoRuns);
            EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
            ASSERT_FALSE(reported.empty());
            EXPECT_EQ(reported.back(), n);
            EXPECT_EQ(doc.MeasureGif(ctx.m_gifOptions, [] { return false; }).bytes, twoRuns.size());
            // Asked to stop, both runs stop, in either walk.
            for (const int after : {3, 14}) {
                int asked = 0;
                const CBannerDoc::GifOutcome stopped = doc.MeasureGif(ctx.m_gifOptions, [&] { return ++asked > after; });
                EXPECT_TRUE(stopped.status == CBannerDoc::GifStatus::Stopped || asked <= after) << after;
            }
        }
    }
    GifFrameWalk::SetMinFramesToSplit(0);
    GifProgress::SetHandler({});
}

TEST_F(GifExportTest, FailedWriteLeavesTheDocumentAsItWas)
{
    SetFrames(doc, {Plain(qRgb(1, 2, 3)), Plain(qRgb(4, 5, 6))});
    doc.SetModifiedFlag(true);
    doc.SetPathName(QStringLiteral("/somewhere/old.bnr"));
    const QString missing = TestSupport::NewTempDir() + QStringLiteral("/no/such/folder/out.gif");
    EXPECT_FALSE(doc.SaveAsGif(missing));
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Cannot save the file \"out.gif\": No such file or directory."),
                                 Prompts::Icon::Stop));
    EXPECT_FALSE(QFile::exists(missing));
    ASSERT_EQ(doc.GetFrameCount(), 2);
    EXPECT_EQ(FrameImage(doc, 1), Plain(qRgb(4, 5, 6)));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), QStringLiteral("/somewhere/old.bnr"));
}

TEST_F(GifExportTest, ImageMagickDecodesExactlyTheRenderedFrames)
{
    // Flat colours with moving shapes: every frame has far fewer than 256 colours.
    std::vector<QImage> pictures;
    for (int k = 0; k < 12; ++k) {
        QImage picture = Plain(qRgb(240, 240, 220));
        QPainter p(&picture);
        p.fillRect(10 + 30 * k, 5 + (k % 3) * 10, 40, 25, QColor(200, 30, 30));
        p.fillRect(300 - 20 * k, 20, 15, 30, QColor(20, 30 + k * 10, 200));
        pictures.push_back(picture);
    }
    SetFrames(doc, pictures, 80);
    const std::vector<QImage> rendered = Rendered(doc);
    SaveAndDecode();
    const std::vector<QImage> decoded = CoalescedByImageMagick(path, qRgb(255, 255, 255));
    ASSERT_EQ(decoded.size(), rendered.size());
    for (std::size_t k = 0; k < rendered.size(); ++k)
        EXPECT_EQ(FirstDifference(rendered[k], decoded[k]), QString()) << "frame " << k;
}

TEST_F(GifExportTest, ImageMagickDecodesPhotographicFramesClosely)
{
    std::vector<QImage> pictures;
    for (int k = 0; k < 5; ++k) {
        QImage picture = Photographic(3);
        QPainter p(&picture);
        p.fillRect(30 * k, 15, 25, 25, QColor(0, 0, 0));
        pictures.push_back(picture);
    }
    SetFrames(doc, pictures);
    const std::vector<QImage> rendered = Rendered(doc);
    SaveAndDecode();
    const std::vector<QImage> decoded = CoalescedByImageMagick(path, qRgb(255, 255, 255));
    ASSERT_EQ(decoded.size(), rendered.size());
    for (std::size_t k = 0; k < rendered.size(); ++k) {
        const double psnr = Psnr(rendered[k], decoded[k]);
        std::printf("ImageMagick, photographic frame %zu: PSNR %.1f dB\n", k, psnr);
        EXPECT_GT(psnr, 30.0);
        // What ImageMagick shows is what the document now holds.
        EXPECT_EQ(FirstDifference(decoded[k], FrameImage(doc, int(k))), QString()) << k;
    }
}

TEST_F(GifExportTest, BackgroundsOfAnotherSizeAreFittedToTheBanner)
{
    QImage small(100, 20, QImage::Format_RGB32);
    small.fill(qRgb(0, 0, 200));
    QImage large(600, 80, QImage::Format_RGB32);
    large.fill(qRgb(0, 200, 0));
    SetFrames(doc, {small, large, small});
    doc.GetFrame(0)->m_crBackground = RGB(255, 0, 0);
    doc.GetFrame(2)->m_crBackground = RGB(255, 255, 0);
    // Items beside the small picture, on its own frame and on a frame without a picture
    // rendered after it: neither may be cut to the picture's size.
    auto square = [](CRect r) {
        auto item = std::make_unique<CPrimitiveGraphics>(r);
        item->m_fill = 1;
        item->m_fillColor = item->m_lineColor = RGB(0, 0, 0);
        return item;
    };
    doc.GetFrame(2)->AddItem(square(CRect(400, 30, 450, 50)));
    doc.m_frames.insert(doc.m_frames.begin(), std::make_unique<CBannerFrame>(nullptr, RGB(255, 255, 255), 100));
    doc.GetFrame(0)->AddItem(square(CRect(420, 10, 460, 40)));

    const GifCodec::Animation gif = SaveAndDecode();
    EXPECT_EQ(gif.width, kWidth);
    EXPECT_EQ(gif.height, kHeight);
    ASSERT_EQ(doc.GetFrameCount(), 4);
    EXPECT_EQ(FrameImage(doc, 0).pixel(440, 20) & 0xFFFFFF, 0u);
    EXPECT_EQ(FrameImage(doc, 0).pixel(300, 40) & 0xFFFFFF, 0xFFFFFFu);
    const QImage first = FrameImage(doc, 1);
    EXPECT_EQ(first.pixel(50, 10) & 0xFFFFFF, 0x0000C8u);
    EXPECT_EQ(first.pixel(300, 40) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(FrameImage(doc, 2), Plain(qRgb(0, 200, 0)));
    EXPECT_EQ(FrameImage(doc, 3).pixel(300, 40) & 0xFFFFFF, 0xFFFF00u);
    EXPECT_EQ(FrameImage(doc, 3).pixel(420, 40) & 0xFFFFFF, 0u);
}

// The colour a GIF carries for its background is the banner's own, whatever colours the pages
// use and whatever GIF the control read before; frames whose pictures are later deleted show it.
TEST_F(GifExportTest, TheFileCarriesTheBannersBackgroundColour)
{
    const QString dir = TestSupport::NewTempDir();
    CBannerDoc other(ctx);
    SetFrames(other, {Plain(qRgb(90, 90, 90)), Plain(qRgb(0, 0, 0))});
    for (auto &frame : other.m_frames)
        frame->m_crBackground = RGB(90, 90, 90);
    ASSERT_TRUE(other.SaveAsGif(dir + QStringLiteral("/other.gif")));
    ASSERT_EQ(ctx.FileCtrl.BackColor(), RGB(90, 90, 90));

    const COLORREF own = RGB(20, 160, 220);
    struct Case {
        const char *name;
        std::vector<QImage> pictures;
    } cases[] = {{"flat", {Plain(qRgb(0, 0, 0)), Stripes(5)}}, {"photographic", {Photographic(1), Photographic(2)}}};
    for (const Case &c : cases) {
        SetFrames(doc, c.pictures);
        for (auto &frame : doc.m_frames)
            frame->m_crBackground = own;
        SaveAndDecode(QLatin1String(c.name) + QStringLiteral(".gif"));
        ASSERT_EQ(BackgroundByImageMagick(path), ColorrefToQRgb(own)) << c.name;
        for (int k = 0; k < doc.GetFrameCount(); ++k)
            EXPECT_EQ(doc.GetFrame(k)->m_crBackground, own) << c.name << " frame " << k;
        doc.SetCurrentFrame(1);
        doc.OnFrameDeleteBackground();
        EXPECT_EQ(Rendered(doc)[1], Plain(ColorrefToQRgb(own))) << c.name;
    }
}
