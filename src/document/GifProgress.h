#pragma once
// Long GIF reads and writes run on the interface thread with the shared hidden controls. Between
// pages they report how far they got to the registered handler (the editor's progress display,
// the batch tool's terminal line) and let pending events such as repaints and timers run. User
// input and socket notifications wait until the work is done. Whatever else those events would
// start on a document or the shared controls (commands, closing a window, a recovery save, an
// estimate) must not run halfway through: while Busy() it goes to WhenIdle instead.
#include <QElapsedTimer>
#include <functional>

class GifProgress {
public:
    enum class Task { Import, Export };
    // done pages of total; called with done == total once at the end.
    using Handler = std::function<void(Task task, int done, int total)>;

    // One handler for the process; an empty one removes it.
    static void SetHandler(Handler handler);
    // How often events are let through, at most (tests make it every page).
    static void SetReportInterval(int ms);

    // True while a GIF read or write is under way.
    static bool Busy();
    // Runs `action` from the event loop once no GIF work is under way: queued behind the events
    // pending then, in the order given.
    static void WhenIdle(std::function<void()> action);

    GifProgress(Task task, int total);
    ~GifProgress();
    GifProgress(const GifProgress &) = delete;
    GifProgress &operator=(const GifProgress &) = delete;

    // After each page; reports and processes events at most every few tens of milliseconds.
    void Step(int done);

private:
    Task m_task;
    int m_total;
    int m_done = 0;
    QElapsedTimer m_since;
};
