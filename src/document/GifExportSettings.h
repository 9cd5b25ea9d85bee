#pragma once
// The user's GIF export options, kept in the "GifExport" section of the user settings:
//   SizeBudgetKB  the file size a banner should stay within (default 150, 0 = none); the size
//                 estimate turns red above it, and with FitBudget the export goes lossy to meet it
//   FitBudget     0/1: the export picks the least lossy level from Lossy up whose file fits
//   Lossy         the lossy level of every export (0 = exact pages)
//   Dither        0/1: reduce colours with dithering
// With Lossy, FitBudget and Dither at 0 the export writes every page exactly.
#include "document/CoreContext.h"

#include <QtGlobal>

namespace GifExportSettings {

constexpr qint64 kDefaultBudgetKB = 150;

struct Stored {
    qint64 budgetKB = kDefaultBudgetKB;
    bool fitBudget = false;
    int lossy = 0;
    bool dither = false;
};

Stored Read();
bool Write(const Stored &stored);
// The budget in bytes (0 = none), as the size estimate compares it.
qint64 BudgetBytes(const Stored &stored);
// What the export uses: the budget only when the user asked to fit it.
CoreContext::GifExportOptions ExportOptions(const Stored &stored);

} // namespace GifExportSettings
