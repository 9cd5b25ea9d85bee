// bannerd: the banner server that Vellumark logs in to and uploads banners through.
#include "AccountStore.h"
#include "BannerStore.h"
#include "HttpFrontend.h"
#include "Log.h"
#include "PasswordPool.h"
#include "ProtocolServer.h"
#include "ServeOptions.h"
#include "UploadTokens.h"
#include "platform/Win1252.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <sodium.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int Fail(const QString &message, int code = 1)
{
    std::fprintf(stderr, "bannerd: %s\n", message.toLocal8Bit().constData());
    return code;
}

int UsageError(const QString &message)
{
    std::fprintf(stderr, "bannerd: %s\n%s", message.toLocal8Bit().constData(), UsageText());
    return 2;
}

int AddUser(const AddUserOptions &opts)
{
    QString why;
    if (!AccountStore::IsValidUserName(opts.name, &why))
        return Fail(QStringLiteral("cannot add \"%1\": %2").arg(opts.name, why), 2);
    std::string line;
    if (!std::getline(std::cin, line))
        return Fail(QStringLiteral("no password on standard input"), 2);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const QString password = QString::fromStdString(line);
    sodium_memzero(line.data(), line.size());
    if (!AccountStore::IsValidPassword(password, &why))
        return Fail(QStringLiteral("cannot use that password: %1").arg(why), 2);
    AccountStore accounts;
    if (!accounts.Open(opts.db, &why))
        return Fail(why);
    QByteArray wire = Win1252::Encode(password);
    const AccountStore::SetResult result = accounts.SetPassword(opts.name, wire, &why);
    sodium_memzero(wire.data(), std::size_t(wire.size()));
    switch (result) {
    case AccountStore::SetResult::Added:
        std::printf("added user %s\n", opts.name.toLocal8Bit().constData());
        return 0;
    case AccountStore::SetResult::Changed:
        std::printf("changed the password of user %s\n", opts.name.toLocal8Bit().constData());
        return 0;
    case AccountStore::SetResult::Failed:
        break;
    }
    return Fail(QStringLiteral("cannot store the user: %1").arg(why));
}

// SIGINT and SIGTERM end the event loop through a socket pair, so shutdown runs normally.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &byte, 1);
}

void QuitOnSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        Log(QStringLiteral("stopping"));
        app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int Serve(QCoreApplication &app, const ServeOptions &opts)
{
    QString why;
    AccountStore accounts;
    if (!accounts.Open(opts.db, &why))
        return Fail(why);
    const BannerStore store(QFileInfo(opts.data).absoluteFilePath());
    if (!store.Prepare(&why))
        return Fail(why);

    UploadTokens tokens;
    PasswordPool pool(opts.hashThreads, PasswordPool::Limits{opts.maxWaitingLogins});
    HttpLimits httpLimits;
    httpLimits.headerTimeout = std::chrono::seconds(opts.httpHeaderTimeout);
    httpLimits.maxConnections = opts.maxHttpConnections;
    HttpFrontend http(tokens, store, std::size_t(opts.maxUpload), httpLimits);
    const int httpPort = http.Start(opts.listen.toStdString(), opts.httpPort, &why);
    if (httpPort < 0)
        return Fail(why);

    ProtocolServer::Settings settings;
    settings.publicHost = opts.publicHost;
    settings.httpPort = httpPort;
    settings.maxUpload = opts.maxUpload;
    settings.limits.maxConnections = opts.maxConnections;
    settings.limits.maxFailedLoginsPerAddress = opts.maxFailedLogins;
    settings.limits.loginTimeout = std::chrono::seconds(opts.loginTimeout);
    settings.limits.replyTimeout = std::chrono::seconds(opts.replyTimeout);
    ProtocolServer protocol(accounts, pool, tokens, settings);
    if (!protocol.Listen(QHostAddress(opts.listen), quint16(opts.port), &why))
        return Fail(why);

    QuitOnSignals(app);
    std::printf("listening protocol=%u http=%d\n", unsigned(protocol.Port()), httpPort);
    std::fflush(stdout);
    Log(QStringLiteral("serving accounts of %1, banners in %2, uploads up to %3 bytes")
            .arg(opts.db, store.Root())
            .arg(opts.maxUpload));
    const int code = app.exec();
    http.Stop();
    return code;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    QString error;
    const std::optional<CommandLine> line = ParseCommandLine(args, &error);
    if (!line)
        return UsageError(error);
    if (sodium_init() < 0)
        return Fail(QStringLiteral("libsodium could not be initialised"));
    switch (line->kind) {
    case CommandLine::Kind::Help:
        std::fputs(UsageText(), stdout);
        return 0;
    case CommandLine::Kind::AddUser:
        return AddUser(line->addUser);
    case CommandLine::Kind::Serve:
        return Serve(app, line->serve);
    }
    return 2;
}
