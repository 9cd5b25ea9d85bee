#include "document/MemoryBudget.h"

#include "platform/settings/Settings.h"

#include <QFileInfo>

namespace MemoryBudget {

qint64 FromSettings()
{
    std::uint32_t mb = 0;
    for (SettingsHive hive : {SettingsHive::User, SettingsHive::Machine})
        if (ReadSettingDword(hive, Profile::ApplicationKey(), QStringLiteral("MemoryBudgetMB"), &mb) == 0 && mb > 0)
            return qint64(mb) * 1024 * 1024;
    return kDefaultMB * 1024 * 1024;
}

qint64 FramesNeed(qint64 frames, int width, int height)
{
    return frames * qint64(std::max(width, 0)) * std::max(height, 0) * (3 + 4);
}

QString RefusalMessage(const QString &path, qint64 budget)
{
    return QStringLiteral("Cannot open the file \"%1\": its frames would need more than the %2 MB of memory a banner "
                          "may use (setting MemoryBudgetMB).")
        .arg(QFileInfo(path).fileName())
        .arg(budget / (1024 * 1024));
}

} // namespace MemoryBudget
