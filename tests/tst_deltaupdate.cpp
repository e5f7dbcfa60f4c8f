// Updates of an installed module that fetch only what changed, through the real window and the
// stand-in catalogue service on loopback: whatever the service does, the library ends with the
// tree that unpacking the whole new archive gives, or, when the update fails, the old one.
#include "archive/archiveextractor.h"
#include "library/libraryindex.h"
#include "support/files.h"
#include "support/serviceprocess.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"
#include "support/zipbuilder.h"
#include "transfer/deltaupdate.h"
#include "transfer/networktiming.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray moduleFolder = "big/";

// Text that compresses as pages do, other for every seed.
QByteArray page(quint32 seed, int size)
{
    static const char *const words[] = {"water", "soap", "hands", "child", "fever", "clinic",
                                        "net",   "salt", "sugar", "cup",   "boil",  "rest",
                                        "zinc",  "eat",  "wash",  "nurse"};
    QByteArray text;
    quint32 x = seed * 2654435761u + 1;
    while (text.size() < size) {
        x = x * 1664525u + 1013904223u;
        text += words[x >> 28];
        text += ' ';
    }
    text.truncate(size);
    return text;
}

// The module in one of its versions. "new" changes a page in place (same size), rewrites
// another, adds a page and changes a film, makes a folder of what was a link to another
// folder (with a page the same as the one behind the link), and comes as zip64 behind a stub;
// "conflict" is "new" with a file where the old version has a folder, which unpacking refuses
// while the folder holds a file of the user's;
// "rewritten" is "new" with every film changed in place, most of the archive's bytes.
QByteArray moduleArchive(const QString &version)
{
    const bool isNew = version != QLatin1String("old");
    ZipBuilder zip;
    const auto add = [&](const QByteArray &name, const QByteArray &data, bool deflate) {
        ZipBuilder::Entry entry;
        entry.name = moduleFolder + name;
        entry.data = data;
        entry.deflate = deflate;
        entry.zip64 = isNew;
        zip.addEntry(entry);
    };
    zip.addDirectory(moduleFolder);
    zip.addDirectory(moduleFolder + "pages/");
    for (int i = 0; i < 40; ++i) {
        const quint32 seed = isNew && i == 3 ? 1003 : isNew && i == 17 ? 1017 : quint32(i);
        add("pages/p" + QByteArray::number(i) + ".html", page(seed, 3000 + (seed % 7) * 100), true);
    }
    if (isNew)
        add("pages/p40.html", page(40, 2500), true);
    for (int i = 0; i < 10; ++i)
        add("media/m" + QByteArray::number(i) + ".bin",
            media(version == QLatin1String("rewritten") ? 200 + i
                  : isNew && i == 5                     ? 105
                                                        : i,
                  20000),
            false);
    zip.addSymLink(moduleFolder + "start.html", "pages/p0.html");
    if (isNew) {
        zip.addDirectory(moduleFolder + "shared/");
        add("shared/p0.html", page(0, 3000), true);
    } else {
        zip.addSymLink(moduleFolder + "shared", "pages");
    }
    if (!isNew) {
        zip.addDirectory(moduleFolder + "old/");
        add("old/notes.html", page(99, 1200), true);
    }
    if (version == QLatin1String("conflict"))
        add("old", "a file where a folder was", false);
    if (isNew) {
        zip.setZip64(true);
        zip.setStub(QByteArray(300, '#'), true);
    }
    return zip.archive();
}

} // namespace

class DeltaUpdateTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void update_endsWithTheWholeArchivesTree_data();
    void update_endsWithTheWholeArchivesTree();
    void answersShortOfTheirRanges_fallBack();
    void failedUpdate_nextDownloadGoesOnWithItsRanges();

private:
    QJsonObject record(const QString &version, const QString &link) const;
    void installOldVersion(const QString &scratch);

    QString m_library;
    QStringList m_statusLines;
};

void DeltaUpdateTest::init()
{
    // Transfers stall after 1.5 s without a byte; cut ones are tried again after 20, 40, 80 ms.
    NetworkTiming::setForTests(1500, 20);
    startServer();
    answerStartUpWithoutTopics();
    m_library = openWindowOnEmptyLibrary();
    recordStatusLines(&m_statusLines);
}

void DeltaUpdateTest::cleanup()
{
    stopAll();
}

QJsonObject DeltaUpdateTest::record(const QString &version, const QString &link) const
{
    return QJsonObject{{QStringLiteral("_id"), QStringLiteral("big")},
                       {QStringLiteral("name"), QStringLiteral("Big Module")},
                       {QStringLiteral("description"), QStringLiteral("Pages and films")},
                       {QStringLiteral("version"), version},
                       {QStringLiteral("topic"), QStringLiteral("t")},
                       {QStringLiteral("downloadLink"), link}};
}

void DeltaUpdateTest::installOldVersion(const QString &scratch)
{
    // Named as the module's own archive, so that it leaves the module's record.
    const QString archive = scratch + QStringLiteral("/big.zip");
    writeFile(archive, moduleArchive(QStringLiteral("old")));
    QVERIFY(extractArchive(archive, m_library).ok);
    QVERIFY(LibraryIndex::merge(m_library, record(QStringLiteral("1.0"), QString())).ok);
    // A file of the user's in a folder the old version installed keeps that folder.
    writeFile(m_library + QStringLiteral("/big/old/mine.txt"), "the user's");
}

void DeltaUpdateTest::update_endsWithTheWholeArchivesTree_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("serviceOptions"); // the test server instead when "test"
    QTest::addColumn<bool>("byRanges");
    QTest::addColumn<bool>("installs");

    QTest::newRow("several ranges a request") << "new" << QStringList() << true << true;
    QTest::newRow("cut while fetching: the rest asked again")
        << "new" << QStringList{"--cut-after", "20000"} << true << true;
    QTest::newRow("cut before the end asked: every answer's bytes kept")
        << "new" << QStringList{"--cut-after", "5000"} << true << true;
    QTest::newRow("one range a request") << "new" << QStringList{"test"} << true << true;
    QTest::newRow("ranges ignored: the whole archive")
        << "new" << QStringList{"--ignore-ranges"} << false << true;
    QTest::newRow("validator changes: the whole archive")
        << "new" << QStringList{"--change-validator"} << false << true;
    QTest::newRow("most bytes changed in place: the whole archive")
        << "rewritten" << QStringList() << false << true;
    QTest::newRow("corrupted range: the whole archive")
        << "new" << QStringList{"--corrupt-ranges"} << false << true;
    QTest::newRow("unpacking fails: the old version stays")
        << "conflict" << QStringList() << true << false;
}

void DeltaUpdateTest::update_endsWithTheWholeArchivesTree()
{
    QFETCH(QString, version);
    QFETCH(QStringList, serviceOptions);
    QFETCH(bool, byRanges);
    QFETCH(bool, installs);
    QTemporaryDir scratch;
    installOldVersion(scratch.path());
    const QByteArray archive = moduleArchive(version);

    // The tree the whole new archive gives, unpacked over the old version.
    const QString expected = scratch.filePath(QStringLiteral("expected"));
    QVERIFY(QDir().mkpath(expected));
    const QString expectedArchive = scratch.filePath(QStringLiteral("big.zip"));
    writeFile(expectedArchive, moduleArchive("old"));
    QVERIFY(extractArchive(expectedArchive, expected).ok);
    writeFile(expected + QStringLiteral("/big/old/mine.txt"), "the user's");
    writeFile(expectedArchive, archive);
    QCOMPARE(extractArchive(expectedArchive, expected).ok, installs);

    // The catalogue of the stand-in service: the module and its new archive.
    const QString catalogue = scratch.filePath(QStringLiteral("catalogue"));
    const QString path = QStringLiteral("/archives/big.zip");
    writeFile(catalogue + path, archive);
    writeFile(catalogue + QStringLiteral("/topics.json"),
              R"([{"_id": "t", "name": "Topic", "category": "Health"}])");
    for (const char *name : {"/letters.json", "/articles.json"})
        writeFile(catalogue + name, "[]");
    writeFile(catalogue + QStringLiteral("/modules.json"),
              QJsonDocument(QJsonArray{record(QStringLiteral("2.0"), path)}).toJson());
    std::unique_ptr<ServiceProcess> service;
    QString link = m_server->baseUrl() + path;
    if (serviceOptions != QStringList{"test"}) {
        service = std::make_unique<ServiceProcess>(QStringList{"--catalogue", catalogue} +
                                                   serviceOptions);
        QVERIFY2(!service->url().isEmpty(), qPrintable(service->errors()));
        link = service->url() + path;
    } else {
        // A server that answers only the first of several ranges.
        m_server->setAnswer(path, TestServer::Answer::archive(archive, "\"v2\""));
    }

    widget<QPushButton>("downloadAllButton")->setEnabled(false);
    QVERIFY(invoke("refreshModuleList",
                   Q_ARG(QJsonArray, QJsonArray{record(QStringLiteral("2.0"), link)})));
    auto *list = widget<QListView>("listView");
    emit list->clicked(list->model()->index(0, 0));
    widget<QPushButton>("downloadModuleButton")->click();
    // Lines that tell of a retry come and go before the outcome.
    QTRY_VERIFY_WITH_TIMEOUT(!m_statusLines.isEmpty() &&
                                 !m_statusLines.last().contains(QLatin1String("trying again")),
                             20000);

    QVERIFY2(m_statusLines.last().startsWith(QLatin1String("Big Module 2.0 is installed")) ==
                 installs,
             qPrintable(m_statusLines.join('\n')));
    QCOMPARE(libraryTree(m_library), libraryTree(expected));
    // By ranges, only part of the archive goes over the wire, and nothing is asked from a
    // byte to the end.
    for (const QByteArray &range : m_server->rangesAsked(path))
        QVERIFY(!range.isEmpty() && !range.endsWith('-'));
    if (service) {
        QTRY_VERIFY(bytesSent(service->errors(), path) > 0);
        QTRY_COMPARE(bytesSent(service->errors(), path) < archive.size(), byRanges);
    }
    QVector<LibraryIndex::Line> lines;
    QVERIFY(LibraryIndex::read(m_library, &lines).ok);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.first().record.value("version").toString(), installs ? "2.0" : "1.0");
    // Where the service cuts a connection before Qt has read the answer's head, Qt sends the
    // same request again by itself, so the bytes of a cut row depend on timing.
    if (service && byRanges && !serviceOptions.contains(QStringLiteral("--cut-after"))) {
        // Only what changed went, and the end of the archive with its directory.
        QVERIFY2(bytesSent(service->errors(), path) < archive.size() / 4,
                 qPrintable(service->errors()));
    }
}

void DeltaUpdateTest::answersShortOfTheirRanges_fallBack()
{
    // Each answer names the end asked for but brings ten bytes of it, with no fault on the
    // way: asking again for ever would keep the download busy for good.
    DeltaUpdate update(m_library, m_library + QStringLiteral("/big.zip"),
                       m_library + QStringLiteral("/.big.zip.part.changes"), QString());
    DeltaUpdate::Next next = DeltaUpdate::Next::Request;
    for (int request = 0; next == DeltaUpdate::Next::Request && request < 20; ++request) {
        update.nextRanges();
        QVERIFY(update.answerStarted("bytes 100-16483/16484", "application/zip", "\"v2\"", ""));
        QVERIFY(update.receive(QByteArray(10, 'x')));
        next = update.answerEnded();
    }
    QVERIFY(next == DeltaUpdate::Next::FallBack);
}

void DeltaUpdateTest::failedUpdate_nextDownloadGoesOnWithItsRanges()
{
    QTemporaryDir scratch;
    installOldVersion(scratch.path());
    const QString expected = scratch.filePath(QStringLiteral("expected"));
    QVERIFY(QDir().mkpath(expected));
    const QString expectedArchive = scratch.filePath(QStringLiteral("big.zip"));
    writeFile(expectedArchive, moduleArchive("old"));
    QVERIFY(extractArchive(expectedArchive, expected).ok);
    writeFile(expected + QStringLiteral("/big/old/mine.txt"), "the user's");
    writeFile(expectedArchive, moduleArchive("new"));
    QVERIFY(extractArchive(expectedArchive, expected).ok);
    // The end comes whole; the first changes are cut short, and then the catalogue fails.
    const QString path = QStringLiteral("/archives/big.zip");
    const TestServer::Answer good =
        TestServer::Answer::archive(moduleArchive(QStringLiteral("new")), "\"v2\"");
    TestServer::Answer cut = good;
    cut.cutAfter = 3000;
    TestServer::Answer failing = good;
    failing.status = 503;
    failing.ranges = false;
    m_server->setAnswers(path, {good, cut, failing});
    const QJsonObject module = record(QStringLiteral("2.0"), m_server->baseUrl() + path);
    widget<QPushButton>("downloadAllButton")->setEnabled(false);
    QVERIFY(invoke("refreshModuleList", Q_ARG(QJsonArray, QJsonArray{module})));
    auto *list = widget<QListView>("listView");
    auto *download = widget<QPushButton>("downloadModuleButton");
    emit list->clicked(list->model()->index(0, 0));
    download->click();
    QTRY_VERIFY(!m_statusLines.isEmpty() && m_statusLines.last().startsWith("Could not download"));

    m_server->setAnswer(path, good);
    m_server->clearRequests();
    QTRY_VERIFY(download->isEnabled());
    download->click();
    QTRY_VERIFY(m_statusLines.last().startsWith(QLatin1String("Big Module 2.0 is installed")));
    QCOMPARE(libraryTree(m_library), libraryTree(expected));
    // Only ranges were asked, never the whole archive nor its rest, and neither the end nor
    // the bytes that arrived before the cut were asked for again.
    const QList<QByteArray> asked = m_server->rangesAsked(path);
    QVERIFY(!asked.isEmpty());
    for (const QByteArray &range : asked)
        QVERIFY(!range.isEmpty() && !range.endsWith('-'));
    QVERIFY2(!asked.contains("bytes=-16384") && !asked.first().startsWith("bytes=300-"),
             asked.join(' ').constData());
}

CORVELLE_TEST_MAIN(DeltaUpdateTest)
#include "tst_deltaupdate.moc"
