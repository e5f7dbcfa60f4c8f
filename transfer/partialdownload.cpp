#include "transfer/partialdownload.h"

#include "archive/entrypath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
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
      m_infoPath(m_bodyPath + QStringLiteral(".info"))
{
}

qint64 PartialDownload::heldFor(const QString &link, Version *version) const
{
    QFile info(m_infoPath);
    if (!info.open(QIODevice::ReadOnly) || info.size() > infoSizeLimit)
        return 0;
    const QJsonObject fields = QJsonDocument::fromJson(info.readAll()).object();
    if (fields.value(QLatin1String("link")).toString() != link)
        return 0;
    version->etag = fields.value(QLatin1String("etag")).toString().toLatin1();
    version->lastModified = fields.value(QLatin1String("lastModified")).toString().toLatin1();
    version->length = qint64(fields.value(QLatin1String("length")).toDouble(-1));
    const QFileInfo body(m_bodyPath);
    const bool continues = !version->validator().isEmpty() && body.isFile();
    return continues && body.size() < version->length ? body.size() : 0;
}

bool PartialDownload::writeInfo(const QString &link, const Version &version) const
{
    const QJsonObject fields{
        {QStringLiteral("link"), link},
        {QStringLiteral("etag"), QString::fromLatin1(version.etag)},
        {QStringLiteral("lastModified"), QString::fromLatin1(version.lastModified)},
        {QStringLiteral("length"), double(version.length)}};
    QSaveFile info(m_infoPath);
    return info.open(QIODevice::WriteOnly) &&
           info.write(QJsonDocument(fields).toJson(QJsonDocument::Compact)) >= 0 && info.commit();
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
                          QStringLiteral(".*") + EntryPath::partSuffix + ".changes"},
                         QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : parts) {
        const QString path = folder.filePath(name);
        if (QFileInfo(path).lastModified() < notAfter) {
            QFile::remove(path);
            QFile::remove(path + QStringLiteral(".info"));
        }
    }
}
