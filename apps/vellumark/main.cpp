// The editor: one main window per user; a second start hands its files to the running one.
#include <QApplication>
#include <QDir>
#include <QIcon>

#include "StringTable.h"
#include "resource.h"
#include "server/UploadDialog.h"
#include "shell/CBannerApp.h"
#include "shell/CMainFrame.h"
#include "shell/CommandLinePrint.h"
#include "shell/SingleInstance.h"

#include <unistd.h>

namespace {
// The upload dialog's browser engine refuses to start as root with its sandbox on, and without a
// GPU device its GPU process only fails and retries. Say both before the engine reads them; what
// the user set in the environment wins.
void PrepareBrowserEnvironment()
{
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS") &&
        QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty())
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
}
} // namespace

int main(int argc, char *argv[])
{
    PrepareBrowserEnvironment();
    // The upload dialog's web engine shares OpenGL contexts with the widgets; it must be said
    // before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName(LoadResString(AFX_IDS_APP_TITLE));
    // Toolbar images come from the desktop's icon theme where it has them.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));

    // The desktop's print actions: print and end, without the editor's window.
    if (const std::optional<int> printed = CommandLinePrint::Run(app.arguments()))
        return *printed;

    const QStringList files = SingleInstance::FileArguments(app.arguments().mid(1));
    // A hand-over to the running editor shows no splash: this process ends here.
    if (!files.isEmpty() && SingleInstance::SendToRunning(files))
        return 0;

    CBannerApp banner;
    banner.EnableSplash(2500);
    if (!banner.InitInstance(files))
        return 1;
    QtUploadPrompt upload(banner.MainFrame());
    UploadPrompt::Register(&upload);
    const int result = app.exec();
    UploadPrompt::Register(nullptr);
    return result;
}
