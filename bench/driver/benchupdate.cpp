// Updating an installed module: the window's "Download Module" for a module whose old version is
// installed, from the click until the new version is unpacked, against a service that gives
// byte ranges (the update fetches what changed) and one that does not (the whole archive comes,
// as every update did before). Both end with the same tree, checked byte for byte.

#include "driver/bench.h"
#include "driver/datagen.h"
#include "driver/servicelog.h"
#include "driver/treecompare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <unistd.h>

namespace {

// One file in this many changes in the first new version.
constexpr int changedEvery = 100;

} // namespace

bool Bench::prepareUpdates()
{
    for (const Update &update : qAsConst(m_updates)) {
        QDir(update.source).removeRecursively();
        QDir().mkpath(update.source);
        if (update.name == QLatin1String("some")) {
            progress(QStringLiteral("changing one file in %1 of the module").arg(changedEvery));
            const ProcessResult copied =
                peer(QStringLiteral("cp"),
                     {QStringLiteral("-a"), m_moduleSource + QLatin1Char('/') + m_moduleId,
                      update.source});
            if (!copied.ok())
                return failed(QStringLiteral("data"), QStringLiteral("cp: ") + copied.describe());
            changeFiles(update.source + QLatin1Char('/') + m_moduleId, changedEvery, 7);
        } else {
            progress(QStringLiteral("writing the module anew"));
            writeModuleTree(update.source, m_moduleId, m_config.moduleBytes, m_config.moduleFiles,
                            m_config.moduleParts, 5);
        }
        QFile::remove(update.archive);
        const ProcessResult zipped = peer(
            QStringLiteral("zip"),
            {QStringLiteral("-q"), QStringLiteral("-r"), QStringLiteral("-X"), QStringLiteral("-n"),
             QStringLiteral(".jpg:.mp4:.png"), update.archive, m_moduleId},
            update.source);
        if (!zipped.ok())
            return failed(QStringLiteral("data"), QStringLiteral("zip: ") + zipped.describe());
    }
    return true;
}

bool Bench::installModule(const QString &root, const QString &installed)
{
    QDir(root).removeRecursively();
    QDir().mkpath(installed);
    const QString inLibrary = installed + QLatin1Char('/') + m_moduleId + QStringLiteral(".zip");
    const QString setUp = QStringLiteral("installing the module");
    if (!QFile::copy(m_archive, inLibrary))
        return failed(setUp, QStringLiteral("cannot copy the archive"));
    const ProcessResult unpacked = client({QStringLiteral("unpack"), QStringLiteral("--archive"),
                                           inLibrary, QStringLiteral("--library"), installed},
                                          root + QStringLiteral("/unpack-home"));
    QFile index(installed + QLatin1Char('/') + indexName);
    const QJsonObject record{{QStringLiteral("_id"), m_moduleId},
                             {QStringLiteral("name"), m_moduleName},
                             {QStringLiteral("version"), QStringLiteral("1.0")}};
    if (!unpacked.ok() || !index.open(QIODevice::WriteOnly) ||
        index.write(QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n') < 0 ||
        !compareTrees(m_moduleSource, installed, {indexName}).isEmpty())
        return failed(setUp, unpacked.describe());
    return true;
}

void Bench::caseUpdate()
{
    const QString root = m_config.scratch + QStringLiteral("/update");
    // The old version, installed once by our own unpacking; every run starts from a copy.
    const QString installed = root + QStringLiteral("/installed");
    if (!installModule(root, installed))
        return;

    const QStringList download = downloadArguments();
    for (const Update &update : qAsConst(m_updates)) {
        const bool some = update.name == QLatin1String("some");
        const qint64 size = QFileInfo(update.archive).size();
        const QString name =
            QStringLiteral("update of %1, %2: time")
                .arg(sizeText(size), some
                                         ? QStringLiteral("1 entry in %1 changed").arg(changedEvery)
                                         : QStringLiteral("every entry changed"));
        const QString bytesName = some ? QStringLiteral("update, 1 entry in %1 changed: bytes "
                                                        "sent / archive")
                                             .arg(changedEvery)
                                       : QStringLiteral("update, every entry changed: bytes sent "
                                                        "/ whole archive's");
        progress(name);

        // Side 0 fetches what changed; side 1 is given the whole archive.
        QProcess services[2];
        QString urls[2], logs[2], homes[2];
        for (int side = 0; side < 2; ++side) {
            logs[side] = m_config.work + QStringLiteral("/service-update-%1-%2.log")
                                             .arg(update.name, side == 0 ? "ranges" : "whole");
            homes[side] = root + (side == 0 ? QStringLiteral("/ranges") : QStringLiteral("/whole"));
            if (!startService(services[side],
                              side == 0 ? QStringList()
                                        : QStringList{QStringLiteral("--ignore-ranges")},
                              logs[side], &urls[side], update.catalogue)) {
                stopService(services[0]);
                return;
            }
        }
        const auto stop = [&] {
            stopService(services[0]);
            stopService(services[1]);
        };

        QVector<double> seconds[2], sent[2];
        for (int run = -1; run < m_config.updateRuns; ++run) {
            for (int turn = 0; turn < 2; ++turn) {
                const int side = (run + turn) % 2 == 0 ? 0 : 1;
                const QString library = homes[side] + libraryBelowHome;
                QDir(homes[side]).removeRecursively();
                QDir().mkpath(homes[side] + QStringLiteral("/Desktop"));
                // The installed files are linked, not copied: files written a moment before
                // read at half the speed of files that were installed a while ago, as a user's
                // are. An update never writes into an installed file (it puts the new one in
                // its place), so the old version stays as it is, which the end of the case
                // checks.
                const ProcessResult copied =
                    peer(QStringLiteral("cp"), {QStringLiteral("-al"), installed, library});
                ::sync();
                const qint64 before = archiveSent(logs[side], m_moduleId).bytes;
                const ProcessResult result =
                    copied.ok() ? client(download, homes[side], urls[side]) : copied;
                if (!result.ok()) {
                    stop();
                    failed(name, QStringLiteral("ours: ") + result.describe());
                    return;
                }
                const QString wrong = compareTrees(update.source, library, {indexName});
                if (!wrong.isEmpty()) {
                    stop();
                    failed(name, QStringLiteral("the updated module differs: ") + wrong);
                    return;
                }
                // Each answer is logged once it has gone; give the log a moment.
                qint64 after = archiveSent(logs[side], m_moduleId).bytes;
                for (int wait = 0; wait < 20 && after == before; ++wait) {
                    QThread::msleep(100);
                    after = archiveSent(logs[side], m_moduleId).bytes;
                }
                if (run >= 0) {
                    seconds[side]
                        << result.results().value(QStringLiteral("installed_seconds")).toDouble();
                    sent[side] << double(after - before);
                }
            }
            // What fetching the changes installed is what the whole archive installed.
            const QString differs =
                compareTrees(homes[1] + libraryBelowHome, homes[0] + libraryBelowHome, {indexName});
            if (!differs.isEmpty()) {
                stop();
                failed(name, QStringLiteral("the update by ranges differs from the whole "
                                            "archive's: ") +
                                 differs);
                return;
            }
        }
        stop();

        QVector<double> share;
        for (int run = 0; run < sent[0].size(); ++run)
            share << sent[0].at(run) / (some ? double(size) : sent[1].at(run));
        m_table.addRatio(name, QStringLiteral("the whole archive"), seconds[0], seconds[1],
                         some ? 0.2 : 1.05);
        m_table.addLimit(bytesName, share, some ? 0.03 : 1.05, QStringLiteral("x"));
        detail(QStringLiteral("update (%1 changed), by ranges").arg(update.name), seconds[0],
               QStringLiteral("s"));
        detail(QStringLiteral("update (%1 changed), whole archive").arg(update.name), seconds[1],
               QStringLiteral("s"));
        detail(QStringLiteral("update (%1 changed), bytes sent by ranges / %2")
                   .arg(update.name, some ? "archive" : "whole archive's"),
               share, QStringLiteral("x"));
    }
    const QString touched = compareTrees(m_moduleSource, installed, {indexName});
    if (!touched.isEmpty())
        failed(QStringLiteral("update"),
               QStringLiteral("an update changed the old version's files: ") + touched);
    QDir(root).removeRecursively();
}
