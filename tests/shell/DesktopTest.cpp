// Desktop registration of the file type and the hand-over of files to a running editor.
#include "TestSupport.h"
#include "platform/settings/AppPaths.h"
#include "platform/settings/Settings.h"
#include "shell/DesktopIntegration.h"
#include "shell/SingleInstance.h"

#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QDir>
#include <QFileInfo>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(DesktopIntegration, RegistersEntryMimeTypeIconsAndClassesRecords)
{
    const QString exe = QStringLiteral("/opt/Vellu mark/bin/vellumark");
    ASSERT_TRUE(DesktopIntegration::RegisterFileType(exe));
    const QString root = AppPaths::DesktopDataDir();
    const QByteArray entry = TestSupport::ReadFile(root + QStringLiteral("/applications/vellumark.desktop"));
    EXPECT_TRUE(entry.contains("Exec=\"/opt/Vellu mark/bin/vellumark\" %f\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains("MimeType=application/x-vellumark-banner;"));
    const QByteArray mime = TestSupport::ReadFile(root + QStringLiteral("/mime/packages/vellumark.xml"));
    EXPECT_TRUE(mime.contains("<glob pattern=\"*.bnr\"/>"));
    EXPECT_TRUE(mime.contains("<comment>Banner Document</comment>"));
    for (int size : {16, 32, 48, 128}) {
        const QImage icon(root + QStringLiteral("/icons/hicolor/%1x%1/apps/vellumark.png").arg(size));
        EXPECT_EQ(icon.size(), QSize(size, size));
    }
    // desktop-file-validate, when present, judges the entry independently.
    if (QFile::exists(QStringLiteral("/usr/bin/desktop-file-validate"))) {
        QByteArray out, err;
        EXPECT_EQ(TestSupport::Run(QStringLiteral("/usr/bin/desktop-file-validate"),
                                   {root + QStringLiteral("/applications/vellumark.desktop")}, &out, &err),
                  0)
            << out.toStdString() << err.toStdString();
    }

    QString text;
    ASSERT_EQ(ReadSettingString(SettingsHive::Classes, QStringLiteral(".bnr"), DesktopIntegration::kDefaultValue, &text), 0);
    EXPECT_EQ(text, QStringLiteral("Vellumark.Document"));
    ASSERT_EQ(ReadSettingString(SettingsHive::Classes, QStringLiteral("Vellumark.Document"), DesktopIntegration::kDefaultValue, &text), 0);
    EXPECT_EQ(text, QStringLiteral("Banner Document"));
    ASSERT_EQ(ReadSettingString(SettingsHive::Classes, QStringLiteral("Vellumark.Document\\shell\\open\\command"),
                                DesktopIntegration::kDefaultValue, &text),
              0);
    EXPECT_EQ(text, QStringLiteral("\"/opt/Vellu mark/bin/vellumark\" \"%1\""));

    // Every start writes it again; an unchanged registration rewrites nothing.
    const QDateTime before = QFileInfo(root + QStringLiteral("/applications/vellumark.desktop")).lastModified();
    QTest::qWait(20);
    ASSERT_TRUE(DesktopIntegration::RegisterFileType(exe));
    EXPECT_EQ(QFileInfo(root + QStringLiteral("/applications/vellumark.desktop")).lastModified(), before);
    // An entry the user made read-only is kept as it is, and the registration says it failed.
    const QString entryPath = root + QStringLiteral("/applications/vellumark.desktop");
    QFile::setPermissions(entryPath, QFile::ReadOwner);
    EXPECT_FALSE(DesktopIntegration::RegisterFileType(QStringLiteral("/opt/other/vellumark")));
    QFile::setPermissions(entryPath, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(TestSupport::ReadFile(entryPath), entry);
}

TEST(SingleInstance, SecondStartHandsItsFilesToTheRunningEditor)
{
    EXPECT_FALSE(SingleInstance::SendToRunning({QStringLiteral("a.bnr")}, 300));

    SingleInstance first;
    ASSERT_TRUE(first.Listen());
    EXPECT_TRUE(first.IsListening());
    SingleInstance second;
    EXPECT_FALSE(second.Listen());

    QSignalSpy received(&first, &SingleInstance::FilesReceived);
    // The sender blocks while it waits for the answer, so it runs beside the event loop.
    const QString dir = TestSupport::NewTempDir();
    auto sent = std::async(std::launch::async, [dir] {
        return SingleInstance::SendToRunning({dir + QStringLiteral("/one.bnr"), dir + QStringLiteral("/two é.gif")});
    });
    while (sent.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QTest::qWait(10);
    EXPECT_TRUE(sent.get());
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received[0][0].toStringList(),
              (QStringList{dir + QStringLiteral("/one.bnr"), dir + QStringLiteral("/two é.gif")}));
}

TEST(SingleInstance, SocketLeftBehindByACrashedEditorIsTakenOver)
{
    // A socket file nobody answers on.
    const QString path = AppPaths::InstanceSocketName();
    ASSERT_TRUE(TestSupport::WriteFile(path, ""));
    SingleInstance editor;
    EXPECT_TRUE(editor.Listen());
}

TEST(SingleInstance, SocketLivesInAFolderOnlyItsUserMayEnter)
{
    const auto privateFolder = [](const QString &path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
            && st.st_uid == ::getuid() && (st.st_mode & 0777) == 0700;
    };
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    EXPECT_EQ(QFileInfo(AppPaths::InstanceSocketName()).absolutePath(), runtime);
    // A runtime folder that others may enter is not used; the own folder in the temporary
    // folder is made private.
    const QString open = TestSupport::NewTempDir();
    QFile::setPermissions(open, QFile::Permissions(0x7777));
    qputenv("XDG_RUNTIME_DIR", open.toUtf8());
    const QString fallback = QFileInfo(AppPaths::InstanceSocketName()).absolutePath();
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    EXPECT_NE(fallback, open);
    EXPECT_TRUE(fallback.startsWith(QDir::tempPath())) << fallback.toStdString();
    EXPECT_TRUE(privateFolder(fallback)) << fallback.toStdString();
    SingleInstance editor;
    ASSERT_TRUE(editor.Listen());
    EXPECT_TRUE(QFileInfo::exists(AppPaths::InstanceSocketName()));
}

TEST(SingleInstance, CommandLineFilesMayStartWithADashAndDoubleDashEndsTheOptions)
{
    const QString dir = TestSupport::NewTempDir(), before = QDir::currentPath();
    QDir::setCurrent(dir);
    ASSERT_TRUE(TestSupport::WriteFile(dir + QStringLiteral("/-dash.bnr"), "x"));
    const QStringList files =
        SingleInstance::FileArguments({"-dash.bnr", "-x", "--geometry", "a.bnr", "--", "-y.gif", "--"});
    QDir::setCurrent(before);
    EXPECT_EQ(files, (QStringList{"-dash.bnr", "a.bnr", "-y.gif", "--"}));
    // The desktop entry gives '%' its field-code meaning: a literal one in the path is doubled.
    const QString entry = DesktopIntegration::DesktopEntry(QStringLiteral("/opt/100%/vellumark"));
    EXPECT_TRUE(entry.contains(QStringLiteral("Exec=/opt/100%%/vellumark %f\n"))) << entry.toStdString();
}
