// Opening pages in the default browser, and the fallback dialog when nothing starts.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "platform/ScriptedPrompts.h"
#include "platform/settings/AppPaths.h"
#include "resource.h"
#include "shell/BrowserFallbackDialog.h"
#include "shell/CMainFrame.h"
#include "shell/OpenInBrowser.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Sets environment variables for one test and restores them afterwards.
class EnvGuard {
public:
    void Set(const char *name, const QByteArray &value)
    {
        if (!m_saved.count(name))
            m_saved[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
        qputenv(name, value);
    }
    void Unset(const char *name)
    {
        if (!m_saved.count(name))
            m_saved[name] = qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name)) : std::nullopt;
        qunsetenv(name);
    }
    ~EnvGuard()
    {
        for (const auto &[name, value] : m_saved)
            value ? qputenv(name.c_str(), *value) : qunsetenv(name.c_str());
    }

private:
    std::map<std::string, std::optional<QByteArray>> m_saved;
};

// A shell script in `dir` named `name`.
QString Script(const QString &dir, const QString &name, const QByteArray &body)
{
    const QString path = dir + QLatin1Char('/') + name;
    TestSupport::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

bool WaitForFile(const QString &path)
{
    for (int i = 0; i < 300 && !QFile::exists(path); ++i)
        QTest::qWait(10);
    return QFile::exists(path);
}
} // namespace

TEST(OpenInBrowser, DefaultBrowserComesFromBrowserVariableOrTheDesktopSetting)
{
    EnvGuard env;
    env.Set("BROWSER", "firefox --new-window %s:chromium");
    EXPECT_EQ(FindDefaultBrowser(), QStringLiteral("firefox"));
    env.Set("BROWSER", "\"/opt/my browser/run\" %s");
    EXPECT_EQ(FindDefaultBrowser(), QStringLiteral("/opt/my browser/run"));

    // Without BROWSER the desktop's choice: xdg-settings names a desktop entry, whose Exec
    // line gives the program.
    const QString dir = TestSupport::NewTempDir();
    const QString bin = dir + QStringLiteral("/bin");
    QDir().mkpath(bin);
    Script(bin, QStringLiteral("xdg-settings"), "[ \"$1 $2\" = \"get default-web-browser\" ] && echo fake-web.desktop");
    QDir().mkpath(dir + QStringLiteral("/data/applications"));
    TestSupport::WriteFile(dir + QStringLiteral("/data/applications/fake-web.desktop"),
                           "[Desktop Entry]\nName=Fake\n[Desktop Action x]\nExec=wrong\n");
    env.Unset("BROWSER");
    env.Set("PATH", bin.toUtf8() + ":/usr/bin:/bin");
    env.Set("XDG_DATA_HOME", (dir + QStringLiteral("/data")).toUtf8());
    env.Set("XDG_DATA_DIRS", (dir + QStringLiteral("/none")).toUtf8());
    EXPECT_EQ(FindDefaultBrowser(), QString());
    TestSupport::WriteFile(dir + QStringLiteral("/data/applications/fake-web.desktop"),
                           "[Desktop Entry]\nName=Fake\nExec=\"/opt/fake web/browser\" %u\n");
    EXPECT_EQ(FindDefaultBrowser(), QStringLiteral("/opt/fake web/browser"));

    // Nothing configured at all.
    env.Set("PATH", (dir + QStringLiteral("/empty")).toUtf8());
    EXPECT_EQ(FindDefaultBrowser(), QString());
}

TEST(OpenInBrowser, BrowserThatCannotStartShowsTheFallbackDialogWithTheAddress)
{
    EnvGuard env;
    env.Set("BROWSER", "/nonexistent/vellumark-test-browser");
    QString message, address, caption;
    auto seen = ShellTest::OnNextModal<BrowserFallbackDialog>([&](BrowserFallbackDialog *d) {
        message = d->MessageText();
        address = d->AddressText();
        caption = d->windowTitle();
        EXPECT_TRUE(d->findChild<QLineEdit *>(QString::number(IDC_FALLBACK_ADDRESS))->isReadOnly());
        d->accept();
    });
    OpenInBrowser(QStringLiteral("https://help.example/page"), QStringLiteral("the on-line help."));
    EXPECT_TRUE(*seen);
    EXPECT_EQ(caption, QStringLiteral("Error - Vellumark Help"));
    EXPECT_EQ(message, QStringLiteral("Could not detect the default browser to access the on-line help."));
    EXPECT_EQ(address, QStringLiteral("https://help.example/page"));
}

TEST(OpenInBrowser, StartedBrowserGetsTheAddressAsItsOnlyArgument)
{
    EnvGuard env;
    const QString dir = TestSupport::NewTempDir();
    const QString out = dir + QStringLiteral("/args");
    Script(dir, QStringLiteral("browser"), "printf '%s|' \"$#\" \"$@\" > '" + out.toUtf8() + ".tmp' && mv '" +
                                               out.toUtf8() + ".tmp' '" + out.toUtf8() + "'");
    env.Set("BROWSER", (dir + QStringLiteral("/browser")).toUtf8());
    auto seen = ShellTest::OnNextModal<BrowserFallbackDialog>([](BrowserFallbackDialog *) {}, 300);
    OpenInBrowser(QStringLiteral("https://www.example/a b?x=1&y=2"), QStringLiteral("t"));
    ASSERT_TRUE(WaitForFile(out));
    EXPECT_EQ(TestSupport::ReadFile(out), QByteArray("1|https://www.example/a b?x=1&y=2|"));
    QTest::qWait(350);
    EXPECT_FALSE(*seen);
}

TEST(OpenInBrowser, WithoutABrowserXdgOpenIsAskedAndItsFailureShowsTheDialog)
{
    EnvGuard env;
    env.Unset("BROWSER");
    const QString dir = TestSupport::NewTempDir();
    const QString out = dir + QStringLiteral("/opened");
    Script(dir, QStringLiteral("xdg-open"), "echo \"$1\" > '" + out.toUtf8() + "'; exit 0");
    env.Set("PATH", dir.toUtf8());
    auto none = ShellTest::OnNextModal<BrowserFallbackDialog>([](BrowserFallbackDialog *) {}, 500);
    OpenInBrowser(QStringLiteral("file:///tmp/help.htm"), QStringLiteral("the on-line help."));
    ASSERT_TRUE(WaitForFile(out));
    QTest::qWait(550);
    EXPECT_FALSE(*none);
    EXPECT_EQ(TestSupport::ReadFile(out), QByteArray("file:///tmp/help.htm\n"));

    // xdg-open starts but finds nothing to open the page with.
    Script(dir, QStringLiteral("xdg-open"), "exit 3");
    QString message;
    auto seen = ShellTest::OnNextModal<BrowserFallbackDialog>(
        [&](BrowserFallbackDialog *d) { message = d->MessageText(); }, 5000);
    OpenInBrowser(QStringLiteral("file:///tmp/help.htm"), QStringLiteral("the Corvantaplex home page."));
    for (int i = 0; i < 500 && !*seen; ++i)
        QTest::qWait(10);
    EXPECT_TRUE(*seen);
    EXPECT_EQ(message, QStringLiteral("Could not detect the default browser to access the Corvantaplex home page."));

    // No xdg-open at all.
    env.Set("PATH", (dir + QStringLiteral("/empty")).toUtf8());
    auto missing = ShellTest::OnNextModal<BrowserFallbackDialog>([](BrowserFallbackDialog *) {}, 5000);
    OpenInBrowser(QStringLiteral("file:///tmp/help.htm"), QStringLiteral("x"));
    for (int i = 0; i < 500 && !*missing; ++i)
        QTest::qWait(10);
    EXPECT_TRUE(*missing);
}

TEST(OpenInBrowser, HelpCommandUsesHelpUrlOrExplainsWhereTheHelpIs)
{
    EnvGuard env;
    env.Set("BROWSER", "/nonexistent/vellumark-test-browser");
    ScriptedPrompts prompts;
    Prompts::Register(&prompts);
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    frame.Router().UpdateAll();

    // The build's machine settings name the help page.
    QString address, message;
    auto seen = ShellTest::OnNextModal<BrowserFallbackDialog>([&](BrowserFallbackDialog *d) {
        address = d->AddressText();
        message = d->MessageText();
    });
    EXPECT_TRUE(frame.Router().Execute(ID_HELP_HELP));
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(address.endsWith(QStringLiteral("VKHelp/Content.htm"))) << address.toStdString();
    EXPECT_EQ(message, QStringLiteral("Could not detect the default browser to access the on-line help."));

    seen = ShellTest::OnNextModal<BrowserFallbackDialog>([&](BrowserFallbackDialog *d) {
        address = d->AddressText();
        message = d->MessageText();
    });
    EXPECT_TRUE(frame.Router().Execute(ID_HELP_HOMEPAGE));
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(address.startsWith(QStringLiteral("http"))) << address.toStdString();
    EXPECT_EQ(message, QStringLiteral("Could not detect the default browser to access the Corvantaplex home page."));

    // A machine hive without HelpURL.
    const QString machine = AppPaths::Home() + QStringLiteral("/machine");
    TestSupport::WriteFile(machine, R"({"keys": {"Software\\Corvanta\\Vellumark": {"VKDir": {"sz": "/x"}}}})");
    EXPECT_TRUE(frame.Router().Execute(ID_HELP_HELP));
    QFile::remove(machine);
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Error displaying Vellumark Help. \nPlease view the <Vellumark "
                                                "directory>\\VKHelp\\Content.htm file for help."),
                                 Prompts::Icon::None));
}

TEST(OpenInBrowser, DesktopEntryCommandIsExpandedAndAskedForWithoutBlocking)
{
    // The desktop entry format's quoting, escapes and field codes.
    EXPECT_EQ(ExpandDesktopExec(QStringLiteral("env BAMF_DESKTOP_FILE_HINT=/x.desktop /snap/bin/firefox %u"),
                                QStringLiteral("https://a.example/")),
              (QStringList{"env", "BAMF_DESKTOP_FILE_HINT=/x.desktop", "/snap/bin/firefox", "https://a.example/"}));
    EXPECT_EQ(ExpandDesktopExec(QStringLiteral("/usr/bin/flatpak run --branch=stable --command=firefox "
                                               "org.mozilla.firefox --url %U"),
                                QStringLiteral("u")),
              (QStringList{"/usr/bin/flatpak", "run", "--branch=stable", "--command=firefox", "org.mozilla.firefox",
                           "--url", "u"}));
    EXPECT_EQ(ExpandDesktopExec(QStringLiteral(R"("/opt/my \"web\" app" %i --class=%c 100%% %k %d)"),
                                QStringLiteral("u"), QStringLiteral("Web"), QStringLiteral("web-icon"),
                                QStringLiteral("/apps/web.desktop")),
              (QStringList{"/opt/my \"web\" app", "--icon", "web-icon", "--class=Web", "100%", "/apps/web.desktop",
                           "u"}));
    EXPECT_EQ(ExpandDesktopExec(QStringLiteral("\"unclosed %u"), QStringLiteral("u")), QStringList());

    // The whole road: xdg-settings names the entry, which starts with its own options and the
    // address, while the interface goes on. xdg-settings answers only once the test lets it.
    EnvGuard env;
    const QString dir = TestSupport::NewTempDir();
    const QString bin = dir + QStringLiteral("/bin"), out = dir + QStringLiteral("/args");
    QDir().mkpath(bin);
    Script(bin, QStringLiteral("xdg-settings"),
           "while [ ! -e '" + dir.toUtf8() + "/go' ]; do sleep 0.02; done; echo snap-web.desktop");
    const QString browser = Script(dir, QStringLiteral("browser"),
                                   "printf '%s|' \"$@\" > '" + out.toUtf8() + ".tmp' && mv '" + out.toUtf8() + ".tmp' '" +
                                       out.toUtf8() + "'");
    QDir().mkpath(dir + QStringLiteral("/data/applications"));
    TestSupport::WriteFile(dir + QStringLiteral("/data/applications/snap-web.desktop"),
                           "[Desktop Entry]\nName=Snap Web\nExec=" + browser.toUtf8() + " --new-window %u\n");
    env.Unset("BROWSER");
    env.Set("PATH", bin.toUtf8() + ":/usr/bin:/bin");
    env.Set("XDG_DATA_HOME", (dir + QStringLiteral("/data")).toUtf8());
    env.Set("XDG_DATA_DIRS", (dir + QStringLiteral("/none")).toUtf8());
    auto fallback = ShellTest::OnNextModal<BrowserFallbackDialog>([](BrowserFallbackDialog *) {}, 100);
    OpenInBrowser(QStringLiteral("https://www.example/help"), QStringLiteral("t"));
    EXPECT_FALSE(QFile::exists(out));
    TestSupport::WriteFile(dir + QStringLiteral("/go"), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(out); }, 20000));
    EXPECT_EQ(TestSupport::ReadFile(out), QByteArray("--new-window|https://www.example/help|"));
    EXPECT_FALSE(*fallback);
}
