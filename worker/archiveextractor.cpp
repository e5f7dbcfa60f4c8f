#include "worker/archiveextractor.h"

#include "worker/archivestager.h"
#include "worker/stagedinstall.h"
#include "worker/zipdirectory.h"
#include "worker/zipentryreader.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtGui/private/qzipreader_p.h>

namespace {

QVector<QZipReader::FileInfo> listing(const QString &archivePath)
{
    // The reader reads the archive first, so that its own warnings about a broken archive
    // ("QZip: ...") reach the debug output.
    const QZipReader reader(archivePath);
    return reader.fileInfoList();
}

} // namespace

ExtractResult extractArchive(const QString &archivePath, const QString &destination)
{
    const QVector<QZipReader::FileInfo> infos = listing(archivePath);
    ZipDirectory directory;
    if (!directory.read(archivePath))
        return {false, directory.error()};
    ZipEntryReader reader(archivePath);
    if (!reader.open(directory))
        return {false, QStringLiteral("cannot read archive")};

    // Everything is judged before anything is written: one unsafe entry refuses the archive.
    ArchiveStager stager(reader, destination);
    if (!stager.plan(directory, infos))
        return {false, stager.error()};

    // Unpack into a hidden folder inside the destination first. A failure then leaves nothing
    // half written, and the final moves are renames on the same drive.
    QTemporaryDir staging(destination + QStringLiteral("/.unpack-XXXXXX"));
    const QString tree = staging.path() + QStringLiteral("/tree");
    const QString setAside = staging.path() + QStringLiteral("/replaced");
    if (!staging.isValid() || !QDir().mkdir(tree) || !QDir().mkdir(setAside))
        return {false, QStringLiteral("cannot write to %1").arg(destination)};
    if (!stager.stage(tree))
        return {false, stager.error()};

    StagedInstall install(tree, destination, setAside);
    if (!install.run())
        return {false, install.error()};
    return {true, QString()};
}
