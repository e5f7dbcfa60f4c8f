#include "worker/installedcheck.h"

#include "library/archivepath.h"
#include "library/libraryindex.h"
#include "worker/foldersizes.h"
#include "worker/installrecord.h"

#include <QDebug>
#include <QFileInfo>

namespace {

using Sizes = QHash<QString, qint64>;

QStringList indexedModules(const QString &libraryFolder)
{
    QVector<LibraryIndex::Line> lines;
    const LibraryIndex::Result read = LibraryIndex::read(libraryFolder, &lines);
    if (!read.ok && QFileInfo::exists(LibraryIndex::path(libraryFolder)))
        qDebug().noquote() << read.error;
    QStringList ids;
    for (const LibraryIndex::Line &line : qAsConst(lines)) {
        if (line.isRecord)
            ids.append(line.record.value(QStringLiteral("_id")).toString());
    }
    return ids;
}

} // namespace

void checkInstalledFiles(InstalledCheck *check)
{
    check->damaged.clear();
    const QStringList ids =
        check->moduleIds.isEmpty() ? indexedModules(check->libraryFolder) : check->moduleIds;
    // Modules may share folders; each is read once.
    QHash<QString, Sizes> folders;
    for (const QString &id : ids) {
        if (!ArchivePath::isSafeModuleId(id))
            continue;
        const QString recordPath = InstallRecord::pathFor(check->libraryFolder, id);
        InstallRecord record;
        if (!QFileInfo::exists(recordPath) || !record.read(recordPath))
            continue;
        int damaged = 0;
        for (const InstallRecord::File &file : record.files()) {
            const int slash = file.path.lastIndexOf(QLatin1Char('/'));
            const QString folder = slash < 0 ? QString() : file.path.left(slash);
            auto sizes = folders.find(folder);
            if (sizes == folders.end())
                sizes = folders.insert(
                    folder, FolderSizes::of(check->libraryFolder + QLatin1Char('/') + folder));
            const auto found = sizes->constFind(file.path.mid(slash + 1));
            if (found == sizes->cend() || quint64(*found) != file.size)
                ++damaged;
        }
        if (damaged > 0)
            qDebug().noquote() << "Module" << id << "has" << damaged
                               << "files missing or cut short";
        check->damaged.insert(id, damaged);
    }
}
