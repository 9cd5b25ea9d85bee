#pragma once
// The end of every benchmark program's main: the offscreen platform unless one is chosen (no
// display is needed to draw into pictures), then the benchmarks named on the command line.
#include <QtGlobal>
#include <benchmark/benchmark.h>

inline void UseOffscreenUnlessSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline int RunBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
