// The download on a bad link: cut at half of the archive and resumed, and stalled at half. Each
// runs against a service of its own that shows the fault on every archive it sends.

#include "driver/bench.h"
#include "driver/servicelog.h"
#include "driver/treecompare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {

// The stall time-out of the runs, shortened from the program's 30 s through its test seam so
// that a run takes seconds; the target is this time-out and one second more.
constexpr int stallMs = 3000;

} // namespace

void Bench::caseDownloadFaults()
{
    const qint64 size = QFileInfo(m_archive).size();
    // The later half is never longer than the first, so a resumed transfer meets no fault.
    const QString half = QString::number((size + 1) / 2);
    const QString root = m_config.scratch + QStringLiteral("/download-faults");
    const QString home = root + QStringLiteral("/home");
    const QStringList download = downloadArguments();

    struct Fault
    {
        QString name;
        QStringList serviceOptions;
        QStringList clientOptions;
    };
    const QVector<Fault> faults = {
        {QStringLiteral("download cut at half and resumed: bytes sent / archive"),
         {QStringLiteral("--cut-after"), half},
         {}},
        {QStringLiteral("download stalled at half: last byte sent to stall detected (time-out "
                        "%1 s)")
             .arg(stallMs / 1000),
         {QStringLiteral("--stall-after"), half},
         {QStringLiteral("--stall-ms"), QString::number(stallMs)}}};
    for (const Fault &fault : faults) {
        progress(fault.name);
        QProcess service;
        QString url;
        const QString log =
            m_config.work +
            QStringLiteral("/service-%1.log").arg(fault.serviceOptions.first().mid(2));
        if (!startService(service, fault.serviceOptions, log, &url))
            return;
        QVector<double> figures;
        for (int run = 0; run < m_config.faultRuns; ++run) {
            QDir(home).removeRecursively();
            const ServiceSent before = archiveSent(log, m_moduleId);
            const ProcessResult result = client(download + fault.clientOptions, home, url);
            if (!result.ok()) {
                stopService(service);
                failed(fault.name, QStringLiteral("ours: ") + result.describe());
                return;
            }
            const QString wrong =
                compareTrees(m_moduleSource, home + QStringLiteral("/Desktop/Tavro Modules"),
                             {QStringLiteral("tavro-modules.txt")});
            if (!wrong.isEmpty()) {
                stopService(service);
                failed(fault.name, QStringLiteral("ours: the downloaded module differs: ") + wrong);
                return;
            }
            // The last answer is logged as soon as it has gone; give the log a moment.
            ServiceSent after = archiveSent(log, m_moduleId);
            for (int wait = 0; wait < 20 && after.bytes - before.bytes < size; ++wait) {
                QThread::msleep(100);
                after = archiveSent(log, m_moduleId);
            }
            const bool stalled = after.stalledMs.size() > before.stalledMs.size();
            if (!fault.clientOptions.isEmpty() && !stalled) {
                stopService(service);
                failed(fault.name, QStringLiteral("the service's log shows no stalled answer"));
                return;
            }
            figures << (stalled ? after.stalledMs.last() / 1000.0
                                : double(after.bytes - before.bytes) / double(size));
        }
        stopService(service);
        if (fault.clientOptions.isEmpty()) {
            m_table.addLimit(fault.name, figures, 1.02, QStringLiteral("x"));
            detail(QStringLiteral("download resumed, bytes sent / archive"), figures,
                   QStringLiteral("x"));
        } else {
            m_table.addLimit(fault.name, figures, (stallMs + 1000) / 1000.0, QStringLiteral("s"));
            detail(QStringLiteral("download stalled, last byte sent to stall detected"), figures,
                   QStringLiteral("s"));
        }
    }
    QDir(root).removeRecursively();
}
