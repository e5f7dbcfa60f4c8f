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

qint64 Bench::entriesOf(const QString &archive)
{
    return peer(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive})
        .output.count(QLatin1Char('\n'));
}

void Bench::caseUnpack()
{
    unpackArchive(
        QStringLiteral("unpack one entry of %1").arg(sizeText(QFileInfo(m_videoArchive).size())),
        m_videoArchive, m_videoSource, 1.1, true);
    unpackArchive(QStringLiteral("unpack %1 in %2 entries")
                      .arg(sizeText(QFileInfo(m_archive).size()))
                      .arg(m_archiveEntries),
                  m_archive, m_moduleSource, 1.0, false);
    unpackArchive(QStringLiteral("unpack %1 small entries, %2")
                      .arg(entriesOf(m_pagesArchive))
                      .arg(sizeText(QFileInfo(m_pagesArchive).size())),
                  m_pagesArchive, m_pagesSource, 1.0, false);
}

void Bench::unpackArchive(const QString &name, const QString &archive, const QString &source,
                          double limit, bool memory)
{
    progress(name);
    const QString root = m_config.scratch + QStringLiteral("/unpack");
    const QString library = root + QStringLiteral("/library");
    // Every side reads the same copy of the archive, on the same file system as the library.
    const QString copy = root + QStringLiteral("/source.zip");
    QDir().mkpath(root);
    QFile::remove(copy);
    if (!QFile::copy(archive, copy)) {
        failed(name, QStringLiteral("cannot copy the archive to %1").arg(copy));
        return;
    }
    QVector<double> ours, bsdtar, grown;

    const auto runOurs = [&](bool counted) {
        freshFolder(library);
        // The archive lies in the library folder as a download leaves it; the worker deletes it.
        const QString inLibrary = library + QLatin1Char('/') + QFileInfo(archive).fileName();
        if (::link(QFile::encodeName(copy).constData(), QFile::encodeName(inLibrary).constData()) !=
            0)
            return failed(name, QStringLiteral("cannot link the archive into %1").arg(library));
        quiet();
        const ProcessResult result = client({QStringLiteral("unpack"), QStringLiteral("--archive"),
                                             inLibrary, QStringLiteral("--library"), library},
                                            root + QStringLiteral("/home"));
        if (!result.ok())
            return failed(name, QStringLiteral("ours: ") + result.describe());
        const QString wrong = compareTrees(source, library);
        if (!wrong.isEmpty())
            return failed(name, QStringLiteral("ours unpacked a different tree: ") + wrong);
        if (counted) {
            ours << result.results().value(QStringLiteral("seconds")).toDouble();
            grown << result.grownMiB();
        }
        return true;
    };
    const auto runBsdtar = [&](bool counted) {
        freshFolder(library);
        quiet();
        const ProcessResult result = peer(
            QStringLiteral("bsdtar"), {QStringLiteral("-xf"), copy, QStringLiteral("-C"), library});
        if (!result.ok())
            return failed(name, QStringLiteral("bsdtar: ") + result.describe());
        // The peer is checked once, which checks the data as well.
        if (!counted) {
            const QString wrong = compareTrees(source, library);
            if (!wrong.isEmpty())
                return failed(name, QStringLiteral("bsdtar unpacked a different tree: ") + wrong);
        }
        if (counted)
            bsdtar << result.seconds;
        return true;
    };

    for (int run = -1; run < m_config.runs; ++run) {
        const bool counted = run >= 0;
        const bool ok = run % 2 == 0 ? runOurs(counted) && runBsdtar(counted)
                                     : runBsdtar(counted) && runOurs(counted);
        if (!ok)
            return;
    }
    QDir(root).removeRecursively();
    m_table.addRatio(name, QStringLiteral("bsdtar -xf"), ours, bsdtar, limit);
    if (memory)
        m_table.addLimit(name + QStringLiteral(": memory above idle"), grown, 64,
                         QStringLiteral("MB"));
    detail(name + QStringLiteral(", ours"), ours, QStringLiteral("s"));
    detail(name + QStringLiteral(", bsdtar"), bsdtar, QStringLiteral("s"));
    detail(name + QStringLiteral(", ours, peak minus idle memory"), grown, QStringLiteral("MB"));
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
    // The copy keeps a record of what it wrote on the drive, which the library has no part in.
    const QStringList copyRecord = {QStringLiteral(".tavro-copy.files")};
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
        const QString wrong =
            compareTrees(library, drive + QStringLiteral("/Tavro Modules"), copyRecord);
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
        // Ours reads back what it wrote; a careful user compares the copy by hand.
        const ProcessResult compared =
            peer(QStringLiteral("diff"),
                 {QStringLiteral("-r"), library, drive + QStringLiteral("/Tavro Modules")});
        if (!compared.ok())
            return failed(name, QStringLiteral("diff: ") + compared.describe());
        if (!counted) {
            const QString wrong = compareTrees(library, drive + QStringLiteral("/Tavro Modules"));
            if (!wrong.isEmpty())
                return failed(name, QStringLiteral("cp copied a different tree: ") + wrong);
        }
        QDir(drive).removeRecursively();
        if (counted)
            cp << result.seconds + compared.seconds;
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
    m_table.addRatio(name, QStringLiteral("cp -r, then diff -r"), ours, cp, 1.0);
    m_table.addRatio(again, QStringLiteral("rsync -a, second run"), oursAgain, rsync, 3.0);
    detail(QStringLiteral("copy, ours"), ours, QStringLiteral("s"));
    detail(QStringLiteral("copy, cp -r then diff -r"), cp, QStringLiteral("s"));
    detail(QStringLiteral("copy again, ours"), oursAgain, QStringLiteral("s"));
    detail(QStringLiteral("copy again, rsync -a"), rsync, QStringLiteral("s"));
}
