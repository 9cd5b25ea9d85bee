#include "document/CoreContext.h"

#include "document/BannerFrame.h"
#include "document/MemoryBudget.h"

CoreContext::CoreContext() : m_memoryBudget(MemoryBudget::FromSettings())
{
    for (ImagingControl *ctrl : {&RenderCtrl, &FileCtrl, &StampCtrl, &WorkCtrl})
        ctrl->SetCoordinateUnits(3); // pixels
    m_items.stampCtrl = &StampCtrl;
    m_items.workCtrl = &WorkCtrl;
    m_previousItems = ItemContext::Install(&m_items);
}

CoreContext::~CoreContext()
{
    // Clipboard contents go before the controls they were made with.
    FrameClipboard.reset();
    BackgroundClipboard.reset();
    if (&ItemContext::Current() == &m_items)
        ItemContext::Install(m_previousItems);
}
