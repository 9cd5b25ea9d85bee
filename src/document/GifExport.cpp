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

// The candidates for the transparent colour, in the order they are tried: the 256 colours of a
// 3-3-2 palette, then red 248.
COLORREF Candidate(int i)
{
    if (i == 256)
        return RGB(248, 0, 0);
    return RGB(i & 0xE0, (i & 0x1C) << 3, (i & 0x03) << 6);
}

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

// A colour no page uses for the transparent pixels, and its palette index; index -1 when there
// is none.
COLORREF FindTransparentColor(ImagingControl &control, int *index)
{
    *index = -1;
    // Every colour of every page, and the largest number of colours on one page.
    auto count = [&control](GifColours::PageColours &colours, std::vector<int> *perPage) {
        int most = 0;
        for (int k = 0; k < control.PageCount(); ++k) {
            control.SetPageIndex(k);
            const int n = colours.Next(control.BitmapHandle().image);
            if (perPage)
                perPage->push_back(n);
            most = std::max(most, n);
        }
        return most;
    };
    GifColours::PageColours used;
    std::vector<int> perPage;
    int m = 0;
    control.SetPageIndex(0);
    if (GifColours::MoreColoursThan(control.BitmapHandle().image, 255)) {
        // A photographic banner: whether a page has too many colours shows after a few hundred
        // of its pixels; the pages are counted exactly once they were reduced.
        for (int k = 0; k < control.PageCount(); ++k) {
            control.SetPageIndex(k);
            perPage.push_back(GifColours::MoreColoursThan(control.BitmapHandle().image, 255) ? 256 : 0);
        }
        m = 256;
    } else {
        m = count(used, &perPage);
    }
    // Room for the transparent colour beside every page's own colours: pages with more colours
    // than that are mapped to one palette they all share, and counted again.
    if (m > 255 && !GifColours::ReduceCrowdedPages(control, 255, perPage).empty()) {
        used = GifColours::PageColours();
        m = count(used, nullptr);
    }
    if (m >= 256)
        return 0;
    // A colour that no page uses, preferably one far from all of them (not agreeing in the top
    // five bits of every channel with any colour used), so that it stays apart from the pictures
    // in any palette.
    for (int i = 0; i <= 256; ++i) {
        if (!used.HasNear(Candidate(i))) {
            *index = m;
            return Candidate(i);
        }
    }
    for (int i = 0; i <= 256; ++i) {
        if (!used.Has(Candidate(i))) {
            *index = m;
            return Candidate(i);
        }
    }
    const std::optional<COLORREF> unused = used.FirstUnused();
    if (!unused)
        return 0;
    *index = m;
    return *unused;
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
    RenderAllFrames(&file);
    file.SetCoordinateUnits(3);
    const int n = file.PageCount();
    GifOutcome outcome;
    const auto stop = [&file, &outcome](GifStatus status) {
        EndGifWriting(file);
        file.SetPageList(0);
        outcome.status = status;
        return outcome;
    };

    if (n > 1) {
        file.SetPageIndex(0);
        file.SetPageTransparent(false);
        int index = -1;
        const COLORREF colour = FindTransparentColor(file, &index);
        if (index == -1)
            return stop(GifStatus::NoTransparentColor);
        file.SetPageIndex(0);
        file.SetPageDisposal(1);
        file.SetPageUserPaletteEntry(index, colour);

        // The picture a viewer shows after the pages so far; each page is compared with it.
        QImage composed = file.BitmapHandle().image.copy();
        const QRgb key = ColorrefToQRgb(colour);
        for (int k = 1; k < n; ++k) {
            file.SetPageIndex(k);
            file.SetPageDisposal(1);
            file.SetPageTransparent(true);
            file.SetPageUserPaletteEntry(index, colour);
            file.SetPageTransparentColor(colour);

            QImage *page = file.GetBitmapDC();
            QRect changed = page ? DifferingRect(*page, composed) : QRect();
            if (changed.isEmpty())
                changed = QRect(0, 0, 1, 1);
            for (int y = changed.top(); page && y <= changed.bottom(); ++y) {
                auto *p = reinterpret_cast<QRgb *>(page->scanLine(y));
                auto *q = reinterpret_cast<QRgb *>(composed.scanLine(y));
                for (int x = changed.left(); x <= changed.right(); ++x) {
                    if (p[x] == q[x])
                        p[x] = key;
                    else
                        q[x] = p[x];
                }
            }
            file.ReleaseBitmapDC();
            file.TrimBitmap(changed.left(), changed.top(), changed.width(), changed.height());
            file.SetPageLeft(changed.left());
            file.SetPageTop(changed.top());
            if (!pageDone(k))
                return stop(GifStatus::Stopped);
        }
    }

    // Colour depth: the fewest bits whose palette holds more entries than any page has colours.
    int m = 0;
    for (int k = 0; k < std::max(n, 1); ++k) {
        file.SetPageIndex(k);
        m = std::max(m, file.CountColors());
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
