#pragma once
// One line per event on standard error, with a UTC time stamp. Standard output carries only the
// "listening" line that supervisors and tests wait for.
#include <QDateTime>
#include <QString>
#include <cstdio>

inline void Log(const QString &line)
{
    const QByteArray text = (QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + QLatin1Char(' ')
                             + line + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stderr);
}
