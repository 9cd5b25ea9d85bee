// Our LZW image data, decoded back by giflib, ImageMagick and gifsicle.
#include <gtest/gtest.h>

#include "GifPictureSupport.h"
#include "TestSupport.h"
#include "platform/imaging/GifCodec.h"
#include "platform/imaging/GifLzw.h"

#include <QImage>
#include <QRandomGenerator>
#include <numeric>

using namespace GifCodec;

namespace {

// 256 colours that differ in every index, so a colour names its index.
QVector<QRgb> DistinctPalette()
{
    QVector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.append(qRgb(i, 255 - i, (i * 7) & 255));
    return palette;
}

struct Case {
    int w, h, bits;
    bool noise; // random indices (many short codes, several table resets) or long runs
    bool interlaced;
};

QImage MakePage(const Case &c, const QVector<QRgb> &palette, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage img(c.w, c.h, QImage::Format_Indexed8);
    img.setColorTable(palette);
    const int top = (1 << c.bits) - 1;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x)
            img.scanLine(y)[x] = uchar(c.noise ? random.bounded(top + 1) : (x / 9 + y / 4) % (top + 1));
    img.scanLine(c.h - 1)[c.w - 1] = uchar(top); // the highest index is in use
    return img;
}

// The minimum code size byte of each image in a file we wrote (global table, extensions with
// sub-blocks, image descriptors with or without a local table).
std::vector<int> CodeSizes(const QByteArray &gif)
{
    std::vector<int> sizes;
    const auto *p = reinterpret_cast<const uchar *>(gif.constData());
    qsizetype at = 13 + ((p[10] & 0x80) ? 3 * (2 << (p[10] & 7)) : 0);
    auto skipBlocks = [&] {
        while (at < gif.size() && p[at])
            at += p[at] + 1;
        ++at;
    };
    while (at < gif.size() && p[at] != 0x3B) {
        if (p[at] == 0x21) {
            at += 2;
            skipBlocks();
        } else if (p[at] == 0x2C) {
            const uchar flags = p[at + 9];
            at += 10 + ((flags & 0x80) ? 3 * (2 << (flags & 7)) : 0);
            sizes.push_back(p[at++]);
            skipBlocks();
        } else {
            break;
        }
    }
    return sizes;
}

} // namespace

TEST(GifLzwTest, PagesOfEveryCodeSizeDecodeAlikeInGiflibImageMagickAndGifsicle)
{
    const QVector<QRgb> palette = DistinctPalette();
    std::vector<Case> cases;
    for (int bits = 1; bits <= 8; ++bits)
        cases.push_back({468, 60, bits, true, bits == 5});
    cases.push_back({468, 60, 8, false, false}); // long strings: codes reach 12 bits before a reset
    cases.push_back({1, 1, 1, false, false});
    cases.push_back({1, 1, 8, false, false});
    Animation a;
    a.width = 468;
    a.height = 60;
    a.globalPalette = palette; // one 256-entry table: every page is narrower than it
    std::vector<int> expectedSizes;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Page page;
        page.image = MakePage(cases[i], palette, quint32(i + 1));
        page.interlaced = cases[i].interlaced;
        page.disposal = 1;
        a.pages.push_back(page);
        expectedSizes.push_back(std::max(2, cases[i].bits));
    }
    QByteArray bytes;
    std::vector<int> pageBytes;
    ASSERT_EQ(Write(a, &bytes, &pageBytes), Ok);
    EXPECT_EQ(CodeSizes(bytes), expectedSizes);
    ASSERT_EQ(pageBytes.size(), a.pages.size());
    // Every byte is the header's, the global table's, the trailer's or a page's.
    EXPECT_EQ(std::accumulate(pageBytes.begin(), pageBytes.end(), qsizetype(13 + 768 + 1)), bytes.size());

    const QString dir = TestSupport::NewTempDir();
    const QString path = dir + QStringLiteral("/codes.gif");
    ASSERT_TRUE(TestSupport::WriteFile(path, bytes));
    Animation back;
    ASSERT_EQ(Read(bytes, &back), Ok);
    ASSERT_EQ(back.pages.size(), a.pages.size());
    // ImageMagick writes every frame at its own size; gifsicle flips each one, which makes it
    // decode and re-encode the pixels.
    ASSERT_EQ(TestSupport::Run(QStringLiteral("/usr/bin/convert"), {path, dir + QStringLiteral("/im-%d.png")}), 0);
    QByteArray errors;
    ASSERT_EQ(TestSupport::Run(QStringLiteral("gifsicle"), {QStringLiteral("--explode"), QStringLiteral("--flip-horizontal"),
                                                           path, QStringLiteral("-o"), dir + QStringLiteral("/gs")},
                               nullptr, &errors),
              0);
    EXPECT_TRUE(errors.isEmpty()) << errors.constData();
    for (std::size_t i = 0; i < a.pages.size(); ++i) {
        SCOPED_TRACE(i);
        const QImage &expected = a.pages[i].image;
        EXPECT_TRUE(SamePicture(expected, back.pages[i].image));
        EXPECT_TRUE(SamePicture(expected, QImage(dir + QStringLiteral("/im-%1.png").arg(i))));
        Animation flipped;
        ASSERT_EQ(Read(TestSupport::ReadFile(dir + QStringLiteral("/gs.%1").arg(i, 3, 10, QLatin1Char('0'))), &flipped), Ok);
        ASSERT_EQ(flipped.pages.size(), 1u);
        EXPECT_TRUE(SamePicture(expected.mirrored(true, false), flipped.pages[0].image));
    }
}

TEST(GifLzwTest, LossyCodingStaysWithinTheErrorAndKeepsTransparencyExact)
{
    // A noisy gradient of 64 greys, with a transparent index among them.
    QVector<QRgb> palette;
    for (int i = 0; i < 64; ++i)
        palette.append(qRgb(i * 4, i * 4, i * 4));
    const int transparent = 20;
    QRandomGenerator random(7);
    std::vector<std::uint8_t> pixels(468 * 60);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = random.bounded(9) == 0 ? transparent : std::uint8_t(std::clamp(int(i % 468) / 8 + random.bounded(-2, 3), 0, 63));
    std::vector<std::uint8_t> exact = pixels, lossy = pixels;
    const QByteArray exactData = GifLzw::Encode(exact.data(), exact.size(), 6);
    EXPECT_EQ(exact, pixels); // exact coding leaves the pixels alone
    const QByteArray lossyData = GifLzw::Encode(lossy.data(), lossy.size(), 6, {12, &palette, transparent});
    EXPECT_LT(lossyData.size(), exactData.size() * 3 / 4);

    // What a decoder shows is the rewritten pixels: each within the error, transparency untouched.
    Animation a;
    a.width = 468;
    a.height = 60;
    Page page;
    page.image = QImage(468, 60, QImage::Format_Indexed8);
    page.image.setColorTable(palette);
    for (int y = 0; y < 60; ++y)
        std::memcpy(page.image.scanLine(y), pixels.data() + y * 468, 468);
    page.transparentIndex = transparent;
    a.pages.push_back(page);
    a.lossyError = 12;
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    Animation back;
    ASSERT_EQ(Read(bytes, &back), Ok);
    int changed = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 468; ++x) {
            const int was = pixels[std::size_t(y * 468 + x)], now = back.pages[0].image.constScanLine(y)[x];
            ASSERT_EQ(now, lossy[std::size_t(y * 468 + x)]);
            ASSERT_EQ(was == transparent, now == transparent) << x << "," << y;
            ASSERT_LE(std::abs(qRed(palette[was]) - qRed(palette[now])), 12) << x << "," << y;
            changed += was != now;
        }
    EXPECT_GT(changed, 0);
}
