// CBannerDoc: saving as an animated GIF. Every frame is rendered with its items; every page after
// the first keeps only the rectangle that changed, with the unchanged pixels in it transparent;
// the file is written through FileCtrl and the document is read back from it, so it shows
// exactly what was saved. Measuring the GIF goes the same road into memory, silently.
#include "document/BannerDoc.h"

#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "document/GifColours.h"
#include "document/GifExportSettings.h"
#include "document/GifProgress.h"
#include "document/OptOutWarning.h"
#include "platform/Prompts.h"
#include "platform/imaging/ImagingControl.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace {

const QString kShortFrameWarnValue = QStringLiteral("ShortFrameWarnDlg");
const QString kShortFrameMessage =
    QStringLiteral("Some frames of this banner last less than 20 ms.\nA GIF keeps delays in hundredths of a second, "
                   "and web browsers show frames shorter than 20 ms for 100 ms.");

const QString kTransColorMessage =
    QStringLiteral("Vellumark Error ID: VKERR_SEL_TRANSCOLOR. Error selecting transparent color.");

// The bounding rectangle of the pixels in which two pictures of the same size differ.
QRect DifferingRect(const QImage &page, const QImage &composed)
{
    const int w = page.width();
    const int h = page.height();
    const std::size_t rowBytes = std::size_t(w) * sizeof(QRgb);
    int top = 0;
    while (top < h && std::memcmp(page.constScanLine(top), composed.constScanLine(top), rowBytes) == 0)
        ++top;
    if (top == h)
        return {};
    int bottom = h - 1;
    while (bottom > top && std::memcmp(page.constScanLine(bottom), composed.constScanLine(bottom), rowBytes) == 0)
        --bottom;
    int left = w, right = -1;
    for (int y = top; y <= bottom; ++y) {
        const auto *p = reinterpret_cast<const QRgb *>(page.constScanLine(y));
        const auto *q = reinterpret_cast<const QRgb *>(composed.constScanLine(y));
        int x = 0;
        while (x < left && p[x] == q[x])
            ++x;
        left = std::min(left, x);
        int r = w - 1;
        while (r > right && p[r] == q[r])
            --r;
        right = std::max(right, r);
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// GIF delays are whole centiseconds and browsers hold frames under 20 ms for 100 ms: say so once
// per export, unless the user turned the warning off.
void WarnOfShortFrames(CoreContext &context, const CBannerDoc &doc)
{
    bool shortFrame = false;
    for (int k = 0; k < doc.GetFrameCount() && !shortFrame; ++k)
        shortFrame = doc.GetFrame(k)->m_nDelay < 20;
    if (!shortFrame || doc.GetFrameCount() < 2)
        return;
    ShowUnlessTurnedOff(&context.m_shortFrameWarnState, kShortFrameWarnValue,
                                    [] { return Prompts::Instance().WarnWithOptOut(kShortFrameMessage); });
}

// The lossy levels a size budget tries, least lossy first.
constexpr int kBudgetLevels[] = {4, 8, 12, 16, 24, 32, 48, 64, 96, 128, 192, 255};

// Sets the least lossy level from `from` up whose file fits `budget` bytes and returns that
// file's size; 0 when none does (*smallest: the fewest bytes reached), when the pages cannot be
// encoded (*smallest then 0) or when `goOn` says to stop after a level (*stopped).
qint64 FitBudget(ImagingControl &file, int bits, int from, qint64 budget, const std::function<bool()> &goOn,
                 qint64 *smallest, bool *stopped)
{
    std::vector<int> levels{from};
    for (int level : kBudgetLevels)
        if (level > from)
            levels.push_back(level);
    *smallest = 0;
    *stopped = false;
    for (int level : levels) {
        file.SetGifLossy(level);
        QByteArray bytes;
        if (file.EncodeGif(bits, &bytes) != 0)
            return 0;
        *smallest = *smallest ? std::min<qint64>(*smallest, bytes.size()) : bytes.size();
        if (bytes.size() <= budget)
            return bytes.size();
        if (!goOn()) {
            *stopped = true;
            return 0;
        }
    }
    return 0;
}

// After the pages were written: the control's next file is exact again.
void EndGifWriting(ImagingControl &file)
{
    file.SetGifLossy(0);
    file.SetGifCompactPalette(false);
    file.SetColorDithering(false);
}

// Frame differencing: every page after the first keeps only the rectangle in which it differs
// from what a viewer shows after the pages before it (disposal 1 leaves each page in place), and
// the pixels in it that stay as they were become transparent. The transparent colour is known
// only once every page was seen, so those pixels are marked until then; a mark has alpha 0, which
// no pixel of a page has (they are kept opaque, and a GIF carries no alpha).
class ChangedPages {
public:
    explicit ChangedPages(ImagingControl &file) : m_file(file) {}

    // Appends the page to the control's page list.
    void Add(ImagingBitmap page)
    {
        page.disposal = 1;
        if (m_composed.isNull()) {
            page.transparent = false;
            m_composed = page.image;
        } else {
            QRect changed = DifferingRect(page.image, m_composed);
            if (changed.isEmpty())
                changed = QRect(0, 0, 1, 1);
            QImage kept(changed.size(), QImage::Format_RGB32);
            for (int y = 0; y < changed.height(); ++y) {
                const QRgb *p = reinterpret_cast<const QRgb *>(page.image.constScanLine(changed.top() + y)) + changed.left();
                QRgb *q = reinterpret_cast<QRgb *>(m_composed.scanLine(changed.top() + y)) + changed.left();
                auto *out = reinterpret_cast<QRgb *>(kept.scanLine(y));
                for (int x = 0; x < changed.width(); ++x) {
                    if (p[x] == q[x]) {
                        out[x] = kMark;
                    } else {
                        out[x] = p[x] | 0xFF000000u;
                        q[x] = p[x];
                    }
                }
            }
            page.image = kept;
            page.left = changed.left();
            page.top = changed.top();
            page.transparent = true;
            page.region = {};
        }
        m_file.InsertPage(-1, page);
    }

    // Gives every page the transparent colour at `index` and the marked pixels that colour.
    void Finish(COLORREF colour, int index)
    {
        const QRgb key = ColorrefToQRgb(colour) | 0xFF000000u;
        for (int k = 0; k < m_file.PageCount(); ++k) {
            m_file.SetPageIndex(k);
            m_file.SetPageUserPaletteEntry(index, colour);
            if (k == 0)
                continue;
            m_file.SetPageTransparentColor(colour);
            QImage *page = m_file.GetBitmapDC();
            auto *pixels = reinterpret_cast<QRgb *>(page->bits());
            for (qsizetype i = 0, n = qsizetype(page->width()) * page->height(); i < n; ++i)
                if (pixels[i] == kMark)
                    pixels[i] = key;
            m_file.ReleaseBitmapDC();
        }
    }

    void Clear()
    {
        m_file.SetPageList(0);
        m_composed = QImage();
    }

private:
    static constexpr QRgb kMark = 0;
    ImagingControl &m_file;
    QImage m_composed; // what a viewer shows after the pages so far
};

// A colour no page of the control uses for the transparent pixels, and its palette index; index
// -1 when there is none.
COLORREF FindTransparentColor(ImagingControl &control, int *index)
{
    GifColours::ExportColours colours(control.ColorDithering());
    bool reducing = false;
    for (int k = 0; k < control.PageCount(); ++k) {
        control.SetPageIndex(k);
        reducing = !colours.Survey(control.BitmapHandle().image);
    }
    for (int k = 0; reducing && k < control.PageCount(); ++k) {
        control.SetPageIndex(k);
        if ((k == 0 && !colours.Choose()) || colours.Reduce(k, control.BitmapHandle().image).isNull()) {
            *index = -1;
            return 0;
        }
    }
    return colours.TransparentColour(index);
}

} // namespace

QString CBannerDoc::BudgetMessage(qint64 smallest, qint64 budget)
{
    return QStringLiteral("Error saving banner.\nThe smallest GIF reached has %1 bytes; the size budget is %2 bytes.")
        .arg(smallest)
        .arg(budget);
}

COLORREF CBannerDoc::ChooseTransparentColor(ImagingControl &control, int *index)
{
    const COLORREF colour = FindTransparentColor(control, index);
    if (*index == -1)
        Prompts::Instance().Message(kTransColorMessage, Prompts::Icon::None);
    return colour;
}

CBannerDoc::GifOutcome CBannerDoc::PrepareGif(const CoreContext::GifExportOptions &options,
                                              const std::function<bool(int)> &pageDone)
{
    ImagingControl &file = m_context.FileCtrl;
    file.SetColorDithering(options.dither);
    file.SetCoordinateUnits(3);
    const int n = GetFrameCount();
    GifOutcome outcome;
    const auto stop = [&file, &outcome](GifStatus status) {
        EndGifWriting(file);
        file.SetPageList(0);
        outcome.status = status;
        return outcome;
    };

    if (n < 2) {
        RenderAllFrames(&file);
    } else {
        // The frames are rendered one at a time and walked in order, so only the pages as written
        // are held: once when no page has too many colours, twice when some do (the first walk
        // chooses the palette they share, the second maps them). Progress counts both walks.
        GifColours::ExportColours colours(options.dither);
        ChangedPages pages(file);
        StartRendering(file);
        int reported = 0;
        const auto step = [&](int walk, int k) {
            reported = std::max(reported, (walk * n + k) / (colours.Reducing() ? 2 : 1));
            return k == 0 || pageDone(reported);
        };
        for (int k = 0; k < n; ++k) {
            const ImagingBitmap frame = RenderFrame(k);
            if (colours.Survey(frame.image))
                pages.Add(frame);
            else if (file.PageCount() > 0)
                pages.Clear();
            if (!step(0, k))
                return stop(GifStatus::Stopped);
        }
        if (colours.Reducing() && !colours.Choose())
            return stop(GifStatus::NoTransparentColor);
        for (int k = 0; colours.Reducing() && k < n; ++k) {
            ImagingBitmap frame = RenderFrame(k);
            frame.image = colours.Reduce(k, frame.image);
            if (frame.image.isNull())
                return stop(GifStatus::NoTransparentColor);
            pages.Add(frame);
            if (!step(1, k))
                return stop(GifStatus::Stopped);
        }
        int index = -1;
        const COLORREF colour = colours.TransparentColour(&index);
        if (index == -1)
            return stop(GifStatus::NoTransparentColor);
        pages.Finish(colour, index);
    }

    // Colour depth: the fewest bits whose palette holds more entries than any page has colours.
    // The pages of an animation have at most 256 colours, so once one has more than 127 the
    // depth is 8 bits and the others need no counting.
    int m = 0;
    for (int k = 0; k < std::max(n, 1) && (n < 2 || m < 128); ++k) {
        file.SetPageIndex(k);
        m = std::max(m, n > 1 ? GifColours::CountColoursUpTo(file.BitmapHandle().image, 127) : file.CountColors());
    }
    int bits = 0;
    while (m >= (1 << bits) && bits < 8)
        ++bits;
    // Every page of an animation already fits its palette; only a single page with more colours
    // than a GIF holds still needs reducing.
    if (m > (1 << bits))
        file.ReduceColors(bits, 2, 0, 0);
    // The file carries the banner's own colour, not that of the last GIF this control read.
    file.SetBackColor(m_frames.empty() ? m_crDefaultBackground : m_frames.front()->m_crBackground);
    file.SetGifLossy(options.lossy);
    file.SetGifCompactPalette(true);
    outcome.bits = bits;
    if (options.budget > 0) {
        bool stopped = false;
        qint64 smallest = 0;
        outcome.bytes = FitBudget(file, bits, options.lossy, options.budget, [&] { return pageDone(n); }, &smallest, &stopped);
        if (stopped)
            return stop(GifStatus::Stopped);
        if (outcome.bytes == 0 && smallest > 0) {
            outcome.bytes = smallest;
            return stop(GifStatus::OverBudget);
        }
    }
    return outcome;
}

bool CBannerDoc::SaveAsGif(const QString &path)
{
    ImagingControl &file = m_context.FileCtrl;
    if (m_context.gifOptionsFromSettings)
        m_context.m_gifOptions = GifExportSettings::ExportOptions(GifExportSettings::Read());
    WarnOfShortFrames(m_context, *this);
    GifProgress progress(GifProgress::Task::Export, GetFrameCount());
    const GifOutcome pages = PrepareGif(m_context.m_gifOptions, [&progress](int k) {
        progress.Step(k);
        return true;
    });
    if (pages.status == GifStatus::NoTransparentColor) {
        Prompts::Instance().Message(kTransColorMessage, Prompts::Icon::None);
        return false;
    }
    if (pages.status == GifStatus::OverBudget) {
        Prompts::Instance().Message(BudgetMessage(pages.bytes, m_context.m_gifOptions.budget), Prompts::Icon::Stop);
        return false;
    }
    const int written = file.SaveFile(path, ImagingFormatGif, pages.bits, 0, 0);
    EndGifWriting(file);
    if (written != 0) {
        file.SetPageList(0);
        // A file that could not be written says why, as a banner file does.
        const QString reason = file.FileErrorString();
        Prompts::Instance().Message(reason.isEmpty() ? QStringLiteral("Error saving banner.")
                                                     : BannerFile::CannotSaveMessage(path, reason),
                                    Prompts::Icon::Stop);
        return false;
    }

    if (m_context.m_batch) {
        file.SetPageList(0);
        return true;
    }
    // Read back what was written. LoadGif replaces the frames only when it succeeds, so after a
    // failed reload the document keeps the frames it had before the save.
    const int current = m_nCurrentFrame;
    if (!LoadGif(path, file)) {
        Prompts::Instance().Message(QStringLiteral("Error updating banner."), Prompts::Icon::Stop);
        return false;
    }
    m_nCurrentFrame = std::clamp(current, 0, std::max(0, GetFrameCount() - 1));
    UpdateAllViews(nullptr, hintCurrentFrame);
    SetModifiedFlag(false);
    return true;
}

CBannerDoc::GifOutcome CBannerDoc::MeasureGif(const CoreContext::GifExportOptions &options,
                                              const std::function<bool()> &stop)
{
    GifOutcome outcome = PrepareGif(options, [&stop](int) { return !stop(); });
    if (outcome.status != GifStatus::Ready)
        return outcome;
    ImagingControl &file = m_context.FileCtrl;
    // A budget that was met was met by a file already encoded.
    if (outcome.bytes == 0) {
        QByteArray bytes;
        if (file.EncodeGif(outcome.bits, &bytes) != 0)
            outcome.status = GifStatus::NotEncoded;
        outcome.bytes = bytes.size();
    }
    EndGifWriting(file);
    file.SetPageList(0);
    return outcome;
}
