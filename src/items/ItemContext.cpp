#include "items/ItemContext.h"

namespace {
ItemContext g_empty;
ItemContext *g_installed = nullptr;
}

ItemContext &ItemContext::Current()
{
    return g_installed ? *g_installed : g_empty;
}

ItemContext *ItemContext::Install(ItemContext *context)
{
    ItemContext *previous = g_installed;
    g_installed = context;
    return previous;
}
