#include "items/ItemContext.h"

#include <utility>

namespace {
ItemContext g_empty;
ItemContext *g_installed = nullptr;
thread_local ItemContext *t_installed = nullptr;
}

ItemContext &ItemContext::Current()
{
    if (t_installed)
        return *t_installed;
    return g_installed ? *g_installed : g_empty;
}

ItemContext *ItemContext::InstallForThread(ItemContext *context)
{
    return std::exchange(t_installed, context);
}

ItemContext *ItemContext::Install(ItemContext *context)
{
    ItemContext *previous = g_installed;
    g_installed = context;
    return previous;
}
