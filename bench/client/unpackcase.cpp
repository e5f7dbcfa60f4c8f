// Unpacking: the worker's own slot on a worker thread, from the call to its report, with the
// process's memory meanwhile.

#include "client/cases.h"
#include "client/report.h"
#include "client/windowsession.h"

#include "common/procstat.h"
#include "worker/module.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

int runUnpack(const ClientOptions &options)
{
    if (!QFile::exists(options.archive))
        return Report::fail(QStringLiteral("no archive at %1").arg(options.archive));

    QThread workerThread;
    auto *worker = new Module;
    worker->moveToThread(&workerThread);
    QObject::connect(&workerThread, &QThread::finished, worker, &QObject::deleteLater);
    workerThread.start();

    bool reported = false;
    QString status;
    double finishedAt = 0;
    QObject::connect(worker, &Module::notifyFileDone, qApp, [&](const QString &answer) {
        finishedAt = now();
        status = answer;
        reported = true;
    });

    const qint64 idleKb = ProcStat::residentKb();
    const bool peakReset = ProcStat::resetPeak();
    ResidentSampler sampler;
    const double startedAt = now();
    QMetaObject::invokeMethod(worker, "unzipFile", Qt::QueuedConnection,
                              Q_ARG(QString, options.archive), Q_ARG(QString, options.library));
    const bool done = waitUntil([&reported] { return reported; }, 600000);
    const qint64 peakKb = peakReset ? ProcStat::peakResidentKb() : -1;
    sampler.stop();
    workerThread.quit();
    workerThread.wait();

    if (!done)
        return Report::fail(QStringLiteral("the worker did not report within ten minutes"));
    if (status != QLatin1String("success"))
        return Report::fail(QStringLiteral("the worker reported \"%1\"").arg(status));
    if (QFile::exists(options.archive))
        return Report::fail(QStringLiteral("the archive was left in the library"));
    Report::value("seconds", finishedAt - startedAt);
    Report::value("idle_kb", double(idleKb));
    Report::value("peak_kb", double(peakReset ? peakKb : sampler.highestKb()));
    return 0;
}
