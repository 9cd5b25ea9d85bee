#include "document/GifProgress.h"

#include <QCoreApplication>

namespace {
GifProgress::Handler &CurrentHandler()
{
    static GifProgress::Handler handler;
    return handler;
}
constexpr qint64 kReportEveryMs = 40;
} // namespace

void GifProgress::SetHandler(Handler handler)
{
    CurrentHandler() = std::move(handler);
}

GifProgress::GifProgress(Task task, int total) : m_task(task), m_total(total)
{
    m_since.start();
}

GifProgress::~GifProgress()
{
    if (m_done > 0 && CurrentHandler())
        CurrentHandler()(m_task, m_total, m_total);
}

void GifProgress::Step(int done)
{
    m_done = done;
    if (m_since.elapsed() < kReportEveryMs)
        return;
    m_since.restart();
    if (CurrentHandler())
        CurrentHandler()(m_task, done, m_total);
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
