// CBannerDoc: saving as an animated GIF. Every frame is rendered with its items; every page after
// the first keeps only the rectangle that changed, with the unchanged pixels in it transparent;
// the file is written through FileCtrl and the document is read back from it, so it shows
// exactly what was saved. Measuring the GIF goes the same road into memory, silently.
#include "document/BannerDoc.h"

#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "document/GifColours.h"
#include "document/GifExportSettings.h"
#include "document/GifFrameWalk.h"
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
                                              const std::function<bool(int)> &pageDone, bool background)
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
        StartRendering(file);
        switch (GifFrameWalk::Walk(*this, m_context.RenderCtrl, file, options.dither, pageDone, background)) {
        case GifFrameWalk::Outcome::Stopped:
            return stop(GifStatus::Stopped);
        case GifFrameWalk::Outcome::NoTransparentColor:
            return stop(GifStatus::NoTransparentColor);
        case GifFrameWalk::Outcome::Ready:
            break;
        }
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
    GifOutcome outcome = PrepareGif(options, [&stop](int) { return !stop(); }, true);
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
