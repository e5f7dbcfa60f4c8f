// The damage check: the worker's own slot on a worker thread, over every module of the library
// index, from the call to its answer.

#include "client/cases.h"
#include "client/report.h"
#include "client/windowsession.h"

#include "worker/module.h"

#include <QCoreApplication>
#include <QThread>

int runCheck(const ClientOptions &options)
{
    qRegisterMetaType<InstalledCheck>();
    QThread workerThread;
    auto *worker = new Module;
    worker->moveToThread(&workerThread);
    QObject::connect(&workerThread, &QThread::finished, worker, &QObject::deleteLater);
    workerThread.start();

    bool reported = false;
    InstalledCheck answer;
    double finishedAt = 0;
    QObject::connect(worker, &Module::installedChecked, qApp, [&](const InstalledCheck &check) {
        finishedAt = now();
        answer = check;
        reported = true;
    });

    InstalledCheck check;
    check.libraryFolder = options.library;
    const double startedAt = now();
    QMetaObject::invokeMethod(worker, "checkInstalled", Qt::QueuedConnection,
                              Q_ARG(InstalledCheck, check));
    const bool done = waitUntil([&reported] { return reported; }, 600000);
    workerThread.quit();
    workerThread.wait();

    if (!done)
        return Report::fail(QStringLiteral("the worker did not answer within ten minutes"));
    if (answer.damaged.size() != options.expectInstalled)
        return Report::fail(QStringLiteral("%1 modules checked, not %2")
                                .arg(answer.damaged.size())
                                .arg(options.expectInstalled));
    int damaged = 0;
    for (const int files : qAsConst(answer.damaged))
        damaged += files;
    if (damaged != options.expectFlagged)
        return Report::fail(QStringLiteral("%1 files found damaged, not %2")
                                .arg(damaged)
                                .arg(options.expectFlagged));
    Report::value("seconds", finishedAt - startedAt);
    return 0;
}
