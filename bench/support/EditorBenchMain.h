#pragma once
// The main of the benchmarks that drive the editor's windows: the offscreen platform unless one
// is chosen, the application started as without arguments (one new banner) in a 1280 x 800 main
// window, reachable through `app` while the benchmarks named on the command line run.
#include "shell/CBannerApp.h"
#include "shell/CMainFrame.h"
#include "support/BenchMain.h"

#include <QApplication>

inline int RunEditorBenchmarks(int argc, char **argv, CBannerApp *&app)
{
    UseOffscreenUnlessSet();
    QApplication qapp(argc, argv);
    CBannerApp banner;
    if (!banner.InitInstance({}))
        return 1;
    banner.MainFrame()->resize(1280, 800);
    app = &banner;
    const int result = RunBenchmarks(argc, argv);
    app = nullptr;
    return result;
}
