#include "support/files.h"
#include "support/testenvironment.h"
#include "support/zipbuilder.h"
#include "worker/archiveextractor.h"
#include "worker/module.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <QtGui/private/qzipwriter_p.h>
#include <QtTest>

namespace {

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// A small archive as a real zip writer makes it, compressed.
QByteArray writtenArchive()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QZipWriter writer(&buffer);
    writer.setCompressionPolicy(QZipWriter::AlwaysCompress);
    writer.addFile(QStringLiteral("mod/index.html"), QByteArray(4000, 'h'));
    writer.addFile(QStringLiteral("mod/pages/a.html"), QByteArray(3000, 'a'));
    writer.close();
    return bytes;
}

} // namespace

class ArchiveExtractorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unpacksWhatAZipWriterWrites();
    void keepsTimesAndSensiblePermissions();
    void makesFoldersThatHaveNoEntries();
    void readsEntriesOfUncommonMakers();
    void refusesUnsafeEntries_data();
    void refusesUnsafeEntries();
    void keepsLinksThatStayInside();
    void refusesBrokenArchives_data();
    void refusesBrokenArchives();
    void reportsMissingArchive();
    void reextractionReplacesFilesAndKeepsOthers();
    void failureLeavesEarlierInstallationUntouched_data();
    void failureLeavesEarlierInstallationUntouched();
    void replacesLinksWithoutWritingThroughThem();
    void failureToChangeTheLibraryLeavesItUntouched_data();
    void failureToChangeTheLibraryLeavesItUntouched();
    void unzipFile_reportsOnWorkerThread_data();
    void unzipFile_reportsOnWorkerThread();

private:
    // An earlier installation of "mod" in the library.
    void installFirstVersion();
    // Unpacks archive over the first version: it must fail with error and leave the library as
    // it was. readerWarning, when given, is what the zip reader warns on the way.
    void refuseOverFirstVersion(const QByteArray &archive, const QString &error,
                                const QString &readerWarning = QString());

    QScopedPointer<QTemporaryDir> m_root;
    QString m_library;
    QString m_archive; // beside the library, so that the library holds only what is unpacked
};

void ArchiveExtractorTest::init()
{
    m_root.reset(new QTemporaryDir);
    QVERIFY(m_root->isValid());
    m_library = m_root->path() + QStringLiteral("/library");
    QVERIFY(QDir().mkdir(m_library));
    m_archive = m_root->path() + QStringLiteral("/module.zip");
}

void ArchiveExtractorTest::cleanup()
{
    // Nothing may ever land beside the library folder, whatever the archive asked for.
    QDir root(m_root->path());
    QStringList expected{QStringLiteral("library")};
    if (QFile::exists(m_archive))
        expected.append(QStringLiteral("module.zip"));
    QCOMPARE(root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                            QDir::Name),
             expected);
    m_root.reset();
}

void ArchiveExtractorTest::installFirstVersion()
{
    ZipBuilder()
        .addDirectory("mod")
        .addFile("mod/index.html", "v1 index")
        .addFile("mod/pages/a.html", "v1 a")
        .addFile("mod/zz/keep.txt", "v1 keep")
        .addSymLink("mod/start", "index.html")
        .save(m_archive);
    const ExtractResult result = extractArchive(m_archive, m_library);
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(QFile::remove(m_archive));
}

void ArchiveExtractorTest::refuseOverFirstVersion(const QByteArray &archive, const QString &error,
                                                  const QString &readerWarning)
{
    installFirstVersion();
    const QMap<QString, QByteArray> before = snapshot(m_library);
    writeFile(m_archive, archive);
    if (!readerWarning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(readerWarning));

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    QCOMPARE(snapshot(m_library), before);
}

void ArchiveExtractorTest::unpacksWhatAZipWriterWrites()
{
    const QByteArray page = QByteArray("<html><body>Wash your hands</body></html>\n").repeated(500);
    const QByteArray picture = randomBytes(200000);
    {
        QZipWriter writer(m_archive);
        writer.addDirectory(QStringLiteral("hand-washing"));
        writer.setCompressionPolicy(QZipWriter::AlwaysCompress);
        writer.addFile(QStringLiteral("hand-washing/index.html"), page);
        writer.setCompressionPolicy(QZipWriter::NeverCompress);
        writer.addFile(QStringLiteral("hand-washing/images/tap.png"), picture);
        writer.addFile(QStringLiteral("hand-washing/empty.txt"), QByteArray());
        writer.close();
    }

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(result.error.isEmpty());
    const QString module = m_library + QStringLiteral("/hand-washing");
    QCOMPARE(fileContent(module + QStringLiteral("/index.html")), page);
    QCOMPARE(fileContent(module + QStringLiteral("/images/tap.png")), picture);
    QCOMPARE(fileContent(module + QStringLiteral("/empty.txt")), QByteArray());
    // No staging folder is left behind.
    QCOMPARE(snapshot(m_library).keys(),
             (QStringList{"hand-washing", "hand-washing/empty.txt", "hand-washing/images",
                          "hand-washing/images/tap.png", "hand-washing/index.html"}));
}

void ArchiveExtractorTest::keepsTimesAndSensiblePermissions()
{
    ZipBuilder builder;
    ZipBuilder::Entry fromWindows;
    fromWindows.name = "mod/readme.txt";
    fromWindows.data = "made on Windows";
    fromWindows.hostSystem = 0; // the reader gives such entries write permission for everyone
    builder.addFile("mod/run.sh", "#!/bin/sh\n", 0777)
        .addFile("mod/locked.html", "read only", 0400)
        .addEntry(fromWindows)
        .save(m_archive);

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY2(result.ok, qPrintable(result.error));
    const QFile::Permissions othersWrite = QFile::WriteGroup | QFile::WriteOther;
    const QFileInfo script(m_library + QStringLiteral("/mod/run.sh"));
    QVERIFY(script.permissions() & QFile::ExeOwner);
    QCOMPARE(script.permissions() & othersWrite, QFile::Permissions());
    const QFileInfo locked(m_library + QStringLiteral("/mod/locked.html"));
    QVERIFY(locked.permissions() & QFile::WriteOwner);
    QVERIFY(!(locked.permissions() & QFile::ReadOther));
    const QFileInfo readme(m_library + QStringLiteral("/mod/readme.txt"));
    QCOMPARE(readme.permissions() & othersWrite, QFile::Permissions());
    QCOMPARE(fileContent(readme.filePath()), QByteArray("made on Windows"));
    // The archive's time of the entry, not the time of unpacking.
    QCOMPARE(script.lastModified(), QDateTime(QDate(2024, 3, 15), QTime(6, 30)));
}

void ArchiveExtractorTest::makesFoldersThatHaveNoEntries()
{
    ZipBuilder()
        .addFile("malaria/pages/deep/nets.html", "nets")
        .addFile("malaria/index.html", "index")
        .save(m_archive);

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(fileContent(m_library + QStringLiteral("/malaria/pages/deep/nets.html")),
             QByteArray("nets"));
    QCOMPARE(fileContent(m_library + QStringLiteral("/malaria/index.html")), QByteArray("index"));
}

void ArchiveExtractorTest::readsEntriesOfUncommonMakers()
{
    // Entries made on systems the reader does not know, a folder known only by its trailing
    // slash, and a name the reader tidies ("./") so that it cannot find its data by it.
    ZipBuilder builder;
    ZipBuilder::Entry macFolder;
    macFolder.name = "mod/mac/";
    macFolder.hostSystem = 19;
    ZipBuilder::Entry macFile;
    macFile.name = "mod/mac/page.html";
    macFile.data = "from a Mac";
    macFile.hostSystem = 19;
    builder.addEntry(macFolder).addEntry(macFile).addFile("./mod/dotted.html", "dotted");
    builder.save(m_archive);
    QTest::ignoreMessage(QtWarningMsg, "QZip: Zip entry format at 0 is not supported.");
    QTest::ignoreMessage(QtWarningMsg, "QZip: Zip entry format at 1 is not supported.");

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(fileContent(m_library + QStringLiteral("/mod/mac/page.html")),
             QByteArray("from a Mac"));
    QCOMPARE(fileContent(m_library + QStringLiteral("/mod/dotted.html")), QByteArray("dotted"));
}

void ArchiveExtractorTest::refusesUnsafeEntries_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("isLink");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QString>("error");

    const auto entry = [](const char *tag, const QByteArray &name) {
        QTest::newRow(tag) << name << false << QByteArray()
                           << QStringLiteral("unsafe entry path: ") + QString::fromUtf8(name);
    };
    entry("parent folder", "../evil.txt");
    entry("absolute path", "/abs.txt");
    entry("drive letter", "C:/x.txt");
    entry("drive without slash", "c:x.txt");
    entry("backslashes climbing", "a\\..\\..\\x");
    entry("climbing inside a path", "mod/../../x");
    entry("dot before climbing", "./../x");
    entry("network path", "\\\\server\\share\\x");
    entry("dots only", "mod/.../x");
    entry("library index", "tavro-modules.txt");

    const auto link = [](const char *tag, const QByteArray &name, const QByteArray &target) {
        QTest::newRow(tag) << name << true << target
                           << QStringLiteral("unsafe link: %1 -> %2")
                                  .arg(QString::fromUtf8(name), QString::fromUtf8(target));
    };
    link("link climbing out", "mod/up", "../../outside");
    link("link to an absolute path", "mod/passwd", "/etc/passwd");
    link("link to a drive", "mod/windows", "C:\\Windows");
    link("link climbing after a name", "mod/l", "sub/../..");
    link("link above the library", "top", "..");
    link("link to nothing", "mod/empty", "");
}

void ArchiveExtractorTest::refusesUnsafeEntries()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, isLink);
    QFETCH(QByteArray, target);
    QFETCH(QString, error);
    ZipBuilder builder;
    builder.addFile("mod/index.html", "harmless, and first");
    if (isLink)
        builder.addSymLink(name, target);
    else
        builder.addFile(name, "evil");
    builder.addFile("mod/last.html", "harmless, and last");
    QVERIFY(builder.save(m_archive));

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    // Nothing at all is written, not even the harmless entries.
    QCOMPARE(snapshot(m_library), (QMap<QString, QByteArray>()));
}

void ArchiveExtractorTest::keepsLinksThatStayInside()
{
    ZipBuilder()
        .addFile("mod/pages/index.html", "the page")
        .addSymLink("mod/start.html", "pages/index.html")
        .addSymLink("mod/pages/again.html", "../pages/index.html")
        .addSymLink("mod/library", "..")
        .addSymLink("mod/later.html", "not-yet-there.html")
        .save(m_archive);

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY2(result.ok, qPrintable(result.error));
    const QString module = m_library + QStringLiteral("/mod");
    QVERIFY(QFileInfo(module + QStringLiteral("/start.html")).isSymLink());
    QCOMPARE(fileContent(module + QStringLiteral("/start.html")), QByteArray("the page"));
    QCOMPARE(fileContent(module + QStringLiteral("/pages/again.html")), QByteArray("the page"));
    QCOMPARE(QFileInfo(module + QStringLiteral("/library")).symLinkTarget(),
             QFileInfo(m_library).canonicalFilePath());
    QVERIFY(QFileInfo(module + QStringLiteral("/later.html")).isSymLink());
}

void ArchiveExtractorTest::refusesBrokenArchives_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("readerWarning");

    const QByteArray written = writtenArchive();
    const QString damaged = QStringLiteral("archive is damaged or incomplete");

    QTest::newRow("zero bytes") << QByteArray() << "archive is empty"
                                << "^QZip: ";
    QTest::newRow("not a zip") << QByteArray("<html>404 Not Found</html>") << "not a zip archive"
                               << "^QZip: not a zip file";
    QTest::newRow("cut in half") << written.left(written.size() / 2) << damaged << "^QZip: ";
    QTest::newRow("end cut off") << written.left(written.size() - 5) << damaged << "^QZip: ";
    QTest::newRow("no entries") << ZipBuilder().archive() << "archive holds no entries"
                                << "^QZip: not a zip file";

    QByteArray moreEntriesThanListed = written;
    moreEntriesThanListed[moreEntriesThanListed.size() - 12] = 3; // entry count of the end record
    moreEntriesThanListed[moreEntriesThanListed.size() - 14] = 3;
    QTest::newRow("directory shorter than its count")
        << moreEntriesThanListed << damaged << "^QZip: ";

    // The directory's sizes, beyond anything the file could hold, would have the reader
    // allocate gigabytes.
    const QByteArray small = ZipBuilder().addFile("mod/a.html", "tiny").archive();
    const int directory = int(qFromLittleEndian<quint32>(small.constData() + small.size() - 6));
    QByteArray hugeEntry = small;
    qToLittleEndian<quint32>(0x7FFFFFF0u, hugeEntry.data() + directory + 24);
    QTest::newRow("entry larger than it could unpack to") << hugeEntry << damaged << QString();
    QByteArray longData = small;
    qToLittleEndian<quint32>(0x7FFFFFF0u, longData.data() + directory + 20);
    QTest::newRow("entry data longer than the archive") << longData << damaged << QString();

    QByteArray corruptStream = written;
    const int nameLength = quint8(written.at(26));
    corruptStream[30 + nameLength + 3] = char(corruptStream.at(30 + nameLength + 3) ^ 0x55);
    QTest::newRow("compressed data damaged") << corruptStream << "damaged entry: mod/index.html"
                                             << "^QZip: Z_DATA_ERROR";

    ZipBuilder wrongChecksum;
    ZipBuilder::Entry bad;
    bad.name = "mod/b.html";
    bad.data = "bits flipped on the way";
    bad.wrongCrc = true;
    wrongChecksum.addFile("mod/a.html", "fine").addEntry(bad);
    QTest::newRow("checksum differs")
        << wrongChecksum.archive() << "damaged entry: mod/b.html" << QString();

    ZipBuilder encrypted;
    bad.wrongCrc = false;
    bad.flags = 1;
    encrypted.addEntry(bad);
    QTest::newRow("encrypted entry")
        << encrypted.archive() << "unsupported entry: mod/b.html" << QString();

    ZipBuilder unknownMethod;
    bad.flags = 0;
    bad.method = 14; // LZMA
    unknownMethod.addEntry(bad);
    QTest::newRow("unknown compression")
        << unknownMethod.archive() << "unsupported entry: mod/b.html" << QString();
}

void ArchiveExtractorTest::refusesBrokenArchives()
{
    QFETCH(QByteArray, archive);
    QFETCH(QString, error);
    QFETCH(QString, readerWarning);
    refuseOverFirstVersion(archive, error, readerWarning);
}

void ArchiveExtractorTest::reportsMissingArchive()
{
    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("archive not found"));
    QVERIFY(!QFile::exists(m_archive));
    QCOMPARE(snapshot(m_library), (QMap<QString, QByteArray>()));
}

void ArchiveExtractorTest::reextractionReplacesFilesAndKeepsOthers()
{
    installFirstVersion();
    ZipBuilder()
        .addFile("mod/index.html", "v2 index")
        .addFile("mod/pages/b.html", "v2 b")
        .addFile("mod/new/n.html", "v2 n")
        .addSymLink("mod/start", "pages/b.html")
        .save(m_archive);

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY2(result.ok, qPrintable(result.error));
    QMap<QString, QByteArray> expected{
        {"mod", "folder"},
        {"mod/index.html", "file:v2 index"},
        {"mod/new", "folder"},
        {"mod/new/n.html", "file:v2 n"},
        {"mod/pages", "folder"},
        {"mod/pages/a.html", "file:v1 a"}, // no longer in the archive, so it stays
        {"mod/pages/b.html", "file:v2 b"},
        {"mod/start", ("link:" + m_library + "/mod/pages/b.html").toUtf8()},
        {"mod/zz", "folder"},
        {"mod/zz/keep.txt", "file:v1 keep"},
    };
    QCOMPARE(snapshot(m_library), expected);
}

void ArchiveExtractorTest::failureLeavesEarlierInstallationUntouched_data()
{
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("error");

    // The entries are moved into place in name order, so in the first row the new files,
    // the new folder and the replaced files have all moved before "mod/zz" fails.
    ZipBuilder lateConflict;
    lateConflict.addFile("mod/index.html", "v2 index")
        .addFile("mod/new/n.html", "v2 n")
        .addFile("mod/pages/a.html", "v2 a")
        .addSymLink("mod/start", "pages/a.html")
        .addFile("mod/zz", "a file where a folder stands");
    QTest::newRow("file where a folder stands")
        << lateConflict.archive() << "cannot replace folder mod/zz with a file";

    ZipBuilder damagedLast;
    ZipBuilder::Entry bad;
    bad.name = "mod/zz.html";
    bad.data = "damaged";
    bad.wrongCrc = true;
    damagedLast.addFile("mod/index.html", "v2 index").addEntry(bad);
    QTest::newRow("damaged last entry") << damagedLast.archive() << "damaged entry: mod/zz.html";

    ZipBuilder unsafeLast;
    unsafeLast.addFile("mod/index.html", "v2 index").addFile("../mod/index.html", "evil");
    QTest::newRow("unsafe last entry")
        << unsafeLast.archive() << "unsafe entry path: ../mod/index.html";
}

void ArchiveExtractorTest::failureLeavesEarlierInstallationUntouched()
{
    QFETCH(QByteArray, archive);
    QFETCH(QString, error);
    refuseOverFirstVersion(archive, error);
}

void ArchiveExtractorTest::replacesLinksWithoutWritingThroughThem()
{
    // Links already in the library, pointing out of it: the archive's folder and file take
    // their places; nothing is written where they point.
    const QString outside = m_root->path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkdir(outside));
    QVERIFY(QDir().mkpath(m_library + QStringLiteral("/mod")));
    QVERIFY(QFile::link(outside, m_library + QStringLiteral("/mod/data")));
    QVERIFY(QFile::link(outside + QStringLiteral("/victim.txt"),
                        m_library + QStringLiteral("/mod/page.html")));
    ZipBuilder()
        .addFile("mod/data/file.txt", "data")
        .addFile("mod/page.html", "page")
        .save(m_archive);

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(snapshot(outside), (QMap<QString, QByteArray>()));
    QVERIFY(QDir().rmdir(outside));
    const QMap<QString, QByteArray> expected{
        {"mod", "folder"},
        {"mod/data", "folder"},
        {"mod/data/file.txt", "file:data"},
        {"mod/page.html", "file:page"},
    };
    QCOMPARE(snapshot(m_library), expected);
}

void ArchiveExtractorTest::failureToChangeTheLibraryLeavesItUntouched_data()
{
    QTest::addColumn<QString>("readOnlyFolder"); // below the library, "" for the library itself
    QTest::addColumn<QString>("error");

    QTest::newRow("library folder") << ""
                                    << "cannot write to %1";
    QTest::newRow("folder of a replaced file") << "mod/pages"
                                               << "cannot replace mod/pages/a.html";
}

void ArchiveExtractorTest::failureToChangeTheLibraryLeavesItUntouched()
{
    QFETCH(QString, readOnlyFolder);
    QFETCH(QString, error);
    installFirstVersion();
    ZipBuilder()
        .addFile("mod/index.html", "v2 index") // moves before the failing one
        .addFile("mod/pages/a.html", "v2 a")
        .save(m_archive);
    const QMap<QString, QByteArray> before = snapshot(m_library);
    const QString folder = m_library + (readOnlyFolder.isEmpty() ? "" : "/" + readOnlyFolder);
    const QFile::Permissions permissions = QFileInfo(folder).permissions();
    QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    QFile probe(folder + "/probe");
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QFile::setPermissions(folder, permissions);
        QSKIP("This user writes into folders whatever their permissions (root)");
    }

    const ExtractResult result = extractArchive(m_archive, m_library);

    QVERIFY(QFile::setPermissions(folder, permissions));
    QVERIFY(!result.ok);
    QCOMPARE(result.error, QString(error).replace("%1", m_library));
    QCOMPARE(snapshot(m_library), before);
}

void ArchiveExtractorTest::unzipFile_reportsOnWorkerThread_data()
{
    QTest::addColumn<bool>("archivePresent");
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("installed");

    QTest::newRow("whole archive")
        << true << writtenArchive() << "success"
        << QStringList{"mod", "mod/index.html", "mod/pages", "mod/pages/a.html"};
    QTest::newRow("unsafe archive") << true << ZipBuilder().addFile("../evil.txt", "evil").archive()
                                    << "failure: unsafe entry path: ../evil.txt" << QStringList();
    QTest::newRow("zero-byte archive")
        << true << QByteArray() << "failure: archive is empty" << QStringList();
    QTest::newRow("missing archive")
        << false << QByteArray() << "failure: archive not found" << QStringList();
}

void ArchiveExtractorTest::unzipFile_reportsOnWorkerThread()
{
    QFETCH(bool, archivePresent);
    QFETCH(QByteArray, archive);
    QFETCH(QString, status);
    QFETCH(QStringList, installed);
    // As downloads leave it: the archive inside the library folder, named after the module.
    const QString archivePath = m_library + QStringLiteral("/mod.zip");
    if (archivePresent)
        writeFile(archivePath, archive);
    if (archivePresent && archive.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QZip: ")));

    QThread worker;
    auto *module = new Module;
    module->moveToThread(&worker);
    connect(&worker, &QThread::finished, module, &QObject::deleteLater);
    QStringList statuses;
    connect(module, &Module::notifyFileDone, this,
            [&statuses](const QString &status) { statuses.append(status); });
    worker.start();

    QVERIFY(QMetaObject::invokeMethod(module, "unzipFile", Qt::QueuedConnection,
                                      Q_ARG(QString, archivePath), Q_ARG(QString, m_library)));
    QTRY_COMPARE(statuses, QStringList{status});
    worker.quit();
    QVERIFY(worker.wait());

    // The archive is gone in every case, and nothing else appears.
    QCOMPARE(snapshot(m_library).keys(), installed);
}

CORVELLE_TEST_MAIN(ArchiveExtractorTest)
#include "tst_archiveextractor.moc"
