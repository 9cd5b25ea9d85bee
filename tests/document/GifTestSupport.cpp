#include "GifTestSupport.h"

#include "TestSupport.h"
#include "platform/imaging/ImagingControl.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace GifTest {

QImage Plain(QRgb colour)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage Photographic(int seed)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    std::mt19937 random(std::uint32_t(seed) * 7919u + 1u);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < kHeight; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const double fx = double(x) / kWidth, fy = double(y) / kHeight;
            const int r = int(127 + 120 * std::sin(6.0 * fx + seed * 0.1)) + noise(random);
            const int g = int(127 + 120 * std::cos(4.0 * fy + 3.0 * fx)) + noise(random);
            const int b = int(255 * fx * fy) + noise(random);
            line[x] = qRgb(std::clamp(r, 0, 255), std::clamp(g, 0, 255), std::clamp(b, 0, 255));
        }
    }
    return image;
}

std::unique_ptr<CBannerFrame> PictureFrame(const QImage &picture, std::uint32_t delay)
{
    auto frame = std::make_unique<CBannerFrame>(nullptr, 0x00FFFFFF, delay);
    frame->SetBackground(std::make_unique<PackedDib>(Dib::Encode24(picture)));
    return frame;
}

QImage FrameImage(const CBannerDoc &doc, int index)
{
    const CBannerFrame *frame = doc.GetFrame(index);
    if (!frame || !frame->m_hBackground)
        return {};
    return Dib::Decode(*frame->m_hBackground).convertToFormat(QImage::Format_RGB32);
}

std::vector<QImage> Rendered(CBannerDoc &doc)
{
    ImagingControl &pages = doc.Context().WorkCtrl;
    doc.RenderAllFrames(&pages);
    std::vector<QImage> out;
    for (int k = 0; k < pages.PageCount(); ++k) {
        pages.SetPageIndex(k);
        out.push_back(pages.BitmapHandle().image.convertToFormat(QImage::Format_RGB32));
    }
    pages.SetPageList(0);
    return out;
}

void SetFrames(CBannerDoc &doc, const std::vector<QImage> &pictures, std::uint32_t delay)
{
    doc.DeleteContents();
    for (const QImage &picture : pictures)
        doc.m_frames.push_back(PictureFrame(picture, delay));
    doc.m_nCurrentFrame = 0;
}

bool RunTool(const QString &program, const QStringList &args)
{
    return TestSupport::Run(program, args) == 0;
}

QRgb BackgroundByImageMagick(const QString &gif)
{
    // Flattening a fully transparent first page shows the background colour the file names.
    QByteArray out;
    if (TestSupport::Run(QStringLiteral("/usr/bin/convert"),
                         {gif + QStringLiteral("[0]"), QStringLiteral("-alpha"), QStringLiteral("transparent"),
                          QStringLiteral("-flatten"), QStringLiteral("-format"), QStringLiteral("%[hex:p{0,0}]"),
                          QStringLiteral("info:")},
                         &out)
        != 0)
        return 0;
    return 0xFF000000u | (out.trimmed().left(6).toUInt(nullptr, 16));
}

std::vector<QImage> CoalescedByImageMagick(const QString &gif, QRgb back)
{
    const QString dir = TestSupport::NewTempDir();
    if (!RunTool(QStringLiteral("/usr/bin/convert"),
                 {gif, QStringLiteral("-coalesce"), QStringLiteral("PNG32:") + dir + QStringLiteral("/f-%05d.png")}))
        return {};
    std::vector<QImage> frames;
    const QStringList names = QDir(dir).entryList({QStringLiteral("f-*.png")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QImage image(dir + QLatin1Char('/') + name);
        image = image.convertToFormat(QImage::Format_ARGB32);
        QImage flat(image.size(), QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            const auto *s = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            auto *d = reinterpret_cast<QRgb *>(flat.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                d[x] = qAlpha(s[x]) == 0 ? (back | 0xFF000000u) : (s[x] | 0xFF000000u);
        }
        frames.push_back(flat);
    }
    return frames;
}

double Psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const double dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
        }
    if (sum == 0)
        return std::numeric_limits<double>::infinity();
    const double mse = sum / (3.0 * a.width() * a.height());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

QString FirstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes %1x%2 and %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF))
                return QStringLiteral("(%1, %2): %3 vs %4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                    .arg(b.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'));
    return {};
}

} // namespace GifTest
