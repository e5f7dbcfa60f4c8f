// Updates and repairs through the real window and the stand-in catalogue service: whatever an
// update changed, by ranges or whole, the module ends as a fresh install of its new version
// plus the user's own files; damage shows in the library table and a repair sends only what
// was damaged.
#include "archive/archiveextractor.h"
#include "archive/archivetail.h"
#include "library/libraryindex.h"
#include "support/files.h"
#include "support/serviceprocess.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"
#include "support/zipbuilder.h"
#include "transfer/networktiming.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The first version's files, or the next version's after change; films make the archive large
// enough that an update by ranges is worth it. A value "link:target" is a link.
QMap<QByteArray, QByteArray> moduleFiles(const QString &change)
{
    QMap<QByteArray, QByteArray> files{
        {"lesson/index.html", "<a href=guide.html>guide</a>"},
        {"lesson/Guide.html", "the guide"},
        {"lesson/removed.html", "a page the next version drops"},
        {"lesson/old-name.html", "a page the next version renames"},
        {"lesson/extra/notes.html", "a folder the next version drops"},
        {"lesson/extra/deeper/more.html", "more of it"},
        {"lesson/images/a.png", "a folder the next version makes a file"},
        {"lesson/start.html", "link:index.html"},
    };
    for (int i = 0; i < 8; ++i)
        files.insert("lesson/media/m" + QByteArray::number(i) + ".bin", media(i, 40000));
    if (change == QLatin1String("page removed"))
        files.remove("lesson/removed.html");
    if (change == QLatin1String("page renamed"))
        files.insert("lesson/new-name.html", files.take("lesson/old-name.html"));
    if (change == QLatin1String("case-only rename"))
        files.insert("lesson/guide.html", files.take("lesson/Guide.html"));
    if (change == QLatin1String("link removed"))
        files.remove("lesson/start.html");
    if (change == QLatin1String("folder removed")) {
        files.remove("lesson/extra/notes.html");
        files.remove("lesson/extra/deeper/more.html");
    }
    if (change == QLatin1String("folder turned into a file")) {
        files.remove("lesson/images/a.png");
        files.insert("lesson/images", "a file now");
    }
    return files;
}

QByteArray moduleArchive(const QMap<QByteArray, QByteArray> &files)
{
    ZipBuilder zip;
    zip.addDirectory("lesson/");
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        if (file.value().startsWith("link:")) {
            zip.addSymLink(file.key(), file.value().mid(5));
            continue;
        }
        ZipBuilder::Entry entry;
        entry.name = file.key();
        entry.data = file.value();
        entry.deflate = !file.key().endsWith(".bin");
        zip.addEntry(entry);
    }
    return zip.archive();
}

QJsonObject record(const QString &version, const QString &link)
{
    return QJsonObject{{QStringLiteral("_id"), QStringLiteral("lesson")},
                       {QStringLiteral("name"), QStringLiteral("Lesson")},
                       {QStringLiteral("description"), QStringLiteral("Pages and films")},
                       {QStringLiteral("version"), version},
                       {QStringLiteral("topic"), QStringLiteral("t")},
                       {QStringLiteral("downloadLink"), link}};
}

// Unpacks archive into folder as the module's own archive, which leaves its record there.
bool install(const QByteArray &archive, const QString &folder, const QString &scratch)
{
    const QString path = scratch + QStringLiteral("/lesson.zip");
    writeFile(path, archive);
    return extractArchive(path, folder).ok;
}

const QString archiveLink = QStringLiteral("/archives/lesson.zip");

} // namespace

class ExactUpdateTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void update_equalsFreshInstallPlusUserFiles_data();
    void update_equalsFreshInstallPlusUserFiles();
    void damagedModule_flaggedAndRepaired_data();
    void damagedModule_flaggedAndRepaired();

private:
    std::unique_ptr<ServiceProcess> serve(const QByteArray &archive, const QString &version,
                                          const QStringList &options);
    // Clicks "Download Module" for the first module listed and waits for the outcome; false,
    // with the status lines on the debug output, unless it says that version is installed.
    bool downloadFirstListed(const QString &version);

    std::unique_ptr<QTemporaryDir> m_scratch;
    QStringList m_statusLines;
};

void ExactUpdateTest::init()
{
    NetworkTiming::setForTests(1500, 20);
    startServer();
    answerStartUpWithoutTopics();
    m_scratch = std::make_unique<QTemporaryDir>();
}

void ExactUpdateTest::cleanup()
{
    stopAll();
    m_scratch.reset();
}

std::unique_ptr<ServiceProcess> ExactUpdateTest::serve(const QByteArray &archive,
                                                       const QString &version,
                                                       const QStringList &options)
{
    const QString catalogue = m_scratch->filePath(QStringLiteral("catalogue"));
    writeFile(catalogue + archiveLink, archive);
    writeFile(catalogue + QStringLiteral("/topics.json"),
              R"([{"_id": "t", "name": "Topic", "category": "Health"}])");
    for (const char *name : {"/letters.json", "/articles.json"})
        writeFile(catalogue + name, "[]");
    writeFile(catalogue + QStringLiteral("/modules.json"),
              QJsonDocument(QJsonArray{record(version, archiveLink)}).toJson());
    auto service =
        std::make_unique<ServiceProcess>(QStringList{"--catalogue", catalogue} + options);
    // The window takes the module's record, with its link, from the topic view's list.
    if (!service->url().isEmpty())
        invoke("refreshModuleList",
               Q_ARG(QJsonArray, QJsonArray{record(version, service->url() + archiveLink)}));
    return service;
}

bool ExactUpdateTest::downloadFirstListed(const QString &version)
{
    auto *list = widget<QListView>("listView");
    emit list->clicked(list->model()->index(0, 0));
    widget<QPushButton>("downloadModuleButton")->click();
    const bool ended = QTest::qWaitFor([this] { return !m_statusLines.isEmpty(); }, 20000);
    if (ended && m_statusLines.last().startsWith("Lesson " + version + " is installed"))
        return true;
    qWarning().noquote() << m_statusLines.join('\n');
    return false;
}

void ExactUpdateTest::update_equalsFreshInstallPlusUserFiles_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("byRanges");
    for (const char *change : {"page removed", "page renamed", "case-only rename", "folder removed",
                               "folder turned into a file", "link removed"}) {
        QTest::addRow("%s, by ranges", change) << change << true;
        QTest::addRow("%s, whole", change) << change << false;
    }
}

void ExactUpdateTest::update_equalsFreshInstallPlusUserFiles()
{
    QFETCH(QString, change);
    QFETCH(bool, byRanges);
    const QString library = openWindowOnEmptyLibrary();
    recordStatusLines(&m_statusLines);
    QVERIFY(install(moduleArchive(moduleFiles(QString())), library, m_scratch->path()));
    QVERIFY(LibraryIndex::merge(library, record(QStringLiteral("1.0"), QString())).ok);
    const QString userFile = QStringLiteral("/lesson/extra/deeper/my notes.txt");
    writeFile(library + userFile, "the user's own");

    const QByteArray next = moduleArchive(moduleFiles(change));
    const QString expected = m_scratch->filePath(QStringLiteral("expected"));
    QVERIFY(QDir().mkpath(expected));
    QVERIFY(install(next, expected, m_scratch->path()));
    writeFile(expected + userFile, "the user's own");

    const auto service = serve(next, QStringLiteral("2.0"),
                               byRanges ? QStringList() : QStringList{"--ignore-ranges"});
    QVERIFY2(!service->url().isEmpty(), qPrintable(service->errors()));
    QVERIFY(downloadFirstListed(QStringLiteral("2.0")));
    QCOMPARE(libraryTree(library), libraryTree(expected));
    // By ranges, only part of the archive went over the wire.
    QTRY_VERIFY(bytesSent(service->errors(), archiveLink) > 0);
    QTRY_COMPARE(bytesSent(service->errors(), archiveLink) < next.size(), byRanges);
    // The record lists every file of the new version, in the agreed form, sorted by path.
    QByteArray listed;
    const QMap<QByteArray, QByteArray> files = moduleFiles(change);
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const bool link = file.value().startsWith("link:");
        const QByteArray data = link ? file.value().mid(5) : file.value();
        listed += (link ? QByteArray("link") : QByteArray::number(data.size())) + ' ' +
                  QByteArray::number(ZipBuilder::crc32(data), 16).rightJustified(8, '0') + ' ' +
                  file.key() + '\n';
    }
    QCOMPARE(fileContent(library + QStringLiteral("/.lesson.files")), listed);
    // The directory kept for a repair is the new archive's, however it came.
    ArchiveTail kept;
    QVERIFY(kept.read(library + QStringLiteral("/.lesson.directory")));
    QVERIFY(kept.total == next.size() && !kept.tail.isEmpty() && next.endsWith(kept.tail));
}

void ExactUpdateTest::damagedModule_flaggedAndRepaired_data()
{
    QTest::addColumn<bool>("folderGone");
    QTest::addColumn<bool>("downloaded");
    QTest::addColumn<QString>("republished");
    QTest::addColumn<QString>("flag");
    // Only the damaged entries travel, with the archive's directory unless a download kept it;
    // without the folder, the whole archive.
    QTest::newRow("a page deleted, a film cut short") << false << false << ""
                                                      << "2 files damaged";
    QTest::newRow("the same, installed by a download") << false << true << ""
                                                       << "2 files damaged";
    QTest::newRow("the archive since republished as another, of the same version")
        << false << true << "page renamed"
        << "2 files damaged";
    QTest::newRow("the module's folder gone") << true << false << ""
                                              << "16 files damaged";
}

void ExactUpdateTest::damagedModule_flaggedAndRepaired()
{
    QFETCH(bool, folderGone);
    QFETCH(bool, downloaded);
    QFETCH(QString, republished);
    QFETCH(QString, flag);
    // Installed and damaged before the window starts, which finds the damage at start-up.
    removeLibraryFolder();
    const QString library = homeLibraryFolder();
    QVERIFY(QDir().mkpath(library));
    const QMap<QByteArray, QByteArray> files = moduleFiles(QString());
    const QByteArray archive = moduleArchive(files);
    const auto service = serve(archive, QStringLiteral("1.0"), QStringList());
    QVERIFY2(!service->url().isEmpty(), qPrintable(service->errors()));
    const QJsonObject served = record(QStringLiteral("1.0"), service->url() + archiveLink);
    if (downloaded) {
        openWindow();
        recordStatusLines(&m_statusLines);
        invoke("refreshModuleList", Q_ARG(QJsonArray, QJsonArray{served}));
        QVERIFY(downloadFirstListed(QStringLiteral("1.0")));
        QTRY_COMPARE(bytesSent(service->errors(), archiveLink), qint64(archive.size()));
    } else {
        QVERIFY(install(archive, library, m_scratch->path()));
        QVERIFY(LibraryIndex::merge(library, served).ok);
    }
    const qint64 installBytes = bytesSent(service->errors(), archiveLink);
    QMap<QString, QByteArray> whole = libraryTree(library);
    if (!republished.isEmpty()) {
        const QByteArray other = moduleArchive(moduleFiles(republished));
        writeFile(m_scratch->filePath(QStringLiteral("catalogue")) + archiveLink, other);
        const QString expected = m_scratch->filePath(QStringLiteral("expected"));
        QVERIFY(QDir().mkpath(expected) && install(other, expected, m_scratch->path()));
        whole = libraryTree(expected);
    }
    if (folderGone) {
        QVERIFY(QDir(library + QStringLiteral("/lesson")).removeRecursively());
    } else {
        QVERIFY(QFile::remove(library + QStringLiteral("/lesson/removed.html")));
        QVERIFY(QFile::resize(library + QStringLiteral("/lesson/media/m3.bin"), 1000));
    }

    openWindow();
    QVERIFY(showWindow());
    invoke("refreshModuleList", Q_ARG(QJsonArray, QJsonArray{served}));
    auto *table = widget<QTableWidget>("moduleTable");
    QTRY_COMPARE(table->rowCount(), 1);
    QTRY_VERIFY(table->item(0, 1) && table->item(0, 1)->text() == "Lesson\n" + flag);
    QCOMPARE(table->item(0, 0)->checkState(), Qt::Checked);

    widget<QPushButton>("updateCheckedModulesButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(table->item(0, 1) && table->item(0, 1)->text() == "Lesson", 20000);
    QCOMPARE(table->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(libraryTree(library), whole);
    QTRY_VERIFY(bytesSent(service->errors(), archiveLink) > installBytes);
    const qint64 sent = bytesSent(service->errors(), archiveLink) - installBytes;
    // The archive that replaced the one installed is read by ranges too.
    QVERIFY2(sent < archive.size() / 2 || folderGone, qPrintable(service->errors()));
    if (folderGone || !republished.isEmpty())
        return;
    // The two damaged entries and the neighbours joined to them, the end of the archive too
    // where no directory was kept.
    const qint64 damagedBytes = files.value("lesson/media/m3.bin").size() +
                                files.value("lesson/removed.html").size() + 2 * 100;
    QVERIFY2(sent <= damagedBytes * 105 / 100 + (downloaded ? 0 : 64 * 1024),
             qPrintable(service->errors()));
    QVERIFY(archive.size() > 2 * (damagedBytes + 64 * 1024));
}

CORVELLE_TEST_MAIN(ExactUpdateTest)
#include "tst_exactupdate.moc"
