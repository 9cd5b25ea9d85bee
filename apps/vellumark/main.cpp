#include <QApplication>
#include <QMainWindow>

#include "StringTable.h"
#include "platform/QtPrompts.h"
#include "resource.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(LoadResString(AFX_IDS_APP_TITLE));
    QMainWindow window;
    QtPrompts prompts(&window);
    Prompts::Register(&prompts);
    window.setWindowTitle(LoadResString(IDR_MAINFRAME));
    window.resize(800, 600);
    window.show();
    return app.exec();
}
