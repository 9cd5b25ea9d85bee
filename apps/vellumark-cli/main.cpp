#include <QGuiApplication>
#include <cstdio>

namespace {
int Usage()
{
    std::fputs("usage: vellumark-cli info FILE --json\n"
               "       vellumark-cli convert IN OUT\n"
               "       vellumark-cli render IN FRAME OUT.png\n",
               stderr);
    return 2;
}
} // namespace

int main(int argc, char *argv[])
{
    // Runs without a display: the offscreen platform unless the caller chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return Usage();
}
