// The stand-in catalogue service, run as its own process and asked over HTTP on loopback.
#include "library/byterangereader.h"
#include "library/httpranges.h"
#include "support/serviceprocess.h"
#include "support/testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtGui/private/qzipreader_p.h>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>
#include <signal.h>

namespace {

const QString serviceBinary = QStringLiteral(CATALOGUE_SERVICE_BIN);
const QString sourceCatalogue = QStringLiteral(CATALOGUE_SOURCE_DIR);
const QStringList moduleKeys = {"_id",         "name",         "description", "version",
                                "packageSize", "downloadLink", "launchFile",  "topic"};

struct Answer
{
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QMap<QByteArray, QByteArray> headers;
};

const QString archivePath = QStringLiteral("/archives/hand-washing.zip");

QJsonArray readSourceArray(const QString &name)
{
    QFile file(sourceCatalogue + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).array();
}

void copyTree(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo &entry :
         source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + entry.fileName();
        if (entry.isDir())
            copyTree(entry.filePath(), target);
        else
            QFile::copy(entry.filePath(), target);
    }
}

// Numbers of a "packageSize" text: the value and the number of decimals it was given with.
bool parsePackageSize(const QString &text, double *megabytes, int *decimals)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]+)(\\.([0-9]+))? MB$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    *megabytes = text.section(QLatin1Char(' '), 0, 0).toDouble();
    *decimals = match.captured(3).size();
    return true;
}

} // namespace

class CatalogueServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void apiPath_answersArrayOfRecords_data();
    void apiPath_answersArrayOfRecords();
    void unknownPath_answers404_data();
    void unknownPath_answers404();
    void topicFilter_partitionsModulesByTopic();
    void letterFilter_groupsByFirstCharacter();
    void sampleCatalogue_coversClientCases();
    void downloadLinks_pointAtTheRunningService();
    void archives_areModuleFoldersOfTheAnnouncedSize();
    void revision2_updatesSomeModules();
    void requests_areLoggedOneLineEach();
    void archiveRanges_areAnsweredAsHttpSays_data();
    void archiveRanges_areAnsweredAsHttpSays();
    void faults_showOnArchives_data();
    void faults_showOnArchives();
    void badCatalogue_exitsWithMessage_data();
    void badCatalogue_exitsWithMessage();
    void busyPort_exitsWithMessage();
    void stopSignal_endsCleanly_data();
    void stopSignal_endsCleanly();

private:
    // Without an encoding, asks the way the client does (compressed answers accepted).
    Answer get(const QString &url, const QByteArray &encoding = {},
               const QMap<QByteArray, QByteArray> &headers = {}, int timeoutMs = 0);
    QJsonArray getArray(const QString &path);

    std::unique_ptr<ServiceProcess> m_service;
    QNetworkAccessManager m_network;
};

void CatalogueServiceTest::initTestCase()
{
    QVERIFY2(QFileInfo(serviceBinary).isExecutable(), qPrintable(serviceBinary));
    m_network.setProxy(QNetworkProxy::NoProxy);
    m_service = std::make_unique<ServiceProcess>();
    QVERIFY2(!m_service->url().isEmpty(), qPrintable(m_service->errors()));
    QVERIFY(m_service->url().startsWith(QLatin1String("http://127.0.0.1:")));
}

void CatalogueServiceTest::cleanupTestCase()
{
    m_service.reset();
}

Answer CatalogueServiceTest::get(const QString &url, const QByteArray &encoding,
                                 const QMap<QByteArray, QByteArray> &headers, int timeoutMs)
{
    QNetworkRequest request{QUrl(url)};
    if (!encoding.isEmpty())
        request.setRawHeader("Accept-Encoding", encoding);
    for (auto header = headers.begin(); header != headers.end(); ++header)
        request.setRawHeader(header.key(), header.value());
    request.setTransferTimeout(timeoutMs);
    std::unique_ptr<QNetworkReply> reply(m_network.get(request));
    Answer answer;
    // Read as it arrives: a reply given up drops what it holds.
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&answer, &reply] {
        if (reply->isOpen())
            answer.body += reply->readAll();
    });
    if (!reply->isFinished()) {
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(30000);
    }
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->isOpen())
        answer.body += reply->readAll();
    answer.error = reply->error();
    for (const QNetworkReply::RawHeaderPair &header : reply->rawHeaderPairs())
        answer.headers.insert(header.first.toLower(), header.second);
    return answer;
}

QJsonArray CatalogueServiceTest::getArray(const QString &path)
{
    const Answer answer = get(m_service->url() + path);
    const QJsonDocument document = QJsonDocument::fromJson(answer.body);
    if (answer.status != 200 || !document.isArray())
        qWarning() << path << "answered" << answer.status << answer.body.left(200);
    return document.array();
}

void CatalogueServiceTest::apiPath_answersArrayOfRecords_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("keys");

    QTest::newRow("topics") << "/api/topics" << readSourceArray("topics.json").size()
                            << QStringList{"_id", "name", "category"};
    QTest::newRow("letters") << "/api/letters" << 24 << QStringList{"_id", "name"};
    QTest::newRow("articles") << "/api/articles" << 4
                              << QStringList{"aorder", "name", "description", "modules"};
    QTest::newRow("all modules") << "/api/modules" << readSourceArray("modules.json").size()
                                 << moduleKeys;
    QTest::newRow("topic without modules")
        << "/api/modules/topic/topic-older-adults" << 0 << moduleKeys;
    QTest::newRow("letter without modules") << "/api/modules/letter/letter-q" << 0 << moduleKeys;
}

void CatalogueServiceTest::apiPath_answersArrayOfRecords()
{
    QFETCH(QString, path);
    QFETCH(int, count);
    QFETCH(QStringList, keys);

    const Answer answer = get(m_service->url() + path);
    QCOMPARE(answer.status, 200);
    const QJsonDocument document = QJsonDocument::fromJson(answer.body);
    QVERIFY2(document.isArray(), answer.body.left(200).constData());
    const QJsonArray records = document.array();
    QCOMPARE(records.size(), count);
    for (const QJsonValue record : records) {
        QVERIFY(record.isObject());
        for (const QString &key : keys)
            QVERIFY2(record.toObject().contains(key), qPrintable(path + " lacks " + key));
    }
}

void CatalogueServiceTest::unknownPath_answers404_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("unknown api") << "/api/nothing";
    QTest::newRow("root") << "/";
    QTest::newRow("unknown topic") << "/api/modules/topic/no-such-topic";
    QTest::newRow("unknown letter") << "/api/modules/letter/letter-zz";
    QTest::newRow("empty topic id") << "/api/modules/topic/";
    QTest::newRow("unknown archive") << "/archives/no-such-module.zip";
    QTest::newRow("record file") << "/modules.json";
    QTest::newRow("climbing out of the archives") << "/archives/%2e%2e/modules.json";
    QTest::newRow("archive of the other revision") << "/archives/r2/hand-washing.zip";
}

void CatalogueServiceTest::unknownPath_answers404()
{
    QFETCH(QString, path);
    QCOMPARE(get(m_service->url() + path).status, 404);
}

void CatalogueServiceTest::topicFilter_partitionsModulesByTopic()
{
    const QJsonArray all = getArray("/api/modules");
    QSet<QString> seen;
    for (const QJsonValue topic : getArray("/api/topics")) {
        const QString topicId = topic.toObject().value("_id").toString();
        for (const QJsonValue module : getArray("/api/modules/topic/" + topicId)) {
            const QString moduleId = module.toObject().value("_id").toString();
            QCOMPARE(module.toObject().value("topic").toString(), topicId);
            QVERIFY2(!seen.contains(moduleId), qPrintable(moduleId));
            seen.insert(moduleId);
        }
    }
    QCOMPARE(seen.size(), all.size());
}

void CatalogueServiceTest::letterFilter_groupsByFirstCharacter()
{
    int grouped = 0;
    bool sawXyz = false;
    for (const QJsonValue letter : getArray("/api/letters")) {
        const QString group = letter.toObject().value("name").toString();
        const QString id = letter.toObject().value("_id").toString();
        for (const QJsonValue module : getArray("/api/modules/letter/" + id)) {
            const QChar first = module.toObject().value("name").toString().at(0).toUpper();
            QVERIFY2(group.split('-').contains(QString(first)),
                     qPrintable(group + ": " + module.toObject().value("name").toString()));
            sawXyz = sawXyz || group == QLatin1String("X-Y-Z");
            ++grouped;
        }
    }
    QVERIFY(sawXyz);
    int startingWithLetter = 0;
    for (const QJsonValue module : getArray("/api/modules")) {
        const QString name = module.toObject().value("name").toString();
        startingWithLetter += !name.isEmpty() && name.at(0).isLetter();
    }
    QCOMPARE(grouped, startingWithLetter);
}

// The client's behaviour is checked against this catalogue, so it must hold the cases that
// the client treats specially.
void CatalogueServiceTest::sampleCatalogue_coversClientCases()
{
    QSet<QString> categories;
    for (const QJsonValue topic : getArray("/api/topics"))
        categories.insert(topic.toObject().value("category").toString());
    QCOMPARE(categories, (QSet<QString>{"Body Location and Systems", "Disorders and Conditions",
                                        "Diagnosis and Therapy", "Demographic Groups",
                                        "Health and Wellness", "Special Series"}));

    QStringList letterNames;
    for (const QJsonValue letter : getArray("/api/letters"))
        letterNames << letter.toObject().value("name").toString();
    QStringList buttons;
    for (char c = 'A'; c <= 'W'; ++c)
        buttons << QString(QChar(c));
    buttons << "X-Y-Z";
    QCOMPARE(letterNames, buttons);

    QHash<QString, QJsonObject> modulesById;
    QSet<QString> moduleNames;
    int excluded = 0, withoutLink = 0;
    for (const QJsonValue value : getArray("/api/modules")) {
        const QJsonObject module = value.toObject();
        modulesById.insert(module.value("_id").toString(), module);
        moduleNames.insert(module.value("name").toString());
        excluded += module.value("excludeFromList").toBool();
        withoutLink += module.value("downloadLink").toString().isEmpty();
    }
    QVERIFY(modulesById.size() >= 30);
    QCOMPARE(excluded, 1);
    QCOMPARE(withoutLink, 1);

    QList<int> orders;
    for (const QJsonValue value : getArray("/api/articles")) {
        const QJsonObject article = value.toObject();
        const int order = article.value("aorder").toInt();
        orders << order;
        const QJsonArray modules = article.value("modules").toArray();
        QCOMPARE(modules.isEmpty(), order < 3);
        if (order < 3)
            continue;
        QVERIFY(moduleNames.contains(article.value("name").toString()));
        for (const QJsonValue id : modules)
            QCOMPARE(modulesById.value(id.toString()).value("name"), article.value("name"));
    }
    std::sort(orders.begin(), orders.end());
    QCOMPARE(orders, (QList<int>{1, 2, 3, 4}));
}

void CatalogueServiceTest::downloadLinks_pointAtTheRunningService()
{
    static const QRegularExpression archivePath(QStringLiteral("^/archives/[a-z0-9/-]+\\.zip$"));
    for (const QJsonValue value : getArray("/api/modules")) {
        const QString link = value.toObject().value("downloadLink").toString();
        if (link.isEmpty())
            continue;
        QVERIFY2(link.startsWith(m_service->url() + "/"), qPrintable(link));
        QVERIFY2(archivePath.match(link.mid(m_service->url().size())).hasMatch(), qPrintable(link));
    }
}

void CatalogueServiceTest::archives_areModuleFoldersOfTheAnnouncedSize()
{
    QTemporaryDir downloads;
    QVERIFY(downloads.isValid());
    int checked = 0;
    for (const QJsonValue value : getArray("/api/modules")) {
        const QJsonObject module = value.toObject();
        const QString id = module.value("_id").toString();
        const QString size = module.value("packageSize").toString();
        double megabytes = 0;
        int decimals = 0;
        QVERIFY2(parsePackageSize(size, &megabytes, &decimals), qPrintable(id + ": " + size));
        const QString link = module.value("downloadLink").toString();
        if (link.isEmpty()) {
            QCOMPARE(size, QStringLiteral("0 MB"));
            continue;
        }

        const Answer answer = get(link);
        QCOMPARE(answer.status, 200);
        QVERIFY2(std::abs(answer.body.size() / 1e6 - megabytes) <= 0.5 * std::pow(10, -decimals),
                 qPrintable(QStringLiteral("%1: %2 bytes announced as %3")
                                .arg(id)
                                .arg(answer.body.size())
                                .arg(size)));
        // Two significant digits at least, so a small package never reads as zero.
        QVERIFY2(megabytes * std::pow(10, decimals) >= 10, qPrintable(id + ": " + size));

        const QString path = downloads.filePath(id + ".zip");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(answer.body);
        file.close();
        QZipReader zip(path);
        QCOMPARE(zip.status(), QZipReader::NoError);
        QSet<QString> entries;
        bool folderEntry = false;
        for (const QZipReader::FileInfo &entry : zip.fileInfoList()) {
            QVERIFY2(entry.filePath.startsWith(id + "/") || entry.filePath == id,
                     qPrintable(entry.filePath));
            entries.insert(entry.filePath);
            // The reader writes files only where their folder has an entry of its own.
            folderEntry = folderEntry || (entry.isDir && entry.filePath == id);
        }
        QVERIFY(folderEntry);
        QVERIFY(entries.contains(module.value("launchFile").toString()));
        QVERIFY(zip.fileData(id + "/index.html").contains("<html"));
        ++checked;
    }
    QVERIFY(checked >= 30);
}

void CatalogueServiceTest::revision2_updatesSomeModules()
{
    ServiceProcess second({"--revision", "2"});
    QVERIFY2(!second.url().isEmpty(), qPrintable(second.errors()));
    const Answer answer = get(second.url() + "/api/modules");
    QCOMPARE(answer.status, 200);
    const QJsonArray updated = QJsonDocument::fromJson(answer.body).array();
    const QJsonArray original = getArray("/api/modules");
    QCOMPARE(updated.size(), original.size());

    int changed = 0;
    for (int i = 0; i < original.size(); ++i) {
        const QJsonObject before = original.at(i).toObject();
        const QJsonObject after = updated.at(i).toObject();
        QCOMPARE(after.value("_id"), before.value("_id"));
        if (after.value("version") == before.value("version"))
            continue;
        ++changed;
        const Answer oldArchive = get(before.value("downloadLink").toString());
        const Answer newArchive = get(after.value("downloadLink").toString());
        QCOMPARE(oldArchive.status, 200);
        QCOMPARE(newArchive.status, 200);
        QVERIFY(oldArchive.body != newArchive.body);
    }
    QVERIFY(changed >= 2);
    QVERIFY(changed < original.size());
}

void CatalogueServiceTest::requests_areLoggedOneLineEach()
{
    ServiceProcess service;
    QVERIFY(!service.url().isEmpty());
    // Uncompressed, so that the body received is what went over the wire.
    const Answer topics = get(service.url() + "/api/topics", "identity");
    const Answer missing = get(service.url() + "/api/missing", "identity");
    const QString topicsLine = QStringLiteral("GET /api/topics 200 %1").arg(topics.body.size());
    const QString missingLine = QStringLiteral("GET /api/missing 404 %1").arg(missing.body.size());
    QTRY_VERIFY2(service.errors().contains(missingLine), qPrintable(service.errors()));
    const QStringList lines = service.errors().split('\n');
    QVERIFY2(lines.contains(topicsLine), qPrintable(service.errors()));
    QVERIFY(lines.contains(missingLine));
}

void CatalogueServiceTest::archiveRanges_areAnsweredAsHttpSays_data()
{
    QTest::addColumn<QByteArray>("range");
    // "" for none, "etag" or "date" for the archive's own validator, anything else as it is.
    QTest::addColumn<QByteArray>("ifRange");
    QTest::addColumn<int>("status");
    // The parts expected, as "first-last" pairs; "end" stands for the archive's last byte.
    QTest::addColumn<QString>("parts");

    QTest::newRow("none") << QByteArray() << QByteArray() << 200 << "0-end";
    QTest::newRow("one") << QByteArray("bytes=10-19") << QByteArray() << 206 << "10-19";
    QTest::newRow("to the end") << QByteArray("bytes=4000-") << QByteArray() << 206 << "4000-end";
    QTest::newRow("several, in the order asked")
        << QByteArray("bytes=100-199, 0-3") << QByteArray() << 206 << "100-199,0-3";
    QTest::newRow("If-Range with the ETag")
        << QByteArray("bytes=10-19") << QByteArray("etag") << 206 << "10-19";
    QTest::newRow("If-Range with the date")
        << QByteArray("bytes=10-19") << QByteArray("date") << 206 << "10-19";
    QTest::newRow("If-Range with another version")
        << QByteArray("bytes=10-19") << QByteArray("\"other\"") << 200 << "0-end";
    QTest::newRow("beyond the end") << QByteArray("bytes=999999-") << QByteArray() << 416 << "";
}

void CatalogueServiceTest::archiveRanges_areAnsweredAsHttpSays()
{
    QFETCH(QByteArray, range);
    QFETCH(QByteArray, ifRange);
    QFETCH(int, status);
    QFETCH(QString, parts);
    const Answer whole = get(m_service->url() + archivePath);
    const QByteArray archive = whole.body;
    QVERIFY(archive.size() > 4000);
    QCOMPARE(whole.headers.value("accept-ranges"), QByteArray("bytes"));

    QMap<QByteArray, QByteArray> headers;
    if (!range.isEmpty())
        headers.insert("Range", range);
    if (ifRange == "etag")
        headers.insert("If-Range", whole.headers.value("etag"));
    else if (ifRange == "date")
        headers.insert("If-Range", whole.headers.value("last-modified"));
    else if (!ifRange.isEmpty())
        headers.insert("If-Range", ifRange);
    const Answer answer = get(m_service->url() + archivePath, "identity", headers);
    QCOMPARE(answer.status, status);

    // What the parts hold, each placed where it belongs in the archive.
    QByteArray expected(archive.size(), '.'), received(archive.size(), '.');
    for (const QString &part : parts.split(',', Qt::SkipEmptyParts)) {
        const qint64 first = part.section('-', 0, 0).toLongLong();
        const QString last = part.section('-', 1);
        const qint64 end = last == "end" ? archive.size() - 1 : last.toLongLong();
        expected.replace(int(first), int(end - first + 1),
                         archive.mid(int(first), int(end - first + 1)));
    }
    const QByteArray boundary = HttpRanges::multipartBoundary(answer.headers.value("content-type"));
    if (!boundary.isEmpty()) {
        ByteRangeReader reader(boundary);
        QVector<ByteRangeReader::Piece> pieces;
        QVERIFY(reader.read(answer.body, &pieces));
        QVERIFY(reader.finished());
        QCOMPARE(pieces.size(), parts.count(',') + 1);
        for (const ByteRangeReader::Piece &piece : qAsConst(pieces))
            received.replace(int(piece.offset), piece.bytes.size(), piece.bytes);
    } else if (status == 206) {
        const HttpRanges::ContentRange contentRange =
            HttpRanges::parseContentRange(answer.headers.value("content-range"));
        QVERIFY(contentRange.valid);
        QCOMPARE(contentRange.total, qint64(archive.size()));
        received.replace(int(contentRange.span.first), answer.body.size(), answer.body);
    } else if (status == 200) {
        received = answer.body;
    } else {
        QCOMPARE(answer.headers.value("content-range"),
                 HttpRanges::unsatisfiedRange(archive.size()));
        QVERIFY(answer.body.isEmpty());
    }
    QCOMPARE(received, expected);
    // The log counts the bytes of the body that went out.
    const QString line =
        QStringLiteral("GET %1 %2 %3").arg(archivePath).arg(status).arg(answer.body.size());
    QTRY_VERIFY2(m_service->errors().contains(line), qPrintable(line));
}

void CatalogueServiceTest::faults_showOnArchives_data()
{
    QTest::addColumn<QStringList>("arguments");
    // The first request asks for the whole archive; -1 for all of it.
    QTest::addColumn<int>("firstBytes");
    // The second asks for bytes 10 to 19 of the version the first one saw.
    QTest::addColumn<int>("secondStatus");

    QTest::newRow("none") << QStringList() << -1 << 206;
    QTest::newRow("cut") << QStringList{"--cut-after", "1000"} << 1000 << 206;
    QTest::newRow("stall") << QStringList{"--stall-after", "1000"} << 1000 << 206;
    QTest::newRow("ranges ignored") << QStringList{"--ignore-ranges"} << -1 << 200;
    QTest::newRow("validator changed") << QStringList{"--change-validator"} << -1 << 200;
}

void CatalogueServiceTest::faults_showOnArchives()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, firstBytes);
    QFETCH(int, secondStatus);
    ServiceProcess service(arguments);
    QVERIFY(!service.url().isEmpty());
    const int size =
        int(QFileInfo(QFileInfo(serviceBinary).absolutePath() + "/catalogue" + archivePath).size());

    // A stalled answer is given up after a second without a byte.
    const Answer first = get(service.url() + archivePath, "identity", {}, 1000);
    QCOMPARE(first.body.size(), firstBytes < 0 ? size : firstBytes);
    QCOMPARE(first.error != QNetworkReply::NoError, firstBytes >= 0);
    const Answer second =
        get(service.url() + archivePath, "identity",
            {{"Range", "bytes=10-19"}, {"If-Range", first.headers.value("etag")}});
    QCOMPARE(second.status, secondStatus);
    QCOMPARE(second.body.size(), secondStatus == 206 ? 10 : size);

    // Each answer is logged once it has ended, a stalled one once its client gave up, with the
    // bytes that actually went.
    service.process().terminate();
    QVERIFY(service.process().waitForFinished(30000));
    const QRegularExpression line(QStringLiteral("GET %1 200 %2%3\n")
                                      .arg(archivePath)
                                      .arg(first.body.size())
                                      .arg(arguments.value(0) == "--stall-after"
                                               ? QStringLiteral(" stalled=[0-9]+ms")
                                               : QString()));
    QVERIFY2(service.errors().contains(line), qPrintable(service.errors()));
    QVERIFY(service.errors().contains(QStringLiteral(" range=bytes=10-19\n")));
}

void CatalogueServiceTest::badCatalogue_exitsWithMessage_data()
{
    QTest::addColumn<QString>("breakage");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing folder") << "remove folder"
                                    << "catalogue folder not found";
    QTest::newRow("missing record file") << "remove modules.json"
                                         << "modules.json";
    QTest::newRow("malformed JSON") << "garble topics.json"
                                    << "topics.json: not valid JSON";
    QTest::newRow("object instead of array") << "object letters.json"
                                             << "letters.json";
    QTest::newRow("missing archive") << "remove archive"
                                     << "no archive";
    QTest::newRow("revision 2 without its file") << "remove revision2.json"
                                                 << "revision2.json";
}

void CatalogueServiceTest::badCatalogue_exitsWithMessage()
{
    QFETCH(QString, breakage);
    QFETCH(QString, message);

    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QString folder = temporary.filePath("catalogue");
    copyTree(QFileInfo(serviceBinary).absolutePath() + "/catalogue", folder);
    const QString action = breakage.section(' ', 0, 0), file = breakage.section(' ', 1);
    QStringList arguments{"--catalogue", folder};
    if (breakage == "remove folder") {
        QVERIFY(QDir(folder).removeRecursively());
    } else if (breakage == "remove archive") {
        QVERIFY(QFile::remove(folder + "/archives/safe-water.zip"));
    } else if (action == "remove") {
        QVERIFY(QFile::remove(folder + "/" + file));
        if (file == "revision2.json")
            arguments << "--revision"
                      << "2";
    } else {
        QFile broken(folder + "/" + file);
        QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
        broken.write(action == "garble" ? "[{\"_id\": " : "{\"letters\": []}");
    }

    QProcess process;
    process.start(serviceBinary, QStringList{"--port", "0"} + arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(!process.readAllStandardOutput().contains("listening on"));
}

void CatalogueServiceTest::busyPort_exitsWithMessage()
{
    const QString port = m_service->url().section(':', -1);
    QProcess process;
    process.start(serviceBinary, {"--port", port});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardError().contains("cannot listen"));
}

void CatalogueServiceTest::stopSignal_endsCleanly_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("askFirst");
    QTest::newRow("SIGTERM after a request") << int(SIGTERM) << true;
    QTest::newRow("SIGINT after a request") << int(SIGINT) << true;
    // The signal may arrive before the service has begun to accept connections.
    QTest::newRow("SIGTERM as soon as it is listening") << int(SIGTERM) << false;
}

void CatalogueServiceTest::stopSignal_endsCleanly()
{
    QFETCH(int, signal);
    QFETCH(bool, askFirst);
    ServiceProcess service;
    QVERIFY(!service.url().isEmpty());
    if (askFirst)
        QCOMPARE(get(service.url() + "/api/letters").status, 200);
    QCOMPARE(::kill(pid_t(service.process().processId()), signal), 0);
    QVERIFY(service.process().waitForFinished(30000));
    QCOMPARE(service.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.process().exitCode(), 0);
    QVERIFY(service.errors().contains("stopped"));
}

CORVELLE_TEST_MAIN(CatalogueServiceTest)
#include "tst_catalogueservice.moc"
