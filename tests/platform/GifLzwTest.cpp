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

// A page of `bits`-bit indices over `palette`: random (many short codes, several table resets) or
// long runs; the highest index is in use.
QImage MakePage(int w, int h, int bits, bool noise, const QVector<QRgb> &palette, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage img(w, h, QImage::Format_Indexed8);
    img.setColorTable(palette);
    const int top = (1 << bits) - 1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.scanLine(y)[x] = uchar(noise ? random.bounded(top + 1) : (x / 9 + y / 4) % (top + 1));
    img.scanLine(h - 1)[w - 1] = uchar(top);
    return img;
}

// The minimum code size byte of each image in a file we wrote.
std::vector<int> CodeSizes(const QByteArray &gif)
{
    std::vector<int> sizes;
    const auto *p = reinterpret_cast<const uchar *>(gif.constData());
    auto table = [&](uchar flags) { return (flags & 0x80) ? 3 * (2 << (flags & 7)) : 0; };
    qsizetype at = 13 + table(p[10]);
    while (at < gif.size() && (p[at] == 0x21 || p[at] == 0x2C)) {
        if (p[at] == 0x21) {
            at += 2;
        } else {
            at += 10 + table(p[at + 9]);
            sizes.push_back(p[at++]);
        }
        for (; at < gif.size() && p[at]; at += p[at] + 1) {} // sub-blocks
        ++at;
    }
    return sizes;
}

} // namespace

TEST(GifLzwTest, PagesOfEveryCodeSizeDecodeAlikeInGiflibImageMagickAndGifsicle)
{
    QVector<QRgb> palette; // 256 colours that differ in every index, so a colour names its index
    for (int i = 0; i < 256; ++i)
        palette.append(qRgb(i, 255 - i, (i * 7) & 255));
    Animation a;
    a.width = 468;
    a.height = 60;
    a.globalPalette = palette; // one 256-entry table: every page is narrower than it
    std::vector<int> expectedSizes;
    auto add = [&](int w, int h, int bits, bool noise, bool interlaced = false) {
        Page page;
        page.image = MakePage(w, h, bits, noise, palette, quint32(a.pages.size() + 1));
        page.interlaced = interlaced;
        page.disposal = 1;
        a.pages.push_back(page);
        expectedSizes.push_back(std::max(2, bits));
    };
    for (int bits = 1; bits <= 8; ++bits)
        add(468, 60, bits, true, bits == 5);
    add(468, 60, 8, false); // long strings: codes reach 12 bits before a reset
    add(1, 1, 1, false);
    add(1, 1, 8, false);
    QByteArray bytes;
    std::vector<int> pageBytes;
    ASSERT_EQ(Write(a, &bytes, &pageBytes), Ok);
    EXPECT_EQ(CodeSizes(bytes), expectedSizes);
    ASSERT_EQ(pageBytes.size(), a.pages.size());
    // Every byte is the header's, the global table's, the trailer's or a page's.
    EXPECT_EQ(std::accumulate(pageBytes.begin(), pageBytes.end(), qsizetype(13 + 768 + 1)), bytes.size());

    const QString dir = TestSupport::NewTempDir(), path = dir + QStringLiteral("/codes.gif");
    ASSERT_TRUE(TestSupport::WriteFile(path, bytes));
    Animation back;
    ASSERT_EQ(Read(bytes, &back), Ok);
    ASSERT_EQ(back.pages.size(), a.pages.size());
    // ImageMagick writes every frame at its own size; gifsicle flips each one, so it re-encodes.
    ASSERT_EQ(TestSupport::Run(QStringLiteral("/usr/bin/convert"), {path, dir + QStringLiteral("/im-%d.png")}), 0);
    QByteArray errors;
    const QStringList explode{QStringLiteral("--explode"), QStringLiteral("--flip-horizontal"), path, QStringLiteral("-o"), dir + QStringLiteral("/gs")};
    ASSERT_EQ(TestSupport::Run(QStringLiteral("gifsicle"), explode, nullptr, &errors), 0);
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
    QVector<QRgb> palette; // a noisy gradient of 64 greys, with a transparent index among them
    for (int i = 0; i < 64; ++i)
        palette.append(qRgb(i * 4, i * 4, i * 4));
    const int transparent = 20;
    Animation a;
    a.width = 468;
    a.height = 60;
    a.lossyError = 12;
    Page page;
    page.image = QImage(468, 60, QImage::Format_Indexed8);
    page.image.setColorTable(palette);
    page.transparentIndex = transparent;
    QRandomGenerator random(7);
    std::vector<std::uint8_t> pixels(468 * 60);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        page.image.scanLine(int(i / 468))[i % 468] = pixels[i] =
            random.bounded(9) == 0 ? transparent : std::uint8_t(std::clamp(int(i % 468) / 8 + random.bounded(-2, 3), 0, 63));
    a.pages.push_back(page);
    std::vector<std::uint8_t> exact = pixels, lossy = pixels;
    const QByteArray exactData = GifLzw::Encode(exact.data(), exact.size(), 6);
    EXPECT_EQ(exact, pixels); // exact coding leaves the pixels alone
    const QByteArray lossyData = GifLzw::Encode(lossy.data(), lossy.size(), 6, {12, &palette, transparent});
    EXPECT_LT(lossyData.size(), exactData.size() * 3 / 4);

    // What a decoder shows is the rewritten pixels: each within the error, transparency untouched.
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    Animation back;
    ASSERT_EQ(Read(bytes, &back), Ok);
    int changed = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const int was = pixels[i], now = back.pages[0].image.constScanLine(int(i / 468))[i % 468];
        ASSERT_EQ(now, lossy[i]) << i;
        ASSERT_EQ(was == transparent, now == transparent) << i;
        ASSERT_LE(std::abs(qRed(palette[was]) - qRed(palette[now])), 12) << i;
        changed += was != now;
    }
    EXPECT_GT(changed, 0);
}

TEST(GifLzwTest, TransparentPixelsOverAColourAreWrittenTheShorterWayAndShowTheSame)
{
    // A bar moves one step over a flat half and, broken in its middle third, over a noisy half
    // of the picture. Where it leaves the flat half, the page is shorter with the pixels it keeps
    // filled in with the colour beneath; over the noise, the unchanged noise stays transparent.
    QVector<QRgb> palette;
    for (int i = 0; i < 64; ++i)
        palette.append(qRgb(i * 4, 255 - i * 4, i * 2));
    const int transparent = 63;
    QRandomGenerator random(11);
    std::vector<int> noise(468 * 60);
    for (int &n : noise)
        n = random.bounded(40);
    const auto indexed = [&palette](int w, int h, const std::function<int(int, int)> &index) {
        return MakeIndexed(w, h, palette, index);
    };
    const auto page = [](const QImage &image, int left, int transparentIndex) {
        Page p;
        p.image = image;
        p.left = left;
        p.delayMs = 100;
        p.disposal = 1;
        p.transparentIndex = transparentIndex;
        return p;
    };
    const auto scene = [&](int bar) {
        return indexed(468, 60, [&](int x, int y) {
            if ((x >= bar && x < bar + 40) || (x >= bar + 234 && x < bar + 274 && (y < 20 || y >= 40)))
                return 50;
            return x < 234 ? 10 : noise[std::size_t(y) * 468 + std::size_t(x)];
        });
    };
    const QImage before = scene(100), after = scene(110);
    for (const int left : {100, 334}) { // the flat half, the noisy half
        SCOPED_TRACE(left);
        // The second page as the export writes it: the rectangle that changed, the pixels in it
        // that stay as they were transparent.
        const QImage changed = indexed(50, 60, [&](int x, int y) {
            const int now = after.constScanLine(y)[left + x];
            return now == before.constScanLine(y)[left + x] ? transparent : now;
        });
        Animation two;
        two.width = 468;
        two.height = 60;
        two.globalPalette = palette;
        two.pages = {page(before, 0, -1), page(changed, left, transparent)};
        Animation alone = two;
        alone.pages.erase(alone.pages.begin());
        QByteArray bytes, aloneBytes;
        std::vector<int> sizes, aloneSizes;
        ASSERT_EQ(Write(two, &bytes, &sizes), Ok);
        ASSERT_EQ(Write(alone, &aloneBytes, &aloneSizes), Ok);
        if (left == 100)
            EXPECT_LT(sizes[1], aloneSizes[0] * 9 / 10);
        else
            EXPECT_LT(sizes[1], aloneSizes[0]) << sizes[1] << " " << aloneSizes[0];
        // No simple way is shorter: every such pixel filled in, or every one transparent. Over
        // the noise, transparent stretches where the noise shows and the colour where one colour
        // does beat both. A page's bytes besides its data: control block 8, descriptor 10, code
        // size 1, end 1.
        std::vector<std::uint8_t> filled, clear;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 50; ++x) {
                filled.push_back(after.constScanLine(y)[left + x]);
                clear.push_back(changed.constScanLine(y)[x]);
            }
        const int data = sizes[1] - 20;
        const int filledData = int(GifLzw::Encode(filled.data(), filled.size(), 6).size());
        const int clearData = int(GifLzw::Encode(clear.data(), clear.size(), 6).size());
        EXPECT_LE(data, filledData);
        EXPECT_LE(data, clearData);
        if (left == 334) {
            EXPECT_LT(data, std::min(filledData, clearData) * 98 / 100) << data << " " << filledData << " " << clearData;
        }

        // Drawn over the first page, the second shows the picture after the step.
        Animation back;
        ASSERT_EQ(Read(bytes, &back), Ok);
        ASSERT_EQ(back.pages.size(), 2u);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 50; ++x) {
                const int index = back.pages[1].image.constScanLine(y)[x];
                const int shown = index == transparent ? back.pages[0].image.constScanLine(y)[left + x] : index;
                ASSERT_EQ(palette[shown], palette[after.constScanLine(y)[left + x]]) << x << "," << y;
            }
    }
}
