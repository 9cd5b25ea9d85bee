#pragma once
// GifSizeEstimate: the size the GIF export of one document would have now, kept up to date in
// the background for the status bar. A change of the document (a step of its history, an undo or
// redo, a save) restarts a short wait; then the document's banner file bytes, which its history
// already holds, go to a worker thread that reads them into a document and controls of its own
// and measures the GIF with the export's own code, with the options the export would use. A
// change while a measurement runs stops it at its next page and starts another; only the
// result of the newest one is kept.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>

class QThreadPool;

class GifSizeEstimate : public QObject {
    Q_OBJECT
public:
    // Measures `doc` on `pool` (whose threads must not outlive the application's fonts); both
    // must outlive the estimate. The first measurement starts after the wait.
    GifSizeEstimate(CBannerDoc &doc, QThreadPool &pool);
    ~GifSizeEstimate() override;

    // After the wait, re-reads the export options and the size budget (the user may have changed
    // them) and measures again unless the document and the options are as last measured.
    void Refresh();
    // Re-reads the settings now: a new budget shows at once, new export options measure again.
    void ReadSettings();

    // A measurement is waiting or running; the last result stays readable meanwhile.
    bool Measuring() const { return m_waiting || m_running; }
    // A measurement finished and the export would write a file of Bytes() bytes (the smallest
    // it reaches when no lossy level fits the budget it is asked to fit).
    bool HasSize() const { return m_hasSize; }
    qint64 Bytes() const { return m_bytes; }
    // A measurement finished and the export would write no file at all.
    bool Unavailable() const { return m_unavailable; }
    // The size budget in bytes as last read (0: none), and whether the size exceeds it.
    qint64 Budget() const { return m_budget; }
    bool OverBudget() const { return m_hasSize && m_budget > 0 && m_bytes > m_budget; }
    // "GIF 123 KB", "GIF 4.5 KB"; with "…" after it while a newer measurement is under way, and
    // "GIF …" before the first result.
    QString Text() const;
    // The exact size and the budget, for a tool tip.
    QString Details() const;

    // The measurement itself, on the calling thread: what SaveAsGif would write for the banner
    // file bytes, read into a document with a context of its own.
    static CBannerDoc::GifOutcome Measure(const QByteArray &banner, const CoreContext::GifExportOptions &options,
                                          qint64 memoryBudget, const std::function<bool()> &stop);

    // Tests: how long the wait after a change lasts, and a call on the worker thread after each
    // page of every measurement (1, 2, ...), so a test can hold a measurement halfway.
    void SetDelay(int ms) { m_timer.setInterval(ms); }
    void SetPageHook(std::function<void(int page)> hook) { m_pageHook = std::move(hook); }

signals:
    // Any of the values above changed.
    void Changed();

private:
    struct Job;
    void Start();
    void Finished(const Job &job, const CBannerDoc::GifOutcome &outcome);
    void StopRunning();

    CBannerDoc &m_doc;
    QThreadPool &m_pool;
    QTimer m_timer;
    bool m_waiting = false;
    bool m_running = false;
    bool m_hasSize = false;
    bool m_unavailable = false;
    qint64 m_bytes = 0;
    qint64 m_budget = 0;
    // What the last finished measurement measured: the same again needs no new one.
    QByteArray m_measuredBanner;
    CoreContext::GifExportOptions m_measuredOptions;
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<bool>> m_stop;
    std::function<void(int)> m_pageHook;
};
