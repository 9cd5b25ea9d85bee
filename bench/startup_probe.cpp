// Helper of editor_startup.sh: starts the editor as its main program does and prints, in
// nanoseconds of the real-time clock, the moment the first Banner View finished painting.
#include "StringTable.h"
#include "editor/CFrameView.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/CBannerApp.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <chrono>
#include <cstdio>

namespace {
// Catches the first paint of the view's window; the moment is taken once that paint is done.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The Banner View's picture is the viewport of its imaging window.
        if (event->type() == QEvent::Paint && !m_seen && watched->parent() &&
            qobject_cast<ImagingWindow *>(watched->parent()) &&
            qobject_cast<CFrameView *>(watched->parent()->parent())) {
            m_seen = true;
            QTimer::singleShot(0, qApp, [] {
                const auto now = std::chrono::system_clock::now().time_since_epoch();
                std::printf("%lld\n", static_cast<long long>(std::chrono::nanoseconds(now).count()));
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(LoadResString(AFX_IDS_APP_TITLE));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    FirstPaint probe;
    app.installEventFilter(&probe);
    CBannerApp banner;
    if (!banner.InitInstance({}))
        return 1;
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(1); });
    return app.exec();
}
