#include "catalogueexport.h"

#include "catalogue.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUrl>

namespace {

constexpr qint64 copyBlockBytes = 1024 * 1024;

class Exporter
{
public:
    Exporter(const QString &folder, ExportResult *result) : m_folder(folder), m_result(result) {}

    bool answer(const QString &urlPath, const QJsonArray &records)
    {
        const QByteArray content = QJsonDocument(records).toJson(QJsonDocument::Compact);
        const QString path = m_folder + urlPath + QStringLiteral(".json");
        QFile existing(path);
        if (existing.size() == content.size() && existing.open(QIODevice::ReadOnly) &&
            existing.readAll() == content) {
            ++m_result->unchanged;
            return true;
        }
        QSaveFile file;
        if (!open(&file, path))
            return false;
        if (file.write(content) != content.size())
            return failWriting(path, file.errorString());
        return commit(&file);
    }

    bool archive(const QString &urlPath, const QString &sourcePath)
    {
        const QString path = m_folder + urlPath;
        const QFileInfo source(sourcePath), existing(path);
        const QDateTime time = source.lastModified();
        // The same size and time: the validators a server derives from them stay as they are.
        if (existing.isFile() && existing.size() == source.size() &&
            existing.lastModified() == time) {
            ++m_result->unchanged;
            return true;
        }
        QFile in(sourcePath);
        if (!in.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(sourcePath, in.errorString()));
        QSaveFile file;
        if (!open(&file, path))
            return false;
        while (!in.atEnd()) {
            const QByteArray block = in.read(copyBlockBytes);
            if (block.isEmpty())
                return fail(QStringLiteral("cannot read %1: %2").arg(sourcePath, in.errorString()));
            if (file.write(block) != block.size())
                return failWriting(path, file.errorString());
        }
        // Written out first, so that nothing changes the time once it is set.
        if (!file.flush() || !file.setFileTime(time, QFileDevice::FileModificationTime))
            return failWriting(path, file.errorString());
        return commit(&file);
    }

private:
    bool open(QSaveFile *file, const QString &path)
    {
        file->setFileName(path);
        if (!QDir().mkpath(QFileInfo(path).path()))
            return failWriting(path, QStringLiteral("its folder cannot be made"));
        return file->open(QIODevice::WriteOnly) || failWriting(path, file->errorString());
    }

    bool commit(QSaveFile *file)
    {
        if (!file->commit())
            return failWriting(file->fileName(), file->errorString());
        ++m_result->written;
        return true;
    }

    bool fail(const QString &error)
    {
        m_result->error = error;
        return false;
    }
    bool failWriting(const QString &path, const QString &why)
    {
        return fail(QStringLiteral("cannot write %1: %2").arg(path, why));
    }

    const QString m_folder;
    ExportResult *m_result;
};

QString idOf(const QJsonValue &record)
{
    return record.toObject().value(QStringLiteral("_id")).toString();
}

} // namespace

QString exportLinkBase(const QString &url, QString *error)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    if (!parsed.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        parsed.host().isEmpty() || parsed.hasQuery() || parsed.hasFragment()) {
        *error = QStringLiteral("--base-url needs an http:// or https:// URL with a host and "
                                "without query or fragment, not \"%1\"")
                     .arg(url);
        return QString();
    }
    QString base = parsed.toString(QUrl::FullyEncoded);
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

ExportResult exportCatalogue(const Catalogue &catalogue, const QString &folder,
                             const QString &linkBase)
{
    ExportResult result;
    Exporter exporter(QDir(folder).absolutePath(), &result);
    const QString api = QStringLiteral("/api/");
    bool ok = exporter.answer(api + QStringLiteral("topics"), catalogue.topics()) &&
              exporter.answer(api + QStringLiteral("letters"), catalogue.letters()) &&
              exporter.answer(api + QStringLiteral("articles"), catalogue.articles()) &&
              exporter.answer(api + QStringLiteral("modules"), catalogue.modules(linkBase));
    for (const QJsonValue topic : catalogue.topics()) {
        ok = ok && exporter.answer(api + QStringLiteral("modules/topic/") + idOf(topic),
                                   *catalogue.modulesOfTopic(idOf(topic), linkBase));
    }
    for (const QJsonValue letter : catalogue.letters()) {
        ok = ok && exporter.answer(api + QStringLiteral("modules/letter/") + idOf(letter),
                                   *catalogue.modulesOfLetter(idOf(letter), linkBase));
    }
    // Without a link base the links stay paths below the root, where the archives go.
    for (const QJsonValue module : catalogue.modules(QString())) {
        const QString link = module.toObject().value(QStringLiteral("downloadLink")).toString();
        ok = ok && (link.isEmpty() || exporter.archive(link, catalogue.archiveFile(link)));
    }
    result.ok = ok;
    return result;
}
