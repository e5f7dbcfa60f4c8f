#include "catalogue.h"

#include "packagesize.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace {

const QRegularExpression idPattern(QStringLiteral("^[a-z0-9-]+$"));
// Archives lie below "archives/" in the catalogue folder; nothing else is ever served.
const QRegularExpression linkPattern(QStringLiteral("^/archives/([a-z0-9-]+/)*[a-z0-9-]+\\.zip$"));

bool readArray(const QDir &dir, const QString &name, QJsonArray *out, QString *error)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("%1: not valid JSON (%2 at offset %3)")
                     .arg(file.fileName(), parseError.errorString())
                     .arg(parseError.offset);
        return false;
    }
    if (!document.isArray()) {
        *error = QStringLiteral("%1: the top level is not a JSON array").arg(file.fileName());
        return false;
    }
    const QJsonArray array = document.array();
    for (int i = 0; i < array.size(); ++i) {
        if (!array.at(i).isObject()) {
            *error = QStringLiteral("%1: element %2 is not an object").arg(file.fileName()).arg(i);
            return false;
        }
    }
    *out = array;
    return true;
}

QString where(const QString &file, int index, const QJsonObject &record)
{
    const QString id = record.value(QStringLiteral("_id")).toString();
    return id.isEmpty() ? QStringLiteral("%1, record %2").arg(file).arg(index)
                        : QStringLiteral("%1, record %2 (\"%3\")").arg(file).arg(index).arg(id);
}

// Every record must carry the given keys as text, and a non-empty, unique "_id" when asked.
bool checkRecords(const QJsonArray &records, const QString &file, const QStringList &textKeys,
                  QSet<QString> *ids, QString *error)
{
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject record = records.at(i).toObject();
        for (const QString &key : textKeys) {
            if (!record.value(key).isString()) {
                *error = QStringLiteral("%1: \"%2\" is missing or not text")
                             .arg(where(file, i, record), key);
                return false;
            }
        }
        if (!ids)
            continue;
        const QString id = record.value(QStringLiteral("_id")).toString();
        if (!idPattern.match(id).hasMatch()) {
            *error = QStringLiteral("%1: \"_id\" must be made of a-z, 0-9 and \"-\"")
                         .arg(where(file, i, record));
            return false;
        }
        if (ids->contains(id)) {
            *error = QStringLiteral("%1: \"_id\" is used twice").arg(where(file, i, record));
            return false;
        }
        ids->insert(id);
    }
    return true;
}

// The second revision's file holds changed module records: each replaces the keys it names in
// the module with its "_id"; a record with a new "_id" adds a module at the end.
bool applyRevision(QJsonArray *modules, const QJsonArray &changes, QString *error)
{
    for (int i = 0; i < changes.size(); ++i) {
        const QJsonObject change = changes.at(i).toObject();
        const QString id = change.value(QStringLiteral("_id")).toString();
        if (id.isEmpty()) {
            *error = QStringLiteral("revision2.json, record %1: \"_id\" is missing").arg(i);
            return false;
        }
        int found = -1;
        for (int m = 0; m < modules->size() && found < 0; ++m) {
            if (modules->at(m).toObject().value(QStringLiteral("_id")).toString() == id)
                found = m;
        }
        if (found < 0) {
            modules->append(change);
            continue;
        }
        QJsonObject merged = modules->at(found).toObject();
        for (auto it = change.begin(); it != change.end(); ++it)
            merged.insert(it.key(), it.value());
        modules->replace(found, merged);
    }
    return true;
}

QSet<QChar> lettersOfGroup(const QString &groupName)
{
    QSet<QChar> letters;
    for (const QChar c : groupName) {
        if (c.isLetter())
            letters.insert(c.toUpper());
    }
    return letters;
}

} // namespace

bool Catalogue::load(const QString &folder, int revision, QString *error)
{
    *this = Catalogue();
    const QDir dir(folder);
    if (folder.isEmpty() || !dir.exists()) {
        *error = QStringLiteral("catalogue folder not found: %1").arg(QDir(folder).absolutePath());
        return false;
    }
    QJsonArray topics, letters, articles, modules;
    if (!readArray(dir, QStringLiteral("topics.json"), &topics, error) ||
        !readArray(dir, QStringLiteral("letters.json"), &letters, error) ||
        !readArray(dir, QStringLiteral("articles.json"), &articles, error) ||
        !readArray(dir, QStringLiteral("modules.json"), &modules, error)) {
        return false;
    }
    if (revision == 2) {
        QJsonArray changes;
        if (!readArray(dir, QStringLiteral("revision2.json"), &changes, error) ||
            !applyRevision(&modules, changes, error)) {
            return false;
        }
    }
    m_topics = topics;
    m_letters = letters;
    m_articles = articles;
    m_modules = modules;
    if (!check(dir.absolutePath(), error)) {
        *this = Catalogue();
        return false;
    }
    return true;
}

bool Catalogue::check(const QString &folder, QString *error)
{
    QSet<QString> topicIds, letterIds, moduleIds;
    const QString idKey = QStringLiteral("_id"), nameKey = QStringLiteral("name");
    if (!checkRecords(m_topics, QStringLiteral("topics.json"),
                      {idKey, nameKey, QStringLiteral("category")}, &topicIds, error) ||
        !checkRecords(m_letters, QStringLiteral("letters.json"), {idKey, nameKey}, &letterIds,
                      error) ||
        !checkRecords(m_modules, QStringLiteral("modules.json"),
                      {idKey, nameKey, QStringLiteral("description"), QStringLiteral("version"),
                       QStringLiteral("topic"), QStringLiteral("downloadLink")},
                      &moduleIds, error) ||
        !checkRecords(m_articles, QStringLiteral("articles.json"),
                      {nameKey, QStringLiteral("description")}, nullptr, error)) {
        return false;
    }

    for (int i = 0; i < m_modules.size(); ++i) {
        QJsonObject record = m_modules.at(i).toObject();
        const QString at = where(QStringLiteral("modules.json"), i, record);
        if (!topicIds.contains(record.value(QStringLiteral("topic")).toString())) {
            *error = QStringLiteral("%1: \"topic\" names no topic").arg(at);
            return false;
        }
        const QJsonValue launchFile = record.value(QStringLiteral("launchFile"));
        const QJsonValue exclude = record.value(QStringLiteral("excludeFromList"));
        if ((!launchFile.isUndefined() && !launchFile.isString()) ||
            (!exclude.isUndefined() && !exclude.isBool())) {
            *error = QStringLiteral("%1: \"launchFile\" must be text and \"excludeFromList\" "
                                    "true or false")
                         .arg(at);
            return false;
        }
        const QString link = record.value(QStringLiteral("downloadLink")).toString();
        qint64 size = 0;
        if (!link.isEmpty()) {
            const QFileInfo archive(folder + link);
            if (!linkPattern.match(link).hasMatch() || !archive.isFile()) {
                *error = QStringLiteral("%1: no archive for \"downloadLink\" %2 (expected the file "
                                        "%3)")
                             .arg(at, link, archive.filePath());
                return false;
            }
            size = archive.size();
            m_archives.insert(link, archive.filePath());
        }
        record.insert(QStringLiteral("packageSize"), formatPackageSize(size));
        m_modules.replace(i, record);
    }

    for (int i = 0; i < m_articles.size(); ++i) {
        const QJsonObject article = m_articles.at(i).toObject();
        const QJsonValue modules = article.value(QStringLiteral("modules"));
        bool known = article.value(QStringLiteral("aorder")).isDouble() && modules.isArray();
        for (const QJsonValue id : modules.toArray())
            known = known && moduleIds.contains(id.toString());
        if (!known) {
            *error = QStringLiteral("%1: needs a number \"aorder\" and a \"modules\" array of "
                                    "module ids")
                         .arg(where(QStringLiteral("articles.json"), i, article));
            return false;
        }
    }
    return true;
}

QJsonArray Catalogue::modules(const QString &linkBase) const
{
    return withLinks(m_modules, linkBase);
}

std::optional<QJsonArray> Catalogue::modulesOfTopic(const QString &topicId,
                                                    const QString &linkBase) const
{
    bool known = false;
    for (const QJsonValue topic : m_topics)
        known = known || topic.toObject().value(QStringLiteral("_id")).toString() == topicId;
    if (!known)
        return std::nullopt;
    QJsonArray chosen;
    for (const QJsonValue module : m_modules) {
        if (module.toObject().value(QStringLiteral("topic")).toString() == topicId)
            chosen.append(module);
    }
    return withLinks(chosen, linkBase);
}

std::optional<QJsonArray> Catalogue::modulesOfLetter(const QString &letterId,
                                                     const QString &linkBase) const
{
    QSet<QChar> letters;
    bool known = false;
    for (const QJsonValue value : m_letters) {
        const QJsonObject letter = value.toObject();
        if (letter.value(QStringLiteral("_id")).toString() == letterId) {
            known = true;
            letters = lettersOfGroup(letter.value(QStringLiteral("name")).toString());
        }
    }
    if (!known)
        return std::nullopt;
    QJsonArray chosen;
    for (const QJsonValue module : m_modules) {
        const QString name = module.toObject().value(QStringLiteral("name")).toString();
        if (!name.isEmpty() && letters.contains(name.at(0).toUpper()))
            chosen.append(module);
    }
    return withLinks(chosen, linkBase);
}

QJsonArray Catalogue::withLinks(const QJsonArray &modules, const QString &linkBase) const
{
    QJsonArray linked;
    for (const QJsonValue value : modules) {
        QJsonObject module = value.toObject();
        const QString link = module.value(QStringLiteral("downloadLink")).toString();
        if (!link.isEmpty())
            module.insert(QStringLiteral("downloadLink"), linkBase + link);
        linked.append(module);
    }
    return linked;
}
