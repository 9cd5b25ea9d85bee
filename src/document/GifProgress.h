#pragma once
// Long GIF reads and writes run on the interface thread with the shared hidden controls. Between
// pages they report how far they got to the registered handler (the editor's progress display,
// the batch tool's terminal line) and let pending events such as repaints run. User input waits
// until the work is done, so nothing can change the document halfway through.
#include <QElapsedTimer>
#include <functional>

class GifProgress {
public:
    enum class Task { Import, Export };
    // done pages of total; called with done == total once at the end.
    using Handler = std::function<void(Task task, int done, int total)>;

    // One handler for the process; an empty one removes it.
    static void SetHandler(Handler handler);

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
