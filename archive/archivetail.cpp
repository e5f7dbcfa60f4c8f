#include "archive/archivetail.h"

#include "archive/entrypath.h"
#include "archive/installrecord.h"
#include "archive/ziparchivefile.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace {

// A directory larger than this is fetched again rather than kept.
constexpr qint64 tailLimit = 8 << 20;
constexpr qint64 fileLimit = tailLimit * 2;

qint64 number(const QJsonValue &value)
{
    return qint64(value.toDouble(-1));
}

} // namespace

QString ArchiveTail::pathFor(const QString &libraryFolder, const QString &moduleId)
{
    return EntryPath::moduleFile(libraryFolder, moduleId, EntryPath::directorySuffix);
}

QString ArchiveTail::pendingPathFor(const QString &archivePath)
{
    return EntryPath::pendingFile(archivePath, EntryPath::directorySuffix);
}

void ArchiveTail::keepAfterInstall(const QString &archivePath, const ZipArchiveFile &archive,
                                   const QString &libraryFolder)
{
    const QString kept = pathFor(libraryFolder, InstallRecord::moduleIdOf(archivePath));
    ArchiveTail version;
    bool known = version.read(pendingPathFor(archivePath));
    if (known && version.tail.isEmpty()) {
        // The whole archive came: its directory is read from it.
        version.tailStart = archive.directory().directoryStart();
        QFile file(archivePath);
        known = version.total == archive.size() && version.total - version.tailStart <= tailLimit &&
                file.open(QIODevice::ReadOnly) && file.seek(version.tailStart);
        version.tail = known ? file.read(version.total - version.tailStart) : QByteArray();
        known = known && version.tail.size() == version.total - version.tailStart;
    }
    if (!known || !version.write(kept))
        QFile::remove(kept);
}

QJsonObject ArchiveTail::toJson() const
{
    return {{QStringLiteral("link"), link},
            {QStringLiteral("etag"), QString::fromLatin1(etag)},
            {QStringLiteral("lastModified"), QString::fromLatin1(lastModified)},
            {QStringLiteral("total"), double(total)},
            {QStringLiteral("tailStart"), double(tailStart)},
            {QStringLiteral("tail"), QString::fromLatin1(tail.toBase64())}};
}

bool ArchiveTail::fromJson(const QJsonObject &fields)
{
    link = fields.value(QStringLiteral("link")).toString();
    etag = fields.value(QStringLiteral("etag")).toString().toLatin1();
    lastModified = fields.value(QStringLiteral("lastModified")).toString().toLatin1();
    total = number(fields.value(QStringLiteral("total")));
    tailStart = number(fields.value(QStringLiteral("tailStart")));
    tail = QByteArray::fromBase64(fields.value(QStringLiteral("tail")).toString().toLatin1());
    return !link.isEmpty() && !validator().isEmpty() && total > 0 &&
           (tail.isEmpty() ||
            (tailStart >= 0 && tailStart < total && tail.size() == total - tailStart));
}

bool ArchiveTail::read(const QString &path, QJsonObject *fields)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > fileLimit)
        return false;
    const QJsonObject read = QJsonDocument::fromJson(file.readAll()).object();
    if (fields)
        *fields = read;
    return fromJson(read);
}

bool ArchiveTail::write(const QString &path, const QJsonObject &more) const
{
    if (tail.size() > tailLimit)
        return false;
    QJsonObject fields = toJson();
    for (auto field = more.begin(); field != more.end(); ++field)
        fields.insert(field.key(), field.value());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(QJsonDocument(fields).toJson(QJsonDocument::Compact)) >= 0 && file.commit();
}
