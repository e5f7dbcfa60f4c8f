// The window's one wait, delay(): processor time spent while it waits.

#include "client/cases.h"
#include "client/report.h"
#include "client/windowsession.h"
#include "common/procstat.h"

#include "mainwindow.h"

int runDelay(const ClientOptions &options)
{
    WindowSession session(options.expectModules);
    const QString problem = session.start();
    if (!problem.isEmpty())
        return Report::fail(problem);
    // What start-up left behind (layouts, paints, late answers) is not the delay's cost.
    settle(500);

    QVector<double> cpu, wall;
    for (int run = 0; run < options.runs; ++run) {
        const double cpuBefore = ProcStat::cpuSeconds();
        const double wallBefore = now();
        if (!QMetaObject::invokeMethod(&session.window(), "delay", Qt::DirectConnection,
                                       Q_ARG(int, options.milliseconds)))
            return Report::fail(QStringLiteral("the window has no delay(int) slot"));
        wall << now() - wallBefore;
        cpu << ProcStat::cpuSeconds() - cpuBefore;
        if (wall.last() * 1000 < options.milliseconds - 1)
            return Report::fail(QStringLiteral("delay(%1) returned after %2 s")
                                    .arg(options.milliseconds)
                                    .arg(wall.last()));
    }
    Report::values("cpu", cpu);
    Report::values("wall", wall);
    return 0;
}
