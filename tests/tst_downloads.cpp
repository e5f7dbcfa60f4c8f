// Module downloads driven through the real window against a loopback catalogue: progress, the
// two chains, failed transfers, and a module recorded only once its archive arrived whole and
// was unpacked.
#include "archive/archivepath.h"
#include "library/statusline.h"
#include "support/messagelog.h"
#include "support/testcertificate.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"
#include "transfer/networktiming.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListView>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtGui/private/qzipwriter_p.h>
#include <QtTest>

#include <memory>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(TestServer::Answer)
Q_DECLARE_METATYPE(QList<TestServer::Answer>)

namespace {

// A module archive as the catalogue serves it: the module's folder with its start page, and
// padding bytes (stored uncompressed) when the body has to be long enough to watch it arrive.
QByteArray moduleArchive(const QString &moduleId, int padding = 0)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QZipWriter writer(&buffer);
    writer.setCompressionPolicy(QZipWriter::NeverCompress);
    writer.addDirectory(moduleId);
    writer.addFile(moduleId + QStringLiteral("/index.html"),
                   "<html><body>" + moduleId.toUtf8() + "</body></html>");
    if (padding > 0)
        writer.addFile(moduleId + QStringLiteral("/media.bin"), QByteArray(padding, 'x'));
    writer.close();
    return buffer.data();
}

// The bar shows a transfer of size bytes under way: part of the body has arrived.
bool receiving(const QProgressBar *bar, qint64 size)
{
    return bar->maximum() == size && bar->value() > 0 && bar->value() < size;
}

// Bytes in files of folder that this process has open. The archive being written may have no
// name in the folder yet (Linux creates it unnamed), so the open descriptors are asked.
qint64 bytesBeingWritten(const QString &folder)
{
    qint64 bytes = 0;
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo &descriptor : descriptors.entryInfoList(QDir::System | QDir::Files)) {
        if (descriptor.symLinkTarget().startsWith(folder + QLatin1Char('/')))
            bytes += descriptor.size();
    }
    return bytes;
}

QString archiveUrlPath(const QString &moduleId)
{
    return QStringLiteral("/files/") + moduleId + QStringLiteral(".zip");
}

// Files of this process may not grow beyond bytes while it lives, as if the disk had filled.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        // Writing beyond the limit then fails instead of ending the process.
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_previous{};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class DownloadsTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void moduleIdSafety_data();
    void moduleIdSafety();

    void topicDownload_streamsWithProgressThenInstalls();
    void progressOfLargeArchives_staysInRange();
    void alphabeticalDownload_startsItsBarAtZeroAndKeepsItsButtonDisabled();
    void downloadAll_downloadsTheTopicOneModuleAtATime();
    void downloadAll_withNothingQueued_clearsTheLabel();
    void updateChain_updatesTheTickedModulesInTurn();
    void failedTransfer_isNotInstalledAndTheChainGoesOn_data();
    void failedTransfer_isNotInstalledAndTheChainGoesOn();
    void cutDownload_resumesOrStartsOver_data();
    void cutDownload_resumesOrStartsOver();
    void failedDownload_keepsItsPart_andTheNextDownloadResumes();
    void httpsCatalogue_downloadsWhenItsCertificateIsTrusted();
    void statusLines_data();
    void statusLines();
    void unwritableIndex_isShownInTheStatusBar();
    void failedTopicDownload_resetsItsBarAndButton();
    void linkThatIsNoUrl_endsAsAFailedDownload();
    void slowBody_windowKeepsAnsweringClicks();
    void record_joinsTheIndexOnlyAfterItsArchiveIsUnpacked();
    void closingWhileUnpacking_stillRecordsTheModule();
    void unpackFailure_recordsNothingAndLaterModulesStillInstall();
    void unsafeModuleId_isRefusedWithoutARequest_data();
    void unsafeModuleId_isRefusedWithoutARequest();
    void sameModuleTwice_secondDownloadIsNotStarted();
    void missingLibraryFolder_stopsTheChain();

private:
    QJsonObject module(const QString &moduleId, const QString &version = QStringLiteral("1.0"));
    void serveArchive(const QString &moduleId, int padding = 0, int chunkSize = 0,
                      int chunkDelayMs = 0);
    // The module list of a chosen topic (with "Download All" possible) or of "All topics".
    void listTopicModules(const QJsonArray &modules, bool wholeTopic);
    void clickTopicModule(int row);
    // Which module label names whenever bar moves, each module once, into labels.
    void recordLabels(const QLabel *label, QProgressBar *bar, QStringList *labels);
    QStringList indexIds() const;
    QStringList indexVersions() const;
    bool installed(const QString &moduleId) const;
    int requestsFor(const QString &moduleId) const;
    // The library folder's entries, hidden ones included.
    QStringList libraryEntries() const;
    // An archive answer that honours byte ranges, sent in chunks, identified by etag.
    static TestServer::Answer rangedArchive(const QByteArray &body, const QByteArray &etag);

    std::unique_ptr<MessageLog> m_log;
    QString m_library;
    // Every line the status bar has shown, in order.
    QStringList m_statusLines;
};

void DownloadsTest::init()
{
    // Transfers stall after 1.5 s without a byte; cut ones are tried again after 20, 40, 80 ms.
    NetworkTiming::setForTests(1500, 20);
    startServer();
    answerStartUpWithoutTopics();
    m_log = std::make_unique<MessageLog>();
    m_library = openWindowOnEmptyLibrary();
    QVERIFY(QFileInfo(m_library).isDir());
    recordStatusLines(&m_statusLines);
}

void DownloadsTest::cleanup()
{
    stopAll();
    m_log.reset();
}

QJsonObject DownloadsTest::module(const QString &moduleId, const QString &version)
{
    return QJsonObject{
        {QStringLiteral("_id"), moduleId},
        {QStringLiteral("name"), QStringLiteral("Module ") + moduleId},
        {QStringLiteral("description"), QStringLiteral("About ") + moduleId},
        {QStringLiteral("version"), version},
        {QStringLiteral("packageSize"), QStringLiteral("0.1 MB")},
        {QStringLiteral("downloadLink"), m_server->baseUrl() + archiveUrlPath(moduleId)},
        {QStringLiteral("launchFile"), QStringLiteral("index.html")},
    };
}

void DownloadsTest::serveArchive(const QString &moduleId, int padding, int chunkSize,
                                 int chunkDelayMs)
{
    TestServer::Answer answer;
    answer.body = moduleArchive(moduleId, padding);
    answer.contentType = "application/zip";
    answer.chunkSize = chunkSize;
    answer.chunkDelayMs = chunkDelayMs;
    m_server->setAnswer(archiveUrlPath(moduleId), answer);
}

void DownloadsTest::listTopicModules(const QJsonArray &modules, bool wholeTopic)
{
    widget<QPushButton>("downloadAllButton")->setEnabled(wholeTopic);
    QVERIFY(invoke("refreshModuleList", Q_ARG(QJsonArray, modules)));
}

void DownloadsTest::clickTopicModule(int row)
{
    auto *list = widget<QListView>("listView");
    emit list->clicked(list->model()->index(row, 0));
}

void DownloadsTest::recordLabels(const QLabel *label, QProgressBar *bar, QStringList *labels)
{
    connect(bar, &QProgressBar::valueChanged, this, [=] {
        if (bar->value() > 0 && (labels->isEmpty() || labels->last() != label->text()))
            labels->append(label->text());
    });
}

QStringList DownloadsTest::indexIds() const
{
    QStringList ids;
    QFile index(m_library + QStringLiteral("/tavro-modules.txt"));
    if (index.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!index.atEnd())
            ids << QJsonDocument::fromJson(index.readLine()).object().value("_id").toString();
    }
    return ids;
}

QStringList DownloadsTest::indexVersions() const
{
    QStringList versions;
    QFile index(m_library + QStringLiteral("/tavro-modules.txt"));
    if (index.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!index.atEnd()) {
            const QJsonObject record = QJsonDocument::fromJson(index.readLine()).object();
            versions << record.value("_id").toString() + QLatin1Char('=') +
                            record.value("version").toString();
        }
    }
    return versions;
}

bool DownloadsTest::installed(const QString &moduleId) const
{
    QFile page(m_library + QLatin1Char('/') + moduleId + QStringLiteral("/index.html"));
    return page.open(QIODevice::ReadOnly) && page.readAll().contains(moduleId.toUtf8());
}

int DownloadsTest::requestsFor(const QString &moduleId) const
{
    return m_server->requests().count(archiveUrlPath(moduleId));
}

QStringList DownloadsTest::libraryEntries() const
{
    // A download of a known version keeps the archive's directory; repairs test it.
    QStringList entries =
        QDir(m_library).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    entries.removeOne(QStringLiteral(".m1.directory"));
    return entries;
}

TestServer::Answer DownloadsTest::rangedArchive(const QByteArray &body, const QByteArray &etag)
{
    TestServer::Answer answer = TestServer::Answer::archive(body, etag);
    answer.chunkSize = 8192;
    answer.chunkDelayMs = 20;
    return answer;
}

void DownloadsTest::moduleIdSafety_data()
{
    QTest::addColumn<QString>("moduleId");
    QTest::addColumn<bool>("safe");
    QTest::newRow("catalogue id") << "5c8f0e4b2a1d3e0017a1b2c3" << true;
    QTest::newRow("words and dots") << "hand-washing.v2_en" << true;
    QTest::newRow("empty, saved as .zip") << "" << true;
    QTest::newRow("device name inside a longer id") << "console" << true;
    QTest::newRow("climbs out") << "../escape" << false;
    QTest::newRow("into a folder") << "sub/module" << false;
    QTest::newRow("Windows separator") << "..\\escape" << false;
    QTest::newRow("parent") << ".." << false;
    QTest::newRow("current") << "." << false;
    QTest::newRow("drive letter") << "C:escape" << false;
    QTest::newRow("absolute") << "/etc/escape" << false;
    QTest::newRow("device") << "CON" << false;
    QTest::newRow("device in lower case") << "lpt1" << false;
    QTest::newRow("NUL character") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << false;
}

void DownloadsTest::moduleIdSafety()
{
    QFETCH(QString, moduleId);
    QFETCH(bool, safe);
    QCOMPARE(ArchivePath::isSafeModuleId(moduleId), safe);
    QCOMPARE(ArchivePath::forModule(QStringLiteral("/lib"), QStringLiteral("m1")),
             QStringLiteral("/lib/m1.zip"));
}

void DownloadsTest::progressOfLargeArchives_staysInRange()
{
    // A bar counts in int; a module with video can be larger than that.
    const qint64 total = Q_INT64_C(5) << 30;
    for (const auto &[slot, barName] : {std::make_pair("downloadProgress", "progressBar"),
                                        std::make_pair("downloadProgress_2", "progressBar_2"),
                                        std::make_pair("updateProgress", "updateProgressBar")}) {
        QVERIFY(QMetaObject::invokeMethod(m_window.get(), slot, Q_ARG(qint64, total / 4 * 3),
                                          Q_ARG(qint64, total)));
        const auto *bar = widget<QProgressBar>(barName);
        QCOMPARE(bar->minimum(), 0);
        QVERIFY2(qAbs(qint64(bar->value()) * 4 - qint64(bar->maximum()) * 3) <= 4, barName);
    }
}

void DownloadsTest::topicDownload_streamsWithProgressThenInstalls()
{
    serveArchive(QStringLiteral("m1"), 200000, 16384, 40);
    const qint64 size = moduleArchive(QStringLiteral("m1"), 200000).size();
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);
    auto *button = widget<QPushButton>("downloadModuleButton");
    auto *bar = widget<QProgressBar>("progressBar");
    QVERIFY(button->isEnabled());

    button->click();
    QVERIFY(!button->isEnabled());
    QVERIFY(!bar->isHidden());
    QVERIFY(m_log->contains(
        QStringLiteral("Downloading....  \"%1\"").arg(m_server->baseUrl() + archiveUrlPath("m1"))));

    // Part way: the bar counts the bytes, and they are already on disk, though not yet at
    // the archive path.
    QTRY_VERIFY(receiving(bar, size));
    QVERIFY(!QFile::exists(m_library + QStringLiteral("/m1.zip")));
    QVERIFY(bytesBeingWritten(m_library) > 0);

    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(installed(QStringLiteral("m1")));
    QVERIFY(!QFile::exists(m_library + QStringLiteral("/m1.zip")));
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 0);
    QVERIFY(button->isEnabled());
    QVERIFY(widget<QPushButton>("launchModuleButton")->isEnabled());
    QTRY_COMPARE(widget<QTableWidget>("moduleTable")->rowCount(), 1);
    QCOMPARE(widget<QTableWidget>("moduleTable")->item(0, 4)->text(), QStringLiteral("m1"));
    QCOMPARE(m_statusLines, QStringList{QStringLiteral("Module m1 1.0 is installed")});

    // The reply goes with its download; the window keeps one manager for all downloads.
    QTRY_VERIFY(m_window->findChildren<QNetworkReply *>().isEmpty());
    QCOMPARE(m_window->findChildren<QNetworkAccessManager *>().size(), 1);
}

void DownloadsTest::alphabeticalDownload_startsItsBarAtZeroAndKeepsItsButtonDisabled()
{
    serveArchive(QStringLiteral("a1"), 100000, 8192, 40);
    QVERIFY(invoke("refreshAlphaModuleList", Q_ARG(QJsonArray, QJsonArray{module("a1")})));
    auto *list = widget<QListView>("listView_2");
    emit list->clicked(list->model()->index(0, 0));
    auto *button = widget<QPushButton>("downloadModuleButton_2");
    auto *bar = widget<QProgressBar>("progressBar_2");
    QVERIFY(button->isEnabled());
    bar->setValue(50);

    button->click();
    QCOMPARE(bar->value(), 0);
    QVERIFY(!bar->isHidden());
    QVERIFY(!button->isEnabled());
    QTRY_VERIFY(receiving(bar, moduleArchive(QStringLiteral("a1"), 100000).size()));
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());

    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("a1")});
    QVERIFY(installed(QStringLiteral("a1")));
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->value(), 0);
    QVERIFY(!button->isEnabled());
}

void DownloadsTest::downloadAll_downloadsTheTopicOneModuleAtATime()
{
    const QStringList ids = {"m1", "m2", "m3"};
    QJsonArray modules;
    for (const QString &id : ids) {
        serveArchive(id, 40000, 8192, 30);
        modules.append(module(id));
    }
    listTopicModules(modules, true);

    auto *label = widget<QLabel>("downloadModuleLabel");
    auto *bar = widget<QProgressBar>("progressBar");
    QStringList labels;
    recordLabels(label, bar, &labels);

    widget<QPushButton>("downloadAllButton")->click();
    QCOMPARE(label->text(), QStringLiteral("Downloading Module m1"));
    QTRY_COMPARE(indexIds(), ids);
    QCOMPARE(label->text(), QString());
    QCOMPARE(labels, QStringList({"Downloading Module m1", "Downloading Module m2",
                                  "Downloading Module m3"}));
    for (const QString &id : ids) {
        QVERIFY(installed(id));
        QCOMPARE(requestsFor(id), 1);
    }
    QVERIFY(bar->isHidden());
    QTRY_COMPARE(widget<QTableWidget>("moduleTable")->rowCount(), 3);
}

void DownloadsTest::downloadAll_withNothingQueued_clearsTheLabel()
{
    serveArchive(QStringLiteral("m1"));
    // Under "All topics" no ids are queued.
    listTopicModules({module(QStringLiteral("m1"))}, false);
    auto *label = widget<QLabel>("downloadModuleLabel");
    label->setText(QStringLiteral("Downloading Module old"));
    auto *button = widget<QPushButton>("downloadAllButton");
    button->setEnabled(true);
    button->click();
    QCOMPARE(label->text(), QString());
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());
    QCOMPARE(requestsFor(QStringLiteral("m1")), 0);
}

void DownloadsTest::updateChain_updatesTheTickedModulesInTurn()
{
    {
        QFile index(m_library + QStringLiteral("/tavro-modules.txt"));
        QVERIFY(index.open(QIODevice::WriteOnly));
        for (const char *id : {"m1", "m2", "m3"})
            index.write(QJsonDocument(module(id, "1.0")).toJson(QJsonDocument::Compact) + "\n");
    }
    for (const char *id : {"m1", "m2", "m3"})
        serveArchive(id, 40000, 8192, 30);
    listTopicModules({module("m1", "2.0"), module("m2", "2.0"), module("m3", "1.0")}, false);
    auto *table = widget<QTableWidget>("moduleTable");
    QCOMPARE(table->rowCount(), 3);

    auto *label = widget<QLabel>("updateModuleLabel");
    auto *bar = widget<QProgressBar>("updateProgressBar");
    QStringList labels;
    recordLabels(label, bar, &labels);

    widget<QPushButton>("updateCheckedModulesButton")->click();
    QCOMPARE(label->text(), QStringLiteral("Updating Module Id m1"));
    QVERIFY(!bar->isHidden());
    QTRY_COMPARE(indexVersions(), QStringList({"m1=2.0", "m2=2.0", "m3=1.0"}));
    QCOMPARE(label->text(), QString());
    QCOMPARE(labels, QStringList({"Updating Module Id m1", "Updating Module Id m2"}));
    QCOMPARE(requestsFor(QStringLiteral("m3")), 0);
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->value(), 0);

    // The table now shows the new versions, nothing ticked.
    QTRY_COMPARE(table->item(1, 2)->text(), QStringLiteral("2.0"));
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(table->item(row, 0)->checkState(), Qt::Unchecked);
        QVERIFY(!table->item(row, 1)->text().contains(QStringLiteral("New Version")));
    }
}

void DownloadsTest::failedTransfer_isNotInstalledAndTheChainGoesOn_data()
{
    QTest::addColumn<TestServer::Answer>("answer");
    // Where the link leads: "served" (the answer above), "refused" or "untrusted" (an HTTPS
    // server whose certificate nobody trusts).
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("fileSizeLimit");
    QTest::addColumn<QString>("reason");
    TestServer::Answer answer;
    answer.contentType = "application/zip";

    answer.status = 404;
    answer.body = "no such module";
    QTest::newRow("not found") << answer << "served" << 0 << "the catalogue answered 404";
    answer.status = 500;
    answer.body = "server trouble";
    QTest::newRow("server error") << answer << "served" << 0 << "the catalogue answered 500";
    answer.status = 200;
    answer.body = moduleArchive(QStringLiteral("bad"), 20000);
    answer.cutAfter = 5000;
    // Tried again three times, from the start: nothing identifies the version.
    QTest::newRow("body cut short") << answer << "served" << 0 << "the connection was cut";
    answer.cutAfter = -1;
    answer.stallAfter = 0;
    QTest::newRow("body never comes")
        << answer << "served" << 0 << "the catalogue stopped answering";
    answer.stallAfter = -1;
    answer.announced = 1000LL * 1000 * 1000 * 1000 * 1000;
    QTest::newRow("more than the disk holds")
        << answer << "served" << 0 << "there is not enough free space on the disk";
    answer.announced = -1;
    QTest::newRow("disk fills while writing")
        << answer << "served" << 8192 << "the archive could not be written in the library folder";
    answer.status = 302;
    answer.body.clear();
    answer.location = archiveUrlPath(QStringLiteral("good")).toUtf8();
    QTest::newRow("redirect") << answer << "served" << 0 << "the catalogue answered 302";
    QTest::newRow("connection refused")
        << TestServer::Answer() << "refused" << 0 << "the catalogue did not answer";
    QTest::newRow("certificate not trusted")
        << TestServer::Answer() << "untrusted" << 0 << "the catalogue's certificate is not trusted";
}

void DownloadsTest::failedTransfer_isNotInstalledAndTheChainGoesOn()
{
    QFETCH(TestServer::Answer, answer);
    QFETCH(QString, where);
    QFETCH(int, fileSizeLimit);
    QFETCH(QString, reason);
    QJsonObject bad = module(QStringLiteral("bad"));
    std::unique_ptr<TestCertificate> certificate;
    std::unique_ptr<TestServer> tls;
    if (where == QLatin1String("refused")) {
        bad[QStringLiteral("downloadLink")] =
            QStringLiteral("http://127.0.0.1:%1/bad.zip").arg(TestServer::unusedPort());
    } else if (where == QLatin1String("untrusted")) {
        certificate = std::make_unique<TestCertificate>();
        if (!certificate->problem().isEmpty())
            QSKIP(qPrintable(certificate->problem()));
        tls = std::make_unique<TestServer>(certificate->certificatePath(), certificate->keyPath());
        tls->setAnswer(archiveUrlPath(QStringLiteral("bad")), answer);
        bad[QStringLiteral("downloadLink")] = tls->baseUrl() + archiveUrlPath("bad");
    } else {
        m_server->setAnswer(archiveUrlPath(QStringLiteral("bad")), answer);
    }
    serveArchive(QStringLiteral("good"));
    listTopicModules({bad, module(QStringLiteral("good"))}, true);

    {
        std::unique_ptr<FileSizeLimit> limit;
        if (fileSizeLimit > 0)
            limit = std::make_unique<FileSizeLimit>(rlim_t(fileSizeLimit));
        widget<QPushButton>("downloadAllButton")->click();
        QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("good")});
    }
    QVERIFY(installed(QStringLiteral("good")));
    QCOMPARE(widget<QLabel>("downloadModuleLabel")->text(), QString());
    QVERIFY2(m_statusLines.contains(StatusLine::downloadFailed(bad, reason)),
             qPrintable(m_statusLines.join('\n')));
    // Only the good archive was handed to the worker.
    QCOMPARE(m_log->count(QStringLiteral("File Unzipping Complete:")), 1);
    // Nothing of the failed transfer is left in the library folder.
    QCOMPARE(libraryEntries(),
             QStringList({".good.files", "good", "Start Here.html", "tavro-modules.txt"}));
    auto *bar = widget<QProgressBar>("progressBar");
    QVERIFY(bar->isHidden());
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->maximum(), 100);

    // The module is free again: another click asks for it anew.
    clickTopicModule(0);
    widget<QPushButton>("downloadModuleButton")->click();
    QVERIFY(!bar->isHidden());
}

void DownloadsTest::cutDownload_resumesOrStartsOver_data()
{
    QTest::addColumn<QList<TestServer::Answer>>("answers");
    QTest::addColumn<QList<QByteArray>>("rangesAsked");
    QTest::addColumn<int>("media"); // bytes of padding in the version installed

    const QByteArray archive = moduleArchive(QStringLiteral("m1"), 100000);
    // Another version of the module, which must never be spliced onto the first.
    const QByteArray other = moduleArchive(QStringLiteral("m1"), 120000);
    const QByteArray rest = "bytes=40000-";
    TestServer::Answer cut = rangedArchive(archive, "\"v1\"");
    cut.cutAfter = 40000;

    QTest::newRow("the rest, of the same tag")
        << QList<TestServer::Answer>{cut, rangedArchive(archive, "\"v1\"")}
        << QList<QByteArray>{"", rest} << 100000;
    TestServer::Answer datedCut = cut, dated = rangedArchive(archive, QByteArray());
    datedCut.etag = dated.etag = QByteArray();
    datedCut.lastModified = dated.lastModified = "Tue, 15 Nov 1994 08:12:31 GMT";
    QTest::newRow("the rest, of the same date")
        << QList<TestServer::Answer>{datedCut, dated} << QList<QByteArray>{"", rest} << 100000;
    QTest::newRow("another tag: the whole new version")
        << QList<TestServer::Answer>{cut, rangedArchive(other, "\"v2\"")}
        << QList<QByteArray>{"", rest} << 120000;
    TestServer::Answer noRanges = rangedArchive(other, "\"v1\"");
    noRanges.ranges = false;
    QTest::newRow("ranges ignored: the whole body")
        << QList<TestServer::Answer>{cut, noRanges} << QList<QByteArray>{"", rest} << 120000;
    QTest::newRow("416: asked again from the start")
        << QList<TestServer::Answer>{cut, rangedArchive(moduleArchive("m1"), "\"v1\"")}
        << QList<QByteArray>{"", rest, ""} << 0;
    TestServer::Answer anonymousCut = cut;
    anonymousCut.etag.clear();
    QTest::newRow("no validator: from the start")
        << QList<TestServer::Answer>{anonymousCut, rangedArchive(other, QByteArray())}
        << QList<QByteArray>{"", ""} << 120000;
}

void DownloadsTest::cutDownload_resumesOrStartsOver()
{
    QFETCH(QList<TestServer::Answer>, answers);
    QFETCH(QList<QByteArray>, rangesAsked);
    QFETCH(int, media);
    m_server->setAnswers(archiveUrlPath(QStringLiteral("m1")), answers);
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);
    widget<QPushButton>("downloadModuleButton")->click();

    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(installed(QStringLiteral("m1")));
    // The version installed is the one served last, whole.
    QCOMPARE(QFileInfo(m_library + QStringLiteral("/m1/media.bin")).size(), qint64(media));
    QCOMPARE(m_server->rangesAsked(archiveUrlPath(QStringLiteral("m1"))), rangesAsked);
    QVERIFY(m_statusLines.first().contains(QStringLiteral("trying again")));
    // The part went with the full download.
    QCOMPARE(libraryEntries(),
             QStringList({".m1.files", "m1", "Start Here.html", "tavro-modules.txt"}));
}

void DownloadsTest::failedDownload_keepsItsPart_andTheNextDownloadResumes()
{
    const QByteArray archive = moduleArchive(QStringLiteral("m1"), 100000);
    TestServer::Answer cut = rangedArchive(archive, "\"v1\""), unavailable;
    cut.cutAfter = 40000;
    unavailable.status = 503;
    m_server->setAnswers(archiveUrlPath(QStringLiteral("m1")),
                         {cut, unavailable, rangedArchive(archive, "\"v1\"")});
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);
    auto *button = widget<QPushButton>("downloadModuleButton");
    button->click();
    QTRY_VERIFY(button->isEnabled());
    QCOMPARE(m_statusLines.last(),
             QStringLiteral("Could not download Module m1: the catalogue answered 503"));
    QCOMPARE(libraryEntries(), QStringList({".m1.zip.part", ".m1.zip.part.info"}));
    QCOMPARE(QFileInfo(m_library + QStringLiteral("/.m1.zip.part")).size(), 40000);

    // The bar starts where the last transfer stopped.
    auto *bar = widget<QProgressBar>("progressBar");
    int first = -1;
    connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
        if (first < 0 && value > 0)
            first = value;
    });
    button->click();
    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(installed(QStringLiteral("m1")));
    QCOMPARE(m_server->rangesAsked(archiveUrlPath(QStringLiteral("m1"))).last(),
             QByteArray("bytes=40000-"));
    QVERIFY(first >= 40000);
    QCOMPARE(libraryEntries(),
             QStringList({".m1.files", "m1", "Start Here.html", "tavro-modules.txt"}));
}

void DownloadsTest::httpsCatalogue_downloadsWhenItsCertificateIsTrusted()
{
    const TestCertificate certificate;
    if (!certificate.problem().isEmpty())
        QSKIP(qPrintable(certificate.problem()));
    certificate.trust();
    TestServer tls(certificate.certificatePath(), certificate.keyPath());
    TestServer::Answer archive;
    archive.body = moduleArchive(QStringLiteral("m1"), 50000);
    archive.contentType = "application/zip";
    tls.setAnswer(archiveUrlPath(QStringLiteral("m1")), archive);
    QJsonObject record = module(QStringLiteral("m1"));
    record[QStringLiteral("downloadLink")] = tls.baseUrl() + archiveUrlPath("m1");
    listTopicModules({record}, false);
    clickTopicModule(0);
    widget<QPushButton>("downloadModuleButton")->click();
    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(installed(QStringLiteral("m1")));
    QVERIFY(tls.baseUrl().startsWith(QLatin1String("https://")));
}

void DownloadsTest::statusLines_data()
{
    QTest::addColumn<QJsonObject>("record");
    QTest::addColumn<JobResult>("result");
    QTest::addColumn<QString>("line");
    const QJsonObject named{{"_id", "hw"}, {"name", "Hand Washing"}, {"version", "1.1"}};
    QTest::newRow("installed") << named << JobResult{true} << "Hand Washing 1.1 is installed";
    QTest::newRow("installed, no version") << QJsonObject{{"_id", "hw"}, {"name", "Hand Washing"}}
                                           << JobResult{true} << "Hand Washing is installed";
    QTest::newRow("refused, no name: the id")
        << QJsonObject{{"_id", "hw"}} << JobResult{false, "the archive is damaged"}
        << "Could not install hw: the archive is damaged";
    QTest::newRow("refused without a reason")
        << named << JobResult{false}
        << "Could not install Hand Washing: the archive could not be unpacked";
}

void DownloadsTest::statusLines()
{
    QFETCH(QJsonObject, record);
    QFETCH(JobResult, result);
    QFETCH(QString, line);
    QCOMPARE(StatusLine::unpacked(record, result), line);
}

void DownloadsTest::unwritableIndex_isShownInTheStatusBar()
{
    serveArchive(QStringLiteral("m1"));
    QVERIFY(QDir(m_library).mkdir(QStringLiteral("tavro-modules.txt")));
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);
    widget<QPushButton>("downloadModuleButton")->click();
    QTRY_COMPARE(m_statusLines,
                 QStringList{QStringLiteral(
                     "Could not install Module m1: the library index could not be written")});
}

void DownloadsTest::failedTopicDownload_resetsItsBarAndButton()
{
    m_server->setJson(archiveUrlPath(QStringLiteral("m1")), "gone", 404);
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);
    auto *button = widget<QPushButton>("downloadModuleButton");
    button->click();
    QVERIFY(!button->isEnabled());
    QTRY_VERIFY(button->isEnabled());
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());
    QVERIFY(m_statusLines.last().startsWith(
        StatusLine::downloadFailed(module(QStringLiteral("m1")), QString())));
    QVERIFY(!m_log->contains(QStringLiteral("File Unzipping Complete")));
    QVERIFY(indexIds().isEmpty());
    QVERIFY(QDir(m_library).isEmpty());
}

void DownloadsTest::linkThatIsNoUrl_endsAsAFailedDownload()
{
    // The completion of an earlier download offers the button again, even for a module
    // without a link.
    serveArchive(QStringLiteral("m1"));
    QJsonObject noLink = module(QStringLiteral("m2"));
    noLink[QStringLiteral("downloadLink")] = QString();
    listTopicModules({module(QStringLiteral("m1")), noLink}, false);
    clickTopicModule(0);
    auto *button = widget<QPushButton>("downloadModuleButton");
    button->click();
    clickTopicModule(1);
    QVERIFY(!button->isEnabled());
    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(button->isEnabled());

    button->click();
    QVERIFY(!button->isEnabled());
    QTRY_VERIFY(button->isEnabled());
    QVERIFY(m_statusLines.last().startsWith(StatusLine::downloadFailed(noLink, QString())));
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());
    QCOMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QCOMPARE(m_log->count(QStringLiteral("File Unzipping Complete:")), 1);
}

void DownloadsTest::slowBody_windowKeepsAnsweringClicks()
{
    // It takes longer than the stall time-out, but keeps receiving: it is never cut.
    serveArchive(QStringLiteral("m1"), 150000, 4096, 60);
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);
    widget<QPushButton>("downloadModuleButton")->click();
    auto *bar = widget<QProgressBar>("progressBar");
    QTRY_VERIFY(receiving(bar, moduleArchive(QStringLiteral("m1"), 150000).size()));

    auto *tabs = widget<QTabWidget>("appTabWidget");
    QTabBar *tabBar = tabs->tabBar();
    QTest::mouseClick(tabBar, Qt::LeftButton, {}, tabBar->tabRect(3).center());
    QCOMPARE(tabs->currentIndex(), 3);
    QVERIFY(m_log->contains(QStringLiteral("User just selected a new tab with index:  3")));
    // The click was handled while the body was still arriving.
    QVERIFY(!bar->isHidden());
    QVERIFY(bar->value() < bar->maximum());
    QVERIFY(indexIds().isEmpty());

    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(installed(QStringLiteral("m1")));
    QCOMPARE(requestsFor(QStringLiteral("m1")), 1);
}

void DownloadsTest::record_joinsTheIndexOnlyAfterItsArchiveIsUnpacked()
{
    serveArchive(QStringLiteral("m1"), 20000);
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);

    // The completion resets the bar; what the index holds at that moment is what the
    // completion itself recorded.
    auto *bar = widget<QProgressBar>("progressBar");
    bool moved = false;
    bool reset = false;
    QStringList idsAtCompletion;
    connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
        if (value > 0)
            moved = true;
        else if (moved && !reset) {
            reset = true;
            idsAtCompletion = indexIds();
            // An answer about another archive, before this one's: it is no answer to m1.
            const JobResult stray{false, "stray", {}, m_library + "/m2.zip"};
            QVERIFY(invoke("installExtracted", Q_ARG(JobResult, stray)));
        }
    });
    widget<QPushButton>("downloadModuleButton")->click();
    QTRY_VERIFY(reset);
    QCOMPARE(idsAtCompletion, QStringList());
    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(installed(QStringLiteral("m1")));
    QVERIFY(m_log->contains(QStringLiteral("File Unzipping Complete:  \"success\"")));
    QCOMPARE(m_statusLines, QStringList{QStringLiteral("Module m1 1.0 is installed")});
    QTRY_COMPARE(widget<QTableWidget>("moduleTable")->rowCount(), 1);
}

void DownloadsTest::closingWhileUnpacking_stillRecordsTheModule()
{
    serveArchive(QStringLiteral("m1"), 2000000);
    listTopicModules({module(QStringLiteral("m1"))}, false);
    clickTopicModule(0);
    QSignalSpy unpacking(m_window.get(), &MainWindow::unzip);
    widget<QPushButton>("downloadModuleButton")->click();
    QVERIFY(unpacking.wait(20000));
    // Closed before the window hears the unpacking's answer.
    m_window.reset();
    QCOMPARE(indexIds(), QStringList{QStringLiteral("m1")});
    QVERIFY(installed(QStringLiteral("m1")));
}

void DownloadsTest::unpackFailure_recordsNothingAndLaterModulesStillInstall()
{
    TestServer::Answer notAnArchive;
    notAnArchive.body = "this is not a zip archive";
    notAnArchive.contentType = "application/zip";
    m_server->setAnswer(archiveUrlPath(QStringLiteral("broken")), notAnArchive);
    serveArchive(QStringLiteral("good"));
    listTopicModules({module(QStringLiteral("broken")), module(QStringLiteral("good"))}, true);

    widget<QPushButton>("downloadAllButton")->click();
    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("good")});
    QVERIFY(installed(QStringLiteral("good")));
    QVERIFY(m_statusLines.first().startsWith(QStringLiteral("Could not install Module broken: ")));
    QCOMPARE(m_log->count(QStringLiteral("File Unzipping Complete:")), 2);
    QVERIFY(!QFile::exists(m_library + QStringLiteral("/broken.zip")));
    QCOMPARE(widget<QTableWidget>("moduleTable")->rowCount(), 1);
}

void DownloadsTest::unsafeModuleId_isRefusedWithoutARequest_data()
{
    QTest::addColumn<QString>("moduleId");
    QTest::newRow("climbs out") << "../escape";
    QTest::newRow("Windows separator") << "..\\escape";
    QTest::newRow("parent") << "..";
}

void DownloadsTest::unsafeModuleId_isRefusedWithoutARequest()
{
    QFETCH(QString, moduleId);
    // Were it fetched, its archive would be saved beside the library folder.
    QJsonObject unsafe = module(QStringLiteral("unsafe"));
    unsafe[QStringLiteral("_id")] = moduleId;
    serveArchive(QStringLiteral("unsafe"));
    serveArchive(QStringLiteral("good"));
    listTopicModules({unsafe, module(QStringLiteral("good"))}, true);

    clickTopicModule(0);
    widget<QPushButton>("downloadModuleButton")->click();
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());

    // In a chain it is skipped and the chain goes on.
    widget<QPushButton>("downloadAllButton")->click();
    QTRY_COMPARE(indexIds(), QStringList{QStringLiteral("good")});
    QCOMPARE(widget<QLabel>("downloadModuleLabel")->text(), QString());
    QCOMPARE(requestsFor(QStringLiteral("unsafe")), 0);
    const QDir desktop(QDir::homePath() + QStringLiteral("/Desktop"));
    QCOMPARE(desktop.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Tavro Modules")});
}

void DownloadsTest::sameModuleTwice_secondDownloadIsNotStarted()
{
    serveArchive(QStringLiteral("m1"), 100000, 4096, 30);
    serveArchive(QStringLiteral("m2"));
    listTopicModules({module(QStringLiteral("m1")), module(QStringLiteral("m2"))}, true);
    clickTopicModule(0);
    auto *button = widget<QPushButton>("downloadModuleButton");
    button->click();
    QTRY_VERIFY(receiving(widget<QProgressBar>("progressBar"),
                          moduleArchive(QStringLiteral("m1"), 100000).size()));

    // Selecting the module again offers the button again; a second click starts nothing.
    clickTopicModule(0);
    QVERIFY(button->isEnabled());
    button->click();

    // "Download All" skips the module under way and goes on with the next one.
    widget<QPushButton>("downloadAllButton")->click();
    QCOMPARE(widget<QLabel>("downloadModuleLabel")->text(),
             QStringLiteral("Downloading Module m2"));

    QTRY_COMPARE(indexIds().size(), 2);
    QStringList ids = indexIds();
    ids.sort();
    QCOMPARE(ids, QStringList({"m1", "m2"}));
    QVERIFY(installed(QStringLiteral("m1")));
    QVERIFY(installed(QStringLiteral("m2")));
    QCOMPARE(requestsFor(QStringLiteral("m1")), 1);
}

void DownloadsTest::missingLibraryFolder_stopsTheChain()
{
    serveArchive(QStringLiteral("m1"));
    serveArchive(QStringLiteral("m2"));
    listTopicModules({module(QStringLiteral("m1")), module(QStringLiteral("m2"))}, true);
    QVERIFY(QDir(m_library).removeRecursively());

    widget<QPushButton>("downloadAllButton")->click();
    // The chain ends at the module it could not save, says why, and nothing else is fetched.
    QTRY_COMPARE(m_statusLines.size(), 1);
    QVERIFY(m_statusLines.first().startsWith(
        StatusLine::downloadFailed(module(QStringLiteral("m1")), QString())));
    QCOMPARE(widget<QLabel>("downloadModuleLabel")->text(), QString());
    QVERIFY(widget<QProgressBar>("progressBar")->isHidden());
    QCOMPARE(requestsFor(QStringLiteral("m2")), 0);
    QVERIFY(!QFileInfo::exists(m_library));
}

CORVELLE_TEST_MAIN(DownloadsTest)

#include "tst_downloads.moc"
