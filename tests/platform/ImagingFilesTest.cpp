// ImagingControl: files (GIF pages through giflib, other formats through Qt), colour reduction
// and the file-dialog companion. ImageMagick and gifsicle judge what we write and supply GIFs
// we did not write.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/GifCodec.h"
#include "platform/imaging/ImagingControl.h"
#include "platform/imaging/ImagingFileDialog.h"

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>

namespace {

const QString kConvert = QStringLiteral("/usr/bin/convert");
const QString kIdentify = QStringLiteral("/usr/bin/identify");
const QString kGifsicle = QStringLiteral("gifsicle");

ImagingBitmap Page(int w, int h, QRgb fill, int delay, int left = 0, int top = 0, int disposal = 0)
{
    ImagingBitmap b;
    b.image = QImage(w, h, QImage::Format_RGB32);
    b.image.fill(fill);
    b.delayMs = delay;
    b.left = left;
    b.top = top;
    b.disposal = disposal;
    return b;
}

QImage Photo(int w, int h, quint32 seed)
{
    QImage img(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb((x * 255) / w, (y * 255) / h, int(rng.bounded(256))));
    return img;
}

// What a viewer shows after each page: pages drawn at their offsets, transparent pixels
// skipped, the previous page's disposal 2 restoring the background colour.
std::vector<QImage> Compose(ImagingControl &c, int w, int h)
{
    std::vector<QImage> out;
    QImage canvas(w, h, QImage::Format_RGB32);
    canvas.fill(ColorrefToQRgb(c.BackColor()));
    QRect previous;
    int previousDisposal = 0;
    for (int i = 0; i < c.PageCount(); ++i) {
        c.SetPageIndex(i);
        if (previousDisposal == 2)
            for (int y = previous.top(); y <= previous.bottom(); ++y)
                for (int x = previous.left(); x <= previous.right(); ++x)
                    canvas.setPixel(x, y, ColorrefToQRgb(c.BackColor()));
        const QImage &page = *c.GetBitmapDC();
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x) {
                const QRgb p = page.pixel(x, y) | 0xFF000000u;
                if (!c.PageTransparent() || (p & 0xFFFFFF) != (ColorrefToQRgb(c.PageTransparentColor()) & 0xFFFFFF))
                    canvas.setPixel(c.PageLeft() + x, c.PageTop() + y, p);
            }
        previous = QRect(c.PageLeft(), c.PageTop(), page.width(), page.height());
        previousDisposal = c.PageDisposal();
        out.push_back(canvas.copy());
    }
    return out;
}

// Three pages: a full first page, a transparent patch with disposal 1, an opaque patch with
// disposal 2; delays 0.1 s, 0.25 s and more than the GIF maximum.
void MakeAnimation(ImagingControl &c)
{
    c.SetPageList(0);
    ImagingBitmap first = Page(468, 60, qRgb(200, 10, 10), 100);
    for (int x = 0; x < 468; ++x)
        first.image.setPixel(x, 30, qRgb(0, 0, 255));
    c.InsertPage(-1, first);
    ImagingBitmap second = Page(20, 10, qRgb(0, 255, 0), 250, 40, 7, 1);
    second.image.setPixel(3, 3, qRgb(10, 20, 30));
    second.transparent = true;
    second.transparentColor = RGB(0, 255, 0);
    c.InsertPage(-1, second);
    c.InsertPage(-1, Page(5, 6, qRgb(255, 255, 0), 700000, 100, 50, 2));
    c.SetAnimationLoop(true);
}

} // namespace

TEST(ImagingFilesTest, GifPagesRoundTripWithEveryAttribute)
{
    const QString path = TestSupport::NewTempDir() + "/banner.gif";
    ImagingControl out;
    MakeAnimation(out);
    ASSERT_EQ(out.SaveFile(path, ImagingFormatGif, 8), 0);

    ImagingControl in;
    ASSERT_EQ(in.ReadFileInfo(path), 0);
    EXPECT_EQ(in.InfoFormat(), ImagingFormatGif);
    EXPECT_EQ(in.InfoWidth(), 468.0f);
    EXPECT_EQ(in.InfoHeight(), 60.0f);
    ASSERT_EQ(in.LoadFile(path, 24, 1, -1), 0);
    ASSERT_EQ(in.PageCount(), 3);
    EXPECT_TRUE(in.AnimationLoop());
    const int delays[] = {100, 250, 655350};
    const QPoint offsets[] = {{0, 0}, {40, 7}, {100, 50}};
    const int disposals[] = {0, 1, 2};
    for (int i = 0; i < 3; ++i) {
        in.SetPageIndex(i);
        out.SetPageIndex(i);
        EXPECT_EQ(in.PageDelay(), delays[i]) << i;
        EXPECT_EQ(QPoint(in.PageLeft(), in.PageTop()), offsets[i]) << i;
        EXPECT_EQ(in.PageDisposal(), disposals[i]) << i;
        EXPECT_EQ(in.PageTransparent(), i == 1) << i;
        EXPECT_EQ(*in.GetBitmapDC(), *out.GetBitmapDC()) << i;
    }
    in.SetPageIndex(1);
    EXPECT_EQ(in.PageTransparentColor(), RGB(0, 255, 0));
    // Opaque pages name a colour they do not have: the region of "not that colour" is all of them.
    for (int i : {0, 2}) {
        in.SetPageIndex(i);
        in.RegionFromColor(in.PageTransparentColor(), 6);
        EXPECT_EQ(in.RegionWidth(), in.BitmapWidth()) << i;
        EXPECT_EQ(in.RegionHeight(), in.BitmapHeight()) << i;
        in.FreeRegion();
    }

    // The background colour travels with the file; a GIF without one gives white.
    EXPECT_EQ(in.BackColor(), RGB(255, 255, 255));
    out.SetBackColor(RGB(0, 0, 255));
    ASSERT_EQ(out.SaveFile(path, ImagingFormatGif, 8), 0);
    ASSERT_EQ(in.LoadFile(path, 24, 1, -1), 0);
    EXPECT_EQ(in.BackColor(), RGB(0, 0, 255));
    {
        // Two-colour pages that do not share colours are written with local palettes; the
        // background colour still travels, in a global palette of its own.
        ImagingControl local;
        ImagingBitmap a = Page(4, 2, qRgb(0, 0, 0), 100), b = Page(4, 2, qRgb(255, 0, 0), 100);
        a.image.setPixel(0, 0, qRgb(255, 255, 255));
        b.image.setPixel(0, 0, qRgb(0, 255, 0));
        local.InsertPage(-1, a);
        local.InsertPage(-1, b);
        local.SetBackColor(RGB(0, 0, 255));
        const QString bare = TestSupport::NewTempDir() + "/local.gif";
        ASSERT_EQ(local.SaveFile(bare, ImagingFormatGif, 1), 0);
        EXPECT_EQ(quint8(TestSupport::ReadFile(bare)[10]) & 0x87, 0x80); // a global table of 2 entries
        ImagingControl back;
        back.SetBackColor(RGB(1, 1, 1));
        ASSERT_EQ(back.LoadFile(bare, 24, 1, -1), 0);
        EXPECT_EQ(back.BackColor(), RGB(0, 0, 255));
        GifCodec::Animation pages;
        ASSERT_EQ(GifCodec::Read(TestSupport::ReadFile(bare), &pages), GifCodec::Ok);
        EXPECT_TRUE(pages.pages[0].localPalette && pages.pages[1].localPalette);
        back.SetPageIndex(1);
        EXPECT_EQ(*back.GetBitmapDC(), b.image);
    }

    // Without looping there is no loop block.
    out.SetAnimationLoop(false);
    ASSERT_EQ(out.SaveFile(path, ImagingFormatGif, 8), 0);
    ASSERT_EQ(in.LoadFile(path, 24, 1, -1), 0);
    EXPECT_FALSE(in.AnimationLoop());
}

TEST(ImagingFilesTest, PeerToolsReadWhatWeWrite)
{
    const QString dir = TestSupport::NewTempDir();
    const QString path = dir + "/banner.gif";
    ImagingControl out;
    MakeAnimation(out);
    ASSERT_EQ(out.SaveFile(path, ImagingFormatGif, 8), 0);

    QByteArray info;
    ASSERT_EQ(TestSupport::Run(kIdentify, {"-format", "%T|%D|%X|%Y|%w|%h\n", path}, &info), 0);
    EXPECT_EQ(QString::fromUtf8(info),
              "10|Undefined|+0|+0|468|60\n25|None|+40|+7|20|10\n65535|Background|+100|+50|5|6\n");
    ASSERT_EQ(TestSupport::Run(kGifsicle, {"--info", path}, &info), 0);
    EXPECT_TRUE(info.contains("3 images"));
    EXPECT_TRUE(info.contains("loop forever"));
    EXPECT_TRUE(info.contains("logical screen 468x60"));

    // ImageMagick's composition equals ours, pixel for pixel.
    ASSERT_EQ(TestSupport::Run(kConvert, {path, "-coalesce", "+adjoin", dir + "/frame-%d.ppm"}), 0);
    ImagingControl in;
    ASSERT_EQ(in.LoadFile(path, 24, 1, -1), 0);
    const std::vector<QImage> ours = Compose(in, 468, 60);
    for (int i = 0; i < 3; ++i) {
        QImage theirs(dir + QString("/frame-%1.ppm").arg(i));
        ASSERT_FALSE(theirs.isNull()) << i;
        EXPECT_EQ(theirs.convertToFormat(QImage::Format_RGB32), ours[std::size_t(i)]) << i;
    }
}

TEST(ImagingFilesTest, ReadsGifsWrittenByPeerTools)
{
    const QString dir = TestSupport::NewTempDir();
    // ImageMagick: a background, then a patch at an offset with a local palette and each disposal.
    const QString im = dir + "/im.gif";
    ASSERT_EQ(TestSupport::Run(kConvert, {"-delay", "20", "-size", "30x20", "xc:red", "-dispose", "Previous",
                                          "-delay", "35", "-page", "+5+3", "-size", "10x5", "xc:blue",
                                          "-dispose", "Background", "-delay", "7", "-page", "+1+2", "-size",
                                          "4x4", "xc:lime", "-loop", "0", im}),
              0);
    ImagingControl c;
    ASSERT_EQ(c.LoadFile(im, 24, 1, -1), 0);
    ASSERT_EQ(c.PageCount(), 3);
    EXPECT_TRUE(c.AnimationLoop());
    c.SetPageIndex(1);
    EXPECT_EQ(c.PageDelay(), 350);
    EXPECT_EQ(c.PageLeft(), 5);
    EXPECT_EQ(c.PageTop(), 3);
    EXPECT_EQ(c.BitmapWidth(), 10.0f);
    EXPECT_EQ(c.PageDisposal(), 3);
    EXPECT_EQ(c.GetBitmapDC()->pixel(2, 2) & 0xFFFFFF, 0x0000FFu);
    c.SetPageIndex(2);
    EXPECT_EQ(c.PageDelay(), 70);
    EXPECT_EQ(c.PageDisposal(), 2);

    // gifsicle: interlaced, transparent, no loop block.
    const QString src = dir + "/src.gif", sic = dir + "/sic.gif";
    {
        ImagingControl w;
        MakeAnimation(w);
        w.SetAnimationLoop(false);
        ASSERT_EQ(w.SaveFile(src, ImagingFormatGif, 8), 0);
    }
    ASSERT_EQ(TestSupport::Run(kGifsicle, {"--interlace", "--no-loopcount", src, "-o", sic}), 0);
    ImagingControl a, b;
    ASSERT_EQ(a.LoadFile(src, 24, 1, -1), 0);
    ASSERT_EQ(b.LoadFile(sic, 24, 1, -1), 0);
    ASSERT_EQ(b.PageCount(), 3);
    EXPECT_FALSE(b.AnimationLoop());
    for (int i = 0; i < 3; ++i) {
        a.SetPageIndex(i);
        b.SetPageIndex(i);
        EXPECT_EQ(*a.GetBitmapDC(), *b.GetBitmapDC()) << i;
        EXPECT_EQ(a.PageTransparent(), b.PageTransparent()) << i;
        EXPECT_EQ(a.PageDelay(), b.PageDelay()) << i;
    }
}

TEST(ImagingFilesTest, SinglePagesAndOtherFormats)
{
    const QString dir = TestSupport::NewTempDir();
    // One page of a GIF stands on its logical screen over the background colour.
    const QString gif = dir + "/offset.gif";
    ASSERT_EQ(TestSupport::Run(kConvert, {"-size", "4x3", "xc:blue", "-set", "page", "20x10+6+2", gif}), 0);
    ImagingControl c;
    ASSERT_EQ(c.LoadFile(gif, 24, 0, 1), 0);
    EXPECT_FALSE(c.PageList());
    EXPECT_EQ(c.BitmapWidth(), 20.0f);
    EXPECT_EQ(c.BitmapHeight(), 10.0f);
    EXPECT_EQ(c.GetBitmapDC()->pixel(7, 3) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(c.GetBitmapDC()->pixel(0, 0) & 0xFFFFFF, ColorrefToQRgb(c.BackColor()) & 0xFFFFFF);

    // PNG with alpha is flattened onto white; BMP and JPEG read; info names the format.
    QImage rgba(8, 4, QImage::Format_ARGB32);
    rgba.fill(qRgba(0, 0, 0, 0));
    rgba.setPixel(1, 1, qRgba(255, 0, 0, 255));
    ASSERT_TRUE(rgba.save(dir + "/a.png"));
    ASSERT_TRUE(Photo(30, 20, 1).save(dir + "/b.bmp"));
    ASSERT_TRUE(Photo(30, 20, 1).save(dir + "/c.jpg"));
    ASSERT_EQ(c.LoadFile(dir + "/a.png", 24, 0, 1), 0);
    EXPECT_EQ(c.GetBitmapDC()->pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(c.GetBitmapDC()->pixel(1, 1) & 0xFFFFFF, 0xFF0000u);
    ASSERT_EQ(c.LoadFile(dir + "/b.bmp", 24, 0, 1), 0);
    EXPECT_EQ(*c.GetBitmapDC(), Photo(30, 20, 1));
    ASSERT_EQ(c.ReadFileInfo(dir + "/c.jpg"), 0);
    EXPECT_EQ(c.InfoFormat(), ImagingFormatJpeg);
    EXPECT_EQ(c.InfoWidth(), 30.0f);
    ASSERT_EQ(c.LoadFile(dir + "/c.jpg", 24, 0, 1), 0);
    EXPECT_EQ(c.BitmapHeight(), 20.0f);
    // A PNG written by SaveFile reads back exactly.
    ASSERT_EQ(c.SaveFile(dir + "/d.png", ImagingFormatPng, 24), 0);
    ImagingControl d;
    ASSERT_EQ(d.LoadFile(dir + "/d.png", 24, 0, 1), 0);
    EXPECT_EQ(*d.GetBitmapDC(), *c.GetBitmapDC());
}

TEST(ImagingFilesTest, BadFilesGiveErrorsAndLeaveTheControlAlone)
{
    const QString dir = TestSupport::NewTempDir();
    ImagingControl good;
    MakeAnimation(good);
    const QString ok = dir + "/ok.gif";
    ASSERT_EQ(good.SaveFile(ok, ImagingFormatGif, 8), 0);
    const QByteArray bytes = TestSupport::ReadFile(ok);

    struct Bad {
        const char *name;
        QByteArray bytes;
        int expected;
    };
    QByteArray huge = bytes.left(13);
    huge[6] = char(0xFF), huge[7] = char(0xFF), huge[8] = char(0xFF), huge[9] = char(0xFF);
    huge += bytes.mid(13);
    const std::vector<Bad> bad = {
        {"truncated.gif", bytes.left(bytes.size() / 2), ImagingErrTruncated},
        {"text.gif", "this is not a picture at all", ImagingErrFormat},
        {"nopages.gif", bytes.left(13 + 3 * (1 << ((quint8(bytes[10]) & 7) + 1))) + ";", ImagingErrNoPages},
        {"huge.gif", huge, ImagingErrTooLarge},
    };
    ImagingControl c;
    c.CreateBitmap(10, 10);
    c.FillColor(RGB(1, 2, 3));
    for (const Bad &b : bad) {
        const QString path = dir + "/" + b.name;
        ASSERT_TRUE(TestSupport::WriteFile(path, b.bytes));
        EXPECT_EQ(c.LoadFile(path, 24, 1, -1), b.expected) << b.name;
        EXPECT_EQ(c.LoadFile(path, 24, 0, 1), b.expected) << b.name;
        EXPECT_FALSE(c.PageList()) << b.name;
        EXPECT_EQ(c.BitmapWidth(), 10.0f) << b.name;
        EXPECT_EQ(c.GetBitmapDC()->pixel(5, 5) & 0xFFFFFF, 0x010203u) << b.name;
    }
    EXPECT_EQ(c.LoadFile(dir + "/missing.gif", 24, 1, -1), ImagingErrOpen);
    EXPECT_EQ(c.ReadFileInfo(dir + "/missing.gif"), ImagingErrOpen);
    EXPECT_EQ(c.ReadFileInfo(dir + "/text.gif"), ImagingErrFormat);
    EXPECT_EQ(c.InfoFormat(), ImagingFormatUnknown);
    // Writing into a folder that does not exist fails without leaving anything behind.
    EXPECT_EQ(c.SaveFile(dir + "/no/such/folder/x.gif", ImagingFormatGif, 8), ImagingErrWrite);
}

TEST(ImagingColorTest, ReduceColorsSharesOnePaletteAndKeepsFewColoursExact)
{
    ImagingControl c;
    // Few colours: nothing changes.
    ImagingBitmap flat = Page(50, 20, qRgb(1, 2, 3), 100);
    for (int x = 0; x < 10; ++x)
        flat.image.setPixel(x, 5, qRgb(x * 20, 0, 0));
    c.InsertPage(-1, flat);
    c.InsertPage(-1, Page(50, 20, qRgb(9, 9, 9), 100));
    const QImage before = flat.image;
    EXPECT_EQ(c.CountColors(), 11); // ten reds (one is black) and the background
    ASSERT_EQ(c.ReduceColors(4), 0);
    c.SetPageIndex(0);
    EXPECT_EQ(*c.GetBitmapDC(), before);
    EXPECT_EQ(c.PaletteSize(), 12);

    // A photographic page comes down to the limit; the user palette entry is kept exactly.
    c.SetPageList(0);
    ImagingBitmap photo;
    photo.image = Photo(468, 60, 3);
    c.InsertPage(-1, photo);
    c.InsertPage(-1, photo);
    EXPECT_GT(c.CountColors(), 256);
    c.SetPageUserPaletteEntry(20, RGB(0, 0, 248));
    ASSERT_EQ(c.ReduceColors(8), 0);
    for (int i = 0; i < 2; ++i) {
        c.SetPageIndex(i);
        EXPECT_LE(c.CountColors(), 256);
        EXPECT_LE(c.PaletteSize(), 256);
    }
    bool kept = false;
    for (int i = 0; i < c.PaletteSize(); ++i)
        kept = kept || c.PaletteEntry(i) == RGB(0, 0, 248);
    EXPECT_TRUE(kept);
    EXPECT_EQ(c.ReduceColors(9), ImagingErrArgument);

    // SaveFile writes colour tables of the requested depth: 16 colours at 5 bits give 32 entries.
    ImagingControl sixteen;
    ImagingBitmap p = Page(16, 1, 0, 100);
    for (int x = 0; x < 16; ++x)
        p.image.setPixel(x, 0, qRgb(x * 16, 0, 0));
    sixteen.SetBitmapHandle(p);
    const QString path = TestSupport::NewTempDir() + "/sixteen.gif";
    ASSERT_EQ(sixteen.SaveFile(path, ImagingFormatGif, 5), 0);
    const QByteArray bytes = TestSupport::ReadFile(path);
    ASSERT_GT(bytes.size(), 13);
    EXPECT_EQ(quint8(bytes[10]) & 0x87, 0x80 | 4); // a global table of 2^(4+1) entries
    ImagingControl back;
    ASSERT_EQ(back.LoadFile(path, 24, 0, 1), 0);
    EXPECT_EQ(*back.GetBitmapDC(), p.image);
}

TEST(ImagingFileDialogTest, OpenDialogGoesThroughPrompts)
{
    ScriptedPrompts scripted;
    Prompts::Register(&scripted);
    ImagingFileDialog dlg;
    dlg.SetDialogOption63(false);
    dlg.SetDialogOption16(0);
    dlg.SetDialogFilter("Compuserve GIF|*.gif|JPEG|*.jpg;*.jpeg|");
    dlg.SetDialogTitle("Open File");
    dlg.SetDialogFlags(0x140);
    scripted.fileChoices.push_back(Prompts::FileChoice{QDir::tempPath() + "/../tmp/pic.gif", 2});
    EXPECT_EQ(dlg.ShowOpenDialog(), 0);
    EXPECT_EQ(dlg.DialogFileName(), QDir::cleanPath(QDir::tempPath() + "/pic.gif"));
    EXPECT_EQ(dlg.DialogFilterIndex(), 2);
    ASSERT_EQ(scripted.fileDialogs.size(), 1u);
    EXPECT_EQ(scripted.fileDialogs[0].title, "Open File");
    EXPECT_EQ(scripted.fileDialogs[0].filter, "Compuserve GIF|*.gif|JPEG|*.jpg;*.jpeg|");
    EXPECT_TRUE(scripted.fileDialogs[0].fileMustExist);
    EXPECT_NE(dlg.ShowOpenDialog(), 0); // nothing queued: cancelled
    Prompts::Register(nullptr);
}
