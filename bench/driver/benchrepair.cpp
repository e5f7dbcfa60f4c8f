// Repairing a damaged module: one entry in a hundred of the installed module deleted or cut
// short, then the window's "Download Module" for the same version, which fetches by ranges only
// what differs. The bytes the service sent are held against those entries' bytes in the archive.

#include "driver/bench.h"
#include "driver/servicelog.h"
#include "driver/treecompare.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QThread>

#include <unistd.h>

namespace {

// One entry in this many is damaged.
constexpr int damagedEvery = 100;

} // namespace

void Bench::caseRepair()
{
    const QString name =
        QStringLiteral("repair, 1 entry in %1 damaged: bytes sent / (their archive bytes x 1.05 "
                       "+ 64 KiB)")
            .arg(damagedEvery);
    progress(name);
    // Installed once by the client's own download, as a user's module is, which keeps the
    // archive's directory; every run starts from a copy.
    const QString root = m_config.scratch + QStringLiteral("/repair");
    const QString installHome = root + QStringLiteral("/install-home");
    const QString installed = installHome + libraryBelowHome;
    QDir(root).removeRecursively();
    QDir().mkpath(installHome + QStringLiteral("/Desktop"));
    const ProcessResult install = client(downloadArguments(), installHome);
    if (!install.ok() || !compareTrees(m_moduleSource, installed, {indexName}).isEmpty()) {
        failed(name, QStringLiteral("installing the module: ") + install.describe());
        return;
    }

    // Each file entry's bytes in the archive: its local header, name and packed data ("zip -X"
    // writes no extra fields), from "unzip -Zl": mode version system size kind packed ...
    QHash<QString, qint64> archiveBytes;
    const QString listing =
        peer(QStringLiteral("unzip"), {QStringLiteral("-Zl"), m_archive}).output;
    QStringList files;
    for (const QString &line : listing.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 10 || !fields.at(0).startsWith(QLatin1Char('-')))
            continue;
        const QString path = fields.mid(9).join(QLatin1Char(' '));
        archiveBytes.insert(path, 30 + path.toUtf8().size() + fields.at(5).toLongLong());
        files << path;
    }
    files.sort();

    QVector<double> shares, sent;
    qint64 damagedBytes = 0;
    const QString home = root + QStringLiteral("/home");
    for (int run = -1; run < m_config.faultRuns; ++run) {
        QDir(home).removeRecursively();
        QDir().mkpath(home + QStringLiteral("/Desktop"));
        const QString library = home + libraryBelowHome;
        // Linked, as in the update case; a damaged file is unlinked first, so that the
        // installed copy stays whole.
        const ProcessResult copied =
            peer(QStringLiteral("cp"), {QStringLiteral("-al"), installed, library});
        damagedBytes = 0;
        for (int at = damagedEvery / 2; copied.ok() && at < files.size(); at += damagedEvery) {
            const QString path = library + QLatin1Char('/') + files.at(at);
            QFile whole(path);
            const QByteArray bytes =
                whole.open(QIODevice::ReadOnly) ? whole.readAll() : QByteArray();
            whole.close();
            QFile::remove(path);
            // Every other one cut short rather than deleted.
            QFile cut(path);
            if ((at / damagedEvery) % 2 && cut.open(QIODevice::WriteOnly))
                cut.write(bytes.left(bytes.size() / 2));
            damagedBytes += archiveBytes.value(files.at(at));
        }
        ::sync();
        const QString log = m_config.work + QStringLiteral("/service.log");
        const qint64 before = archiveSent(log, m_moduleId).bytes;
        const ProcessResult result = copied.ok() ? client(downloadArguments(), home) : copied;
        if (!result.ok()) {
            failed(name, QStringLiteral("ours: ") + result.describe());
            return;
        }
        const QString wrong = compareTrees(m_moduleSource, library, {indexName});
        if (!wrong.isEmpty()) {
            failed(name, QStringLiteral("the repaired module differs: ") + wrong);
            return;
        }
        // Each answer is logged once it has gone; give the log a moment.
        qint64 after = archiveSent(log, m_moduleId).bytes;
        for (int wait = 0; wait < 20 && after == before; ++wait) {
            QThread::msleep(100);
            after = archiveSent(log, m_moduleId).bytes;
        }
        if (run >= 0) {
            shares << double(after - before) / (double(damagedBytes) * 1.05 + 64 * 1024);
            sent << double(after - before);
        }
    }
    m_table.addLimit(name, shares, 1.0, QStringLiteral("x"));
    detail(QStringLiteral("repair, bytes sent / bound"), shares, QStringLiteral("x"));
    detail(QStringLiteral("repair, bytes sent (the damaged entries take %1 in the archive)")
               .arg(damagedBytes),
           sent, QStringLiteral("B"));
    const QString touched = compareTrees(m_moduleSource, installed, {indexName});
    if (!touched.isEmpty())
        failed(name, QStringLiteral("a repair changed the installed files: ") + touched);
    QDir(root).removeRecursively();
}
