#include "ConsolePrompts.h"

#include <cstdio>

Prompts::Answer ConsolePrompts::Message(const QString &text, Icon, Buttons buttons)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::No;
}
