// Entry point of every test program: a private VELLUMARK_HOME and runtime folder, the offscreen
// platform, and the Qt application object that widgets (UI tests) or fonts and painting need.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#ifdef VELLUMARK_TEST_UI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("OMP_NUM_THREADS", "1");
    // Capitals in the name whatever the random part is: tests check that paths keep their case.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/Vellumark-Test-XXXXXX"));
    if (!home.isValid())
        return 1;
    qputenv("VELLUMARK_HOME", home.path().toUtf8());
    const QString runtime = home.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
