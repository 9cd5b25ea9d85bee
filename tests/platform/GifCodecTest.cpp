#include <gtest/gtest.h>

#include "GifPictureSupport.h"
#include "TestSupport.h"
#include "platform/ByteIO.h"
#include "platform/imaging/GifCodec.h"

#include <gif_lib.h>

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QStringList>
#include <functional>

using namespace GifCodec;

namespace {

const QString kConvert = QStringLiteral("/usr/bin/convert");
const QString kIdentify = QStringLiteral("/usr/bin/identify");
const QString kGifsicle = QStringLiteral("gifsicle");

Page MakePage(QImage image, int left, int top, int delayMs, int disposal, int transparent = -1)
{
    Page p;
    p.image = std::move(image);
    p.left = left;
    p.top = top;
    p.delayMs = delayMs;
    p.disposal = disposal;
    p.transparentIndex = transparent;
    return p;
}

bool SameIndices(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width())) != 0)
            return false;
    return true;
}

// A page as colours: transparent pixels become alpha 0.
QImage PageToArgb(const Page &page)
{
    QImage out(page.image.size(), QImage::Format_ARGB32);
    const QVector<QRgb> pal = page.image.colorTable();
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const int i = page.image.constScanLine(y)[x];
            out.setPixel(x, y, i == page.transparentIndex ? 0u : (pal.value(i) | 0xff000000u));
        }
    return out;
}

// What `gifsicle --info` says about one image.
struct InfoImage {
    int w = 0, h = 0, x = 0, y = 0, delayMs = 0, disposal = 0, transparent = -1;
    bool interlaced = false, local = false;
};
struct InfoFile {
    int loop = -1;
    QVector<InfoImage> images;
};

InfoFile GifsicleInfo(const QString &path)
{
    QByteArray out;
    EXPECT_EQ(TestSupport::Run(kGifsicle, {QStringLiteral("--info"), path}, &out), 0);
    InfoFile info;
    const QString text = QString::fromUtf8(out);
    if (text.contains(QLatin1String("loop forever")))
        info.loop = 0;
    const auto loop = QRegularExpression(QStringLiteral("loop count (\\d+)")).match(text);
    if (loop.hasMatch())
        info.loop = loop.captured(1).toInt();
    const QStringList parts = text.split(QStringLiteral("+ image #"));
    for (int i = 1; i < parts.size(); ++i) {
        const QString &s = parts[i];
        InfoImage im;
        const auto size = QRegularExpression(QStringLiteral("^\\d+ (\\d+)x(\\d+)")).match(s);
        im.w = size.captured(1).toInt();
        im.h = size.captured(2).toInt();
        const auto at = QRegularExpression(QStringLiteral(" at (\\d+),(\\d+)")).match(s);
        if (at.hasMatch()) {
            im.x = at.captured(1).toInt();
            im.y = at.captured(2).toInt();
        }
        im.interlaced = s.contains(QLatin1String("interlaced"));
        im.local = s.contains(QLatin1String("local color table"));
        const auto tr = QRegularExpression(QStringLiteral("transparent (\\d+)")).match(s);
        if (tr.hasMatch())
            im.transparent = tr.captured(1).toInt();
        const auto delay = QRegularExpression(QStringLiteral("delay (\\d+)\\.(\\d+)s")).match(s);
        if (delay.hasMatch())
            im.delayMs = delay.captured(1).toInt() * 1000 + delay.captured(2).toInt() * 10;
        const auto disp = QRegularExpression(QStringLiteral("disposal (\\w+)")).match(s);
        const QString d = disp.captured(1);
        im.disposal = d == QLatin1String("asis") ? 1 : d == QLatin1String("background") ? 2 : d == QLatin1String("previous") ? 3 : 0;
        info.images.append(im);
    }
    return info;
}

// ImageMagick's view: one "x|y|w|h|delay(cs)|disposal" line per frame, and its loop iterations
// (IM counts plays: stored n > 0 shows as n + 1; -1 when there is no loop block).
QStringList IdentifyFrames(const QString &path)
{
    QByteArray out;
    EXPECT_EQ(TestSupport::Run(kIdentify, {QStringLiteral("-format"), QStringLiteral("%X|%Y|%w|%h|%T|%D\n"), path}, &out), 0);
    return QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int IdentifyIterations(const QString &path)
{
    QByteArray out;
    TestSupport::Run(kIdentify, {QStringLiteral("-verbose"), path}, &out);
    const auto m = QRegularExpression(QStringLiteral("Iterations: (\\d+)")).match(QString::fromUtf8(out));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString ImDisposal(int d)
{
    static const char *names[] = {"Undefined", "None", "Background", "Previous"};
    return QString::fromLatin1(names[d]);
}

// A small animation that exercises every attribute.
Animation SampleAnimation()
{
    const QVector<QRgb> global = {qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 128, 0), qRgb(0, 0, 255),
                                  qRgb(10, 20, 30)};
    Animation a;
    a.width = 40;
    a.height = 24;
    a.globalPalette = global;
    a.backgroundIndex = 3;
    a.loopCount = 3;
    a.pages.push_back(MakePage(MakeIndexed(40, 24, global, [](int x, int y) { return (x / 4 + y / 3) % 5; }), 0, 0, 70, 1));
    // A prefix of the global palette: no local palette is needed.
    a.pages.push_back(MakePage(MakeIndexed(10, 7, global.mid(0, 3), [](int x, int y) { return (x + y) % 3; }), 5, 3,
                               1234, 2, 0));
    const QVector<QRgb> other = {qRgb(1, 2, 3), qRgb(200, 100, 50), qRgb(0, 255, 255)};
    Page interlaced = MakePage(MakeIndexed(13, 11, other, [](int x, int y) { return (x * y) % 3; }), 20, 9, 700000, 3, 2);
    interlaced.interlaced = true;
    a.pages.push_back(interlaced);
    Page forced = MakePage(MakeIndexed(6, 5, global, [](int x, int y) { return (x + 2 * y) % 5; }), 30, 15, 0, 0);
    forced.localPalette = true;
    a.pages.push_back(forced);
    // Back to the global palette after local ones.
    a.pages.push_back(MakePage(MakeIndexed(3, 2, global, [](int x, int y) { return x + y; }), 1, 2, 20, 1));
    return a;
}

} // namespace

TEST(GifCodecTest, RoundTripKeepsEveryAttribute)
{
    const Animation a = SampleAnimation();
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    EXPECT_TRUE(bytes.startsWith("GIF89a"));
    int w = 0, h = 0;
    EXPECT_EQ(ReadInfo(bytes, &w, &h), Ok);
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 24);

    Animation b;
    ASSERT_EQ(Read(bytes, &b), Ok);
    EXPECT_EQ(b.width, 40);
    EXPECT_EQ(b.height, 24);
    EXPECT_EQ(b.loopCount, 3);
    EXPECT_EQ(b.backgroundIndex, 3);
    ASSERT_EQ(b.globalPalette.size(), 8); // padded to a power of two
    EXPECT_EQ(b.globalPalette.mid(0, 5), a.globalPalette);
    ASSERT_EQ(b.pages.size(), a.pages.size());
    const int expectedDelay[] = {70, 1230, 655350, 0, 20};
    const bool expectedLocal[] = {false, false, true, true, false};
    for (size_t i = 0; i < a.pages.size(); ++i) {
        SCOPED_TRACE(i);
        const Page &p = a.pages[i], &q = b.pages[i];
        EXPECT_EQ(q.image.format(), QImage::Format_Indexed8);
        EXPECT_TRUE(SameIndices(p.image, q.image));
        EXPECT_EQ(q.left, p.left);
        EXPECT_EQ(q.top, p.top);
        EXPECT_EQ(q.delayMs, expectedDelay[i]);
        EXPECT_EQ(q.disposal, p.disposal);
        EXPECT_EQ(q.transparentIndex, p.transparentIndex);
        EXPECT_EQ(q.interlaced, p.interlaced);
        EXPECT_EQ(q.localPalette, expectedLocal[i]);
        EXPECT_EQ(q.image.colorTable().mid(0, p.image.colorCount()), p.image.colorTable());
    }

    // Writing what was read gives the same bytes again.
    QByteArray again;
    ASSERT_EQ(Write(b, &again), Ok);
    EXPECT_EQ(again, bytes);
}

TEST(GifCodecTest, WriterUsesMinimalPalettesAndOptionalLoopBlock)
{
    for (int colors : {1, 2, 3, 16, 17, 129, 256}) {
        SCOPED_TRACE(colors);
        QVector<QRgb> pal;
        for (int i = 0; i < colors; ++i)
            pal.append(qRgb(i, 255 - i, i / 2));
        Animation a;
        a.width = 17;
        a.height = 3;
        a.globalPalette = pal;
        a.pages.push_back(MakePage(MakeIndexed(17, 3, pal, [&](int x, int y) { return (x + 17 * y) % colors; }), 0, 0, 0, 0));
        QByteArray bytes;
        ASSERT_EQ(Write(a, &bytes), Ok);
        const int bits = BitsForColors(colors);
        EXPECT_EQ(uchar(bytes[10]) & 0x87, 0x80 | (bits - 1)); // global table present, size 2^bits
        EXPECT_FALSE(bytes.contains("NETSCAPE2.0"));
        Animation b;
        ASSERT_EQ(Read(bytes, &b), Ok);
        EXPECT_EQ(b.loopCount, -1);
        EXPECT_EQ(b.globalPalette.size(), 1 << bits);
        EXPECT_FALSE(b.pages[0].localPalette);
        EXPECT_TRUE(SameIndices(a.pages[0].image, b.pages[0].image));
    }
    // Without a global palette every page carries its own; loop 0 means forever.
    Animation a;
    a.width = a.height = 4;
    a.loopCount = 0;
    a.pages.push_back(MakePage(MakeIndexed(4, 4, {qRgb(0, 0, 0), qRgb(9, 9, 9)}, [](int x, int) { return x & 1; }), 0, 0, 10, 1));
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    EXPECT_EQ(uchar(bytes[10]) & 0x80, 0);
    EXPECT_TRUE(bytes.contains("NETSCAPE2.0"));
    Animation b;
    ASSERT_EQ(Read(bytes, &b), Ok);
    EXPECT_EQ(b.loopCount, 0);
    EXPECT_EQ(b.backgroundIndex, -1);
    EXPECT_TRUE(b.pages[0].localPalette);

    // Pages that cannot be written are refused, not written half.
    Animation bad = a;
    bad.pages[0].image = QImage(4, 4, QImage::Format_RGB32);
    EXPECT_EQ(Write(bad, &bytes), ErrWrite);
    EXPECT_TRUE(bytes.isEmpty());
    bad = a;
    bad.pages[0].image.setColorTable({});
    EXPECT_EQ(Write(bad, &bytes), ErrWrite);
    bad.pages.clear();
    EXPECT_EQ(Write(bad, &bytes), ErrNoPages);
}

TEST(GifCodecTest, PeerToolsReadOurFilesAlike)
{
    Animation a = SampleAnimation();
    for (Page &p : a.pages)
        p.delayMs = std::min(p.delayMs, 5000);
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    const QString dir = TestSupport::NewTempDir();
    const QString path = dir + QStringLiteral("/ours.gif");
    ASSERT_TRUE(TestSupport::WriteFile(path, bytes));

    const InfoFile info = GifsicleInfo(path);
    EXPECT_EQ(info.loop, 3);
    const QStringList frames = IdentifyFrames(path);
    EXPECT_EQ(IdentifyIterations(path), 4);
    ASSERT_EQ(info.images.size(), int(a.pages.size()));
    ASSERT_EQ(frames.size(), int(a.pages.size()));
    for (size_t i = 0; i < a.pages.size(); ++i) {
        SCOPED_TRACE(i);
        const Page &p = a.pages[i];
        const InfoImage &im = info.images[int(i)];
        EXPECT_EQ(im.w, p.image.width());
        EXPECT_EQ(im.h, p.image.height());
        EXPECT_EQ(im.x, p.left);
        EXPECT_EQ(im.y, p.top);
        EXPECT_EQ(im.delayMs, (p.delayMs + 5) / 10 * 10);
        EXPECT_EQ(im.disposal, p.disposal);
        EXPECT_EQ(im.transparent, p.transparentIndex);
        EXPECT_EQ(im.interlaced, p.interlaced);
        EXPECT_EQ(frames[int(i)], QStringLiteral("+%1|+%2|%3|%4|%5|%6")
                                      .arg(p.left).arg(p.top).arg(p.image.width()).arg(p.image.height())
                                      .arg((p.delayMs + 5) / 10).arg(ImDisposal(p.disposal)));
    }

    // ImageMagick's composition of our file equals ours, frame by frame.
    ASSERT_EQ(TestSupport::Run(kConvert, {path, QStringLiteral("-coalesce"), dir + QStringLiteral("/co-%d.png")}), 0);
    QImage canvas(a.width, a.height, QImage::Format_ARGB32);
    canvas.fill(0);
    for (size_t i = 0; i < a.pages.size(); ++i) {
        SCOPED_TRACE(i);
        const Page &p = a.pages[i];
        const QImage before = canvas;
        const QImage argb = PageToArgb(p);
        for (int y = 0; y < argb.height(); ++y)
            for (int x = 0; x < argb.width(); ++x)
                if (qAlpha(argb.pixel(x, y)) && p.left + x < a.width && p.top + y < a.height)
                    canvas.setPixel(p.left + x, p.top + y, argb.pixel(x, y));
        EXPECT_TRUE(SamePicture(canvas, QImage(dir + QStringLiteral("/co-%1.png").arg(i))));
        if (p.disposal == 2) {
            for (int y = p.top; y < std::min(a.height, p.top + p.image.height()); ++y)
                for (int x = p.left; x < std::min(a.width, p.left + p.image.width()); ++x)
                    canvas.setPixel(x, y, 0);
        } else if (p.disposal == 3) {
            canvas = before;
        }
    }
}

TEST(GifCodecTest, ReadsImageMagickAndGifsicleFiles)
{
    const QString dir = TestSupport::NewTempDir();
    auto png = [&](const QString &name, int w, int h, bool holes, int seed) {
        QImage img(w, h, QImage::Format_ARGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, holes && (x + y) % 4 == 0 ? 0u : qRgb((x * 40 + seed) & 255, (y * 60 + seed) & 255, seed));
        const QString path = dir + QLatin1Char('/') + name;
        EXPECT_TRUE(img.save(path));
        return path;
    };
    const QString a = png(QStringLiteral("a.png"), 30, 12, false, 0);
    const QString b = png(QStringLiteral("b.png"), 9, 7, true, 90);
    const QString c = png(QStringLiteral("c.png"), 6, 5, true, 170);
    const QString d = png(QStringLiteral("d.png"), 4, 4, false, 250);

    struct Case {
        QString file;
        QStringList args;
    };
    const QString imPlain = dir + QStringLiteral("/im.gif");
    const QString imInterlaced = dir + QStringLiteral("/im-interlaced.gif");
    const QStringList frames = {QStringLiteral("-dispose"), QStringLiteral("None"), QStringLiteral("-delay"), QStringLiteral("20"), a,
                                QStringLiteral("-dispose"), QStringLiteral("Background"), QStringLiteral("-delay"), QStringLiteral("7"),
                                QStringLiteral("-page"), QStringLiteral("+4+2"), b,
                                QStringLiteral("-dispose"), QStringLiteral("Previous"), QStringLiteral("-page"), QStringLiteral("+20+6"), c,
                                QStringLiteral("-dispose"), QStringLiteral("Undefined"), QStringLiteral("-page"), QStringLiteral("+1+1"), d};
    ASSERT_EQ(TestSupport::Run(kConvert, QStringList{QStringLiteral("-loop"), QStringLiteral("3")} + frames + QStringList{imPlain}), 0);
    ASSERT_EQ(TestSupport::Run(kConvert, frames + QStringList{QStringLiteral("-interlace"), QStringLiteral("GIF"), imInterlaced}), 0);
    // gifsicle rewrites ImageMagick's file with other disposals, a moved frame, interlace and loop forever.
    const QString gs = dir + QStringLiteral("/gs.gif");
    QByteArray gsOut;
    ASSERT_EQ(TestSupport::Run(kGifsicle, {QStringLiteral("-l"), QStringLiteral("-i"), imPlain, QStringLiteral("#0"),
                                           QStringLiteral("-D"), QStringLiteral("previous"), QStringLiteral("-d"), QStringLiteral("33"),
                                           QStringLiteral("#1"), QStringLiteral("-D"), QStringLiteral("background"), QStringLiteral("-p"),
                                           QStringLiteral("2,3"), QStringLiteral("#2-3"), QStringLiteral("-o"), gs}, &gsOut), 0);

    for (const QString &file : {imPlain, imInterlaced, gs}) {
        SCOPED_TRACE(file.toStdString());
        Animation anim;
        ASSERT_EQ(Read(TestSupport::ReadFile(file), &anim), Ok);
        const InfoFile info = GifsicleInfo(file);
        const QStringList im = IdentifyFrames(file);
        EXPECT_EQ(anim.loopCount, info.loop);
        ASSERT_EQ(int(anim.pages.size()), info.images.size());
        ASSERT_EQ(int(anim.pages.size()), im.size());
        const QString prefix = QFileInfo(file).completeBaseName();
        ASSERT_EQ(TestSupport::Run(kConvert, {file, dir + QLatin1Char('/') + prefix + QStringLiteral("-%d.png")}), 0);
        bool sawLocal = false, sawTransparent = false;
        for (size_t i = 0; i < anim.pages.size(); ++i) {
            SCOPED_TRACE(i);
            const Page &p = anim.pages[i];
            const InfoImage &g = info.images[int(i)];
            EXPECT_EQ(p.image.width(), g.w);
            EXPECT_EQ(p.image.height(), g.h);
            EXPECT_EQ(p.left, g.x);
            EXPECT_EQ(p.top, g.y);
            EXPECT_EQ(p.delayMs, g.delayMs);
            EXPECT_EQ(p.disposal, g.disposal);
            EXPECT_EQ(p.transparentIndex, g.transparent);
            EXPECT_EQ(p.interlaced, g.interlaced);
            EXPECT_EQ(p.localPalette, g.local);
            EXPECT_EQ(im[int(i)], QStringLiteral("+%1|+%2|%3|%4|%5|%6").arg(p.left).arg(p.top).arg(g.w).arg(g.h)
                                      .arg(p.delayMs / 10).arg(ImDisposal(p.disposal)));
            sawLocal |= p.localPalette;
            sawTransparent |= p.transparentIndex >= 0;
            // The pixels are ImageMagick's own frame, at the page's own size.
            EXPECT_TRUE(SamePicture(PageToArgb(p), QImage(dir + QStringLiteral("/%1-%2.png").arg(prefix).arg(i))));
        }
        EXPECT_TRUE(sawLocal || file == gs); // gifsicle merges the palettes into one
        EXPECT_TRUE(sawTransparent);
    }
    Animation anim;
    ASSERT_EQ(Read(TestSupport::ReadFile(imInterlaced), &anim), Ok);
    EXPECT_TRUE(anim.pages[0].interlaced);
    ASSERT_EQ(Read(TestSupport::ReadFile(gs), &anim), Ok);
    ASSERT_EQ(anim.pages.size(), 4u);
    EXPECT_EQ(anim.loopCount, 0);
    EXPECT_EQ(anim.pages[1].disposal, 3);
    EXPECT_EQ(anim.pages[1].delayMs, 330);
    EXPECT_EQ(anim.pages[3].disposal, 2);
    EXPECT_EQ(anim.pages[3].left, 2);
    EXPECT_EQ(anim.pages[3].top, 3);
}

TEST(GifCodecTest, ReadsOnePageOnly)
{
    const Animation a = SampleAnimation();
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    Animation b;
    ASSERT_EQ(Read(bytes, &b, 2), Ok);
    ASSERT_EQ(b.pages.size(), 1u);
    EXPECT_TRUE(SameIndices(b.pages[0].image, a.pages[2].image));
    EXPECT_EQ(b.pages[0].left, 20);
    EXPECT_EQ(b.pages[0].disposal, 3);
    EXPECT_EQ(b.pages[0].transparentIndex, 2);
    EXPECT_EQ(Read(bytes, &b, 5), ErrNoPages);
    EXPECT_TRUE(b.pages.empty());
}

namespace {
// A hand-made GIF: a screen, optional global palette, and 1 x 1 images with the given claimed size.
QByteArray HandMade(int screenW, int screenH, bool global, const QVector<QPair<int, int>> &images, bool localPalette = false)
{
    ByteWriter w;
    w.Bytes("GIF89a", 6);
    w.U16(quint16(screenW));
    w.U16(quint16(screenH));
    w.U8(global ? 0x80 : 0x00);
    w.U8(0);
    w.U8(0);
    if (global)
        w.Bytes("\0\0\0\xff\xff\xff", 6);
    for (const auto &size : images) {
        w.U8(0x2c);
        w.U16(0);
        w.U16(0);
        w.U16(quint16(size.first));
        w.U16(quint16(size.second));
        w.U8(localPalette ? 0x80 : 0x00);
        if (localPalette)
            w.Bytes("\x10\x20\x30\x40\x50\x60", 6);
        w.Bytes("\x02\x02\x44\x01\x00", 5); // one pixel of index 0
    }
    w.U8(0x3b);
    return w.Take();
}
} // namespace

TEST(GifCodecTest, BadInputGivesErrorsNotCrashes)
{
    Animation anim;
    int w = 0, h = 0;
    // The hand-made file itself is good.
    ASSERT_EQ(Read(HandMade(1, 1, true, {{1, 1}}), &anim), Ok);
    EXPECT_EQ(anim.pages[0].image.pixelIndex(0, 0), 0);
    ASSERT_EQ(Read(HandMade(1, 1, false, {{1, 1}}, true), &anim), Ok);
    EXPECT_EQ(anim.pages[0].image.colorTable()[0], qRgb(0x10, 0x20, 0x30));

    EXPECT_EQ(ReadInfo(HandMade(65535, 65535, true, {{1, 1}}), &w, &h), ErrTooLarge);
    EXPECT_EQ(w, 65535);
    EXPECT_EQ(Read(HandMade(65535, 65535, true, {{1, 1}}), &anim), ErrTooLarge);
    EXPECT_EQ(Read(HandMade(16, 16, true, {{65535, 65535}}), &anim), ErrTooLarge);
    EXPECT_EQ(Read(HandMade(16, 16, true, {{16384, 8192}}), &anim), ErrTooLarge); // 128 Mpixel page
    EXPECT_EQ(Read(HandMade(16, 16, true, {{0, 5}}), &anim), ErrNotGif);
    EXPECT_EQ(Read(HandMade(16, 16, true, {}), &anim), ErrNoPages);
    EXPECT_EQ(Read(HandMade(16, 16, false, {{1, 1}}), &anim), ErrNotGif); // no palette at all
    EXPECT_TRUE(anim.pages.empty());
    // A page claiming more pixels than its data holds is a damaged file.
    EXPECT_NE(Read(HandMade(16, 16, true, {{4, 4}}), &anim), Ok);

    EXPECT_EQ(Read(QByteArray("\x89PNG\r\n\x1a\n0000000000000"), &anim), ErrNotGif);
    EXPECT_EQ(Read(QByteArray("GIF88a\x01\x00\x01\x00\x00\x00\x00;"), &anim), ErrNotGif);
    EXPECT_EQ(ReadInfo(QByteArray("GIF8"), &w, &h), ErrTruncated);
    EXPECT_EQ(Read(QByteArray(), &anim), ErrTruncated);
    QByteArray badRecord = HandMade(1, 1, true, {{1, 1}});
    badRecord.insert(19, '\x42');
    EXPECT_EQ(Read(badRecord, &anim), ErrNotGif);

    // Cut anywhere, a file keeps the complete pages before the cut, or is refused as truncated
    // while its first page is incomplete; without only its trailer it reads whole.
    QByteArray bytes;
    ASSERT_EQ(Write(SampleAnimation(), &bytes), Ok);
    Animation whole;
    ASSERT_EQ(Read(bytes, &whole), Ok);
    ASSERT_GT(whole.pages.size(), 1u);
    std::size_t kept = 0;
    for (qsizetype n = 0; n < bytes.size(); ++n) {
        SCOPED_TRACE(n);
        const int r = Read(bytes.left(n), &anim);
        if (r != Ok) {
            EXPECT_EQ(r, ErrTruncated);
            EXPECT_TRUE(anim.pages.empty());
            EXPECT_EQ(kept, 0u);
            continue;
        }
        ASSERT_GE(anim.pages.size(), std::max<std::size_t>(kept, 1));
        kept = anim.pages.size();
        EXPECT_EQ(anim.pages.back().image, whole.pages[kept - 1].image);
    }
    EXPECT_EQ(kept, whole.pages.size());
    EXPECT_EQ(anim.damage, Ok);
    ASSERT_EQ(Read(bytes.left(bytes.size() - 3), &anim), Ok);
    EXPECT_EQ(anim.damage, ErrTruncated);
    EXPECT_EQ(anim.pages.size(), whole.pages.size() - 1);
    // Pages beyond the pixels the caller allows are not read at all.
    EXPECT_EQ(Read(bytes, &anim, -1, nullptr, false, 10), ErrBudget);
    EXPECT_TRUE(anim.pages.empty());
}

TEST(GifCodecTest, PixelsBeyondThePaletteStayReadable)
{
    // Two-colour palette, but the LZW stream uses 8-bit codes with pixel value 200.
    Animation a;
    a.width = a.height = 3;
    QVector<QRgb> big(256, qRgb(1, 1, 1));
    a.pages.push_back(MakePage(MakeIndexed(3, 3, big, [](int x, int) { return x == 1 ? 200 : 0; }), 0, 0, 0, 0));
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    // Shrink the local table to two entries (flag bits 0..2 = 0), dropping 254 * 3 bytes.
    const int desc = int(bytes.indexOf('\x2c', 13));
    ASSERT_GT(desc, 0);
    bytes[desc + 9] = char(0x80);
    bytes.remove(desc + 10 + 6, 254 * 3);
    Animation b;
    ASSERT_EQ(Read(bytes, &b), Ok);
    EXPECT_EQ(b.pages[0].image.pixelIndex(1, 0), 200);
    EXPECT_EQ(b.pages[0].image.colorCount(), 201);
    EXPECT_EQ(b.pages[0].image.colorTable()[200], qRgb(0, 0, 0));
}

namespace {
int ReadMemory(GifFileType *gif, GifByteType *buffer, int length)
{
    auto *in = static_cast<QByteArray *>(gif->UserData);
    const int n = int(std::min<qsizetype>(length, in->size()));
    std::memcpy(buffer, in->constData(), size_t(n));
    in->remove(0, n);
    return n;
}
} // namespace

TEST(GifCodecTest, DecodesAsGiflibDoes)
{
    // An interlaced page, partly off the screen, whose code stream fills the table without a clear
    // code, then uses the table's last entry while it is being defined and after.
    const int w = 120, h = 80, codeSize = 2, clear = 4;
    std::vector<int> codes = {clear};
    std::vector<int> length(4096, 1);
    int pixels = 0, defined = clear + 2, last = -1;
    for (int k = 1; pixels < w * h; ++k) {
        int code = k % 4 == 0 && k > 20 ? clear + 2 + k % 16 : (k * k + 3 * k) % 4;
        if (defined >= 4095 && k % 3 == 0)
            code = 4095;
        codes.push_back(code);
        if (last >= 0 && defined <= 4095)
            length[std::size_t(defined++)] = length[std::size_t(last)] + 1;
        pixels += length[std::size_t(code)];
        last = code;
    }
    ASSERT_EQ(defined, 4096);
    codes.push_back(clear + 1);
    // Codes as wide as the table needs: one bit more after each power of two.
    QByteArray data;
    std::uint32_t acc = 0;
    int bits = 0, width = codeSize + 1, running = clear + 2;
    for (const int code : codes) {
        acc |= std::uint32_t(code) << bits;
        for (bits += width; bits >= 8; bits -= 8, acc >>= 8)
            data.append(char(acc & 0xff));
        if (running < 4097 && ++running > (1 << width) && width < 12)
            ++width;
        if (code == clear) {
            running = clear + 2;
            width = codeSize + 1;
        }
    }
    data.append(char(acc & 0xff));
    ByteWriter file;
    file.Bytes("GIF89a", 6);
    file.U16(100);
    file.U16(50);
    file.Bytes("\x81\x00\x00", 3);
    file.Bytes("\x00\x00\x00\x10\x20\x30\x40\x50\x60\x70\x80\x90", 12);
    file.U8(0x2c);
    for (const int v : {10, 5, w, h})
        file.U16(quint16(v));
    file.U8(0x40);
    file.U8(codeSize);
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        file.U8(quint8(block.size()));
        file.Bytes(block.constData(), std::size_t(block.size()));
    }
    file.Bytes("\x00\x3b", 2);
    const QByteArray bytes = file.Take();

    QByteArray input = bytes;
    int error = 0;
    GifFileType *gif = DGifOpen(&input, ReadMemory, &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << gif->Error;
    const std::vector<std::uint8_t> raster(gif->SavedImages[0].RasterBits, gif->SavedImages[0].RasterBits + w * h);
    DGifCloseFile(gif, nullptr);

    for (const bool clip : {false, true}) {
        SCOPED_TRACE(clip);
        Animation anim;
        ASSERT_EQ(Read(bytes, &anim, -1, nullptr, clip), Ok);
        const QImage &image = anim.pages[0].image;
        ASSERT_EQ(image.size(), clip ? QSize(90, 45) : QSize(w, h));
        for (int y = 0; y < image.height(); ++y)
            ASSERT_EQ(std::memcmp(image.constScanLine(y), raster.data() + y * w, std::size_t(image.width())), 0) << y;
    }
}

TEST(GifCodecTest, IndicesPastTheColourTableAreWrittenMaskedToItsSize)
{
    // Rows long enough to be coded eight indices at a time, with a few left over; indices up to 7
    // on a table of four entries come back masked, as giflib's own encoder writes them.
    const QVector<QRgb> four = {qRgb(1, 1, 1), qRgb(2, 2, 2), qRgb(3, 3, 3), qRgb(4, 4, 4)};
    Animation a;
    a.width = 21;
    a.height = 3;
    a.globalPalette = four;
    a.pages.push_back(MakePage(MakeIndexed(21, 3, four, [](int x, int y) { return (x + y) % 8; }), 0, 0, 10, 0));
    QByteArray bytes;
    ASSERT_EQ(Write(a, &bytes), Ok);
    Animation b;
    ASSERT_EQ(Read(bytes, &b), Ok);
    ASSERT_EQ(b.pages.size(), 1u);
    EXPECT_TRUE(SameIndices(b.pages[0].image, MakeIndexed(21, 3, four, [](int x, int y) { return (x + y) % 8 & 3; })));
}
