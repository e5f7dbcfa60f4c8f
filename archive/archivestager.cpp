#include "archive/archivestager.h"

#include "archive/archivereader.h"
#include "archive/crc32.h"
#include "archive/diskspace.h"
#include "archive/entrypath.h"
#include "archive/zipname.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

using Kind = ZipDirectory::Kind;

// What libarchive unpacks: stored, deflate, bzip2, LZMA, Zstandard, XZ and PPMd.
const quint16 supportedMethods[] = {0, 8, 12, 14, 93, 95, 98};
// The newest version of the format, 6.3.
const int newestZipVersion = 63;
// Room left on the disk after unpacking, and what each file may take beyond its size.
const quint64 freeSpaceMargin = 32 << 20;
const quint64 blockSize = 4096;

// Names as a status line can show them: control characters (NUL among them) as "?".
QString shown(const QString &name)
{
    QString text = name;
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    }
    return text;
}

bool isSupported(const ZipDirectory::Entry &entry)
{
    return entry.versionNeeded <= newestZipVersion &&
           std::find(std::begin(supportedMethods), std::end(supportedMethods), entry.method) !=
               std::end(supportedMethods);
}

// Whatever the archive asks for, the owner may read and change what is installed, and nobody
// else may change it.
// QFile's permissions hold the owner's, the user's, the group's and others' read, write and
// execute bits in four hex digits, in the order of a Unix mode's octal digits.
QFile::Permissions sensiblePermissions(quint32 unixPermissions, bool folder)
{
    if (unixPermissions == 0)
        unixPermissions = folder ? 0755 : 0644;
    unixPermissions |= folder ? 0700 : 0600;
    const quint32 owner = (unixPermissions >> 6) & 7;
    return QFile::Permissions(
        int(owner << 12 | owner << 8 | ((unixPermissions >> 3) & 5) << 4 | (unixPermissions & 5)));
}

quint64 saturatedSum(quint64 a, quint64 b)
{
    return a > std::numeric_limits<quint64>::max() - b ? std::numeric_limits<quint64>::max()
                                                       : a + b;
}

} // namespace

ArchiveStager::ArchiveStager(const ZipDirectory &directory, const QVector<int> &fileOrder,
                             const QString &archivePath, const QString &destination)
    : m_directory(directory), m_fileOrder(fileOrder), m_archivePath(archivePath),
      m_destination(destination)
{
    const QFileInfo archiveInfo(archivePath);
    if (archiveInfo.absoluteDir() == QDir(destination))
        m_archiveName = archiveInfo.fileName();
}

bool ArchiveStager::fail(const QString &error, const QString &problem)
{
    m_error = error;
    m_problem = problem;
    return false;
}

bool ArchiveStager::damaged(const QString &problem)
{
    return fail(tr("the archive is damaged"), problem);
}

const ZipDirectory::Entry &ArchiveStager::record(const Entry &entry) const
{
    return m_directory.entries().at(entry.index);
}

bool ArchiveStager::judge()
{
    m_entries.clear();
    m_claims.clear();
    m_entries.reserve(m_fileOrder.size());
    for (const int index : m_fileOrder) {
        if (!planEntry(index))
            return false;
    }
    return true;
}

bool ArchiveStager::plan()
{
    return judge() && readLinkTargets() && fitsOnDisk();
}

bool ArchiveStager::planEntry(int index)
{
    const ZipDirectory::Entry &raw = m_directory.entries().at(index);
    const QString name = shown(raw.name);
    if (!raw.nameReadable)
        return fail(tr("the archive holds an unreadable name: %1").arg(name));
    const Kind kind = raw.kind();
    const std::optional<QString> path = EntryPath::relative(raw.name);
    if (!path || (path->isEmpty() && kind != Kind::Folder) ||
        EntryPath::isClientFile(*path, m_archiveName))
        return fail(tr("the archive holds an unsafe path: %1").arg(name));
    if (kind == Kind::Special)
        return fail(tr("the archive holds a special file: %1").arg(name));
    if (kind != Kind::Folder && raw.isEncrypted())
        return fail(tr("the archive holds an encrypted file: %1").arg(name));
    if (kind != Kind::Folder && !isSupported(raw))
        return fail(tr("the archive holds a file in a format this program cannot "
                       "read: %1")
                        .arg(name),
                    QStringLiteral("method %1, version %2").arg(raw.method).arg(raw.versionNeeded));

    // Every folder above the entry is one too, whether the archive lists it or not.
    for (int slash = path->indexOf(QLatin1Char('/')); slash >= 0;
         slash = path->indexOf(QLatin1Char('/'), slash + 1)) {
        if (!claim(path->left(slash), true, name))
            return false;
    }
    if (!path->isEmpty() && !claim(*path, kind == Kind::Folder, name))
        return false;

    Entry entry;
    entry.index = index;
    entry.path = *path;
    entry.permissions = sensiblePermissions(raw.unixPermissions(), kind == Kind::Folder);
    m_entries.append(entry);
    return true;
}

bool ArchiveStager::claim(const QString &path, bool folder, const QString &name)
{
    // Windows desktops and FAT drives hold one of two names that differ only in case.
    const QString key = path.toCaseFolded();
    const auto found = m_claims.constFind(key);
    if (found == m_claims.cend()) {
        m_claims.insert(key, Claim{path, folder});
        return true;
    }
    if (found->path != path)
        return fail(
            tr("two entries differ only in case: %1 and %2").arg(shown(found->path), shown(path)));
    if (found->folder && folder)
        return true;
    if (found->folder != folder)
        return fail(tr("the archive holds %1 both as a file and as a folder").arg(shown(path)));
    return fail(tr("the archive holds two entries named %1").arg(name));
}

bool ArchiveStager::readLinkTargets()
{
    const bool anyLink = std::any_of(m_entries.cbegin(), m_entries.cend(), [this](const Entry &e) {
        return record(e).kind() == Kind::Link;
    });
    if (!anyLink)
        return true;
    // A link's target is its data; it is judged before anything is written, so the archive is
    // read through once for the links alone.
    ArchiveReader reader(m_archivePath, m_directory.archiveStart(), m_directory.archiveEnd());
    if (!reader.open())
        return damaged(reader.problem());
    for (Entry &entry : m_entries) {
        const ZipDirectory::Entry &raw = record(entry);
        if (!nextEntry(reader, entry))
            return false;
        if (raw.kind() != Kind::Link)
            continue;
        const QByteArray target = reader.linkTarget();
        if (!linkTargetIntact(raw, target))
            return false;
        entry.linkTarget = ZipName::decode(target, raw.flags & 0x0800, raw.hostSystem).text;
        if (!EntryPath::linkStaysInside(entry.path, entry.linkTarget))
            return fail(tr("the archive holds an unsafe link: %1 -> %2")
                            .arg(shown(raw.name), shown(entry.linkTarget)));
    }
    return true;
}

bool ArchiveStager::fitsOnDisk()
{
    quint64 needed = freeSpaceMargin;
    for (const Entry &entry : qAsConst(m_entries)) {
        const quint64 size = record(entry).kind() == Kind::Folder ? 0 : record(entry).size;
        needed = saturatedSum(needed, saturatedSum(size, blockSize));
    }
    const qint64 available = DiskSpace::available(m_destination);
    if (available >= 0 && needed > quint64(available))
        return fail(tr("there is not enough free space on the disk"),
                    QStringLiteral("%1 bytes needed, %2 free").arg(needed).arg(available));
    return true;
}

bool ArchiveStager::makeFolder(const QString &tree, const QString &path)
{
    if (path.isEmpty() || m_madeFolders.contains(path))
        return true;
    if (!QDir().mkpath(tree + QLatin1Char('/') + path))
        return false;
    m_madeFolders.insert(path);
    return true;
}

bool ArchiveStager::writeFile(const QString &tree, const Entry &entry, ArchiveReader &reader)
{
    QFile file(tree + QLatin1Char('/') + entry.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        !streamData(entry, reader, &file))
        return file.isOpen() ? false : writeFailed(entry, file);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return writeFailed(entry, file);
    QFile::setPermissions(file.fileName(), entry.permissions);
    return true;
}

bool ArchiveStager::writeFailed(const Entry &entry, const QFile &file)
{
    if (file.error() == QFileDevice::ResourceError)
        return fail(tr("there is not enough free space on the disk"), file.errorString());
    return fail(tr("%1 could not be written").arg(entry.path), file.errorString());
}

bool ArchiveStager::streamData(const Entry &entry, ArchiveReader &reader, QFile *file)
{
    const ZipDirectory::Entry &raw = record(entry);
    Crc32 crc;
    quint64 total = 0;
    for (;;) {
        const char *data = nullptr;
        qint64 size = 0;
        if (!reader.readBlock(&data, &size))
            return damaged(QStringLiteral("%1: %2").arg(raw.name, reader.problem()));
        if (size == 0)
            break;
        // Stop at once: an entry may not unpack to more than it promised, whatever it holds.
        if (quint64(size) > raw.size - total)
            return damaged(
                QStringLiteral("%1 unpacks to more than its %2 bytes").arg(raw.name).arg(raw.size));
        total += quint64(size);
        crc.update(data, size);
        if (file && file->write(data, size) != size)
            return writeFailed(entry, *file);
    }
    if (total != raw.size)
        return damaged(QStringLiteral("%1 unpacks to %2 bytes, not %3")
                           .arg(raw.name)
                           .arg(total)
                           .arg(raw.size));
    if (crc.value() != raw.crc)
        return damaged(QStringLiteral("%1 has another checksum").arg(raw.name));
    return true;
}

bool ArchiveStager::nextEntry(ArchiveReader &reader, const Entry &entry)
{
    const ZipDirectory::Entry &raw = record(entry);
    if (!reader.nextEntry())
        return damaged(reader.failed() ? reader.problem()
                                       : QStringLiteral("fewer entries than the directory"));
    if (reader.kind() != raw.kind() ||
        (raw.kind() == Kind::File && reader.size() != qint64(raw.size)))
        return damaged(QStringLiteral("%1 reads otherwise than the directory says").arg(raw.name));
    return true;
}

bool ArchiveStager::linkTargetIntact(const ZipDirectory::Entry &raw, const QByteArray &target)
{
    if (quint64(target.size()) != raw.size || Crc32::of(target) != raw.crc)
        return damaged(QStringLiteral("the target of link %1 is damaged").arg(raw.name));
    return true;
}

bool ArchiveStager::noMoreEntries(ArchiveReader &reader)
{
    if (reader.nextEntry() || reader.failed())
        return damaged(reader.failed() ? reader.problem()
                                       : QStringLiteral("more entries than the directory"));
    return true;
}

bool ArchiveStager::stage(const QString &tree)
{
    ArchiveReader reader(m_archivePath, m_directory.archiveStart(), m_directory.archiveEnd());
    if (!reader.open())
        return damaged(reader.problem());
    const QString writeError = tr("%1 could not be written");
    // libarchive reads the entries in the order of their data, as they are planned; each must
    // be what the directory says it is.
    for (const Entry &entry : qAsConst(m_entries)) {
        const ZipDirectory::Entry &raw = record(entry);
        if (!nextEntry(reader, entry))
            return false;
        if (raw.kind() == Kind::Folder) {
            if (!makeFolder(tree, entry.path) ||
                (!entry.path.isEmpty() &&
                 !QFile::setPermissions(tree + QLatin1Char('/') + entry.path, entry.permissions)))
                return fail(writeError.arg(entry.path));
        } else if (raw.kind() == Kind::File) {
            if (!makeFolder(tree, entry.path.section(QLatin1Char('/'), 0, -2)))
                return fail(writeError.arg(entry.path));
            if (!writeFile(tree, entry, reader))
                return false;
        }
    }
    if (!noMoreEntries(reader))
        return false;
    // Links last, so that no file is ever written through a link the archive made.
    for (const Entry &entry : qAsConst(m_entries)) {
        if (record(entry).kind() == Kind::Link &&
            (!makeFolder(tree, entry.path.section(QLatin1Char('/'), 0, -2)) ||
             !QFile::link(entry.linkTarget, tree + QLatin1Char('/') + entry.path)))
            return fail(writeError.arg(entry.path));
    }
    return true;
}

bool ArchiveStager::check()
{
    ArchiveReader reader(m_archivePath, m_directory.archiveStart(), m_directory.archiveEnd());
    if (!reader.open())
        return damaged(reader.problem());
    for (const Entry &entry : qAsConst(m_entries)) {
        const ZipDirectory::Entry &raw = record(entry);
        if (!nextEntry(reader, entry))
            return false;
        if (raw.kind() == Kind::File && !streamData(entry, reader, nullptr))
            return false;
        if (raw.kind() == Kind::Link && !linkTargetIntact(raw, reader.linkTarget()))
            return false;
    }
    return noMoreEntries(reader);
}
