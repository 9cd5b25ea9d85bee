#pragma once
// The typed settings store that stands in for the registry. Three hives: the user's (read and
// written), the machine's (read only, from the installation) and the classes hive (file-type
// records). A key is a backslash path such as "Software\Corvanta\Vellumark"; its values are
// strings or 32-bit numbers and keep their type. Key and value names compare without case.
#include <QString>
#include <cstdint>
#include <functional>

enum class SettingsHive { User, Machine, Classes };

// 0 and the text when the key and a string value exist; -1 and no text otherwise (missing key
// or value, or a value of another type).
int ReadSettingString(SettingsHive hive, const QString &key, const QString &name, QString *text);
// 0, or -1 when the key does not exist or the store cannot be written. Never creates a key.
int WriteSettingString(SettingsHive hive, const QString &key, const QString &name, const QString &text);
// 0 and the value when a 32-bit number is stored; -1 and 0 otherwise.
int ReadSettingDword(SettingsHive hive, const QString &key, const QString &name, std::uint32_t *value);
int WriteSettingDword(SettingsHive hive, const QString &key, const QString &name, std::uint32_t value);

// Creates a key (and nothing else) in a writable hive; 0 or -1. Start-up creates the
// application's own key with it; the framework's profile entries use it as they need.
int CreateSettingsKey(SettingsHive hive, const QString &key);
bool SettingsKeyExists(SettingsHive hive, const QString &key);
// Deletes a value; 0 when it existed and was removed, else -1.
int DeleteSettingValue(SettingsHive hive, const QString &key, const QString &name);

// Called once for each hive file found damaged (it does not parse): the path it had and the
// path it was kept under ("<file>.bad") before the store went on with default settings. Without
// a handler the damage is logged as a warning. May be called from inside any read.
void SetSettingsDamageHandler(std::function<void(const QString &file, const QString &keptAs)> handler);
// How many times a hive file was read from disk; reads are served from memory while the file
// is unchanged.
std::uint64_t SettingsFileReads();

// The framework's profile entries live in sections under the application key
// (Software\Corvanta\Vellumark\<section>) and are created as needed.
namespace Profile {
void SetApplicationKey(const QString &key);
QString ApplicationKey();
QString GetString(const QString &section, const QString &entry, const QString &fallback = {});
bool WriteString(const QString &section, const QString &entry, const QString &value);
std::uint32_t GetInt(const QString &section, const QString &entry, std::uint32_t fallback);
bool WriteInt(const QString &section, const QString &entry, std::uint32_t value);
}
