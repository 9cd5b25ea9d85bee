#include "ServeOptions.h"

#include <QHostAddress>

namespace {
bool ParseNumber(const QString &option, const QString &text, qint64 low, qint64 high, qint64 *out, QString *error)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < low || value > high) {
        *error = QStringLiteral("%1 needs a whole number from %2 to %3, not \"%4\"").arg(option).arg(low).arg(high).arg(text);
        return false;
    }
    *out = value;
    return true;
}

// Walks "--name value" pairs (also "--name=value").
class OptionReader {
public:
    OptionReader(const QStringList &args, int from) : m_args(args), m_at(from) {}
    bool AtEnd() const { return m_at >= m_args.size(); }
    // The next option name; fills *value when it carries one or one follows.
    bool Next(QString *name, QString *value, QString *error)
    {
        QString arg = m_args[m_at++];
        if (!arg.startsWith(QLatin1String("--"))) {
            *name = arg;
            value->clear();
            return true;
        }
        if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
            *name = arg.left(eq);
            *value = arg.mid(eq + 1);
            return true;
        }
        *name = arg;
        if (AtEnd()) {
            *error = QStringLiteral("%1 needs a value").arg(arg);
            return false;
        }
        *value = m_args[m_at++];
        return true;
    }

private:
    const QStringList &m_args;
    int m_at;
};

struct IntOption {
    const char *name;
    int ServeOptions::*field;
    qint64 low, high;
};

IntOption *FindIntOption(const QString &name)
{
    static IntOption options[] = {
        {"--hash-threads", &ServeOptions::hashThreads, 1, 64},
        {"--max-waiting-logins", &ServeOptions::maxWaitingLogins, 1, 100000},
        {"--max-failed-logins", &ServeOptions::maxFailedLogins, 1, 100000},
        {"--login-timeout", &ServeOptions::loginTimeout, 1, 3600},
        {"--reply-timeout", &ServeOptions::replyTimeout, 1, 3600},
        {"--http-header-timeout", &ServeOptions::httpHeaderTimeout, 1, 600},
        {"--max-http-connections", &ServeOptions::maxHttpConnections, 1, 10000},
    };
    for (IntOption &option : options)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}

bool ParseServe(const QStringList &args, ServeOptions *opts, QString *error)
{
    OptionReader reader(args, 1);
    while (!reader.AtEnd()) {
        QString name, value;
        if (!reader.Next(&name, &value, error))
            return false;
        qint64 number = 0;
        if (name == QLatin1String("--db"))
            opts->db = value;
        else if (name == QLatin1String("--data"))
            opts->data = value;
        else if (name == QLatin1String("--listen"))
            opts->listen = value;
        else if (name == QLatin1String("--public-host"))
            opts->publicHost = value;
        else if (name == QLatin1String("--port") || name == QLatin1String("--http-port")) {
            if (!ParseNumber(name, value, 0, 65535, &number, error))
                return false;
            (name == QLatin1String("--port") ? opts->port : opts->httpPort) = int(number);
        } else if (name == QLatin1String("--max-upload")) {
            if (!ParseNumber(name, value, 1, qint64(256) * 1024 * 1024, &number, error))
                return false;
            opts->maxUpload = number;
        } else if (name == QLatin1String("--max-connections")) {
            if (!ParseNumber(name, value, 1, 100000, &number, error))
                return false;
            opts->maxConnections = int(number);
        } else if (IntOption *option = FindIntOption(name)) {
            if (!ParseNumber(name, value, option->low, option->high, &number, error))
                return false;
            opts->*(option->field) = int(number);
        } else {
            *error = QStringLiteral("unknown option \"%1\" for serve").arg(name);
            return false;
        }
    }
    if (opts->db.isEmpty() || opts->data.isEmpty()) {
        *error = QStringLiteral("serve needs --db FILE and --data DIR");
        return false;
    }
    if (QHostAddress(opts->listen).isNull()) {
        *error = QStringLiteral("--listen needs an IP address such as 127.0.0.1 or 0.0.0.0, not \"%1\"").arg(opts->listen);
        return false;
    }
    if (opts->port != 0 && opts->port == opts->httpPort) {
        *error = QStringLiteral("--port and --http-port must differ");
        return false;
    }
    const bool hostOk = opts->publicHost.isEmpty()
        || (!opts->publicHost.contains(QLatin1Char('/')) && !opts->publicHost.contains(QLatin1Char('"'))
            && !opts->publicHost.contains(QLatin1Char(' ')) && !opts->publicHost.contains(QLatin1Char('@')));
    if (!hostOk) {
        *error = QStringLiteral("--public-host needs a host name or address, not \"%1\"").arg(opts->publicHost);
        return false;
    }
    return true;
}

bool ParseAddUser(const QStringList &args, AddUserOptions *opts, QString *error)
{
    OptionReader reader(args, 1);
    while (!reader.AtEnd()) {
        QString name, value;
        if (!reader.Next(&name, &value, error))
            return false;
        if (name == QLatin1String("--db")) {
            opts->db = value;
        } else if (name.startsWith(QLatin1String("--"))) {
            *error = QStringLiteral("unknown option \"%1\" for adduser").arg(name);
            return false;
        } else if (opts->name.isNull()) {
            opts->name = name;
        } else {
            *error = QStringLiteral("adduser takes one user name");
            return false;
        }
    }
    if (opts->db.isEmpty() || opts->name.isNull()) {
        *error = QStringLiteral("adduser needs --db FILE and a user name");
        return false;
    }
    return true;
}
} // namespace

std::optional<CommandLine> ParseCommandLine(const QStringList &args, QString *error)
{
    CommandLine line;
    if (args.isEmpty()) {
        *error = QStringLiteral("no command given");
        return std::nullopt;
    }
    const QString &command = args.first();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        line.kind = CommandLine::Kind::Help;
        return line;
    }
    if (command == QLatin1String("serve")) {
        line.kind = CommandLine::Kind::Serve;
        if (!ParseServe(args, &line.serve, error))
            return std::nullopt;
        return line;
    }
    if (command == QLatin1String("adduser")) {
        line.kind = CommandLine::Kind::AddUser;
        if (!ParseAddUser(args, &line.addUser, error))
            return std::nullopt;
        return line;
    }
    *error = QStringLiteral("unknown command \"%1\"").arg(command);
    return std::nullopt;
}

const char *UsageText()
{
    return "usage: bannerd serve --db FILE --data DIR [--listen ADDR] [--port 5000] [--http-port 8080]\n"
           "                     [--public-host NAME] [--max-upload BYTES] [--max-connections N]\n"
           "                     [--hash-threads N] [--max-waiting-logins N] [--max-failed-logins N]\n"
           "                     [--login-timeout SECONDS] [--reply-timeout SECONDS]\n"
           "                     [--http-header-timeout SECONDS] [--max-http-connections N]\n"
           "       bannerd adduser --db FILE NAME    (reads the password as one line from standard input)\n";
}
