// The transparent colour of a saved animation sits at the palette index the exporter chose, in
// the global palette and in every page's own palette, as gifsicle reports the file.
#include "DocumentFakes.h"
#include "GifTestSupport.h"
#include "TestSupport.h"

#include "platform/ScriptedPrompts.h"
#include "platform/imaging/ImagingControl.h"

#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>

using namespace GifTest;

namespace {

struct ReportedImage {
    int transparent = -1;
    std::map<int, QRgb> ownTable; // empty: the image uses the global table
};

struct Reported {
    std::map<int, QRgb> globalTable;
    std::vector<ReportedImage> images;
};

// Parses `gifsicle --info --color-info`: colour tables and each image's transparent index.
Reported ReadWithGifsicle(const QString &path)
{
    QByteArray out;
    EXPECT_EQ(TestSupport::Run(QStringLiteral("gifsicle"), {QStringLiteral("--info"), QStringLiteral("--color-info"), path}, &out), 0);
    Reported r;
    std::map<int, QRgb> *table = nullptr;
    static const QRegularExpression image(QStringLiteral("^\\s*\\+ image #\\d+.*?(?:transparent (\\d+))?$"));
    static const QRegularExpression entry(QStringLiteral("(\\d+): #([0-9A-Fa-f]{6})"));
    for (const QString &line : QString::fromLatin1(out).split(QLatin1Char('\n'))) {
        if (line.contains(QStringLiteral("global color table"))) {
            table = &r.globalTable;
        } else if (const QRegularExpressionMatch m = image.match(line); m.hasMatch()) {
            r.images.push_back({m.captured(1).isEmpty() ? -1 : m.captured(1).toInt(), {}});
            table = nullptr;
        } else if (line.contains(QStringLiteral("local color table")) && !r.images.empty()) {
            table = &r.images.back().ownTable;
        } else if (line.trimmed().startsWith(QLatin1Char('|')) && table) {
            for (auto it = entry.globalMatch(line); it.hasNext();) {
                const QRegularExpressionMatch e = it.next();
                (*table)[e.captured(1).toInt()] = 0xFF000000u | e.captured(2).toUInt(nullptr, 16);
            }
        }
    }
    return r;
}

// Frame 0: 60 colours in stripes. Frames 1..5: the same with a 40 x 20 block of 40 colours of
// their own, so the animation has more colours than its depth holds and pages need own palettes.
std::vector<QImage> FramesWithOwnColours()
{
    QImage first = Plain(qRgb(0, 0, 0));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            first.setPixel(x, y, qRgb(100 + x % 60, 30, 90));
    std::vector<QImage> frames{first};
    for (int k = 1; k <= 5; ++k) {
        QImage frame = first;
        for (int y = 10; y < 30; ++y)
            for (int x = 200; x < 240; ++x)
                frame.setPixel(x, y, qRgb(x - 195, 40 * k + 15, 250 - k));
        frames.push_back(frame);
    }
    return frames;
}

} // namespace

TEST(GifTransparentIndexTest, EveryPageCarriesTheTransparentColourAtTheChosenIndexWhereItsTableReaches)
{
    ScriptedPrompts prompts;
    Prompts::Register(&prompts);
    CoreContext ctx;
    CBannerDoc doc{ctx};
    const std::vector<QImage> frames = FramesWithOwnColours();
    SetFrames(doc, frames);
    // The exporter's choice on the same frames.
    doc.RenderAllFrames(&ctx.FileCtrl);
    int index = -1;
    const QRgb colour = ColorrefToQRgb(CBannerDoc::ChooseTransparentColor(ctx.FileCtrl, &index)) | 0xFF000000u;
    ASSERT_EQ(index, 100);
    ctx.FileCtrl.SetPageList(0);

    const QString path = TestSupport::NewTempDir() + QStringLiteral("/own.gif");
    ASSERT_TRUE(doc.SaveAsGif(path));
    const Reported gif = ReadWithGifsicle(path);
    ASSERT_EQ(gif.images.size(), frames.size());
    EXPECT_EQ(gif.images[0].transparent, -1);
    int ownTables = 0;
    for (std::size_t k = 0; k < gif.images.size(); ++k) {
        const ReportedImage &image = gif.images[k];
        const std::map<int, QRgb> &table = image.ownTable.empty() ? gif.globalTable : image.ownTable;
        ownTables += !image.ownTable.empty();
        // Own tables smaller than the index keep the colour elsewhere rather than grow for it.
        if (int(table.size()) > index) {
            ASSERT_TRUE(table.count(index)) << k;
            EXPECT_EQ(table.at(index), colour) << k;
            if (k > 0) {
                EXPECT_EQ(image.transparent, index) << k;
            }
        } else if (k > 0) {
            ASSERT_TRUE(table.count(image.transparent)) << k;
            EXPECT_EQ(table.at(image.transparent), colour) << k;
        }
    }
    EXPECT_GE(ownTables, 1);

    // And the banner read back from the file shows the frames unchanged.
    ASSERT_EQ(doc.GetFrameCount(), int(frames.size()));
    for (int k = 0; k < doc.GetFrameCount(); ++k)
        EXPECT_EQ(FirstDifference(frames[std::size_t(k)], FrameImage(doc, k)), QString()) << k;
    EXPECT_TRUE(prompts.messages.empty());
    Prompts::Register(nullptr);
}
