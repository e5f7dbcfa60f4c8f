#include "archive/installedcomparison.h"

#include "archive/archiveextractor.h"
#include "archive/archivestager.h"
#include "archive/crc32.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <numeric>

namespace {

using Kind = ZipDirectory::Kind;

// Installed files keep the owner's, group's and others' bits their archive gave them; what the
// user's own bits say depends on who asks. Elsewhere a file's permissions say little more than
// whether it is read-only, and none are compared.
#ifdef Q_OS_UNIX
const int comparedPermissions = 0x7077;
#else
const int comparedPermissions = 0;
#endif

} // namespace

void compareWithInstalled(InstalledComparison *comparison)
{
    comparison->refusal.clear();
    comparison->changed.clear();
    comparison->tooMuch = false;
    const QVector<ZipDirectory::Entry> &records = comparison->directory.entries();
    QVector<int> order(records.size());
    std::iota(order.begin(), order.end(), 0);
    ArchiveStager stager(comparison->directory, order, comparison->archivePath,
                         comparison->libraryFolder);
    if (!stager.judge()) {
        comparison->refusal = JobResult{false, stager.error(), stager.problem()}.described();
        return;
    }

    qint64 changedBytes = 0;
    const auto changed = [&](int index) {
        comparison->changed.append(index);
        // Fetching it costs its data and a local header like its record's, near enough.
        const ZipDirectory::Entry &record = records.at(index);
        changedBytes +=
            qint64(qMin<quint64>(record.compressedSize, quint64(1) << 62)) + record.recordSize;
        comparison->tooMuch =
            comparison->changedLimit >= 0 && changedBytes > comparison->changedLimit;
        return comparison->tooMuch;
    };
    // A file reached through a link (a folder an earlier version made a link) is not the file
    // at the path: unpacking would put a folder in the link's place. Folders are few; each is
    // resolved once.
    const QString base = QFileInfo(comparison->libraryFolder).canonicalFilePath();
    QHash<QString, bool> plainFolders;
    const auto inPlainFolder = [&](const QString &path) {
        const QString folder = path.section(QLatin1Char('/'), 0, -2);
        const auto known = plainFolders.constFind(folder);
        if (known != plainFolders.cend())
            return *known;
        return *plainFolders.insert(folder, QFileInfo(folder).canonicalFilePath() == folder);
    };
    // Sizes first, which cost nothing to compare, so that an archive of which most changed is
    // known as such before a file is read.
    QVector<const ArchiveStager::Entry *> sameSize;
    for (const ArchiveStager::Entry &entry : stager.entries()) {
        const ZipDirectory::Entry &record = records.at(entry.index);
        if (record.kind() != Kind::File)
            continue;
        const QString path = base + QLatin1Char('/') + entry.path;
        const QFileInfo installed(path);
        const bool same =
            !base.isEmpty() && installed.isFile() && !installed.isSymLink() &&
            quint64(installed.size()) == record.size && inPlainFolder(path) &&
            (int(installed.permissions() ^ entry.permissions) & comparedPermissions) == 0;
        if (same)
            sameSize.append(&entry);
        else if (changed(entry.index))
            return;
    }
    for (const ArchiveStager::Entry *entry : qAsConst(sameSize)) {
        const ZipDirectory::Entry &record = records.at(entry->index);
        quint32 crc = 0;
        if ((!Crc32::ofFile(base + QLatin1Char('/') + entry->path, &crc) || crc != record.crc) &&
            changed(entry->index))
            return;
    }
}
