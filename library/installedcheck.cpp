#include "library/installedcheck.h"

#include "archive/archivepath.h"
#include "archive/installrecord.h"
#include "browse/catalogrecord.h"
#include "library/foldersizes.h"
#include "library/libraryindex.h"

#include <QDebug>
#include <QFileInfo>

namespace {

QStringList indexedModules(const QString &libraryFolder)
{
    QVector<LibraryIndex::Line> lines;
    const LibraryIndex::Result read = LibraryIndex::read(libraryFolder, &lines);
    if (!read.ok && QFileInfo::exists(LibraryIndex::path(libraryFolder)))
        qDebug().noquote() << read.error;
    QStringList ids;
    for (const LibraryIndex::Line &line : qAsConst(lines)) {
        if (line.isRecord)
            ids.append(CatalogRecord(line.record).id());
    }
    return ids;
}

} // namespace

void checkInstalledFiles(InstalledCheck *check)
{
    check->damaged.clear();
    const QStringList ids =
        check->moduleIds.isEmpty() ? indexedModules(check->libraryFolder) : check->moduleIds;
    for (const QString &id : ids) {
        if (!ArchivePath::isSafeModuleId(id))
            continue;
        InstallRecord record;
        if (!record.read(InstallRecord::pathFor(check->libraryFolder, id)))
            continue;
        // Each folder is opened once for all its files.
        QHash<QString, QStringList> names;
        QHash<QString, QVector<qint64>> expected;
        for (const InstallRecord::File &file : record.files()) {
            const int slash = file.path.lastIndexOf(QLatin1Char('/'));
            const QString folder = slash < 0 ? QString() : file.path.left(slash);
            names[folder].append(file.path.mid(slash + 1));
            expected[folder].append(file.link ? FolderSizes::link : qint64(file.size));
        }
        int damaged = 0;
        for (auto folder = names.cbegin(); folder != names.cend(); ++folder) {
            const QVector<qint64> sizes = FolderSizes::of(
                check->libraryFolder + QLatin1Char('/') + folder.key(), folder.value());
            const QVector<qint64> &wanted = expected[folder.key()];
            for (int i = 0; i < sizes.size(); ++i)
                damaged += sizes.at(i) == -1 || sizes.at(i) != wanted.at(i);
        }
        if (damaged > 0)
            qDebug().noquote() << "Module" << id << "has" << damaged
                               << "files missing or cut short";
        check->damaged.insert(id, damaged);
    }
}
