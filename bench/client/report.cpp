#include "client/report.h"

#include "common/messagehook.h"

#include <QStringList>

#include <cstdio>

namespace Report {

void value(const char *name, double value)
{
    std::printf("result %s=%.9g\n", name, value);
    std::fflush(stdout);
}

void values(const char *name, const QVector<double> &values)
{
    QStringList texts;
    for (double v : values)
        texts << QString::number(v, 'g', 9);
    std::printf("result %s=%s\n", name, qPrintable(texts.join(QLatin1Char(','))));
    std::fflush(stdout);
}

int fail(const QString &why)
{
    std::fprintf(stderr, "error: %s\n", qPrintable(why));
    const QStringList lines = MessageHook::recentLines();
    if (!lines.isEmpty())
        std::fprintf(stderr, "last debug lines of the program:\n");
    for (const QString &line : lines)
        std::fprintf(stderr, "  %s\n", qPrintable(line));
    std::fflush(stderr);
    return 1;
}

} // namespace Report
