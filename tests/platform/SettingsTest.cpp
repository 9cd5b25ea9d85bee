#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/settings/AppPaths.h"
#include "platform/settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kKey = QStringLiteral("Software\\Corvanta\\Vellumark");

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Each test starts from an empty user store.
        QDir(AppPaths::UserConfigDir()).removeRecursively();
    }
};
} // namespace

TEST_F(SettingsTest, WritesNeverCreateKeys)
{
    EXPECT_EQ(WriteSettingString(SettingsHive::User, kKey, "DefUsrName", "ann"), -1);
    EXPECT_EQ(WriteSettingDword(SettingsHive::User, kKey, "RememberInfo", 1), -1);
    EXPECT_FALSE(SettingsKeyExists(SettingsHive::User, kKey));
    QString text = "untouched";
    EXPECT_EQ(ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &text), -1);
    EXPECT_EQ(text, "untouched");
}

TEST_F(SettingsTest, ValuesRoundTripPerHiveAndKeepTheirType)
{
    for (SettingsHive hive : {SettingsHive::User, SettingsHive::Classes}) {
        ASSERT_EQ(CreateSettingsKey(hive, kKey), 0);
        EXPECT_EQ(WriteSettingString(hive, kKey, "DefUsrName", QString::fromUtf8("Zoë €")), 0);
        EXPECT_EQ(WriteSettingDword(hive, kKey, "GifWarnDlg", 4294967295u), 0);

        QString text;
        EXPECT_EQ(ReadSettingString(hive, kKey, "DefUsrName", &text), 0);
        EXPECT_EQ(text, QString::fromUtf8("Zoë €"));
        std::uint32_t value = 7;
        EXPECT_EQ(ReadSettingDword(hive, kKey, "GifWarnDlg", &value), 0);
        EXPECT_EQ(value, 4294967295u);

        // A value of the other type reads as missing.
        value = 7;
        EXPECT_EQ(ReadSettingDword(hive, kKey, "DefUsrName", &value), -1);
        EXPECT_EQ(value, 0u);
        EXPECT_EQ(ReadSettingString(hive, kKey, "GifWarnDlg", &text), -1);

        // Overwriting with the other type replaces the type too.
        EXPECT_EQ(WriteSettingDword(hive, kKey, "DefUsrName", 2), 0);
        EXPECT_EQ(ReadSettingString(hive, kKey, "DefUsrName", &text), -1);
        EXPECT_EQ(ReadSettingDword(hive, kKey, "defusrname", &value), 0);
        EXPECT_EQ(value, 2u);
    }
    // The hives are separate stores.
    EXPECT_EQ(DeleteSettingValue(SettingsHive::Classes, kKey, "GifWarnDlg"), 0);
    std::uint32_t value = 0;
    EXPECT_EQ(ReadSettingDword(SettingsHive::User, kKey, "GifWarnDlg", &value), 0);
    EXPECT_EQ(ReadSettingDword(SettingsHive::Classes, kKey, "GifWarnDlg", &value), -1);
}

TEST_F(SettingsTest, MachineHiveIsReadOnlyAndHoldsTheInstallationValues)
{
    QString dir, help;
    ASSERT_EQ(ReadSettingString(SettingsHive::Machine, kKey, "VKDir", &dir), 0);
    EXPECT_EQ(dir, AppPaths::UserDataDir());
    ASSERT_EQ(ReadSettingString(SettingsHive::Machine, kKey, "HelpURL", &help), 0);
    EXPECT_TRUE(help.startsWith("file://")) << help.toStdString();
    EXPECT_TRUE(QFileInfo::exists(help.mid(7))) << help.toStdString();
    EXPECT_EQ(CreateSettingsKey(SettingsHive::Machine, "Software\\Other"), -1);
    EXPECT_EQ(WriteSettingString(SettingsHive::Machine, kKey, "VKDir", "/tmp"), -1);
}

TEST_F(SettingsTest, MachineFileInHomeTakesPrecedence)
{
    const QString path = AppPaths::Home() + "/machine";
    ASSERT_TRUE(TestSupport::WriteFile(
        path, R"({"keys":{"Software\\Corvanta\\Vellumark":{"HelpURL":{"sz":"http://help.example/"}}}})"));
    QString help;
    EXPECT_EQ(ReadSettingString(SettingsHive::Machine, kKey, "HelpURL", &help), 0);
    EXPECT_EQ(help, "http://help.example/");
    QFile::remove(path);
}

TEST_F(SettingsTest, FailedWriteLeavesThePreviousFileIntact)
{
    ASSERT_EQ(CreateSettingsKey(SettingsHive::User, kKey), 0);
    ASSERT_EQ(WriteSettingString(SettingsHive::User, kKey, "DefUsrName", "before"), 0);
    const QString file = AppPaths::UserConfigDir() + "/user.json";
    const QByteArray before = TestSupport::ReadFile(file);
    // A folder that cannot be written stands in for a crash between writing and renaming:
    // the temporary file cannot be made, and the old one must be left as it was.
    QFile::setPermissions(AppPaths::UserConfigDir(), QFile::ReadOwner | QFile::ExeOwner);
    const bool rootBypassesPermissions = QFileInfo(AppPaths::UserConfigDir()).isWritable();
    const int result = WriteSettingString(SettingsHive::User, kKey, "DefUsrName", "after");
    QFile::setPermissions(AppPaths::UserConfigDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!rootBypassesPermissions) {
        EXPECT_EQ(result, -1);
        EXPECT_EQ(TestSupport::ReadFile(file), before);
    }
    // A torn temporary file left beside the store by a crash is never read.
    TestSupport::WriteFile(file + ".XXXX", "{garbage");
    QString text;
    EXPECT_EQ(ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &text), 0);
    EXPECT_EQ(text, rootBypassesPermissions ? "after" : "before");
    // A store the user made read-only is refused like any other read-only file, not replaced.
    const QByteArray kept = TestSupport::ReadFile(file);
    QFile::setPermissions(file, QFile::ReadOwner);
    EXPECT_EQ(WriteSettingString(SettingsHive::User, kKey, "DefUsrName", "replaced"), -1);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(TestSupport::ReadFile(file), kept);
}

TEST_F(SettingsTest, DamagedStoreIsKeptAsideAndReportedOnceBeforeItIsReplaced)
{
    QStringList reports;
    SetSettingsDamageHandler([&](const QString &file, const QString &kept) { reports << file << kept; });
    QDir().mkpath(AppPaths::UserConfigDir());
    const QString file = AppPaths::UserConfigDir() + "/user.json";
    const QByteArray damaged = "{\"keys\": {\"Software\\\\Corvanta\\\\Vellumark\": {\"DefUsrName\": {\"sz\": \"ann\"}}";
    ASSERT_TRUE(TestSupport::WriteFile(file, damaged));
    QString text;
    EXPECT_EQ(ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &text), -1);
    EXPECT_EQ(ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &text), -1);
    EXPECT_EQ(CreateSettingsKey(SettingsHive::User, kKey), 0);
    EXPECT_EQ(WriteSettingString(SettingsHive::User, kKey, "DefUsrName", "x"), 0);
    SetSettingsDamageHandler(nullptr);
    EXPECT_EQ(reports, (QStringList{file, file + ".bad"}));
    EXPECT_EQ(TestSupport::ReadFile(file + ".bad"), damaged);
    EXPECT_EQ(ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &text), 0);
    EXPECT_EQ(text, "x");
}

TEST_F(SettingsTest, ReadsComeFromMemoryUntilTheFileChangesOnDisk)
{
    ASSERT_EQ(CreateSettingsKey(SettingsHive::User, kKey), 0);
    ASSERT_EQ(WriteSettingString(SettingsHive::User, kKey, "DefUsrName", "ann"), 0);
    const std::uint64_t before = SettingsFileReads();
    QString text;
    for (int i = 0; i < 16; ++i)
        ASSERT_EQ(ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &text), 0);
    EXPECT_EQ(text, "ann");
    EXPECT_EQ(SettingsFileReads(), before);
    // Another editor replaces the file: the next read sees its value.
    const QString file = AppPaths::UserConfigDir() + "/user.json";
    QByteArray other = TestSupport::ReadFile(file);
    other.replace("\"ann\"", "\"bob\"");
    ASSERT_TRUE(TestSupport::WriteFile(file + ".new", other));
    ASSERT_TRUE(QFile::remove(file) && QFile::rename(file + ".new", file));
    EXPECT_EQ(ReadSettingString(SettingsHive::User, kKey, "DefUsrName", &text), 0);
    EXPECT_EQ(text, "bob");
    EXPECT_EQ(SettingsFileReads(), before + 1);
}

TEST_F(SettingsTest, ProfileEntriesAreCreatedAsNeeded)
{
    EXPECT_EQ(Profile::GetString("Settings", "WindowPos", "none"), "none");
    EXPECT_TRUE(Profile::WriteString("Settings", "WindowPos", "0,1,-1,-1,-1,-1,10,10,500,400"));
    EXPECT_EQ(Profile::GetString("Settings", "WindowPos"), "0,1,-1,-1,-1,-1,10,10,500,400");
    EXPECT_TRUE(Profile::WriteInt("Recent File List", "Count", 3));
    EXPECT_EQ(Profile::GetInt("Recent File List", "Count", 0), 3u);
    EXPECT_TRUE(SettingsKeyExists(SettingsHive::User, kKey + "\\Settings"));
}

TEST(AppPathsTest, UserDataFolderReceivesTheInstalledPages)
{
    ASSERT_TRUE(AppPaths::PrepareUserDataDir());
    EXPECT_TRUE(QFileInfo(AppPaths::UserDataDir() + "/Misc").isDir());
    EXPECT_TRUE(QFileInfo::exists(AppPaths::UserDataDir() + "/VKHelp/Content.htm"));
    EXPECT_EQ(QFileInfo(AppPaths::InstanceSocketName()).absolutePath(), qEnvironmentVariable("XDG_RUNTIME_DIR"));
    EXPECT_TRUE(QFileInfo(AppPaths::InstanceSocketName()).fileName().startsWith("vellumark-"));
}
