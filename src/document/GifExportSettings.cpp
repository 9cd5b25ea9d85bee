#include "document/GifExportSettings.h"

#include "platform/settings/Settings.h"

#include <QString>

#include <algorithm>

namespace GifExportSettings {
namespace {
const QString kSection = QStringLiteral("GifExport");
}

Stored Read()
{
    Stored stored;
    stored.budgetKB = Profile::GetInt(kSection, QStringLiteral("SizeBudgetKB"), std::uint32_t(kDefaultBudgetKB));
    stored.fitBudget = Profile::GetInt(kSection, QStringLiteral("FitBudget"), 0) != 0;
    // Levels past what the encoder takes would only make every colour run merge.
    stored.lossy = int(std::min<std::uint32_t>(Profile::GetInt(kSection, QStringLiteral("Lossy"), 0), 255));
    stored.dither = Profile::GetInt(kSection, QStringLiteral("Dither"), 0) != 0;
    return stored;
}

bool Write(const Stored &stored)
{
    bool ok = Profile::WriteInt(kSection, QStringLiteral("SizeBudgetKB"), std::uint32_t(std::max<qint64>(stored.budgetKB, 0)));
    ok = Profile::WriteInt(kSection, QStringLiteral("FitBudget"), stored.fitBudget ? 1 : 0) && ok;
    ok = Profile::WriteInt(kSection, QStringLiteral("Lossy"), std::uint32_t(std::max(stored.lossy, 0))) && ok;
    ok = Profile::WriteInt(kSection, QStringLiteral("Dither"), stored.dither ? 1 : 0) && ok;
    return ok;
}

qint64 BudgetBytes(const Stored &stored)
{
    return std::max<qint64>(stored.budgetKB, 0) * 1024;
}

CoreContext::GifExportOptions ExportOptions(const Stored &stored)
{
    CoreContext::GifExportOptions options;
    options.lossy = stored.lossy;
    options.budget = stored.fitBudget ? BudgetBytes(stored) : 0;
    options.dither = stored.dither;
    return options;
}

} // namespace GifExportSettings
