#pragma once

#include <QHash>
#include <QJsonArray>
#include <QString>

#include <optional>

// The records the service publishes, read once from a catalogue folder:
//   topics.json, letters.json, articles.json, modules.json (arrays of records), and for the
//   second revision revision2.json, whose records replace keys of the module with the same "_id"
//   (or add a module). Module records keep "downloadLink" as a path below the service root
//   ("/archives/<id>.zip"); the archive file lies at the same path below the catalogue folder.
class Catalogue
{
public:
    // Reads and checks the whole folder; on failure says why in *error and leaves the
    // catalogue empty.
    bool load(const QString &folder, int revision, QString *error);

    QJsonArray topics() const { return m_topics; }
    QJsonArray letters() const { return m_letters; }
    QJsonArray articles() const { return m_articles; }

    // Module records with absolute download links made by putting linkBase
    // ("http://host:port") in front of each non-empty link.
    QJsonArray modules(const QString &linkBase) const;
    // No value when no topic (letter) has that id; an empty array when it has no modules.
    std::optional<QJsonArray> modulesOfTopic(const QString &topicId, const QString &linkBase) const;
    std::optional<QJsonArray> modulesOfLetter(const QString &letterId,
                                              const QString &linkBase) const;

    // The archive file served at a download path, or an empty string for any other path.
    QString archiveFile(const QString &urlPath) const { return m_archives.value(urlPath); }

    int moduleCount() const { return m_modules.size(); }
    int topicCount() const { return m_topics.size(); }

private:
    bool check(const QString &folder, QString *error);
    QJsonArray withLinks(const QJsonArray &modules, const QString &linkBase) const;

    QJsonArray m_topics;
    QJsonArray m_letters;
    QJsonArray m_articles;
    QJsonArray m_modules;
    QHash<QString, QString> m_archives;
};
