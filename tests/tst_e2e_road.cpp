// The road of one module through the real program in a real X display, driven as a user
// would: browse, download, see it in the library, update it, copy the library to a drive.
#include "support/desktopsession.h"
#include "support/files.h"
#include "support/testenvironment.h"
#include "support/windowlayout.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {
enum Tab { Homepage, AllModules, ModulesByTopic, Library, CreateUsb };

// The installed records, by "_id".
QMap<QString, QJsonObject> installed(const QString &library)
{
    QMap<QString, QJsonObject> records;
    QFile index(library + QStringLiteral("/tavro-modules.txt"));
    if (index.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!index.atEnd()) {
            const QJsonObject record = QJsonDocument::fromJson(index.readLine()).object();
            records.insert(record.value(QStringLiteral("_id")).toString(), record);
        }
    }
    return records;
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition() && !deadline.hasExpired())
        QTest::qWait(100);
    return condition();
}
} // namespace

class EndToEndRoadTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void downloadFromAllModules_unpacksAndRecords();
    void cutDownload_resumesOnTheNextClick();
    void wholeRoad_browseDownloadUpdateCopy();

private:
    void click(const QPoint &where) { m_session->click(where.x(), where.y()); }
    void startClient(int revision, const QStringList &serviceOptions = QStringList());
    // "All Modules", letter M, its first module (malaria prevention), "Download Module".
    void downloadFirstModuleOfM();

    std::unique_ptr<WindowLayout> m_layout;
    std::unique_ptr<DesktopSession> m_session;
};

void EndToEndRoadTest::initTestCase()
{
    m_layout.reset(new WindowLayout);
}

void EndToEndRoadTest::cleanupTestCase()
{
    m_layout.reset();
}

void EndToEndRoadTest::startClient(int revision, const QStringList &serviceOptions)
{
    m_session.reset(new DesktopSession);
    if (!m_session->problem().isEmpty())
        QSKIP(qPrintable(m_session->problem()));
    QVERIFY(m_session->startService(revision, serviceOptions));
    QVERIFY(m_session->startClient());
    QVERIFY(m_session->waitForClientOutput(QStringLiteral("Letters received:")));
    QVERIFY(m_session->waitForServiceLog(QStringLiteral("GET /api/modules ")));
}

void EndToEndRoadTest::downloadFirstModuleOfM()
{
    click(m_layout->tab(AllModules));
    click(m_layout->center("am_button_m"));
    QVERIFY(m_session->waitForServiceLog(QStringLiteral("GET /api/modules/letter/")));
    QTest::qWait(500);
    click(m_layout->listRow("listView_2", 0));
    click(m_layout->center("downloadModuleButton_2"));
}

void EndToEndRoadTest::downloadFromAllModules_unpacksAndRecords()
{
    startClient(1);
    if (QTest::currentTestFailed())
        return;
    const QString library = m_session->libraryFolder();

    downloadFirstModuleOfM();
    if (QTest::currentTestFailed())
        return;

    QVERIFY(m_session->waitForServiceLog(QStringLiteral("GET /archives/malaria-prevention.zip")));
    QVERIFY(
        m_session->waitForClientOutput(QStringLiteral("File Unzipping Complete:  \"success\"")));
    QVERIFY(waitUntil([&] { return installed(library).contains("malaria-prevention"); }));
    QVERIFY(QFile::exists(library + QStringLiteral("/malaria-prevention/index.html")));
    QVERIFY(!QFile::exists(library + QStringLiteral("/malaria-prevention.zip")));
    QVERIFY(m_session->screenshot(QStringLiteral("all-modules")));
    QCOMPARE(m_session->closeClient(), 0);
}

void EndToEndRoadTest::cutDownload_resumesOnTheNextClick()
{
    const QString id = QStringLiteral("malaria-prevention");
    const qint64 size =
        QFileInfo(DesktopSession::serviceCatalogue() + "/archives/" + id + ".zip").size();
    const qint64 half = size / 2;
    QVERIFY(size > 1000);
    startClient(1, {QStringLiteral("--cut-after"), QString::number(half)});
    if (QTest::currentTestFailed())
        return;
    const QString library = m_session->libraryFolder();

    downloadFirstModuleOfM();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(m_session->waitForServiceLog(
        QStringLiteral("GET /archives/%1.zip 200 %2\n").arg(id).arg(half)));

    // The link goes down before the download tries again: after its three retries it fails,
    // keeping the half it received.
    m_session->stopService();
    QVERIFY(m_session->waitForClientOutput(
        QStringLiteral("Download of module \"%1\" failed:").arg(id), 40000, 4));
    QTest::qWait(300);
    QVERIFY(m_session->screenshot(QStringLiteral("download-failed")));
    QCOMPARE(QFileInfo(library + "/." + id + ".zip.part").size(), half);
    QVERIFY(!installed(library).contains(id));

    QVERIFY(m_session->startService(1));
    click(m_layout->listRow("listView_2", 0));
    click(m_layout->center("downloadModuleButton_2"));
    QVERIFY(
        m_session->waitForServiceLog(QStringLiteral("GET /archives/%1.zip 206 %2 range=bytes=%3-")
                                         .arg(id)
                                         .arg(size - half)
                                         .arg(half)));
    QVERIFY(waitUntil([&] { return installed(library).contains(id); }));
    QVERIFY(QFile::exists(library + "/" + id + "/index.html"));
    QVERIFY(!QFile::exists(library + "/." + id + ".zip.part"));
    QTest::qWait(300);
    QVERIFY(m_session->screenshot(QStringLiteral("download-resumed")));
    QCOMPARE(m_session->closeClient(), 0);
}

void EndToEndRoadTest::wholeRoad_browseDownloadUpdateCopy()
{
    startClient(1);
    if (QTest::currentTestFailed())
        return;
    const QString library = m_session->libraryFolder();

    // Modules by Topic: "Health and Wellness" (the sixth category) chooses its first topic,
    // Hygiene, whose first module is hand washing.
    click(m_layout->tab(ModulesByTopic));
    click(m_layout->center("categoryComboBox"));
    for (int i = 0; i < 5; ++i)
        m_session->key(QStringLiteral("Down"));
    m_session->key(QStringLiteral("Return"));
    QVERIFY(m_session->waitForServiceLog(QStringLiteral("GET /api/modules/topic/topic-hygiene")));
    QTest::qWait(500);
    click(m_layout->listRow("listView", 0));
    QVERIFY(m_session->screenshot(QStringLiteral("modules-by-topic")));
    click(m_layout->center("downloadModuleButton"));
    QVERIFY(waitUntil([&] { return installed(library).contains("hand-washing"); }));
    QCOMPARE(installed(library).value("hand-washing").value("version").toString(),
             QStringLiteral("1.0"));
    QVERIFY(QFile::exists(library + QStringLiteral("/hand-washing/index.html")));

    click(m_layout->tab(Library));
    QTest::qWait(300);
    QVERIFY(m_session->screenshot(QStringLiteral("library")));

    // The catalogue moves on to its second revision; picking the topic again shows the newer
    // version, the library flags and ticks the module, and the update brings it in.
    m_session->stopService();
    QVERIFY(m_session->startService(2));
    click(m_layout->tab(ModulesByTopic));
    click(m_layout->center("categoryComboBox"));
    m_session->key(QStringLiteral("Up"));
    m_session->key(QStringLiteral("Return"));
    click(m_layout->center("categoryComboBox"));
    m_session->key(QStringLiteral("Down"));
    m_session->key(QStringLiteral("Return"));
    QVERIFY(m_session->waitForServiceLog(QStringLiteral("GET /api/modules/topic/topic-hygiene")));
    click(m_layout->tab(Library));
    QTest::qWait(500);
    QVERIFY(m_session->screenshot(QStringLiteral("library-update-flagged")));
    click(m_layout->center("updateCheckedModulesButton"));
    QVERIFY(m_session->waitForServiceLog(QStringLiteral("GET /archives/r2/hand-washing.zip")));
    QVERIFY(waitUntil([&] {
        return installed(library).value("hand-washing").value("version").toString() ==
               QLatin1String("1.1");
    }));

    // Create USB: choose a folder in the dialog, then copy.
    QTemporaryDir drive;
    click(m_layout->tab(CreateUsb));
    click(m_layout->center("selectUSBButton"));
    QTest::qWait(1000);
    m_session->type(drive.path());
    m_session->key(QStringLiteral("Return"));
    QTest::qWait(500);
    click(m_layout->center("createUSBButton"));
    const QString copied = drive.path() + QStringLiteral("/Tavro Modules");
    // Hidden files (the install records, the drive's record of its copy) are the client's own.
    const auto visible = [](QMap<QString, QByteArray> files) {
        for (const QString &path : files.keys()) {
            if (path.startsWith(QLatin1Char('.')))
                files.remove(path);
        }
        return files;
    };
    QVERIFY(waitUntil([&] { return visible(filesUnder(copied)) == visible(filesUnder(library)); }));
    QTest::qWait(300);
    QVERIFY(m_session->screenshot(QStringLiteral("create-usb")));
    QCOMPARE(m_session->closeClient(), 0);
}

CORVELLE_TEST_MAIN(EndToEndRoadTest)
#include "tst_e2e_road.moc"
