#include "archive/crc32.h"
#include "library/driverecord.h"
#include "library/librarycopier.h"
#include "support/files.h"
#include "support/scratchdrive.h"
#include "support/testcataloguebaseurl.h"
#include "support/testenvironment.h"
#include "worker/module.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadWrite), qPrintable(path));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

QDateTime modifiedOf(const QString &path)
{
    return QFileInfo(path).lastModified();
}

// The drive folder's snapshot without the copy's own record.
QMap<QString, QByteArray> copies(const QString &target)
{
    QMap<QString, QByteArray> files = snapshot(target);
    files.remove(DriveRecord::fileName);
    return files;
}

} // namespace

class TestLibraryCopier : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstCopyLogsEveryStepInNameOrder();
    void entriesFollowNameOrderIgnoringCase();
    void hiddenEntriesStayBehind();
    void emptyLibraryGivesOnlyTheFolderLine_data();
    void emptyLibraryGivesOnlyTheFolderLine();
    void repeatedCopyFindsEveryFolderInPlace();
    void changedFileIsBroughtUpToDate_data();
    void changedFileIsBroughtUpToDate();
    void unchangedFileIsNotRewritten_data();
    void unchangedFileIsNotRewritten();
    void filesOnlyOnTheDriveStay();
    void filesTheLibraryDroppedLeaveTheDrive_data();
    void filesTheLibraryDroppedLeaveTheDrive();
    void recordLeadingOutOfTheDriveFolderRemovesNothing();
    void driveEntryOfAnotherKindIsLeftAlone();
    void driveLinksAreNotWrittenThrough();
    void targetThatCannotBeWrittenStillWalksTheLibrary();
    void sourceThatIsNotAFolder_data();
    void sourceThatIsNotAFolder();
    void singleFileIsReadBack_data();
    void singleFileIsReadBack();
    void linkBackIntoTheLibraryIsNotFollowed();
    void driveFolderInsideTheLibraryIsNotCopiedIntoItself();
    void largeFileIsAnnouncedBeforeItIsCopied();

private:
    // Copies the library to the drive folder and returns the lines it reported.
    QStringList copy(bool *result = nullptr);
    QStringList copy(const QString &source, const QString &target, bool *result = nullptr);
    void makeExampleLibrary();

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_library;
    QString m_target;
};

void TestLibraryCopier::initTestCase()
{
    // Nothing here asks the catalogue for anything; should the worker code linked in ever do so,
    // it finds a closed loopback port.
    setCatalogueBaseUrl(QStringLiteral("http://127.0.0.1:9"));
}

void TestLibraryCopier::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_library = m_root->path() + QStringLiteral("/Desktop/Tavro Modules");
    m_target = m_root->path() + QStringLiteral("/drive/Tavro Modules");
    QVERIFY(QDir().mkpath(m_library));
    QVERIFY(QDir().mkpath(m_root->path() + QStringLiteral("/drive")));
}

QStringList TestLibraryCopier::copy(bool *result)
{
    return copy(m_library, m_target, result);
}

QStringList TestLibraryCopier::copy(const QString &source, const QString &target, bool *result)
{
    QStringList lines;
    LibraryCopier copier([&lines](const QString &line) { lines << line; });
    const bool copied = copier.copyRecursively(source, target);
    if (result)
        *result = copied;
    return lines;
}

void TestLibraryCopier::makeExampleLibrary()
{
    writeFile(m_library + QStringLiteral("/Malaria/index.html"), "<h1>Malaria</h1>");
    writeFile(m_library + QStringLiteral("/tavro-modules.txt"), "{\"_id\":\"Malaria\"}\n");
}

void TestLibraryCopier::firstCopyLogsEveryStepInNameOrder()
{
    makeExampleLibrary();
    // The window has made the drive folder before the worker starts.
    QVERIFY(QDir().mkdir(m_target));
    const QDateTime stamp = QDateTime::currentDateTime().addDays(-3).addMSecs(-123);
    setModified(m_library + QStringLiteral("/Malaria/index.html"), stamp);

    bool result = false;
    const QStringList lines = copy(&result);

    const QString t = m_target;
    QCOMPARE(lines, QStringList({
                        "Module Folder already exists: " + t,
                        "Copying Malaria to " + t + "/Malaria",
                        "Creating Module Folder: " + t + "/Malaria",
                        "Copying index.html to " + t + "/Malaria/index.html",
                        "Copying tavro-modules.txt to " + t + "/tavro-modules.txt",
                        "Checking the copy...",
                    }));
    QVERIFY(result);
    QCOMPARE(copies(m_target), snapshot(m_library));
    QCOMPARE(modifiedOf(t + "/Malaria/index.html"), modifiedOf(m_library + "/Malaria/index.html"));
    QCOMPARE(QFileInfo(t + "/Malaria/index.html").permissions(),
             QFileInfo(m_library + "/Malaria/index.html").permissions());
}

void TestLibraryCopier::entriesFollowNameOrderIgnoringCase()
{
    for (const char *file : {"b.txt", "Zeta.txt", "apple.txt"})
        writeFile(m_library + "/" + file, file);
    for (const char *folder : {"c", "A"})
        QVERIFY(QDir(m_library).mkdir(folder));

    QStringList copied;
    for (const QString &line : copy())
        if (line.startsWith(QLatin1String("Copying ")))
            copied << line.section(QLatin1Char(' '), 1, 1);

    QCOMPARE(copied, QStringList({"A", "apple.txt", "b.txt", "c", "Zeta.txt"}));
}

void TestLibraryCopier::hiddenEntriesStayBehind()
{
    writeFile(m_library + "/.hidden.txt", "hidden");
    writeFile(m_library + "/.cache/saved.bin", "cached");
    writeFile(m_library + "/Malaria/.secret", "secret");
    writeFile(m_library + "/Malaria/index.html", "shown");

    const QStringList lines = copy();

    for (const QString &line : lines)
        QVERIFY2(!line.contains(QLatin1String("/.")), qPrintable(line));
    QCOMPARE(copies(m_target), (QMap<QString, QByteArray>{{"Malaria", "folder"},
                                                          {"Malaria/index.html", "file:shown"}}));
}

void TestLibraryCopier::emptyLibraryGivesOnlyTheFolderLine_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<QString>("line");
    QTest::newRow("new drive folder") << false << "Creating Module Folder: ";
    QTest::newRow("drive folder in place") << true << "Module Folder already exists: ";
}

void TestLibraryCopier::emptyLibraryGivesOnlyTheFolderLine()
{
    QFETCH(bool, targetExists);
    QFETCH(QString, line);
    if (targetExists)
        QVERIFY(QDir().mkdir(m_target));

    bool result = false;
    QCOMPARE(copy(&result), QStringList{line + m_target});
    QVERIFY(result);
    QVERIFY(QFileInfo(m_target).isDir());
    QVERIFY(copies(m_target).isEmpty());
}

void TestLibraryCopier::repeatedCopyFindsEveryFolderInPlace()
{
    makeExampleLibrary();
    copy();
    const QMap<QString, QByteArray> first = copies(m_target);

    const QStringList lines = copy();

    const QString t = m_target;
    QCOMPARE(lines, QStringList({
                        "Module Folder already exists: " + t,
                        "Copying Malaria to " + t + "/Malaria",
                        "Module Folder already exists: " + t + "/Malaria",
                        "Copying index.html to " + t + "/Malaria/index.html",
                        "Copying tavro-modules.txt to " + t + "/tavro-modules.txt",
                    }));
    QCOMPARE(copies(m_target), first);
}

void TestLibraryCopier::changedFileIsBroughtUpToDate_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("secondsLater");
    // The first copy wrote "<h1>Malaria</h1>" and the one-line index.
    QTest::newRow("module file, new size")
        << "Malaria/index.html" << QByteArray("<h1>Malaria 2</h1>") << 0;
    QTest::newRow("index file, new size")
        << "tavro-modules.txt" << QByteArray("{\"_id\":\"Malaria\"}\n{\"_id\":\"Cholera\"}\n") << 0;
    QTest::newRow("module file, same size, newer")
        << "Malaria/index.html" << QByteArray("<h2>Malaria</h2>") << 3600;
    QTest::newRow("index file, same size, older")
        << "tavro-modules.txt" << QByteArray("{\"_id\":\"Cholera\"}\n") << -3600;
    QTest::newRow("same size, just past the drive's resolution")
        << "Malaria/index.html" << QByteArray("<h2>Malaria</h2>") << 3;
}

void TestLibraryCopier::changedFileIsBroughtUpToDate()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(int, secondsLater);
    makeExampleLibrary();
    const QString source = m_library + "/" + file;
    const QDateTime first = QDateTime::currentDateTime().addDays(-1);
    setModified(source, first);
    copy();

    writeFile(source, content);
    setModified(source, secondsLater ? first.addSecs(secondsLater) : first);
    bool result = false;
    copy(&result);

    QVERIFY(result);
    QCOMPARE(fileContent(m_target + "/" + file), content);
    QCOMPARE(modifiedOf(m_target + "/" + file), modifiedOf(source));
    // Nothing is left beside the copies, such as the partly written file.
    QCOMPARE(copies(m_target), snapshot(m_library));
}

void TestLibraryCopier::unchangedFileIsNotRewritten_data()
{
    QTest::addColumn<int>("driveSecondsOff");
    QTest::addColumn<bool>("sameBytes"); // then the copy takes the library's time
    QTest::newRow("same time") << 0 << false;
    QTest::newRow("two seconds later, as a FAT drive keeps it") << 2 << false;
    QTest::newRow("two seconds earlier") << -2 << false;
    QTest::newRow("an hour earlier, the same bytes, as after unpacking again") << -3600 << true;
}

void TestLibraryCopier::unchangedFileIsNotRewritten()
{
    QFETCH(int, driveSecondsOff);
    QFETCH(bool, sameBytes);
    makeExampleLibrary();
    copy();
    // Same size and (nearly) same time as the library's file, different bytes: only a rewrite
    // could bring the library's bytes back.
    const QString copied = m_target + QStringLiteral("/Malaria/index.html");
    const QString original = m_library + QStringLiteral("/Malaria/index.html");
    const QDateTime libraryTime = modifiedOf(original);
    const QByteArray content = sameBytes ? fileContent(original) : "<h1>MALARIA</h1>";
    writeFile(copied, content);
    setModified(copied, libraryTime.addSecs(driveSecondsOff));

    bool result = false;
    copy(&result);

    QVERIFY(result);
    QCOMPARE(fileContent(copied), content);
    QCOMPARE(modifiedOf(copied), libraryTime.addSecs(sameBytes ? 0 : driveSecondsOff));
}

void TestLibraryCopier::filesOnlyOnTheDriveStay()
{
    makeExampleLibrary();
    writeFile(m_target + "/notes.txt", "mine");
    writeFile(m_target + "/Malaria/extra.html", "extra");
    writeFile(m_target + "/Old Module/index.html", "old");
    // What a copy cut short left goes only from the module folders the copy keeps.
    writeFile(m_target + "/Malaria/.copy-a1B2c3", "half");
    writeFile(m_target + "/.copy-d4E5f6", "beside the modules");
    writeFile(m_target + "/Old Module/.copy-g7H8i9", "old");

    copy();

    QMap<QString, QByteArray> expected = snapshot(m_library);
    expected.insert(".copy-d4E5f6", "file:beside the modules");
    expected.insert("Old Module/.copy-g7H8i9", "file:old");
    expected.insert("notes.txt", "file:mine");
    expected.insert("Malaria/extra.html", "file:extra");
    expected.insert("Old Module", "folder");
    expected.insert("Old Module/index.html", "file:old");
    QCOMPARE(copies(m_target), expected);
}

void TestLibraryCopier::filesTheLibraryDroppedLeaveTheDrive_data()
{
    QTest::addColumn<QStringList>("first");  // the library's files at the first copy
    QTest::addColumn<QStringList>("second"); // and at the second
    QTest::addColumn<QString>("changed");    // a drive file someone changes in between
    QTest::addColumn<QStringList>("kept");   // the drive's files besides the second library's
    QTest::addColumn<bool>("fat32");         // on a FAT32 drive rather than a folder
    // notes.txt lies outside the module folders: the drive keeps it whatever the library does.
    const QStringList m = {"M/index.html", "M/old.html", "M/sub/page.html", "notes.txt"};
    const QStringList notes = {"notes.txt"};
    QTest::newRow("page dropped") << m << QStringList{"M/index.html", "M/sub/page.html"} << ""
                                  << notes << false;
    QTest::newRow("folder dropped")
        << m << QStringList{"M/index.html", "M/old.html"} << "" << notes << false;
    QTest::newRow("page renamed only in case")
        << m << QStringList{"M/index.html", "M/OLD.html", "M/sub/page.html"} << "" << notes
        << false;
    QTest::newRow("folder turned into a file")
        << m << QStringList{"M/index.html", "M/sub"} << "" << notes << false;
    QTest::newRow("page changed on the drive since")
        << m << QStringList{"M/index.html"} << "M/old.html"
        << QStringList{"M/old.html", "notes.txt"} << false;
    QTest::newRow("module dropped") << m << QStringList{"N/index.html"} << "" << m << false;
    QTest::newRow("page dropped, FAT32")
        << m << QStringList{"M/index.html", "M/sub/page.html"} << "" << notes << true;
    QTest::newRow("page renamed only in case, FAT32")
        << m << QStringList{"M/index.html", "M/OLD.html", "M/sub/page.html"} << "" << notes << true;
}

void TestLibraryCopier::filesTheLibraryDroppedLeaveTheDrive()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QString, changed);
    QFETCH(QStringList, kept);
    QFETCH(bool, fat32);
    ScratchDrive drive;
    QString missing;
    if (fat32 && !drive.mountFat32(40 << 20, &missing))
        QSKIP(qPrintable(QStringLiteral("No FAT32 drive can be mounted here: ") + missing));
    if (fat32)
        m_target = drive.path() + QStringLiteral("/Tavro Modules");
    for (const QString &file : first)
        writeFile(m_library + "/" + file, file.toUtf8());
    copy();
    QVERIFY(QDir(m_library).removeRecursively());
    // The new version of every file has a new size, as the copy tells a change by it.
    for (const QString &file : second)
        writeFile(m_library + "/" + file, file.toUtf8() + " 2");
    if (!changed.isEmpty())
        writeFile(m_target + "/" + changed, "someone else's");

    copy();

    QMap<QString, QByteArray> expected;
    for (const QString &file : kept)
        expected.insert(file, file == changed ? "someone else's" : file.toUtf8());
    for (const QString &file : second)
        expected.insert(file, file.toUtf8() + " 2");
    QMap<QString, QByteArray> onDrive = filesUnder(m_target);
    onDrive.remove(DriveRecord::fileName);
    QCOMPARE(onDrive, expected);
    // No folder stays behind that neither the library nor a kept file needs.
    const QStringList needed =
        QStringList(expected.keys()).replaceInStrings(QRegularExpression("/[^/]*$"), "");
    const QMap<QString, QByteArray> entries = copies(m_target);
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry)
        QVERIFY2(entry.value() != "folder" || needed.contains(entry.key()) ||
                     QFileInfo(m_library + "/" + entry.key()).isDir(),
                 qPrintable(entry.key()));
}

void TestLibraryCopier::recordLeadingOutOfTheDriveFolderRemovesNothing()
{
    writeFile(m_library + "/M/index.html", "index");
    const QString outside = m_root->path() + QStringLiteral("/outside");
    writeFile(outside + "/victim.txt", "victim");
    QVERIFY(QDir().mkpath(m_target + "/M"));
    QVERIFY(QFile::link(outside, m_target + "/M/link"));
    // A record as a hostile drive might carry it, naming the file outside in two ways.
    const QByteArray line = "6 " + QByteArray::number(Crc32::of("victim"), 16) + " ";
    writeFile(m_target + "/" + DriveRecord::fileName,
              line + "M/../../outside/victim.txt\n" + line + "M/link/victim.txt\n");

    copy();
    // A record that is a link would be written through to its target.
    QVERIFY(QFile::remove(m_target + "/" + DriveRecord::fileName));
    QVERIFY(QFile::link(outside + "/victim.txt", m_target + "/" + DriveRecord::fileName));
    writeFile(m_library + "/M/page.html", "page");
    copy();

    QCOMPARE(fileContent(outside + "/victim.txt"), QByteArray("victim"));
    QVERIFY(QFileInfo(m_target + "/M/link").isSymLink());
    QVERIFY(!QFileInfo(m_target + "/" + DriveRecord::fileName).isSymLink());
}

void TestLibraryCopier::driveEntryOfAnotherKindIsLeftAlone()
{
    // The library holds a file where the drive holds a folder, and the other way round.
    writeFile(m_library + "/guide.html", "guide");
    writeFile(m_library + "/Malaria/index.html", "malaria");
    writeFile(m_target + "/guide.html/kept.txt", "kept");
    writeFile(m_target + "/Malaria", "a file in the way");

    bool result = false;
    const QStringList lines = copy(&result);

    QVERIFY(result);
    // Both files are named as not copied.
    QCOMPARE(lines.filter(QStringLiteral("Could not copy")).size(), 2);
    QCOMPARE(copies(m_target), (QMap<QString, QByteArray>{{"guide.html", "folder"},
                                                          {"guide.html/kept.txt", "file:kept"},
                                                          {"Malaria", "file:a file in the way"}}));
    QCOMPARE(snapshot(m_library),
             (QMap<QString, QByteArray>{{"guide.html", "file:guide"},
                                        {"Malaria", "folder"},
                                        {"Malaria/index.html", "file:malaria"}}));
}

void TestLibraryCopier::driveLinksAreNotWrittenThrough()
{
    makeExampleLibrary();
    const QString outside = m_root->path() + QStringLiteral("/outside");
    writeFile(outside + "/index.html", "outside file");
    writeFile(outside + "/tavro-modules.txt", "outside index");
    QVERIFY(QDir().mkpath(m_target));
    QVERIFY(QFile::link(outside, m_target + "/Malaria"));
    QVERIFY(QFile::link(outside + "/tavro-modules.txt", m_target + "/tavro-modules.txt"));

    bool result = false;
    copy(&result);

    QVERIFY(result);
    QCOMPARE(snapshot(outside),
             (QMap<QString, QByteArray>{{"index.html", "file:outside file"},
                                        {"tavro-modules.txt", "file:outside index"}}));
    QVERIFY(QFileInfo(m_target + "/Malaria").isSymLink());
    QVERIFY(QFileInfo(m_target + "/tavro-modules.txt").isSymLink());
}

void TestLibraryCopier::targetThatCannotBeWrittenStillWalksTheLibrary()
{
    makeExampleLibrary();
    const QMap<QString, QByteArray> library = snapshot(m_library);
    // A plain file where the drive folder should be: nothing can be created beneath it, for
    // root as for anybody.
    const QString blocked = m_root->path() + QStringLiteral("/blocked");
    writeFile(blocked, "not a folder");
    const QString t = blocked + QStringLiteral("/Tavro Modules");

    bool result = false;
    const QStringList lines = copy(m_library, t, &result);

    const QString failed = QStringLiteral(": the drive could not be written.");
    QCOMPARE(lines, QStringList({
                        "Creating Module Folder: " + t,
                        "Copying Malaria to " + t + "/Malaria",
                        "Creating Module Folder: " + t + "/Malaria",
                        "Copying index.html to " + t + "/Malaria/index.html",
                        "Could not copy index.html to " + t + "/Malaria/index.html" + failed,
                        "Copying tavro-modules.txt to " + t + "/tavro-modules.txt",
                        "Could not copy tavro-modules.txt to " + t + "/tavro-modules.txt" + failed,
                    }));
    QVERIFY(result);
    QCOMPARE(fileContent(blocked), QByteArray("not a folder"));
    QCOMPARE(snapshot(m_library), library);
}

void TestLibraryCopier::sourceThatIsNotAFolder_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("empty setting") << QString();
    QTest::newRow("missing folder") << QStringLiteral("/nonexistent/Tavro Modules");
}

void TestLibraryCopier::sourceThatIsNotAFolder()
{
    QFETCH(QString, source);
    QVERIFY(QDir().mkdir(m_target));

    bool result = true;
    const QStringList lines = copy(source, m_target, &result);

    QVERIFY(!result);
    QVERIFY(lines.isEmpty());
    QVERIFY(QFileInfo(m_target).isDir());
    QVERIFY(copies(m_target).isEmpty());
}

void TestLibraryCopier::singleFileIsReadBack_data()
{
    QTest::addColumn<QStringList>("fault"); // the fake drive's arguments (tests/fakedrive)
    QTest::newRow("sound drive") << QStringList();
    QTest::newRow("drive that flips a byte") << QStringList{"--flips", "b.bin"};
}

void TestLibraryCopier::singleFileIsReadBack()
{
    QFETCH(QStringList, fault);
    ScratchDrive drive;
    QString missing;
    if (!drive.mountFake(4 << 20, fault, &missing))
        QSKIP(qPrintable(QStringLiteral("No fake drive can be mounted here: ") + missing));
    writeFile(m_library + "/b.bin", "the library's bytes");

    bool result = false;
    copy(m_library + "/b.bin", drive.path() + "/b.bin", &result);

    QCOMPARE(result, fault.isEmpty());
    QCOMPARE(QFileInfo::exists(drive.path() + "/b.bin"), fault.isEmpty());
}

void TestLibraryCopier::linkBackIntoTheLibraryIsNotFollowed()
{
    makeExampleLibrary();
    QVERIFY(QFile::link(m_library, m_library + "/Malaria/back"));

    bool result = false;
    const QStringList lines = copy(&result);

    QVERIFY(result);
    QCOMPARE(lines.size(), 6);
    QVERIFY(!QFileInfo::exists(m_target + "/Malaria/back"));
    QCOMPARE(fileContent(m_target + "/Malaria/index.html"), QByteArray("<h1>Malaria</h1>"));
}

void TestLibraryCopier::driveFolderInsideTheLibraryIsNotCopiedIntoItself()
{
    makeExampleLibrary();
    // The user chose the library folder itself as the drive.
    const QString t = m_library + QStringLiteral("/Tavro Modules");
    QVERIFY(QDir().mkdir(t));

    bool result = false;
    const QStringList lines = copy(m_library, t, &result);

    QVERIFY(result);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(copies(t),
             (QMap<QString, QByteArray>{{"Malaria", "folder"},
                                        {"Malaria/index.html", "file:<h1>Malaria</h1>"},
                                        {"tavro-modules.txt", "file:{\"_id\":\"Malaria\"}\n"}}));
}

void TestLibraryCopier::largeFileIsAnnouncedBeforeItIsCopied()
{
    writeFile(m_library + QStringLiteral("/large.bin"), QByteArray(20 * 1024 * 1024, 'x'));
    const QString copied = m_target + QStringLiteral("/large.bin");
    Module worker;
    int announced = 0;
    connect(&worker, &Module::writeLog, this, [&](const QString &lines) {
        if (lines.contains(QStringLiteral("Copying large.bin"))) {
            ++announced;
            QVERIFY2(!QFileInfo::exists(copied), "the line came after the file");
        }
    });

    worker.copyDirectories(m_library, m_target);

    QCOMPARE(announced, 1);
    QVERIFY(QFileInfo::exists(copied));
}

CORVELLE_TEST_MAIN(TestLibraryCopier)
#include "tst_librarycopier.moc"
