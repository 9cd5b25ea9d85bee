#pragma once
// The print forms of the command line, which the desktop's print action uses:
//   vellumark --print FILE             prints FILE on the default printer
//   vellumark --print-to PRINTER FILE  prints FILE on the named printer
// without a dialog and without opening the editor's window.
#include <QStringList>
#include <optional>

namespace CommandLinePrint {
// `arguments` as QCoreApplication::arguments() gives them (program first). Nothing when they are
// not a print form; otherwise the exit code: 0 printed, 1 not (the reason on standard error and
// through the registered prompts).
std::optional<int> Run(const QStringList &arguments);
}
