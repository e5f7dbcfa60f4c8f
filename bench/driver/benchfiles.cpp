// The cases that move files: unpacking a module archive and copying the library to a drive.

#include "driver/bench.h"
#include "driver/treecompare.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

bool freshFolder(const QString &path)
{
    QDir(path).removeRecursively();
    return QDir().mkpath(path);
}

// Each run starts with nothing left to write back from the run before.
void quiet()
{
    ::sync();
}

} // namespace

void Bench::caseUnpack()
{
    const QString name = QStringLiteral("unpack %1, %2 entries")
                             .arg(sizeText(QFileInfo(m_archive).size()))
                             .arg(m_archiveEntries);
    progress(name);
    const QString root = m_config.scratch + QStringLiteral("/unpack");
    const QString library = root + QStringLiteral("/library");
    // Every side reads the same copy of the archive, on the same file system as the library.
    const QString source = root + QStringLiteral("/source.zip");
    QDir().mkpath(root);
    if (!QFile::copy(m_archive, source)) {
        failed(name, QStringLiteral("cannot copy the archive to %1").arg(source));
        return;
    }
    QVector<double> ours, bsdtar, unzip;

    const auto runOurs = [&](bool counted) {
        freshFolder(library);
        // The archive lies in the library folder as a download leaves it; the worker deletes it.
        const QString archive = library + QLatin1Char('/') + m_moduleId + QStringLiteral(".zip");
        if (::link(QFile::encodeName(source).constData(), QFile::encodeName(archive).constData()) !=
            0)
            return failed(name, QStringLiteral("cannot link the archive into %1").arg(library));
        quiet();
        const ProcessResult result = client({QStringLiteral("unpack"), QStringLiteral("--archive"),
                                             archive, QStringLiteral("--library"), library},
                                            root + QStringLiteral("/home"));
        if (!result.ok())
            return failed(name, QStringLiteral("ours: ") + result.describe());
        const QString wrong = compareTrees(m_moduleSource, library);
        if (!wrong.isEmpty())
            return failed(name, QStringLiteral("ours unpacked a different tree: ") + wrong);
        if (counted)
            ours << result.results().value(QStringLiteral("seconds")).toDouble();
        return true;
    };
    const auto runPeer = [&](const QString &program, const QStringList &arguments,
                             QVector<double> *seconds, bool counted) {
        freshFolder(library);
        quiet();
        const ProcessResult result = peer(program, arguments);
        if (!result.ok())
            return failed(name, program + QStringLiteral(": ") + result.describe());
        // The peers are checked once, which checks the data as well.
        if (!counted) {
            const QString wrong = compareTrees(m_moduleSource, library);
            if (!wrong.isEmpty())
                return failed(name,
                              program + QStringLiteral(" unpacked a different tree: ") + wrong);
        }
        if (counted)
            *seconds << result.seconds;
        return true;
    };
    const auto runBsdtar = [&](bool counted) {
        return runPeer(QStringLiteral("bsdtar"),
                       {QStringLiteral("-xf"), source, QStringLiteral("-C"), library}, &bsdtar,
                       counted);
    };
    const auto runUnzip = [&](bool counted) {
        return runPeer(
            QStringLiteral("unzip"),
            {QStringLiteral("-o"), QStringLiteral("-q"), source, QStringLiteral("-d"), library},
            &unzip, counted);
    };

    for (int run = -1; run < m_config.runs; ++run) {
        const bool counted = run >= 0;
        const bool ok = run % 2 == 0 ? runOurs(counted) && runBsdtar(counted) && runUnzip(counted)
                                     : runUnzip(counted) && runBsdtar(counted) && runOurs(counted);
        if (!ok)
            return;
    }
    QDir(root).removeRecursively();
    m_table.addRatio(name, QStringLiteral("bsdtar -xf"), ours, bsdtar, 1.25);
    m_table.addRatio(name, QStringLiteral("unzip -o -q"), ours, unzip, 0.8);
    detail(QStringLiteral("unpack, ours"), ours, QStringLiteral("s"));
    detail(QStringLiteral("unpack, bsdtar"), bsdtar, QStringLiteral("s"));
    detail(QStringLiteral("unpack, unzip"), unzip, QStringLiteral("s"));
}

void Bench::caseCopy()
{
    const QString name = QStringLiteral("copy a library of %1, %2 files to an empty drive")
                             .arg(sizeText(m_config.libraryBytes))
                             .arg(m_config.libraryFiles);
    const QString again = QStringLiteral("copy it again, nothing changed");
    progress(name);
    const QString library = m_copyHome + QStringLiteral("/Desktop/Tavro Modules");
    const QString drives = m_config.scratch + QStringLiteral("/drives");
    const QString rsyncTarget = drives + QStringLiteral("/rsync/Tavro Modules");
    QVector<double> ours, oursAgain, cp, rsync;

    const auto runOurs = [&](bool counted) {
        const QString drive = drives + QStringLiteral("/ours");
        freshFolder(drive);
        quiet();
        const ProcessResult result = client(
            {QStringLiteral("copy"), QStringLiteral("--drive"), drive, QStringLiteral("--repeat")},
            m_copyHome);
        if (!result.ok())
            return failed(name, QStringLiteral("ours: ") + result.describe());
        const QString wrong = compareTrees(library, drive + QStringLiteral("/Tavro Modules"));
        if (!wrong.isEmpty())
            return failed(name, QStringLiteral("ours copied a different tree: ") + wrong);
        QDir(drive).removeRecursively();
        if (counted) {
            ours << result.results().value(QStringLiteral("seconds")).toDouble();
            oursAgain << result.results().value(QStringLiteral("repeat_seconds")).toDouble();
        }
        return true;
    };
    const auto runCp = [&](bool counted) {
        const QString drive = drives + QStringLiteral("/cp");
        freshFolder(drive);
        quiet();
        const ProcessResult result =
            peer(QStringLiteral("cp"),
                 {QStringLiteral("-r"), library, drive + QStringLiteral("/Tavro Modules")});
        if (!result.ok())
            return failed(name, QStringLiteral("cp: ") + result.describe());
        if (!counted) {
            const QString wrong = compareTrees(library, drive + QStringLiteral("/Tavro Modules"));
            if (!wrong.isEmpty())
                return failed(name, QStringLiteral("cp copied a different tree: ") + wrong);
        }
        QDir(drive).removeRecursively();
        if (counted)
            cp << result.seconds;
        return true;
    };
    // The warm-up run is rsync's first; every counted run is a repeat with nothing changed.
    const auto runRsync = [&](bool counted) {
        if (!counted)
            freshFolder(rsyncTarget);
        quiet();
        const ProcessResult result =
            peer(QStringLiteral("rsync"), {QStringLiteral("-a"), library + QLatin1Char('/'),
                                           rsyncTarget + QLatin1Char('/')});
        if (!result.ok())
            return failed(again, QStringLiteral("rsync: ") + result.describe());
        if (!counted) {
            const QString wrong = compareTrees(library, rsyncTarget);
            if (!wrong.isEmpty())
                return failed(again, QStringLiteral("rsync copied a different tree: ") + wrong);
        }
        if (counted)
            rsync << result.seconds;
        return true;
    };

    for (int run = -1; run < m_config.runs; ++run) {
        const bool counted = run >= 0;
        const bool ok = run % 2 == 0 ? runOurs(counted) && runCp(counted) && runRsync(counted)
                                     : runRsync(counted) && runCp(counted) && runOurs(counted);
        if (!ok)
            return;
    }
    QDir(drives).removeRecursively();
    m_table.addRatio(name, QStringLiteral("cp -r"), ours, cp, 1.10);
    m_table.addRatio(again, QStringLiteral("rsync -a, second run"), oursAgain, rsync, 3.0);
    detail(QStringLiteral("copy, ours"), ours, QStringLiteral("s"));
    detail(QStringLiteral("copy, cp -r"), cp, QStringLiteral("s"));
    detail(QStringLiteral("copy again, ours"), oursAgain, QStringLiteral("s"));
    detail(QStringLiteral("copy again, rsync -a"), rsync, QStringLiteral("s"));
}
