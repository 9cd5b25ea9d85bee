#include "document/GifProgress.h"

#include <QCoreApplication>
#include <QTimer>
#include <vector>

namespace {
struct State {
    GifProgress::Handler handler;
    qint64 reportEveryMs = 40;
    int running = 0; // GIF reads and writes under way (a save's reload runs inside the save)
    std::vector<std::function<void()>> waiting;
};

State &Current()
{
    static State state;
    return state;
}

void Queue(std::function<void()> action)
{
    if (QCoreApplication::instance())
        QTimer::singleShot(0, QCoreApplication::instance(), std::move(action));
}
} // namespace

void GifProgress::SetHandler(Handler handler)
{
    Current().handler = std::move(handler);
}

void GifProgress::SetReportInterval(int ms)
{
    Current().reportEveryMs = std::max(0, ms);
}

bool GifProgress::Busy()
{
    return Current().running > 0;
}

void GifProgress::WhenIdle(std::function<void()> action)
{
    if (Busy())
        Current().waiting.push_back(std::move(action));
    else
        Queue(std::move(action));
}

GifProgress::GifProgress(Task task, int total) : m_task(task), m_total(total)
{
    ++Current().running;
    m_since.start();
}

GifProgress::~GifProgress()
{
    State &state = Current();
    if (m_done > 0 && state.handler)
        state.handler(m_task, m_total, m_total);
    if (--state.running > 0)
        return;
    // Queued rather than run here: the work's caller finishes first.
    std::vector<std::function<void()>> waiting;
    waiting.swap(state.waiting);
    for (auto &action : waiting)
        Queue(std::move(action));
}

void GifProgress::Step(int done)
{
    m_done = done;
    State &state = Current();
    if (m_since.elapsed() < state.reportEveryMs)
        return;
    m_since.restart();
    if (state.handler)
        state.handler(m_task, done, m_total);
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers);
}
