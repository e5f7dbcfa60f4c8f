#include "worker/archivestager.h"

#include "library/libraryindex.h"
#include "worker/crc32.h"
#include "worker/entrypath.h"
#include "worker/zipentryreader.h"

#include <QDir>

namespace {

// The highest format version the zip reader can unpack; it hands back nothing for newer ones.
const quint16 readerZipVersion = 20;

// Whatever the archive asks for, the owner may read and change what is installed, and nobody
// else may change it.
QFile::Permissions sensiblePermissions(QFile::Permissions given, bool folder)
{
    const QFile::Permissions owner =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
    const QFile::Permissions search = QFile::ExeOwner | QFile::ExeUser;
    if (!given) {
        given = owner | QFile::ReadGroup | QFile::ReadOther;
        if (folder)
            given |= search | QFile::ExeGroup | QFile::ExeOther;
    }
    given |= owner;
    if (folder)
        given |= search;
    return given & ~(QFile::WriteGroup | QFile::WriteOther);
}

// An unsupported method, a broken stream or an archive cut short all give data that is short
// or different from what the directory promised.
bool isWhole(const QByteArray &data, const ZipDirectory::Entry &entry)
{
    return data.size() == qint64(entry.size) && zipCrc32(data) == entry.crc;
}

} // namespace

ArchiveStager::ArchiveStager(ZipEntryReader &reader, const QString &destination)
    : m_reader(reader), m_destination(destination)
{
}

bool ArchiveStager::fail(const QString &error)
{
    m_error = error;
    return false;
}

bool ArchiveStager::plan(const ZipDirectory &directory, const QVector<QZipReader::FileInfo> &infos)
{
    // The reader and the directory read the same headers in the same order; a different count
    // means the reader gave up part way through a damaged directory.
    if (infos.size() != directory.entries().size())
        return fail(QStringLiteral("archive is damaged or incomplete"));
    m_entries.reserve(infos.size());
    for (int i = 0; i < infos.size(); ++i) {
        if (!planEntry(directory.entries().at(i), infos.at(i)))
            return false;
    }
    return true;
}

bool ArchiveStager::planEntry(const ZipDirectory::Entry &raw, const QZipReader::FileInfo &info)
{
    Entry entry;
    entry.name = raw.name();
    entry.raw = &raw;
    entry.path = EntryPath::relative(entry.name);
    if (entry.path.isEmpty() ||
        LibraryIndex::path(m_destination)
                .compare(m_destination + QLatin1Char('/') + entry.path, Qt::CaseInsensitive) == 0)
        return fail(QStringLiteral("unsafe entry path: %1").arg(entry.name));

    // The reader knows the kinds of entries made on Unix and Windows only; elsewhere a name
    // ending in a separator is a folder, as zip tools have always read it.
    const bool slashEnded =
        entry.name.endsWith(QLatin1Char('/')) || entry.name.endsWith(QLatin1Char('\\'));
    if (info.isValid())
        entry.kind = info.isSymLink ? Entry::Link : info.isDir ? Entry::Folder : Entry::File;
    if (slashEnded && entry.kind == Entry::File)
        entry.kind = Entry::Folder;
    entry.permissions = sensiblePermissions(
        info.isValid() ? info.permissions : QFile::Permissions(), entry.kind == Entry::Folder);
    entry.modified = info.lastModified;

    if (entry.kind != Entry::Folder && (raw.isEncrypted() || (raw.method != 0 && raw.method != 8) ||
                                        raw.versionNeeded > readerZipVersion))
        return fail(QStringLiteral("unsupported entry: %1").arg(entry.name));

    if (entry.kind == Entry::Link) {
        const QByteArray target = m_reader.data(raw);
        if (!isWhole(target, raw))
            return fail(QStringLiteral("damaged entry: %1").arg(entry.name));
        entry.linkTarget = QFile::decodeName(target);
        if (!EntryPath::linkStaysInside(entry.path, entry.linkTarget))
            return fail(QStringLiteral("unsafe link: %1 -> %2").arg(entry.name, entry.linkTarget));
    }
    m_entries.append(entry);
    return true;
}

bool ArchiveStager::makeFolder(const QString &tree, const QString &path)
{
    if (path.isEmpty() || m_folders.contains(path))
        return true;
    if (!QDir().mkpath(tree + QLatin1Char('/') + path))
        return false;
    m_folders.insert(path);
    return true;
}

bool ArchiveStager::writeFile(const QString &tree, const Entry &entry)
{
    const QByteArray data = m_reader.data(*entry.raw);
    if (!isWhole(data, *entry.raw))
        return fail(QStringLiteral("damaged entry: %1").arg(entry.name));

    QFile file(tree + QLatin1Char('/') + entry.path);
    // Unbuffered: the data goes to the file in one write, without a copy on the way.
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                         file.write(data) == data.size() && file.setPermissions(entry.permissions);
    if (written && entry.modified.isValid())
        file.setFileTime(entry.modified, QFileDevice::FileModificationTime);
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot write %1").arg(entry.path));
    return true;
}

bool ArchiveStager::stage(const QString &tree)
{
    // Folders first, so that a folder entry's permissions are in place before its files; links
    // last, so that no file is ever written through a link the archive made.
    for (const Entry &entry : qAsConst(m_entries)) {
        if (entry.kind == Entry::Folder &&
            (!makeFolder(tree, entry.path) ||
             !QFile::setPermissions(tree + QLatin1Char('/') + entry.path, entry.permissions)))
            return fail(QStringLiteral("cannot write %1").arg(entry.path));
    }
    for (const Entry &entry : qAsConst(m_entries)) {
        if (entry.kind != Entry::File)
            continue;
        // Many archives hold no entries for their folders.
        if (!makeFolder(tree, entry.path.section(QLatin1Char('/'), 0, -2)))
            return fail(QStringLiteral("cannot write %1").arg(entry.path));
        if (!writeFile(tree, entry))
            return false;
    }
    for (const Entry &entry : qAsConst(m_entries)) {
        if (entry.kind == Entry::Link &&
            (!makeFolder(tree, entry.path.section(QLatin1Char('/'), 0, -2)) ||
             !QFile::link(entry.linkTarget, tree + QLatin1Char('/') + entry.path)))
            return fail(QStringLiteral("cannot write %1").arg(entry.path));
    }
    return true;
}
