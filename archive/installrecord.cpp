#include "archive/installrecord.h"

#include "archive/entrypath.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

const QString archiveSuffix = QStringLiteral(".zip");
const QByteArray linkSize = QByteArrayLiteral("link");

// One line of a record; false when it is not one.
bool parseLine(const QByteArray &line, InstallRecord::File *file)
{
    const int firstSpace = line.indexOf(' ');
    const int secondSpace = line.indexOf(' ', firstSpace + 1);
    if (firstSpace <= 0 || secondSpace != firstSpace + 9)
        return false;
    bool sizeOk = false;
    bool crcOk = false;
    const QByteArray size = line.left(firstSpace);
    file->link = size == linkSize;
    file->size = file->link ? 0 : size.toULongLong(&sizeOk);
    file->crc = line.mid(firstSpace + 1, 8).toUInt(&crcOk, 16);
    file->path = QString::fromUtf8(line.mid(secondSpace + 1));
    // Only the path unpacking would have written: no "..", no absolute path, no "a//b", none of
    // the client's own files.
    const std::optional<QString> relative = EntryPath::relative(file->path);
    return (sizeOk || file->link) && crcOk && !size.startsWith('+') && !size.startsWith('-') &&
           relative && !relative->isEmpty() && *relative == file->path &&
           !EntryPath::isClientFile(file->path, QString());
}

} // namespace

QString InstallRecord::pathFor(const QString &libraryFolder, const QString &moduleId)
{
    return EntryPath::moduleFile(libraryFolder, moduleId, EntryPath::recordSuffix);
}

QString InstallRecord::pendingPathFor(const QString &archivePath)
{
    return EntryPath::pendingFile(archivePath, EntryPath::recordSuffix);
}

QString InstallRecord::moduleIdOf(const QString &archivePath)
{
    const QString name = QFileInfo(archivePath).fileName();
    return name.endsWith(archiveSuffix) ? name.left(name.size() - archiveSuffix.size()) : name;
}

InstallRecord InstallRecord::fromDirectory(const ZipDirectory &directory)
{
    InstallRecord record;
    for (const ZipDirectory::Entry &entry : directory.entries()) {
        const bool link = entry.kind() == ZipDirectory::Kind::Link;
        if (entry.kind() != ZipDirectory::Kind::File && !link)
            continue;
        const std::optional<QString> path = EntryPath::relative(entry.name);
        if (path && !path->isEmpty())
            record.m_files.append(File{entry.size, entry.crc, *path, link});
    }
    record.sort();
    return record;
}

void InstallRecord::sort()
{
    std::sort(m_files.begin(), m_files.end(),
              [](const File &a, const File &b) { return a.path < b.path; });
}

bool InstallRecord::read(const QString &path)
{
    m_files.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists())
            qWarning().noquote() << "The install record" << path
                                 << "cannot be read:" << file.errorString();
        return false;
    }
    int number = 0;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        ++number;
        if (line.endsWith('\n'))
            line.chop(1);
        File entry;
        if (!parseLine(line, &entry)) {
            qWarning().noquote() << "The install record" << path << "is not used: line" << number
                                 << "is not a file's record";
            m_files.clear();
            return false;
        }
        m_files.append(entry);
    }
    sort();
    return true;
}

bool InstallRecord::write(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (const File &entry : m_files) {
        // A name with a line break in it cannot stand on a line of its own.
        if (entry.path.contains(QLatin1Char('\n')) || entry.path.contains(QLatin1Char('\r'))) {
            file.cancelWriting();
            return false;
        }
        const QByteArray line = (entry.link ? linkSize : QByteArray::number(entry.size)) + ' ' +
                                QByteArray::number(entry.crc, 16).rightJustified(8, '0') + ' ' +
                                entry.path.toUtf8() + '\n';
        file.write(line);
    }
    return file.commit();
}
