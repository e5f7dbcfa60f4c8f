#include "archive/archiveextractor.h"

#include "archive/archivestager.h"
#include "archive/archivetail.h"
#include "archive/installrecord.h"
#include "archive/stagedinstall.h"
#include "archive/stagingfolder.h"
#include "archive/ziparchivefile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>

namespace {

// What the archive installs: the whole version's files. An update by ranges brings an archive
// of the changes only, and leaves the whole version's record beside it.
InstallRecord newRecord(const QString &archivePath, const ZipDirectory &directory)
{
    InstallRecord pending;
    return pending.read(InstallRecord::pendingPathFor(archivePath))
               ? pending
               : InstallRecord::fromDirectory(directory);
}

// What the previous version installed and this one does not hold, and the folders this one
// has.
void findStale(const InstallRecord &previous, const InstallRecord &next,
               QVector<InstallRecord::File> *staleFiles, QSet<QString> *newFolders)
{
    QSet<QString> nextFiles;
    for (const InstallRecord::File &file : next.files()) {
        nextFiles.insert(file.path);
        for (QString folder = file.path.section(QLatin1Char('/'), 0, -2); !folder.isEmpty();
             folder = folder.section(QLatin1Char('/'), 0, -2))
            newFolders->insert(folder);
    }
    for (const InstallRecord::File &file : previous.files()) {
        if (!nextFiles.contains(file.path))
            staleFiles->append(file);
    }
}

} // namespace

JobResult extractArchive(const QString &archivePath, const QString &destination)
{
    StagingFolder::removeLeftovers(destination);

    ZipArchiveFile archive;
    if (!archive.read(archivePath))
        return {false, archive.error(), archive.problem()};

    // Everything is judged before anything is written: one unsafe entry refuses the archive.
    ArchiveStager stager(archive.directory(), archive.fileOrder(), archivePath, destination);
    if (!stager.plan())
        return {false, stager.error(), stager.problem()};

    // Unpack into a hidden folder inside the destination first. A failure then leaves nothing
    // half written, and the final moves are renames on the same drive.
    const StagingFolder staging(destination);
    const QString tree = staging.path() + QStringLiteral("/tree");
    const QString setAside = staging.path() + QStringLiteral("/replaced");
    if (!staging.isValid() || !QDir().mkdir(tree) || !QDir().mkdir(setAside))
        return {
            false,
            QCoreApplication::translate("ArchiveExtractor", "the library folder cannot be written"),
            destination};
    if (!stager.stage(tree))
        return {false, stager.error(), stager.problem()};

    // A module installed before records were kept has none: nothing of it is taken away.
    const QString recordPath =
        InstallRecord::pathFor(destination, InstallRecord::moduleIdOf(archivePath));
    InstallRecord previous;
    previous.read(recordPath);
    const InstallRecord next = newRecord(archivePath, archive.directory());
    QVector<InstallRecord::File> staleFiles;
    QSet<QString> newFolders;
    findStale(previous, next, &staleFiles, &newFolders);
    for (const ArchiveStager::Entry &entry : stager.entries()) {
        if (archive.directory().entries().at(entry.index).kind() == ZipDirectory::Kind::Folder)
            newFolders.insert(entry.path);
    }

    StagedInstall install(tree, destination, setAside);
    install.removeAlso(staleFiles, newFolders);
    if (!install.run())
        return {false, install.error(), QString()};
    if (!next.write(recordPath)) {
        // A record of the version before would take away the wrong files at the next update.
        qWarning().noquote() << "The install record" << recordPath
                             << "could not be written; the module is treated as having none";
        QFile::remove(recordPath);
        QFile::remove(ArchiveTail::pathFor(destination, InstallRecord::moduleIdOf(archivePath)));
        return {true, QString(), QString()};
    }
    ArchiveTail::keepAfterInstall(archivePath, archive, destination);
    return {true, QString(), QString()};
}

JobResult checkArchive(const QString &archivePath)
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
