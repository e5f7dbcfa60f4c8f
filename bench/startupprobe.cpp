// Linked beside the program's own entry point: ends the program as soon as its window stands
// with the start-up lists filled (or, with CORVELLE_BENCH_UNTIL_PAINTED set, as soon as it is
// first painted), so that the time from start to exit measures the start-up.

#include "common/messagehook.h"
#include "common/startupwatch.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

void startProbe()
{
    MessageHook::install();
    // The form alone: the run ends at the window's first paint, as the bare peer's does.
    const auto until = qEnvironmentVariableIsSet("CORVELLE_BENCH_UNTIL_PAINTED")
                           ? StartupWatch::Until::WindowPainted
                           : StartupWatch::Until::ListsFilled;
    auto *watch = new StartupWatch(qEnvironmentVariableIntValue("CORVELLE_BENCH_EXPECT_MODULES"),
                                   until, qApp);
    QObject::connect(watch, &StartupWatch::done, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QTimer::singleShot(60000, watch, [watch] {
        std::fprintf(stderr, "start-up did not complete; missing: %s\n",
                     qPrintable(watch->missing()));
        for (const QString &line : MessageHook::recentLines())
            std::fprintf(stderr, "  %s\n", qPrintable(line));
        std::_Exit(1);
    });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startProbe)
