// The catalogue as any web host serves it: the files that "catalogue-service --export" writes,
// served by nginx with the configuration README.md shows. Against nginx's own answers the
// client reads byte ranges and resumes downloads, and the real window fills its lists,
// installs a module and resumes a download cut half-way.
#include "browse/topicchoice.h"
#include "support/files.h"
#include "support/httpanswer.h"
#include "support/nginxserver.h"
#include "support/serviceprocess.h"
#include "support/testcataloguebaseurl.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"
#include "transfer/download.h"
#include "transfer/networktiming.h"
#include "transfer/partialdownload.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtGui/private/qzipreader_p.h>
#include <QtTest>

#include <memory>

namespace {

// The archive the range tests read, below each location that serves the archives.
const QString rangedArchive = QStringLiteral("hand-washing.zip");

// The records of a JSON file.
QJsonArray recordsIn(const QString &path)
{
    return QJsonDocument::fromJson(fileContent(path)).array();
}

QStringList namesOf(const QJsonArray &records)
{
    QStringList names;
    for (const QJsonValue record : records)
        names << record.toObject().value(QStringLiteral("name")).toString();
    return names;
}

// The tree below id/ that unpacking these archives in turn, into one folder, leaves.
QMap<QString, QByteArray> unpacked(const QStringList &archives, const QString &id)
{
    QTemporaryDir folder;
    for (const QString &archive : archives) {
        QZipReader zip(archive);
        zip.extractAll(folder.path());
    }
    return snapshot(folder.filePath(id));
}

} // namespace

class NginxTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void readme_quotesTheConfigurationTheTestServes();
    void everyPath_answersAsTheServiceDoes();
    void ranges_areReadAsNginxSendsThem_data();
    void ranges_areReadAsNginxSendsThem();
    void download_resumesOnlyTheSameVersion_data();
    void download_resumesOnlyTheSameVersion();
    void window_fillsItsListsAndInstalls();
    void window_resumesADownloadCutHalfWay();
    void window_updateFetchesOnlyWhatChanged();

private:
    // Writes the revision's export for nginx into folder; false, with the service's
    // messages as a warning, when it fails.
    bool exportRevision(int revision, const QString &folder);
    // Serves the export in root with the test's locations beside the catalogue's, and these
    // server lines.
    bool serve(const QString &root, const QString &lines = QString());
    // What nginx answers for path, asked for as the client asks for archives.
    HttpAnswer get(const QString &path);
    // The version of the module the library index records; empty when it has none.
    QString installedVersion(const QString &id) const;
    // The access log's lines for path since the running test began.
    QStringList accessLogOf(const QString &path) const;
    // The modules the "All Modules" tab lists for the letter group caption.
    QJsonArray listedUnderLetter(const QString &caption) const;

    std::unique_ptr<NginxServer> m_nginx;
    // The stand-in service, to compare with.
    std::unique_ptr<ServiceProcess> m_service;
    // The lines nginx's access log held when the running test began.
    int m_logLinesBefore = 0;
    QTemporaryDir m_exports;
    QString m_export;
    QNetworkAccessManager m_network;
    // Whether nginx serves the export of revision 1 as the tests start from.
    bool m_servesFirstExport = false;
    // The ranged archive as nginx serves it whole, with its validators.
    HttpAnswer m_archive;
};

void NginxTest::initTestCase()
{
    m_nginx = std::make_unique<NginxServer>();
    if (!m_nginx->problem().isEmpty())
        return;
    m_export = m_exports.filePath(QStringLiteral("r1"));
    QVERIFY(exportRevision(1, m_export));
    QVERIFY(serve(m_export));
    m_archive = get(QStringLiteral("/archives/") + rangedArchive);
    QCOMPARE(m_archive.status, 200);
    QVERIFY(m_archive.body.size() > 2000);
    m_service = std::make_unique<ServiceProcess>();
    QVERIFY(!m_service->url().isEmpty());
}

void NginxTest::init()
{
    m_logLinesBefore = m_nginx->accessLog().size();
}

void NginxTest::cleanupTestCase()
{
    // Idle connections would keep the service waiting before it ends.
    m_network.clearConnectionCache();
    m_service.reset();
    m_nginx.reset();
}

void NginxTest::cleanup()
{
    stopAll();
    NetworkTiming::setForTests(0, 0);
    if (m_nginx->problem().isEmpty() && !m_servesFirstExport)
        QVERIFY(serve(m_export));
}

bool NginxTest::exportRevision(int revision, const QString &folder)
{
    QProcess service;
    service.start(ServiceProcess::program(),
                  {QStringLiteral("--export"), folder, QStringLiteral("--base-url"),
                   m_nginx->baseUrl(), QStringLiteral("--revision"), QString::number(revision)});
    if (service.waitForFinished(60000) && service.exitCode() == 0)
        return true;
    qWarning().noquote() << service.readAllStandardError();
    return false;
}

bool NginxTest::serve(const QString &root, const QString &lines)
{
    // The archives again where byte ranges are limited to one, or off, or where there is no
    // ETag, so that only the date tells versions apart.
    QString locations = lines;
    const QString archives = root + QStringLiteral("/archives/");
    for (const auto &[location, directive] :
         {std::pair{"/one-range/", "max_ranges 1"}, std::pair{"/no-ranges/", "max_ranges 0"},
          std::pair{"/no-etag/", "etag off"}}) {
        locations += QStringLiteral("location %1 { alias \"%2\"; %3; }\n")
                         .arg(QLatin1String(location), archives, QLatin1String(directive));
    }
    m_servesFirstExport = root == m_export && lines.isEmpty();
    return m_nginx->start(root, locations);
}

HttpAnswer NginxTest::get(const QString &path)
{
    return httpGet(&m_network, m_nginx->baseUrl() + path, "identity");
}

QString NginxTest::installedVersion(const QString &id) const
{
    const QByteArray index =
        fileContent(homeLibraryFolder() + QStringLiteral("/tavro-modules.txt"));
    QString version;
    for (const QByteArray &line : index.split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.value(QStringLiteral("_id")).toString() == id)
            version = record.value(QStringLiteral("version")).toString();
    }
    return version;
}

QStringList NginxTest::accessLogOf(const QString &path) const
{
    return m_nginx->accessLog()
        .mid(m_logLinesBefore)
        .filter(QStringLiteral("GET ") + path + QLatin1Char(' '));
}

QJsonArray NginxTest::listedUnderLetter(const QString &caption) const
{
    QString letterId;
    for (const QJsonValue letter : recordsIn(m_export + QStringLiteral("/api/letters.json"))) {
        if (letter.toObject().value(QStringLiteral("name")).toString() == caption)
            letterId = letter.toObject().value(QStringLiteral("_id")).toString();
    }
    QJsonArray listed;
    for (const QJsonValue module :
         recordsIn(m_export + QStringLiteral("/api/modules/letter/") + letterId + ".json")) {
        if (!module.toObject().value(QStringLiteral("excludeFromList")).toBool())
            listed.append(module);
    }
    return listed;
}

void NginxTest::readme_quotesTheConfigurationTheTestServes()
{
    // The test serves the file itself; the README shows it word for word, indented as code.
    QString quoted;
    for (const QString &line :
         QString::fromUtf8(fileContent(QStringLiteral(CATALOGUE_NGINX_CONF))).split('\n')) {
        quoted += line.isEmpty() ? QStringLiteral("\n") : QStringLiteral("    ") + line + '\n';
    }
    QVERIFY(fileContent(QStringLiteral(README_PATH)).contains(quoted.trimmed().toUtf8()));
}

void NginxTest::everyPath_answersAsTheServiceDoes()
{
    if (!m_nginx->problem().isEmpty())
        QSKIP(qPrintable(m_nginx->problem()));
    const QString service = m_service->url();
    QStringList paths = {"/api/topics", "/api/letters", "/api/articles", "/api/modules"};
    for (const QString &kind : {QStringLiteral("topic"), QStringLiteral("letter")}) {
        for (const QJsonValue record : recordsIn(m_export + "/api/" + kind + "s.json"))
            paths << "/api/modules/" + kind + '/' + record.toObject().value("_id").toString();
    }
    for (const QString &path : qAsConst(paths)) {
        const HttpAnswer ours = httpGet(&m_network, service + path);
        const HttpAnswer nginx = httpGet(&m_network, m_nginx->baseUrl() + path);
        QCOMPARE(ours.status, 200);
        QVERIFY2(nginx.status == 200, qPrintable(path));
        QCOMPARE(nginx.headers.value("content-type"), QByteArray("application/json"));
        QCOMPARE(QString::fromUtf8(nginx.body),
                 QString::fromUtf8(ours.body).replace(service, m_nginx->baseUrl()));
    }
    // The archives byte for byte, dated as their source: a new export keeps the validators.
    for (const QJsonValue module : recordsIn(m_export + "/api/modules.json")) {
        const QString link = module.toObject().value("downloadLink").toString();
        if (link.isEmpty())
            continue;
        const QString path = QUrl(link).path();
        const HttpAnswer ours = httpGet(&m_network, service + path, "identity");
        const HttpAnswer nginx = get(path);
        QCOMPARE(nginx.status, 200);
        QVERIFY2(nginx.body == ours.body, qPrintable(path));
        QCOMPARE(nginx.headers.value("last-modified"), ours.headers.value("last-modified"));
    }
    // What the service does not serve, nginx does not either.
    for (const char *path : {"/api/modules/topic/no-such-topic", "/api/modules/letter/",
                             "/api/topics.json", "/archives/r2/hand-washing.zip"})
        QVERIFY2(get(QLatin1String(path)).status == 404, path);
}

void NginxTest::ranges_areReadAsNginxSendsThem_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<QByteArray>("range");
    // "" for none, "etag" and "date" for the archive's own validators, "W/etag" for its ETag
    // made weak, anything else as it stands; after "If-Match " it goes in an If-Match instead.
    QTest::addColumn<QByteArray>("ifRange");
    QTest::addColumn<int>("status");
    // As the client reads them: "first-last" pairs, "end" for the last byte.
    QTest::addColumn<QString>("parts");
    // Whether the stand-in service answers the same.
    QTest::addColumn<bool>("likeTheService");

    const int size = m_archive.body.size();
    const QString tail = QStringLiteral("%1-end").arg(size - 100);
    const QByteArray sizeText = QByteArray::number(size);
    const QByteArray past = "Tue, 15 Nov 1994 08:12:31 GMT";
    const QString archives = QStringLiteral("/archives/");
    QTest::newRow("one range") << archives << QByteArray("bytes=10-19") << QByteArray() << 206
                               << "10-19" << true;
    QTest::newRow("from an offset to the end")
        << archives << QByteArray("bytes=2000-") << QByteArray() << 206 << "2000-end" << true;
    QTest::newRow("suffix") << archives << QByteArray("bytes=-100") << QByteArray() << 206 << tail
                            << true;
    QTest::newRow("several, as multipart/byteranges")
        << archives << QByteArray("bytes=100-199,0-3,-100") << QByteArray() << 206
        << "100-199,0-3," + tail << true;
    // Ranges that add up to more than the whole: nginx sends the whole.
    QTest::newRow("more than the archive in all")
        << archives << "bytes=0-" + QByteArray::number(size - 2) + ",1-" << QByteArray() << 200
        << "0-end" << false;
    QTest::newRow("beyond the end")
        << archives << "bytes=" + sizeText + "-" << QByteArray() << 416 << "" << true;
    QTest::newRow("If-Range, the ETag")
        << archives << QByteArray("bytes=10-19") << QByteArray("etag") << 206 << "10-19" << true;
    QTest::newRow("If-Range, a stale ETag")
        << archives << QByteArray("bytes=10-19") << QByteArray("\"5f1e2d3c-1000\"") << 200
        << "0-end" << true;
    QTest::newRow("If-Range, the ETag made weak")
        << archives << QByteArray("bytes=10-19") << QByteArray("W/etag") << 200 << "0-end" << true;
    QTest::newRow("If-Range, the date")
        << archives << QByteArray("bytes=10-19") << QByteArray("date") << 206 << "10-19" << true;
    QTest::newRow("If-Range, an older date")
        << archives << QByteArray("bytes=10-19") << past << 200 << "0-end" << true;
    QTest::newRow("If-Match, the ETag") << archives << QByteArray("bytes=10-19")
                                        << QByteArray("If-Match etag") << 206 << "10-19" << true;
    QTest::newRow("If-Match, a stale ETag")
        << archives << QByteArray("bytes=10-19") << QByteArray("If-Match \"5f1e2d3c-1000\"") << 412
        << "" << true;
    QTest::newRow("max_ranges 1, one range")
        << "/one-range/" << QByteArray("bytes=10-19") << QByteArray() << 206 << "10-19" << false;
    QTest::newRow("max_ranges 1, two ranges") << "/one-range/" << QByteArray("bytes=10-19,30-39")
                                              << QByteArray() << 200 << "0-end" << false;
    QTest::newRow("max_ranges 0") << "/no-ranges/" << QByteArray("bytes=10-19") << QByteArray()
                                  << 200 << "0-end" << false;
    QTest::newRow("no ETag, If-Range the date") << "/no-etag/" << QByteArray("bytes=10-19")
                                                << QByteArray("date") << 206 << "10-19" << false;
}

void NginxTest::ranges_areReadAsNginxSendsThem()
{
    if (!m_nginx->problem().isEmpty())
        QSKIP(qPrintable(m_nginx->problem()));
    QFETCH(QString, location);
    QFETCH(QByteArray, range);
    QFETCH(QByteArray, ifRange);
    QFETCH(int, status);
    QFETCH(QString, parts);
    QFETCH(bool, likeTheService);

    const auto ask = [&](const QString &url) {
        const HttpAnswer whole = httpGet(&m_network, url, "identity");
        QMap<QByteArray, QByteArray> headers{{"Range", range}};
        QByteArray validator = ifRange;
        validator.replace("etag", whole.headers.value("etag"));
        validator.replace("date", whole.headers.value("last-modified"));
        const bool match = validator.startsWith("If-Match ");
        if (!validator.isEmpty())
            headers.insert(match ? "If-Match" : "If-Range", validator.mid(match ? 9 : 0));
        return httpGet(&m_network, url, "identity", headers);
    };
    const HttpAnswer answer = ask(m_nginx->baseUrl() + location + rangedArchive);
    QCOMPARE(answer.status, status);
    QByteArray placed;
    QCOMPARE(partsOf(answer, m_archive.body.size(), &placed), parts);
    QCOMPARE(placed, placedParts(m_archive.body, parts));

    if (likeTheService) {
        const HttpAnswer ours = ask(m_service->url() + "/archives/" + rangedArchive);
        QCOMPARE(ours.status, status);
        QCOMPARE(partsOf(ours, m_archive.body.size(), &placed), parts);
    }
}

void NginxTest::download_resumesOnlyTheSameVersion_data()
{
    QTest::addColumn<QString>("location");
    // Whether the part holds the archive's first half, or half of another version.
    QTest::addColumn<bool>("sameVersion");
    QTest::addColumn<int>("status");

    QTest::newRow("the same version: the rest") << "/archives/" << true << 206;
    QTest::newRow("no ETag, the same date: the rest") << "/no-etag/" << true << 206;
    QTest::newRow("another version: all of it") << "/archives/" << false << 200;
    QTest::newRow("ranges off: all of it") << "/no-ranges/" << true << 200;
}

void NginxTest::download_resumesOnlyTheSameVersion()
{
    if (!m_nginx->problem().isEmpty())
        QSKIP(qPrintable(m_nginx->problem()));
    QFETCH(QString, location);
    QFETCH(bool, sameVersion);
    QFETCH(int, status);
    const QByteArray archive = m_archive.body;
    const int half = archive.size() / 2;
    const QString path = location + rangedArchive;
    const QString link = m_nginx->baseUrl() + path;

    // The part as a download cut half-way keeps it, with the validators of what it received.
    const HttpAnswer first = get(path);
    QTemporaryDir library;
    const PartialDownload part(library.path(), QStringLiteral("m"));
    PartialDownload::Version version{first.headers.value("etag"),
                                     first.headers.value("last-modified"), archive.size()};
    if (!sameVersion)
        version = {"\"5f1e2d3c-1000\"", "Tue, 15 Nov 1994 08:12:31 GMT", archive.size()};
    writeFile(part.bodyPath(), sameVersion ? archive.left(half) : QByteArray(half, 'x'));
    QVERIFY(part.writeInfo(link, version));
    const int linesBefore = accessLogOf(path).size();

    Download download(QJsonObject{{QStringLiteral("_id"), QStringLiteral("m")}}, library.path());
    QSignalSpy finished(&download, &Download::finished);
    download.start(&m_network, link);
    QVERIFY(finished.wait(20000));
    QCOMPARE(download.outcome(), Download::Outcome::Saved);
    QVERIFY(fileContent(download.archivePath()) == archive);
    QCOMPARE(accessLogOf(path).mid(linesBefore),
             QStringList{QStringLiteral("GET %1 %2 %3 range=bytes=%4-")
                             .arg(path)
                             .arg(status)
                             .arg(status == 206 ? archive.size() - half : archive.size())
                             .arg(half)});
}

void NginxTest::window_fillsItsListsAndInstalls()
{
    if (!m_nginx->problem().isEmpty())
        QSKIP(qPrintable(m_nginx->problem()));
    setCatalogueBaseUrl(m_nginx->baseUrl());
    const QString library = openWindowOnEmptyLibrary();

    // Every module under "All topics", every topic, the featured modules and a letter's list.
    QTRY_COMPARE(rows(widget<QListView>("listView")),
                 namesOf(recordsIn(m_export + "/api/modules.json")));
    const QStringList topics = namesOf(recordsIn(m_export + "/api/topics.json"));
    for (const QString &topic : topics)
        QVERIFY2(widget<QComboBox>("comboBox")->findText(topic) >= 0, qPrintable(topic));
    for (const QJsonValue article : recordsIn(m_export + "/api/articles.json")) {
        const int slot = article.toObject().value("aorder").toInt();
        QTRY_COMPARE(widget<QGroupBox>(QStringLiteral("module_%1").arg(slot))->title(),
                     article.toObject().value("name").toString());
    }
    const QJsonArray listed = listedUnderLetter(QStringLiteral("M"));
    QVERIFY(!listed.isEmpty());
    widget<QPushButton>("am_button_m")->click();
    QTRY_COMPARE(rows(widget<QListView>("listView_2")), namesOf(listed));
    const QJsonObject module = listed.first().toObject();

    // Its first module, unpacked as its archive holds it.
    clickRow(widget<QListView>("listView_2"), 0);
    widget<QPushButton>("downloadModuleButton_2")->click();
    const QString id = module.value("_id").toString();
    QTRY_COMPARE_WITH_TIMEOUT(installedVersion(id), module.value("version").toString(), 20000);
    const QString path = QUrl(module.value("downloadLink").toString()).path();
    QCOMPARE(snapshot(library + '/' + id), unpacked({m_export + path}, id));
    QCOMPARE(accessLogOf(path), QStringList{QStringLiteral("GET %1 200 %2 range=-")
                                                .arg(path)
                                                .arg(QFileInfo(m_export + path).size())});
}

void NginxTest::window_resumesADownloadCutHalfWay()
{
    if (!m_nginx->problem().isEmpty())
        QSKIP(qPrintable(m_nginx->problem()));
    // The largest archive, which leaves the most room to cut it half-way.
    const QJsonArray modules = recordsIn(m_export + "/api/modules.json");
    int row = 0;
    qint64 size = 0;
    for (int r = 0; r < modules.size(); ++r) {
        const QString link = modules.at(r).toObject().value("downloadLink").toString();
        const qint64 bytes = link.isEmpty() ? 0 : QFileInfo(m_export + QUrl(link).path()).size();
        if (bytes > size) {
            row = r;
            size = bytes;
        }
    }
    const QJsonObject module = modules.at(row).toObject();
    const QString id = module.value("_id").toString();
    const QString path = QUrl(module.value("downloadLink").toString()).path();
    // A cut transfer is tried again after 0.3 s, then 0.6 s and 1.2 s.
    NetworkTiming::setForTests(10000, 300);
    setCatalogueBaseUrl(m_nginx->baseUrl());
    const QString library = openWindowOnEmptyLibrary();
    QTRY_COMPARE(rows(widget<QListView>("listView")).size(), modules.size());
    // Half of the archive (and the headers) goes at once, the rest at 100 bytes a second.
    QVERIFY(serve(m_export,
                  QStringLiteral("limit_rate_after %1; limit_rate 100;").arg(size / 2 + 500)));
    clickRow(widget<QListView>("listView"), row);
    widget<QPushButton>("downloadModuleButton")->click();

    // The server goes down half-way, and comes back at full speed.
    const QString part = library + "/." + id + ".zip.part";
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(part).size() >= size / 2, 10000);
    m_nginx->stop();
    const qint64 cut = QFileInfo(part).size();
    QVERIFY(cut < size);
    QVERIFY(serve(m_export));
    QTRY_COMPARE_WITH_TIMEOUT(installedVersion(id), module.value("version").toString(), 20000);
    QCOMPARE(snapshot(library + '/' + id), unpacked({m_export + path}, id));

    // The retry asked for the rest of the same version, and nginx sent only that.
    static const QRegularExpression resumed(
        QStringLiteral("^GET \\S+ 206 (\\d+) range=bytes=(\\d+)-$"));
    const QStringList lines = accessLogOf(path);
    const QRegularExpressionMatch last = resumed.match(lines.isEmpty() ? QString() : lines.last());
    QVERIFY2(last.hasMatch(), qPrintable(m_nginx->accessLog().join('\n')));
    const qint64 held = last.captured(2).toLongLong();
    QVERIFY(held >= cut);
    QCOMPARE(held + last.captured(1).toLongLong(), size);
}

void NginxTest::window_updateFetchesOnlyWhatChanged()
{
    if (!m_nginx->problem().isEmpty())
        QSKIP(qPrintable(m_nginx->problem()));
    const QString id = QStringLiteral("malaria-prevention");
    const QJsonArray modules = recordsIn(m_export + "/api/modules.json");
    int row = 0;
    while (row < modules.size() && modules.at(row).toObject().value("_id").toString() != id)
        ++row;
    QVERIFY(row < modules.size());
    const QJsonObject before = modules.at(row).toObject();
    setCatalogueBaseUrl(m_nginx->baseUrl());
    const QString library = openWindowOnEmptyLibrary();
    QTRY_COMPARE(rows(widget<QListView>("listView")).size(), modules.size());
    clickRow(widget<QListView>("listView"), row);
    widget<QPushButton>("downloadModuleButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(installedVersion(id), before.value("version").toString(), 20000);

    // The catalogue moves on to its second revision, exported beside the first and served in
    // its place. Asking for every module again shows the new version, which the library ticks.
    const QString second = m_exports.filePath(QStringLiteral("r2"));
    QVERIFY(exportRevision(2, second));
    QVERIFY(serve(second));
    const QJsonObject after = recordsIn(second + "/api/modules.json").at(row).toObject();
    QVERIFY(after.value("version") != before.value("version"));
    QVERIFY(invoke("changeTopic", Q_ARG(QString, TopicChoice::allTopics())));
    auto *table = widget<QTableWidget>("moduleTable");
    QTRY_VERIFY(table->rowCount() == 1 && table->item(0, 0) &&
                table->item(0, 0)->checkState() == Qt::Checked);
    widget<QPushButton>("updateCheckedModulesButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(installedVersion(id), after.value("version").toString(), 20000);

    // The tree a full download of the new version leaves, from ranges of the new archive only.
    const QString oldPath = QUrl(before.value("downloadLink").toString()).path();
    const QString newPath = QUrl(after.value("downloadLink").toString()).path();
    QCOMPARE(snapshot(library + '/' + id), unpacked({m_export + oldPath, second + newPath}, id));
    const QStringList lines = accessLogOf(newPath);
    QVERIFY(!lines.isEmpty());
    qint64 sent = 0;
    for (const QString &line : lines) {
        QVERIFY2(line.section(' ', 2, 2) == QLatin1String("206"), qPrintable(line));
        sent += line.section(' ', 3, 3).toLongLong();
    }
    QVERIFY(sent < QFileInfo(second + newPath).size());
}

CORVELLE_TEST_MAIN(NginxTest)
#include "tst_nginx.moc"
