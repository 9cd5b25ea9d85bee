#include "document/CoreContext.h"

#include "document/BannerFrame.h"
#include "document/MemoryBudget.h"

namespace {
void UsePixels(CoreContext &context)
{
    for (ImagingControl *ctrl : {&context.RenderCtrl, &context.FileCtrl, &context.StampCtrl, &context.WorkCtrl})
        ctrl->SetCoordinateUnits(3);
}
} // namespace

CoreContext::CoreContext() : m_memoryBudget(MemoryBudget::FromSettings())
{
    UsePixels(*this);
    m_items.stampCtrl = &StampCtrl;
    m_items.workCtrl = &WorkCtrl;
    m_previousItems = ItemContext::Install(&m_items);
}

CoreContext::CoreContext(ForThisThread thread) : m_memoryBudget(thread.memoryBudget), m_thisThreadOnly(true)
{
    UsePixels(*this);
    m_items.stampCtrl = &StampCtrl;
    m_items.workCtrl = &WorkCtrl;
    m_previousItems = ItemContext::InstallForThread(&m_items);
}

CoreContext::~CoreContext()
{
    // Clipboard contents go before the controls they were made with.
    FrameClipboard.reset();
    BackgroundClipboard.reset();
    if (m_thisThreadOnly)
        ItemContext::InstallForThread(m_previousItems);
    else if (&ItemContext::Current() == &m_items)
        ItemContext::Install(m_previousItems);
}
