#pragma once
// How much memory the frames of one banner may take. A file whose frames would need more is
// refused before they are allocated, so an outside file cannot make the editor exhaust the
// machine. The limit is the MemoryBudgetMB setting under the application's key (user settings
// first, then the installation's), 1024 MB when unset.
#include <QString>
#include <QtGlobal>

namespace MemoryBudget {

constexpr qint64 kDefaultMB = 1024;

// The budget in bytes, from the settings.
qint64 FromSettings();
// The most `frames` frames of width x height take: each as its 24-bit picture, and once more
// rendered at 32 bits while it is exported or played.
qint64 FramesNeed(qint64 frames, int width, int height);
// What a refused file says.
QString RefusalMessage(const QString &path, qint64 budget);

} // namespace MemoryBudget
