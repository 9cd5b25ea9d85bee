#pragma once
// One line per event on standard error, with a UTC time stamp. Standard output carries only the
// "listening" line that supervisors and tests wait for.
#include <QDateTime>
#include <QString>
#include <cstdio>

// Text from clients (user names, paths) as it may go into a log line: control characters,
// which could end the line or drive a terminal, and backslashes become \xNN escapes.
inline QString LogText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('\\') || c == QChar(0x2028) || c == QChar(0x2029))
            out += QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

inline void Log(const QString &line)
{
    const QByteArray text = (QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + QLatin1Char(' ')
                             + line + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
}
