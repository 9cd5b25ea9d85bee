#include <QApplication>
#include <QIcon>

#include "StringTable.h"
#include "platform/QtPrompts.h"
#include "platform/settings/Settings.h"
#include "resource.h"
#include "shell/CMainFrame.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(LoadResString(AFX_IDS_APP_TITLE));
    // Toolbar images come from the desktop's icon theme where it has them.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    Profile::SetApplicationKey(LoadResString(IDS_SETTINGS_KEY));
    CMainFrame frame;
    QtPrompts prompts(&frame);
    Prompts::Register(&prompts);
    if (!frame.Create())
        return 1;
    frame.ShowWithPlacement();
    return app.exec();
}
