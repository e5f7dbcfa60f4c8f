#include "worker/archiveextractor.h"

#include "worker/archivestager.h"
#include "worker/entrypath.h"
#include "worker/stagedinstall.h"
#include "worker/ziparchivefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// Only one extraction runs at a time, so a staging folder found before one starts was left
// by an extraction that never finished.
void removeLeftovers(const QString &destination)
{
    const QFileInfoList leftovers =
        QDir(destination)
            .entryInfoList({EntryPath::stagingPrefix + QLatin1Char('*')},
                           QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System |
                               QDir::CaseSensitive);
    for (const QFileInfo &leftover : leftovers) {
        // A link is removed itself, never what it points at.
        if (leftover.isDir() && !leftover.isSymLink())
            QDir(leftover.filePath()).removeRecursively();
        else
            QFile::remove(leftover.filePath());
    }
}

} // namespace

ExtractResult extractArchive(const QString &archivePath, const QString &destination)
{
    removeLeftovers(destination);

    ZipArchiveFile archive;
    if (!archive.read(archivePath))
        return {false, archive.error(), archive.problem()};

    // Everything is judged before anything is written: one unsafe entry refuses the archive.
    ArchiveStager stager(archive.directory(), archive.fileOrder(), archivePath, destination);
    if (!stager.plan())
        return {false, stager.error(), stager.problem()};

    // Unpack into a hidden folder inside the destination first. A failure then leaves nothing
    // half written, and the final moves are renames on the same drive.
    QTemporaryDir staging(destination + QLatin1Char('/') + EntryPath::stagingPrefix +
                          QStringLiteral("XXXXXX"));
    const QString tree = staging.path() + QStringLiteral("/tree");
    const QString setAside = staging.path() + QStringLiteral("/replaced");
    if (!staging.isValid() || !QDir().mkdir(tree) || !QDir().mkdir(setAside))
        return {
            false,
            QCoreApplication::translate("ArchiveExtractor", "the library folder cannot be written"),
            destination};
    if (!stager.stage(tree))
        return {false, stager.error(), stager.problem()};

    StagedInstall install(tree, destination, setAside);
    if (!install.run())
        return {false, install.error(), QString()};
    return {true, QString(), QString()};
}

ExtractResult checkArchive(const QString &archivePath)
{
    ZipArchiveFile archive;
    if (!archive.read(archivePath))
        return {false, archive.error(), archive.problem()};
    ArchiveStager stager(archive.directory(), archive.fileOrder(), archivePath,
                         QFileInfo(archivePath).absolutePath());
    if (!stager.judge() || !stager.check())
        return {false, stager.error(), stager.problem()};
    return {true, QString(), QString()};
}
