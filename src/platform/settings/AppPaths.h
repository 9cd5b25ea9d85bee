#pragma once
// Where per-user and installed files live. VELLUMARK_HOME, when set, roots everything per user
// (settings, data folder, desktop registration, single-instance socket): tests set it to a
// temporary folder so they never touch the user's own files.
#include <QString>

namespace AppPaths {
// $VELLUMARK_HOME, or empty when unset.
QString Home();
// Folder of the user settings files: $VELLUMARK_HOME/config, else $XDG_CONFIG_HOME/vellumark.
QString UserConfigDir();
// Per-user data folder (VKDir): $VELLUMARK_HOME/data, else $XDG_DATA_HOME/vellumark.
QString UserDataDir();
// Where the editors keep copies of their open modified banners for after a crash: <data>/Recovery.
QString RecoveryDir();
// Where the desktop entry and mime type are registered: $VELLUMARK_HOME/share, else $XDG_DATA_HOME.
QString DesktopDataDir();
// A folder for the user's sockets that only the user may enter: $XDG_RUNTIME_DIR when it is
// such a folder, else <temp>/vellumark-<uid> (made 0700); empty when neither is private.
QString PrivateRuntimeDir();
// Full path of the single-instance local socket inside PrivateRuntimeDir(); per user, and per
// VELLUMARK_HOME when set. Empty when there is no private folder for it.
QString InstanceSocketName();
// The read-only machine settings file: $VELLUMARK_HOME/machine when it exists, else the
// file beside the executable (a build tree), else the installed one.
QString MachineSettingsFile();
// The installed shared data folder (pages under Misc/, help): beside the executable in a build
// tree (../share/vellumark), else the installed prefix.
QString SharedDataDir();
// Creates the per-user data folder and copies every installed page that is missing from it,
// so the program can write into VKDir/Misc. Returns false when the folder cannot be made.
bool PrepareUserDataDir();
}
