#pragma once
// Registers the editor with the desktop for the current user at every start: a menu entry that
// opens files, the .bnr file type (shared-mime-info) with its icon, and the file-type records
// of the classes hive.
#include <QString>

namespace DesktopIntegration {
// The value name under which a classes-hive key keeps its default value.
inline const QString kDefaultValue = QStringLiteral("(Default)");
// Writes the desktop entry, mime type and icons under AppPaths::DesktopDataDir() with `exePath`
// as the program, and the ".bnr" / "Vellumark.Document" records in the classes hive; then asks
// update-mime-database and update-desktop-database (when installed) to refresh their caches
// without waiting for them. False when a file could not be written.
bool RegisterFileType(const QString &exePath);
// The desktop entry text for `exePath`.
QString DesktopEntry(const QString &exePath);
}
