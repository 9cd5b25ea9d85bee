#pragma once
// bannerd's command line: "serve" and "adduser" with their options.
#include <QString>
#include <QStringList>
#include <optional>

struct ServeOptions {
    QString db;
    QString data;
    QString listen = QStringLiteral("127.0.0.1");
    QString publicHost; // empty: the listen address (or, for a wildcard, the address a client reached)
    int port = 5000;
    int httpPort = 8080;
    qint64 maxUpload = 1024 * 1024;
    int maxConnections = 1024;
    int hashThreads = 2;
    int maxWaitingLogins = 64;
    int maxFailedLogins = 10;  // per client address and minute
    int loginTimeout = 30;     // seconds from connecting
    int replyTimeout = 30;     // seconds that replies may stay unread
    int httpHeaderTimeout = 5; // seconds from connecting to the end of the headers
    int maxHttpConnections = 512;
};

struct AddUserOptions {
    QString db;
    QString name;
};

struct CommandLine {
    enum class Kind { Serve, AddUser, Help } kind = Kind::Help;
    ServeOptions serve;
    AddUserOptions addUser;
};

// Parses the arguments after the program name. None, with a message for the user, when they
// are wrong.
std::optional<CommandLine> ParseCommandLine(const QStringList &args, QString *error);
const char *UsageText();
