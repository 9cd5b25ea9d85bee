#include "document/GifSizeEstimate.h"

#include "document/BannerFile.h"
#include "document/GifExportSettings.h"
#include "document/GifProgress.h"

#include <QFutureWatcher>
#include <QLocale>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace {
// Long enough that typing or dragging does not start a measurement per key or move.
constexpr int kDefaultDelayMs = 300;

bool SameOptions(const CoreContext::GifExportOptions &a, const CoreContext::GifExportOptions &b)
{
    return a.lossy == b.lossy && a.budget == b.budget && a.dither == b.dither;
}

// Kilobytes of 1024 bytes, rounded up, so a size just over the budget never reads as the budget.
QString Kilobytes(qint64 bytes)
{
    if (bytes < 10 * 1024)
        return QString::number(std::ceil(double(bytes) * 10 / 1024) / 10, 'f', 1);
    return QString::number((bytes + 1023) / 1024);
}
} // namespace

struct GifSizeEstimate::Job {
    quint64 generation;
    QByteArray banner;
    CoreContext::GifExportOptions options;
};

GifSizeEstimate::GifSizeEstimate(CBannerDoc &doc, QThreadPool &pool) : m_doc(doc), m_pool(pool)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kDefaultDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &GifSizeEstimate::Start);
    // Every change of a document goes through its history: a step, an undo or redo, and the
    // reload after a GIF save (which marks the history saved).
    QUndoStack &stack = doc.History().Stack();
    connect(&stack, &QUndoStack::indexChanged, this, &GifSizeEstimate::Refresh);
    connect(&stack, &QUndoStack::cleanChanged, this, &GifSizeEstimate::Refresh);
    Refresh();
}

GifSizeEstimate::~GifSizeEstimate()
{
    // A running measurement holds nothing of ours; it only has to stop soon.
    StopRunning();
}


void GifSizeEstimate::ReadSettings()
{
    const GifExportSettings::Stored stored = GifExportSettings::Read();
    const qint64 budget = GifExportSettings::BudgetBytes(stored);
    // A measurement under way or waiting reads the options when it starts.
    if (!Measuring() && !SameOptions(GifExportSettings::ExportOptions(stored), m_measuredOptions)) {
        Refresh();
    } else if (budget != m_budget) {
        m_budget = budget;
        emit Changed();
    }
}

void GifSizeEstimate::StopRunning()
{
    if (m_stop)
        m_stop->store(true);
    m_stop.reset();
}

void GifSizeEstimate::Refresh()
{
    // What is being measured is out of date already.
    StopRunning();
    m_running = false;
    m_waiting = true;
    m_timer.start();
    emit Changed();
}

void GifSizeEstimate::Start()
{
    // A GIF read or write lets timers run between its pages; the document is not to be read then.
    if (GifProgress::Busy()) {
        GifProgress::WhenIdle([self = QPointer<GifSizeEstimate>(this)] {
            if (self && self->m_waiting && !self->m_timer.isActive())
                self->Start();
        });
        return;
    }
    m_waiting = false;
    const GifExportSettings::Stored stored = GifExportSettings::Read();
    m_budget = GifExportSettings::BudgetBytes(stored);
    Job job{++m_generation, m_doc.History().State(), GifExportSettings::ExportOptions(stored)};
    if (job.banner.isEmpty())
        job.banner = BannerFile::Write(m_doc);
    if ((m_hasSize || m_unavailable) && SameOptions(job.options, m_measuredOptions) && job.banner == m_measuredBanner) {
        emit Changed();
        return;
    }

    m_running = true;
    m_stop = std::make_shared<std::atomic<bool>>(false);
    const auto stop = [flag = m_stop, hook = m_pageHook, page = 0]() mutable {
        if (hook)
            hook(++page);
        return flag->load();
    };
    auto *watcher = new QFutureWatcher<CBannerDoc::GifOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, job] {
        watcher->deleteLater();
        Finished(job, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(&m_pool, &GifSizeEstimate::Measure, job.banner, job.options,
                                         m_doc.Context().m_memoryBudget, std::function<bool()>(stop)));
    emit Changed();
}

void GifSizeEstimate::Finished(const Job &job, const CBannerDoc::GifOutcome &outcome)
{
    // A newer measurement replaced this one (or is waiting to).
    if (job.generation != m_generation || m_waiting || outcome.status == CBannerDoc::GifStatus::Stopped)
        return;
    m_running = false;
    m_stop.reset();
    m_measuredBanner = job.banner;
    m_measuredOptions = job.options;
    const bool sized = outcome.status == CBannerDoc::GifStatus::Ready || outcome.status == CBannerDoc::GifStatus::OverBudget;
    m_hasSize = sized;
    m_unavailable = !sized;
    m_bytes = sized ? outcome.bytes : 0;
    emit Changed();
}

CBannerDoc::GifOutcome GifSizeEstimate::Measure(const QByteArray &banner, const CoreContext::GifExportOptions &options,
                                                qint64 memoryBudget, const std::function<bool()> &stop)
{
    CoreContext context(CoreContext::ForThisThread{memoryBudget});
    CBannerDoc doc(context);
    if (BannerFile::Read(doc, banner) != BannerFile::ReadResult::Ok)
        return {CBannerDoc::GifStatus::NotEncoded, 8, 0};
    return doc.MeasureGif(options, stop);
}

QString GifSizeEstimate::Text() const
{
    QString text;
    if (m_hasSize)
        text = QStringLiteral("GIF %1 KB").arg(Kilobytes(m_bytes));
    else if (m_unavailable)
        text = QStringLiteral("GIF -");
    else
        return QStringLiteral("GIF …");
    return Measuring() ? text + QStringLiteral(" …") : text;
}

QString GifSizeEstimate::Details() const
{
    QString text;
    if (m_hasSize)
        text = QStringLiteral("Saved as a GIF now: %1 bytes").arg(QLocale::system().toString(m_bytes));
    else if (m_unavailable)
        text = QStringLiteral("This banner cannot be saved as a GIF.");
    else
        text = QStringLiteral("Measuring the GIF size…");
    if (m_budget > 0)
        text += QStringLiteral("\nSize budget: %1 bytes").arg(QLocale::system().toString(m_budget));
    return text;
}
