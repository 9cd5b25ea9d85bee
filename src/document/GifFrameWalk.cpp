#include "document/GifFrameWalk.h"

#include "document/BannerDoc.h"
#include "document/GifColours.h"
#include "document/CoreContext.h"
#include "platform/Parallel.h"
#include "platform/imaging/ImagingControl.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace GifFrameWalk {
namespace {

// Below this many frames a second thread costs more than it saves.
constexpr int kMinFramesToSplit = 16;
int g_minFramesToSplit = 0; // 0: kMinFramesToSplit, when the machine has a second core

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

// Frame differencing: every page after the first keeps only the rectangle in which it differs
// from what a viewer shows after the pages before it (disposal 1 leaves each page in place, so
// that is the page before), and the pixels in it that stay as they were become transparent. The
// transparent colour is known only once every page was seen, so those pixels are marked until
// then; a mark has alpha 0, which no pixel of a page has (they are kept opaque, and a GIF carries
// no alpha).
class ChangedPages {
public:
    // For a run of pages that does not start the animation: the page a viewer shows before them.
    void StartAfter(const QImage &before) { m_composed = before; }

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
                int x = 0;
#if defined(__SSE2__)
                // Four pixels at a time: a pixel as it was becomes the mark (0), and what a
                // viewer shows takes the page's pixels, changed or not.
                static_assert(kMark == 0);
                const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
                for (; x + 4 <= changed.width(); x += 4) {
                    const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + x));
                    const __m128i was = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q + x));
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x),
                                     _mm_andnot_si128(_mm_cmpeq_epi32(now, was), _mm_or_si128(now, opaque)));
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(q + x), now);
                }
#endif
                for (; x < changed.width(); ++x) {
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
        m_pages.push_back(std::move(page));
    }

    // The pages of the run that followed this one's.
    void Append(ChangedPages &&later)
    {
        m_pages.insert(m_pages.end(), std::make_move_iterator(later.m_pages.begin()),
                       std::make_move_iterator(later.m_pages.end()));
        m_composed = std::move(later.m_composed);
    }

    void Clear()
    {
        m_pages.clear();
        m_composed = QImage();
    }

    // Appends the pages to the control's page list, with the transparent colour at `index` and
    // the marked pixels that colour.
    void Finish(ImagingControl &file, COLORREF colour, int index)
    {
        // The pages after the first are each the only holder of their pixels: the marks turn
        // into the colour in place, the pages spread over the cores.
        const QRgb key = ColorrefToQRgb(colour) | 0xFF000000u;
        Parallel::ForEachItem(m_pages.size() > 1 ? m_pages.size() - 1 : 0, [&](std::size_t k) {
            QImage &page = m_pages[k + 1].image;
            auto *pixels = reinterpret_cast<QRgb *>(page.bits());
            // Every pixel written, so that the loop compiles to vector instructions.
            for (qsizetype i = 0, n = qsizetype(page.width()) * page.height(); i < n; ++i)
                pixels[i] = pixels[i] == kMark ? key : pixels[i];
        });
        for (const ImagingBitmap &page : m_pages)
            file.InsertPage(-1, page);
        m_pages.clear();
        for (int k = 0; k < file.PageCount(); ++k) {
            file.SetPageIndex(k);
            file.SetPageUserPaletteEntry(index, colour);
            if (k > 0)
                file.SetPageTransparentColor(colour);
        }
    }

private:
    static constexpr QRgb kMark = 0;
    std::vector<ImagingBitmap> m_pages;
    QImage m_composed; // what a viewer shows after the pages so far
};

// The frame at which the later run of a walk starts; the frame count when there is one run.
int SplitAt(int n, bool oneRun)
{
    const bool forced = g_minFramesToSplit > 0;
    const int least = forced ? g_minFramesToSplit : kMinFramesToSplit;
    if (n < std::max(least, 2) || (!forced && (oneRun || Parallel::Cores() < 2)))
        return n;
    return (n + 1) / 2;
}

// The thread of the later runs. It starts with the walk, so that it is awake by the time the
// first run has rendered its first frame (waking an idle core takes a while), and takes the later
// run of each walk in turn; without a thread to be had, Finish runs them on the calling one. The
// runs render through a context of the thread's own (its controls and item context), so that
// picture items never touch the other thread's.
// Between the runs and while the calling thread waits for one, both stay awake (giving way to any
// other thread of their core) rather than sleep: the sleeping core of a virtual machine can take
// milliseconds to wake, and the waits are short.
class LaterRuns {
public:
    using Run = std::function<void(ImagingControl &render, const std::atomic<bool> &stop, std::atomic<int> &done)>;

    LaterRuns(const CBannerDoc &doc, bool wanted, std::atomic<bool> &stop) : m_doc(doc), m_stop(stop)
    {
        if (!wanted)
            return;
        try {
            m_thread = std::thread([this] { Serve(); });
            Parallel::KeepOffCallersCore(m_thread, 0);
        } catch (const std::system_error &) {
        }
    }
    ~LaterRuns()
    {
        m_stop = true;
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
            m_signal = true;
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    LaterRuns(const LaterRuns &) = delete;
    LaterRuns &operator=(const LaterRuns &) = delete;

    // Starts a run on the thread; after the last one (`last`) the thread ends.
    void Start(Run run, bool last)
    {
        // The caller may have moved to the core the thread was kept to since the last run.
        if (m_thread.joinable())
            Parallel::KeepOffCallersCore(m_thread, 0);
        std::lock_guard lock(m_mutex);
        m_done = 0;
        m_run = std::move(run);
        m_last = last;
        m_busy = true;
        m_signal = true;
        m_wake.notify_all();
    }

    // Waits for the run, calling report() now and then meanwhile; false when report() said to
    // stop. What the run threw is thrown here.
    bool Finish(const std::function<bool()> &report)
    {
        if (!m_thread.joinable() && m_run) {
            CoreContext own(OwnContext());
            m_doc.PrepareRendering(own.RenderCtrl);
            m_run(own.RenderCtrl, m_stop, m_done);
            m_run = nullptr;
            m_busy = false;
        }
        for (auto next = Clock::now() + kReportEvery; m_busy;) {
            if (Clock::now() >= next) {
                if (!report())
                    return false;
                next = Clock::now() + kReportEvery;
            }
            std::this_thread::yield();
        }
        std::lock_guard lock(m_mutex);
        m_done = 0;
        if (m_failure)
            std::rethrow_exception(std::exchange(m_failure, nullptr));
        return true;
    }

    // Frames done by the run started last, until it is finished.
    int Done() const { return m_done; }

private:
    CoreContext::ForThisThread OwnContext() const { return {m_doc.Context().m_memoryBudget}; }

    void Serve()
    {
        CoreContext own(OwnContext());
        m_doc.PrepareRendering(own.RenderCtrl);
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_quit || m_busy; });
            if (m_quit)
                return;
            Run run = std::move(m_run);
            const bool last = m_last;
            m_signal = false;
            lock.unlock();
            try {
                run(own.RenderCtrl, m_stop, m_done);
            } catch (...) {
                m_failure = std::current_exception();
            }
            lock.lock();
            m_busy = false;
            if (last)
                return;
            // The next run comes once the palette is chosen, or the walk ends.
            lock.unlock();
            for (const auto until = Clock::now() + kStayAwake; !m_signal && Clock::now() < until;)
                std::this_thread::yield();
            lock.lock();
        }
    }

    using Clock = std::chrono::steady_clock;
    static constexpr auto kReportEvery = std::chrono::milliseconds(20);
    static constexpr auto kStayAwake = std::chrono::milliseconds(20);

    const CBannerDoc &m_doc;
    std::atomic<bool> &m_stop;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Run m_run;
    bool m_last = false;
    std::atomic<bool> m_busy{false};   // a run was started and has not finished
    std::atomic<bool> m_signal{false}; // a run was started, or the walk ends, since the thread looked
    bool m_quit = false;
    std::exception_ptr m_failure;
    std::atomic<int> m_done{0};
};

} // namespace

void SetMinFramesToSplit(int frames)
{
    g_minFramesToSplit = std::max(0, frames);
}

Outcome Walk(const CBannerDoc &doc, ImagingControl &render, ImagingControl &file, bool dither,
             const std::function<bool(int)> &pageDone, bool oneRun)
{
    const int n = doc.GetFrameCount();
    const int split = SplitAt(n, oneRun);
    GifColours::ExportColours colours(dither);
    ChangedPages pages;
    std::atomic<bool> stop{false};
    std::atomic<bool> reducing{false}; // some page of the first walk has too many colours
    // Progress counts both walks as one pass over the frames; k frames of the walk are done.
    int reported = 0;
    const auto step = [&](int walk, int k) {
        reported = std::max(reported, (walk * n + k - 1) / (reducing ? 2 : 1));
        if (k == 1 || pageDone(reported))
            return true;
        stop = true;
        return false;
    };

    const auto survey = [&reducing](GifColours::ExportColours &c, ChangedPages &p, const ImagingBitmap &frame) {
        if (c.Survey(frame.image) && !reducing) {
            p.Add(frame);
        } else {
            reducing = true;
            p.Clear();
        }
    };
    // What the later runs work on outlives their thread, which `later` stops and waits for first.
    GifColours::ExportColours laterColours(dither);
    GifColours::ExportColours::WrittenRun laterRun;
    ChangedPages laterPages;
    std::atomic<bool> failed{false};
    LaterRuns later(doc, split < n, stop);

    // First walk. Frame 0 decides how the colours of the others are counted, so it comes first.
    survey(colours, pages, doc.RenderFrame(0, render));
    step(0, 1);
    laterColours = colours.Continuation();
    if (split < n)
        later.Start([&](ImagingControl &own, const std::atomic<bool> &stopped, std::atomic<int> &done) {
            laterPages.StartAfter(doc.RenderFrame(split - 1, own).image);
            for (int k = split; k < n && !stopped; ++k, ++done)
                survey(laterColours, laterPages, doc.RenderFrame(k, own));
        }, false);
    for (int k = 1; k < split; ++k) {
        survey(colours, pages, doc.RenderFrame(k, render));
        if (!step(0, k + 1 + later.Done()))
            return Outcome::Stopped;
    }
    if (!later.Finish([&] { return step(0, split + later.Done()); }))
        return Outcome::Stopped;
    if (split < n) {
        colours.Append(std::move(laterColours));
        if (colours.Reducing())
            pages.Clear();
        else
            pages.Append(std::move(laterPages));
    }

    // Second walk, when pages have too many colours: the pages again, mapped to the palette the
    // first walk chose.
    if (colours.Reducing()) {
        if (!colours.Choose())
            return Outcome::NoTransparentColor;
        const int from = colours.SecondWalkSplits() ? split : n;
        laterPages.Clear();
        if (from < n) {
            laterRun.crowded.cache = std::make_unique<ColorQuant::Histogram::Cache>();
            later.Start([&, from](ImagingControl &own, const std::atomic<bool> &stopped, std::atomic<int> &done) {
                // The page before the run, as written, is what its first page is compared with.
                const QImage before = colours.Reduce(from - 1, doc.RenderFrame(from - 1, own).image, laterRun);
                laterPages.StartAfter(before);
                for (int k = from; k < n && !stopped && !before.isNull(); ++k, ++done) {
                    ImagingBitmap frame = doc.RenderFrame(k, own);
                    frame.image = colours.Reduce(k, frame.image, laterRun);
                    if (frame.image.isNull())
                        break;
                    laterPages.Add(frame);
                }
                failed = done < n - from && !stopped;
            }, true);
        }
        for (int k = 0; k < from; ++k) {
            ImagingBitmap frame = doc.RenderFrame(k, render);
            frame.image = colours.Reduce(k, frame.image);
            if (frame.image.isNull()) {
                stop = true;
                return Outcome::NoTransparentColor;
            }
            pages.Add(frame);
            if (!step(1, k + 1 + later.Done()))
                return Outcome::Stopped;
        }
        if (!later.Finish([&] { return step(1, from + later.Done()); }))
            return Outcome::Stopped;
        if (failed)
            return Outcome::NoTransparentColor;
        if (from < n) {
            colours.Append(std::move(laterRun));
            pages.Append(std::move(laterPages));
        }
    }

    int index = -1;
    const COLORREF colour = colours.TransparentColour(&index);
    if (index == -1)
        return Outcome::NoTransparentColor;
    pages.Finish(file, colour, index);
    return Outcome::Ready;
}

} // namespace GifFrameWalk
