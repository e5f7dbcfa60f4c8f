#include "library/partialdownload.h"

#include "worker/entrypath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
const QString infoSuffix = QStringLiteral(".info");
const QString changesSuffix = QStringLiteral(".changes");
const QString linkKey = QStringLiteral("link");
const QString etagKey = QStringLiteral("etag");
const QString lastModifiedKey = QStringLiteral("lastModified");
const QString lengthKey = QStringLiteral("length");
// An info file is a line of JSON; anything much larger was not written by us.
constexpr qint64 infoSizeLimit = 64 * 1024;
} // namespace

bool PartialDownload::Version::continues(const Version &held) const
{
    // An answer may leave a validator out; one it does give must be the held one.
    return length == held.length && (etag.isEmpty() || etag == held.etag) &&
           (lastModified.isEmpty() || lastModified == held.lastModified);
}

PartialDownload::PartialDownload(const QString &libraryFolder, const QString &moduleId)
    : m_bodyPath(libraryFolder + QStringLiteral("/.") + moduleId + EntryPath::partSuffix),
      m_infoPath(m_bodyPath + infoSuffix)
{
}

qint64 PartialDownload::heldFor(const QString &link, Version *version) const
{
    QFile info(m_infoPath);
    if (!info.open(QIODevice::ReadOnly) || info.size() > infoSizeLimit)
        return 0;
    const QJsonObject fields = QJsonDocument::fromJson(info.readAll()).object();
    if (fields.value(linkKey).toString() != link)
        return 0;
    version->etag = fields.value(etagKey).toString().toLatin1();
    version->lastModified = fields.value(lastModifiedKey).toString().toLatin1();
    version->length = qint64(fields.value(lengthKey).toDouble(-1));
    const QFileInfo body(m_bodyPath);
    if (version->validator().isEmpty() || !body.isFile() || body.size() >= version->length)
        return 0;
    return body.size();
}

bool PartialDownload::writeInfo(const QString &link, const Version &version) const
{
    const QJsonObject fields{{linkKey, link},
                             {etagKey, QString::fromLatin1(version.etag)},
                             {lastModifiedKey, QString::fromLatin1(version.lastModified)},
                             {lengthKey, double(version.length)}};
    QSaveFile info(m_infoPath);
    return info.open(QIODevice::WriteOnly) &&
           info.write(QJsonDocument(fields).toJson(QJsonDocument::Compact)) >= 0 && info.commit();
}

QString PartialDownload::changesPath() const
{
    return m_bodyPath + changesSuffix;
}

void PartialDownload::remove() const
{
    QFile::remove(m_bodyPath);
    QFile::remove(m_infoPath);
}

void PartialDownload::removeStale(const QString &libraryFolder, const QDateTime &notAfter)
{
    const QDir folder(libraryFolder);
    const QStringList parts =
        folder.entryList({QStringLiteral(".*") + EntryPath::partSuffix,
                          QStringLiteral(".*") + EntryPath::partSuffix + changesSuffix},
                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : parts) {
        const QString path = folder.filePath(name);
        if (QFileInfo(path).lastModified() < notAfter) {
            QFile::remove(path);
            QFile::remove(path + infoSuffix);
        }
    }
}
