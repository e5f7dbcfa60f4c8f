#include "driver/catalogues.h"

#include "driver/datagen.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace {

bool readArray(const QString &path, QJsonArray *array, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    *array = QJsonDocument::fromJson(file.readAll()).array();
    return true;
}

bool writeBytes(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

bool writeArray(const QString &path, const QJsonArray &array, QString *error)
{
    return writeBytes(path, QJsonDocument(array).toJson(QJsonDocument::Compact), error);
}

// Where the file exists already (a run that kept its data), it is the same file.
bool linkOrCopy(const QString &from, const QString &to, QString *error)
{
    QFile::remove(to);
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0 ||
        QFile::copy(from, to))
        return true;
    *error = QStringLiteral("cannot put %1 at %2").arg(from, to);
    return false;
}

} // namespace

bool writeServiceCatalogue(const QString &sampleFolder, const QString &folder,
                           const QString &moduleId, const QString &archive,
                           ServiceCatalogue *written, QString *error)
{
    QDir().mkpath(folder + QStringLiteral("/archives"));
    for (const QString &name : {QStringLiteral("topics.json"), QStringLiteral("letters.json"),
                                QStringLiteral("articles.json")}) {
        if (!linkOrCopy(sampleFolder + QLatin1Char('/') + name, folder + QLatin1Char('/') + name,
                        error))
            return false;
    }
    const QFileInfoList sampleArchives =
        QDir(sampleFolder + QStringLiteral("/archives")).entryInfoList({QStringLiteral("*.zip")});
    for (const QFileInfo &sample : sampleArchives) {
        if (!linkOrCopy(sample.filePath(),
                        folder + QStringLiteral("/archives/") + sample.fileName(), error))
            return false;
    }
    if (!linkOrCopy(archive,
                    folder + QStringLiteral("/archives/") + moduleId + QStringLiteral(".zip"),
                    error))
        return false;

    QJsonArray topics, modules;
    if (!readArray(sampleFolder + QStringLiteral("/topics.json"), &topics, error) ||
        !readArray(sampleFolder + QStringLiteral("/modules.json"), &modules, error))
        return false;
    QJsonObject module;
    module.insert(QStringLiteral("_id"), moduleId);
    module.insert(QStringLiteral("name"), QStringLiteral("Community Health Worker Handbook"));
    module.insert(QStringLiteral("description"),
                  QStringLiteral("The complete handbook: every lesson, with pictures and films."));
    module.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    module.insert(QStringLiteral("topic"), topics.at(0).toObject().value(QStringLiteral("_id")));
    module.insert(QStringLiteral("launchFile"), moduleId + QStringLiteral("/index.html"));
    module.insert(QStringLiteral("downloadLink"),
                  QStringLiteral("/archives/") + moduleId + QStringLiteral(".zip"));
    modules.append(module);
    if (!writeArray(folder + QStringLiteral("/modules.json"), modules, error))
        return false;

    written->folder = folder;
    written->modules = modules.size();
    written->moduleName = module.value(QStringLiteral("name")).toString();
    return true;
}

bool writeListCatalogue(const QString &sampleFolder, const QString &folder,
                        const QString &libraryFolder, int modules, int installed,
                        ListCatalogue *written, QString *error)
{
    QDir().mkpath(folder);
    QDir().mkpath(libraryFolder);
    const QString topicId = QStringLiteral("topic-everything");
    const QString topicName = QStringLiteral("Everything");
    QJsonObject topic;
    topic.insert(QStringLiteral("_id"), topicId);
    topic.insert(QStringLiteral("name"), topicName);
    topic.insert(QStringLiteral("category"), QStringLiteral("Health and Wellness"));

    Prng random(0x11575);
    QJsonArray list;
    for (int i = 1; i <= modules; ++i) {
        const QString id = QStringLiteral("module-%1").arg(i, 5, 10, QLatin1Char('0'));
        QJsonObject module;
        module.insert(QStringLiteral("_id"), id);
        module.insert(
            QStringLiteral("name"),
            QStringLiteral("%1 (%2)").arg(lessonText(random, 3 + int(random.below(4)))).arg(i));
        module.insert(QStringLiteral("description"),
                      lessonText(random, 15 + int(random.below(20))));
        module.insert(QStringLiteral("version"), QStringLiteral("1.%1").arg(random.below(5)));
        module.insert(QStringLiteral("topic"), topicId);
        module.insert(QStringLiteral("launchFile"), id + QStringLiteral("/index.html"));
        module.insert(QStringLiteral("downloadLink"),
                      QStringLiteral("http://127.0.0.1:9/archives/%1.zip").arg(id));
        module.insert(QStringLiteral("packageSize"),
                      QStringLiteral("%1 MB").arg(double(random.around(5000000)) / 1e6, 0, 'f', 2));
        list.append(module);
    }

    // Every installed module is the catalogue's record as it was downloaded; every tenth was
    // downloaded before its latest version came out.
    QByteArray index;
    int flagged = 0;
    int recorded = 0;
    const int step = qMax(1, modules / qMax(installed, 1));
    for (int n = 0; n < installed && n * step < modules; ++n) {
        QJsonObject record = list.at(n * step).toObject();
        if (n % 10 == 0) {
            record.insert(QStringLiteral("version"), QStringLiteral("0.9"));
            ++flagged;
        }
        index += QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
        ++recorded;
    }

    QJsonArray articles;
    for (int order = 1; order <= 4; ++order) {
        QJsonObject article;
        article.insert(QStringLiteral("aorder"), order);
        article.insert(QStringLiteral("name"), QStringLiteral("Featured %1").arg(order));
        article.insert(QStringLiteral("description"), lessonText(random, 20));
        article.insert(QStringLiteral("modules"), QJsonArray());
        articles.append(article);
    }
    QJsonArray letters;
    if (!readArray(sampleFolder + QStringLiteral("/letters.json"), &letters, error))
        return false;

    const QByteArray moduleBody = QJsonDocument(list).toJson(QJsonDocument::Compact);
    QByteArray routes;
    const auto route = [&](const QString &path, const QString &file, const QByteArray &body) {
        routes += path.toUtf8() + '\t' + file.toUtf8() + '\n';
        return writeBytes(folder + QLatin1Char('/') + file, body, error);
    };
    if (!route(QStringLiteral("/api/topics"), QStringLiteral("topics.json"),
               QJsonDocument(QJsonArray{topic}).toJson(QJsonDocument::Compact)) ||
        !route(QStringLiteral("/api/letters"), QStringLiteral("letters.json"),
               QJsonDocument(letters).toJson(QJsonDocument::Compact)) ||
        !route(QStringLiteral("/api/articles"), QStringLiteral("articles.json"),
               QJsonDocument(articles).toJson(QJsonDocument::Compact)) ||
        !route(QStringLiteral("/api/modules"), QStringLiteral("modules.json"), moduleBody) ||
        !route(QStringLiteral("/api/modules/topic/") + topicId, QStringLiteral("topic.json"),
               moduleBody) ||
        !writeBytes(folder + QStringLiteral("/routes.txt"), routes, error) ||
        !writeBytes(libraryFolder + QStringLiteral("/tavro-modules.txt"), index, error))
        return false;

    written->routes = folder + QStringLiteral("/routes.txt");
    written->topicName = topicName;
    written->modules = modules;
    written->installed = recorded;
    written->flagged = flagged;
    return true;
}
