// CBannerDoc: opening an animated GIF. Every page becomes a frame whose background is the picture
// a GIF decoder shows at that page; the frames get no items.
#include "document/BannerDoc.h"

#include "document/CoreContext.h"
#include "document/GifProgress.h"
#include "document/MemoryBudget.h"
#include "document/OptOutWarning.h"
#include "platform/Prompts.h"
#include "platform/imaging/ImagingControl.h"
#include "platform/settings/Settings.h"

#include <algorithm>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const QString kGifWarnValue = QStringLiteral("GifWarnDlg");

void ShowStop(const QString &text)
{
    Prompts::Instance().Message(text, Prompts::Icon::Stop);
}

// The reader's code, and what it means.
void ShowReadError(int result)
{
    ShowStop(QStringLiteral("Error: Cannot open file.\nLead Error Code:%1 (%2).").arg(short(result)).arg(ImagingResultText(result)));
}

// Draws pixels [x, end) of a page row through the colours of its indices; 0 (the transparent
// entry's) leaves the canvas alone.
void DrawRun(const uchar *s, QRgb *d, int x, int end, const QRgb *colours)
{
    for (; x < end; ++x) {
        const QRgb c = colours[s[x]], under = d[x];
        d[x] = c != 0 ? c : under;
    }
}

// Draws one GIF page (its indices and colour table) onto the canvas at its offset, clipped to the
// canvas; with transparency only the pixels that are not of the page's transparent colour.
void DrawPage(QImage &canvas, const ImagingBitmap &page)
{
    const QRect onCanvas = QRect(page.left, page.top, page.image.width(), page.image.height()) & canvas.rect();
    if (onCanvas.isEmpty())
        return;
    // Each index's colour; 0 (no alpha) for the transparent entry, which the stand-in colour makes
    // the only one of its colour.
    QRgb colours[256] = {};
    int transparent = -1;
    const QRgb key = ColorrefToQRgb(page.transparentColor) & 0xFFFFFF;
    for (int i = 0; i < std::min<int>(256, int(page.palette.size())); ++i) {
        const bool clear = page.transparent && (page.palette[i] & 0xFFFFFF) == key;
        colours[i] = clear ? 0 : page.palette[i] | 0xFF000000u;
        if (clear)
            transparent = i;
    }
    const int sx = onCanvas.left() - page.left;
    const int sy = onCanvas.top() - page.top;
    const int w = onCanvas.width();
    for (int y = 0; y < onCanvas.height(); ++y) {
        const uchar *s = page.image.constScanLine(sy + y) + sx;
        auto *d = reinterpret_cast<QRgb *>(canvas.scanLine(onCanvas.top() + y)) + onCanvas.left();
        int x = 0;
#if defined(__SSE2__)
        // Sixteen pixels at a time: a stretch wholly transparent is passed over.
        const __m128i clearIndex = _mm_set1_epi8(char(transparent));
        for (; transparent >= 0 && x + 16 <= w; x += 16) {
            const __m128i indices = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + x));
            const int clear = _mm_movemask_epi8(_mm_cmpeq_epi8(indices, clearIndex));
            if (clear != 0xFFFF)
                DrawRun(s, d, x, x + 16, colours);
        }
#endif
        if (transparent < 0) {
            for (; x < w; ++x)
                d[x] = colours[s[x]];
        }
        DrawRun(s, d, x, w, colours);
    }
}

} // namespace

void ShowUnlessTurnedOff(std::int32_t *state, const QString &setting, const std::function<bool()> &show)
{
    if (*state == 0) {
        std::uint32_t value = 0;
        if (ReadSettingDword(SettingsHive::User, Profile::ApplicationKey(), setting, &value) == 0)
            *state = value == 2 ? 2 : 1;
    }
    if (*state == 2)
        return;
    if (!show()) {
        *state = 2;
        WriteSettingDword(SettingsHive::User, Profile::ApplicationKey(), setting, 2);
    }
}

void CBannerDoc::ShowGifWarning(CoreContext &context)
{
    ShowUnlessTurnedOff(&context.m_gifWarnState, kGifWarnValue, [] { return Prompts::Instance().ShowGifWarning(); });
}

bool CBannerDoc::ReadGif(const QString &path)
{
    ImagingControl &file = m_context.FileCtrl;
    file.SetCoordinateUnits(3);
    file.ReadFileInfo(path, 0);
    if (file.InfoFormat() != ImagingFormatGif) {
        ShowStop(QStringLiteral("Error: Cannot open file.\nThe file is not a GIF file."));
        return false;
    }
    if (file.InfoWidth() != m_fWidth || file.InfoHeight() != m_fHeight) {
        ShowStop(QStringLiteral("Error: Cannot open file.\nThe file to be opened is not of the standard banner "
                                "size of %1 by %2 pixels.")
                     .arg(int(m_fWidth))
                     .arg(int(m_fHeight)));
        return false;
    }
    ShowGifWarning(m_context);
    return LoadGif(path, file);
}

bool CBannerDoc::LoadGif(const QString &path, ImagingControl &control)
{
    control.SetCoordinateUnits(3);
    const qint64 budget = m_context.m_memoryBudget;
    control.SetMemoryBudget(budget);
    const int width = int(m_fWidth);
    const int height = int(m_fHeight);

    // Composed as decoders show a GIF: on a banner-size canvas in the background colour, each
    // page drawn at its offset through its transparency; a page's disposal applies after it was
    // shown (2 clears its rectangle to the background, 3 restores what lay under it).
    ImagingControl &work = m_context.WorkCtrl;
    std::vector<std::unique_ptr<CBannerFrame>> frames;
    std::optional<GifProgress> progress;
    COLORREF back = 0;
    bool tooLarge = false, noCanvas = false;
    PackedDib block; // the composed picture as a frame's background block
    QImage shown;    // the picture of that block
    QRect changed;   // where the composed picture changed since the block was last brought up to date
    const int result = control.ReadGifPages(path, [&](int k, int pages, const ImagingBitmap &page) {
        if (k == 0) {
            if (MemoryBudget::FramesNeed(pages, width, height) > budget) {
                tooLarge = true;
                return false;
            }
            back = control.BackColor();
            work.SetCoordinateUnits(3);
            work.SetPageList(0);
            work.CreateBitmap(m_fWidth, m_fHeight, 24);
            work.FillColor(back);
            frames.reserve(std::size_t(pages));
            progress.emplace(GifProgress::Task::Import, pages);
        }
        QImage *canvas = work.GetBitmapDC();
        if (!canvas || canvas->width() != width || canvas->height() != height) {
            work.ReleaseBitmapDC();
            noCanvas = true;
            return false;
        }
        const QRect rect = QRect(page.left, page.top, page.image.width(), page.image.height()) & canvas->rect();
        const QImage under = page.disposal == 3 ? canvas->copy(rect) : QImage();
        DrawPage(*canvas, page);
        // Consecutive frames differ only where pages are drawn or disposed of: each frame's block
        // is the one before with the pixels that changed there, composed only when someone looks
        // at it.
        changed |= rect;
        if (block.IsEmpty()) {
            block = work.GetAsDIB();
            shown = canvas->copy();
        } else {
            block = PackedDib::Patched(block, &shown, *canvas, changed);
        }
        changed = QRect();
        work.ReleaseBitmapDC();

        auto frame = std::make_unique<CBannerFrame>(nullptr, 0x00FFFFFF, 1000);
        frame->m_nDelay = std::uint32_t(page.delayMs);
        frame->m_crBackground = back;
        frame->SetBackground(std::make_unique<PackedDib>(block));
        frames.push_back(std::move(frame));

        if (page.disposal == 2 || page.disposal == 3) {
            changed = rect;
            canvas = work.GetBitmapDC();
            for (int y = 0; y < rect.height(); ++y) {
                auto *d = reinterpret_cast<QRgb *>(canvas->scanLine(rect.top() + y)) + rect.left();
                if (page.disposal == 2)
                    std::fill(d, d + rect.width(), ColorrefToQRgb(back));
                else
                    std::memcpy(d, under.constScanLine(y), std::size_t(rect.width()) * sizeof(QRgb));
            }
            work.ReleaseBitmapDC();
        }
        progress->Step(k + 1);
        return true;
    });
    if (result == ImagingErrBudget || tooLarge) {
        ShowStop(MemoryBudget::RefusalMessage(path, budget));
        return false;
    }
    if (result != 0 || noCanvas) {
        ShowReadError(result != 0 ? result : ImagingErrNoMemory);
        return false;
    }
    const int pages = int(frames.size());

    // The document changes only now that every page was read.
    DeleteContents();
    m_frames = std::move(frames);
    // A count of repeats is kept as it is; for ever is -1.
    m_bLoop = pages > 1 && control.AnimationLoop() ? (control.AnimationLoopCount() > 0 ? control.AnimationLoopCount() : -1) : 0;
    m_nCurrentFrame = std::clamp(m_nCurrentFrame, 0, std::max(0, GetFrameCount() - 1));
    if (control.LoadDamage() != 0)
        Prompts::Instance().Message(QStringLiteral("The file is damaged: only its first %1 frames could be read.\n"
                                                   "Lead Error Code:%2 (%3).")
                                        .arg(pages)
                                        .arg(short(control.LoadDamage()))
                                        .arg(ImagingResultText(control.LoadDamage())),
                                    Prompts::Icon::Warning);
    return true;
}
