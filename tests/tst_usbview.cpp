// The "Create USB" tab of the real window: choosing the drive folder and copying the library.
#include "library/driverecord.h"
#include "support/files.h"
#include "support/scratchdrive.h"
#include "support/testcataloguebaseurl.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the folder dialog looked like when it came up.
struct DialogSeen
{
    QString title;
    QString directory;
    QFileDialog::Options options;
    QWidget *parent = nullptr;
};

// A file's bytes as the drive gives them back, not as the page cache remembers them.
QByteArray readFromDrive(const QString &path)
{
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0 || fdatasync(fd) != 0 || posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0)
        return "<unreadable>";
    QByteArray content;
    char block[65536];
    for (ssize_t got; (got = read(fd, block, sizeof block)) > 0;)
        content.append(block, int(got));
    close(fd);
    return content;
}

// The files of the drive folder, without the copy's own record.
QMap<QString, QByteArray> copiesUnder(const QString &target)
{
    QMap<QString, QByteArray> files = filesUnder(target);
    files.remove(DriveRecord::fileName);
    return files;
}

} // namespace

class TestUsbView : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void createIsDisabledUntilAFolderIsChosen();
    void dialogOpensOnTheHomeFolderForFoldersOnly();
    void chosenFolderIsShownAndEnablesCreate();
    void cancelledDialogLeavesNoFolderButEnablesCreate();
    void createWithoutAFolderCopiesNothing();
    void createCopiesTheLibraryReportingEachStep();
    void secondCreateFindsTheDriveFolderInPlace();
    void closingDuringACopyEndsAfterTheCopy();
    void copyOntoARealDrive_data();
    void copyOntoARealDrive();
    void copyOntoAFaultyDrive_data();
    void copyOntoAFaultyDrive();

private:
    // Clicks "Select" and answers the folder dialog with folder, or cancels it when empty.
    void chooseFolder(const QString &folder, DialogSeen *seen = nullptr);
    void clickCreateAndWait();
    // Clicks "Create" and waits for the copy's last line, whatever it says.
    void clickCreateAndWaitForTheEnd();
    QStringList logLines() const;
    void makeLibrary();

    std::unique_ptr<QTemporaryDir> m_drive;
    QString m_library;
};

void TestUsbView::initTestCase()
{
    // The window asks the catalogue for its lists at start; nobody answers on this port.
    setCatalogueBaseUrl(QStringLiteral("http://127.0.0.1:9"));
}

void TestUsbView::init()
{
    m_library = homeLibraryFolder();
    removeLibraryFolder();
    openWindow();
    QCOMPARE(storedLibraryFolder(), m_library);
    QVERIFY(QFileInfo(m_library).isDir());
    m_drive = std::make_unique<QTemporaryDir>();
    QVERIFY(m_drive->isValid());
}

void TestUsbView::cleanup()
{
    stopAll();
    m_drive.reset();
}

void TestUsbView::chooseFolder(const QString &folder, DialogSeen *seen)
{
    bool answered = false;
    QTimer::singleShot(0, this, [&] {
        QFileDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())));
        if (seen)
            *seen = {dialog->windowTitle(), dialog->directory().absolutePath(), dialog->options(),
                     dialog->parentWidget()};
        if (folder.isEmpty()) {
            dialog->reject();
        } else {
            dialog->setDirectory(folder);
            QMetaObject::invokeMethod(dialog, "accept");
        }
        answered = true;
    });
    widget<QPushButton>("selectUSBButton")->click();
    QVERIFY(answered);
}

void TestUsbView::clickCreateAndWait()
{
    widget<QPushButton>("createUSBButton")->click();
    QTRY_VERIFY(logLines().contains(QStringLiteral("Modules copied!")));
}

void TestUsbView::clickCreateAndWaitForTheEnd()
{
    widget<QPushButton>("createUSBButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(
        !logLines().isEmpty() &&
            (logLines().constLast() == QLatin1String("Modules copied!") ||
             logLines().constLast().startsWith(QLatin1String("The copy is incomplete: "))),
        60000);
}

QStringList TestUsbView::logLines() const
{
    const QString text = widget<QPlainTextEdit>("logWindow")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TestUsbView::makeLibrary()
{
    writeFile(m_library + QStringLiteral("/Malaria/index.html"), "<h1>Malaria</h1>");
    writeFile(m_library + QStringLiteral("/tavro-modules.txt"),
              "{\"_id\":\"Malaria\",\"name\":\"Malaria\",\"version\":\"1\"}\n");
}

void TestUsbView::createIsDisabledUntilAFolderIsChosen()
{
    QVERIFY(!widget<QPushButton>("createUSBButton")->isEnabled());
    QVERIFY(widget<QLabel>("usbDrivePath")->text().isEmpty());
    QVERIFY(logLines().isEmpty());
}

void TestUsbView::dialogOpensOnTheHomeFolderForFoldersOnly()
{
    DialogSeen seen;
    chooseFolder(QString(), &seen);

    QCOMPARE(seen.title, QStringLiteral("Choose Directory"));
    QCOMPARE(seen.directory, QDir::homePath());
    QVERIFY(seen.options.testFlag(QFileDialog::ShowDirsOnly));
    QVERIFY(seen.options.testFlag(QFileDialog::DontResolveSymlinks));
    QCOMPARE(seen.parent, m_window.get());
}

void TestUsbView::chosenFolderIsShownAndEnablesCreate()
{
    chooseFolder(m_drive->path());

    QCOMPARE(widget<QLabel>("usbDrivePath")->text(), m_drive->path());
    QVERIFY(widget<QPushButton>("createUSBButton")->isEnabled());
}

void TestUsbView::cancelledDialogLeavesNoFolderButEnablesCreate()
{
    chooseFolder(m_drive->path());
    chooseFolder(QString());

    QVERIFY(widget<QLabel>("usbDrivePath")->text().isEmpty());
    QVERIFY(widget<QPushButton>("createUSBButton")->isEnabled());
}

void TestUsbView::createWithoutAFolderCopiesNothing()
{
    makeLibrary();
    chooseFolder(QString());
    QSignalSpy copies(m_window.get(), &MainWindow::copyDirs);

    widget<QPushButton>("createUSBButton")->click();

    QCOMPARE(copies.count(), 0);
    QCOMPARE(logLines(),
             QStringList{QStringLiteral("Choose your thumb drive first: no folder is selected.")});
    QVERIFY(filesUnder(m_drive->path()).isEmpty());
}

void TestUsbView::createCopiesTheLibraryReportingEachStep()
{
    makeLibrary();
    chooseFolder(m_drive->path());
    const QString t = m_drive->path() + QStringLiteral("/Tavro Modules");
    QTest::ignoreMessage(QtDebugMsg, "Creating USB");
    QTest::ignoreMessage(
        QtDebugMsg,
        qPrintable(QStringLiteral("Copying from %1 to %2").arg(m_library, m_drive->path())));

    clickCreateAndWait();

    QCOMPARE(logLines(), QStringList({
                             "Creating Module Folder: " + t,
                             "Module Folder already exists: " + t,
                             "Copying Malaria to " + t + "/Malaria",
                             "Creating Module Folder: " + t + "/Malaria",
                             "Copying index.html to " + t + "/Malaria/index.html",
                             "Copying Start Here.html to " + t + "/Start Here.html",
                             "Copying tavro-modules.txt to " + t + "/tavro-modules.txt",
                             "Checking the copy...",
                             "Modules copied!",
                         }));
    QCOMPARE(copiesUnder(t), filesUnder(m_library));
}

void TestUsbView::secondCreateFindsTheDriveFolderInPlace()
{
    makeLibrary();
    chooseFolder(m_drive->path());
    clickCreateAndWait();
    writeFile(m_library + QStringLiteral("/tavro-modules.txt"),
              "{\"_id\":\"Malaria\",\"name\":\"Malaria\",\"version\":\"10\"}\n");

    clickCreateAndWait();

    const QString t = m_drive->path() + QStringLiteral("/Tavro Modules");
    QCOMPARE(logLines(), QStringList({
                             "Module Folder already exists: " + t,
                             "Copying Malaria to " + t + "/Malaria",
                             "Module Folder already exists: " + t + "/Malaria",
                             "Copying index.html to " + t + "/Malaria/index.html",
                             "Copying Start Here.html to " + t + "/Start Here.html",
                             "Copying tavro-modules.txt to " + t + "/tavro-modules.txt",
                             "Checking the copy...",
                             "Modules copied!",
                         }));
    QCOMPARE(copiesUnder(t), filesUnder(m_library));
}

void TestUsbView::closingDuringACopyEndsAfterTheCopy()
{
    for (int module = 0; module < 20; ++module)
        for (int page = 0; page < 20; ++page)
            writeFile(m_library + QStringLiteral("/Module %1/page%2.html").arg(module).arg(page),
                      QByteArray(20000, char('a' + page)));
    chooseFolder(m_drive->path());

    widget<QPushButton>("createUSBButton")->click();
    m_window.reset();

    QCOMPARE(copiesUnder(m_drive->path() + QStringLiteral("/Tavro Modules")),
             filesUnder(m_library));
}

void TestUsbView::copyOntoARealDrive_data()
{
    QTest::addColumn<QString>("drive");       // "FAT32", 40 MB, or "tmpfs", 1 MiB
    QTest::addColumn<QVariantMap>("library"); // path -> size; 0 for a small file of its own
    // Empty for one copy; else the time the drive's copies get before a second copy: the
    // library's, as a drive keeps it to 2 s, or one of the drive's own, as drives that keep no
    // given time (FUSE's FAT) have them.
    QTest::addColumn<QString>("again");
    QTest::addColumn<QStringList>("lines");   // each in some line of the log: parts in order
    QTest::addColumn<QStringList>("onDrive"); // the files the drive ends with
    QTest::addColumn<QString>("end");

    const qint64 mb15 = 15 * 1024 * 1024;
    QTest::newRow("names that differ only in case")
        << "FAT32" << QVariantMap{{"Guide.html", 0}, {"guide.html", 0}, {"Malaria/index.html", 0}}
        << "" << QStringList{"Cannot copy guide.html to …Guide.html"}
        << QStringList{"Guide.html", "Malaria/index.html"}
        << "The copy is incomplete: 1 file could not be copied.";
    // FAT upper-cases "ı" and "i" alike, where Unicode case folding keeps them apart.
    QTest::newRow("names the drive folds into one")
        << "FAT32" << QVariantMap{{"i.html", 0}, {"ı.html", 0}, {"Malaria/index.html", 0}} << ""
        << QStringList{"Cannot copy ı.html to …i.html"}
        << QStringList{"i.html", "Malaria/index.html"}
        << "The copy is incomplete: 1 file could not be copied.";
    const QString longName = QString(250, QLatin1Char('n')) + QStringLiteral(".html");
    QTest::newRow("names of 249 and 255 characters")
        << "FAT32" << QVariantMap{{longName, 0}, {longName.mid(6), 0}} << "" << QStringList()
        << QStringList{longName, longName.mid(6)} << "Modules copied!";
    QTest::newRow("names the drive cannot hold")
        << "FAT32"
        << QVariantMap{{"a:b.html", 0},       {"what?.html", 0}, {"star*.html", 0},
                       {"say\"hi\".html", 0}, {"<tag>.html", 0}, {"pipe|/index.html", 0},
                       {"dot.", 0},           {"blank ", 0},     {"Malaria/index.html", 0}}
        << "" << QStringList{"Cannot copy a:b.html to ",   "Cannot copy what?.html to ",
                             "Cannot copy star*.html to ", "Cannot copy say\"hi\".html to ",
                             "Cannot copy <tag>.html to ", "Cannot copy pipe| to ",
                             "Cannot copy dot. to ",       "Cannot copy blank  to "}
        << QStringList{"Malaria/index.html"}
        << "The copy is incomplete: 8 files could not be copied.";
    QTest::newRow("a file of 4 GiB")
        << "FAT32" << QVariantMap{{"big.bin", Q_INT64_C(4) << 30}, {"small.html", 0}} << ""
        << QStringList{"Cannot copy big.bin to …4 GB"} << QStringList{"small.html"}
        << "The copy is incomplete: 1 file could not be copied.";
    QTest::newRow("a drive that fills up")
        << "FAT32" << QVariantMap{{"a.bin", mb15}, {"b.bin", mb15}, {"c.bin", mb15}, {"d.html", 0}}
        << "" << QStringList{"The drive is full: c.bin…stops"} << QStringList{"a.bin", "b.bin"}
        << "The copy is incomplete: 2 files could not be copied.";
    QTest::newRow("a library larger than the free space")
        << "tmpfs" << QVariantMap{{"a.bin", 700000}, {"b.bin", 700000}} << ""
        << QStringList{"The drive has …nothing was copied."} << QStringList()
        << "The copy is incomplete: 2 files could not be copied.";
    for (const char *again : {"library", "own"})
        QTest::addRow("copied again, nothing changed, drive times: %s", again)
            << "FAT32" << QVariantMap{{"Malaria/index.html", 0}, {"tavro-modules.txt", 0}} << again
            << QStringList()
            << QStringList{"Malaria/index.html", "Start Here.html", "tavro-modules.txt"}
            << "Modules copied!";
}

void TestUsbView::copyOntoARealDrive()
{
    QFETCH(QString, drive);
    QFETCH(QVariantMap, library);
    QFETCH(QString, again);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, onDrive);
    QFETCH(QString, end);
    ScratchDrive scratch;
    QString missing;
    if (drive == QLatin1String("FAT32") ? !scratch.mountFat32(40 << 20, &missing)
                                        : !scratch.mountTmpfs(1 << 20, &missing))
        QSKIP(
            qPrintable(QStringLiteral("No %1 drive can be mounted here: %2").arg(drive, missing)));
    const QString copies = scratch.path() + QStringLiteral("/Tavro Modules");

    // Odd seconds and milliseconds, which a FAT drive does not keep.
    const QDateTime time(QDate(2024, 5, 17), QTime(10, 20, 31, 999));
    QMap<QString, QByteArray> written;
    for (auto file = library.cbegin(); file != library.cend(); ++file) {
        const QString path = m_library + QLatin1Char('/') + file.key();
        const qint64 size = file.value().toLongLong();
        const QByteArray content = size == 0          ? file.key().toUtf8()
                                   : size < (1 << 30) ? QByteArray(int(size), 'm')
                                                      : "";
        writeFile(path, content);
        QFile made(path);
        QVERIFY(made.open(QIODevice::ReadWrite));
        if (content.isEmpty())
            QVERIFY(made.resize(size)); // sparse
        QVERIFY(made.setFileTime(time, QFileDevice::FileModificationTime));
        written.insert(file.key(), content);
    }
    chooseFolder(scratch.path());
    clickCreateAndWaitForTheEnd();

    QMap<QString, QDateTime> driveTimes;
    if (!again.isEmpty()) {
        const QDateTime given =
            again == QLatin1String("library") ? time : QDateTime(QDate(2020, 1, 1), QTime(8, 0));
        for (const QString &file : onDrive) {
            const QString path = copies + QLatin1Char('/') + file;
            // Both times at once: FUSE 2 drops a change of the modification time alone.
            const timespec times[2] = {{time_t(given.toSecsSinceEpoch()), 0},
                                       {time_t(given.toSecsSinceEpoch()), 0}};
            QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
            driveTimes.insert(file, QFileInfo(path).lastModified());
        }
        clickCreateAndWaitForTheEnd();
    }

    const QStringList log = logLines();
    for (const QString &expected : lines) {
        QStringList parts = expected.split(QStringLiteral("…"));
        for (QString &part : parts)
            part = QRegularExpression::escape(part);
        const QRegularExpression pattern(parts.join(QStringLiteral(".*")));
        QVERIFY2(!log.filter(pattern).isEmpty(),
                 qPrintable(expected + QStringLiteral(" not in:\n") + log.join(QLatin1Char('\n'))));
    }
    QCOMPARE(log.constLast(), end);
    QMap<QString, QByteArray> expected;
    // The start page is the client's own, written beside the index.
    for (const QString &file : onDrive)
        expected.insert(file, written.contains(file) ? written.value(file)
                                                     : fileContent(m_library + '/' + file));
    QCOMPARE(copiesUnder(copies), expected);
    // A copy written again would have the time of its writing.
    for (auto file = driveTimes.cbegin(); file != driveTimes.cend(); ++file)
        QCOMPARE(QFileInfo(copies + QLatin1Char('/') + file.key()).lastModified(), file.value());
}

void TestUsbView::copyOntoAFaultyDrive_data()
{
    QTest::addColumn<qint64>("stores");      // the bytes the drive really keeps
    QTest::addColumn<QStringList>("fault");  // its other arguments (tests/fakedrive)
    QTest::addColumn<QStringList>("spoilt"); // files that cannot come back right, at least
    const qint64 mib = 1 << 20;
    QTest::newRow("sound") << 4 * mib << QStringList() << QStringList();
    QTest::newRow("claims four times what it stores, wrapping around")
        << mib << QStringList{"--claims", QString::number(4 * mib)} << QStringList();
    QTest::newRow("drops writes past a size")
        << 4 * mib << QStringList{"--drops-after", "700000"} << QStringList{"b.bin", "c.html"};
    QTest::newRow("flips a byte of one file")
        << 4 * mib << QStringList{"--flips", "b.bin"} << QStringList{"b.bin"};
}

void TestUsbView::copyOntoAFaultyDrive()
{
    QFETCH(qint64, stores);
    QFETCH(QStringList, fault);
    QFETCH(QStringList, spoilt);
    ScratchDrive scratch;
    QString missing;
    if (!scratch.mountFake(stores, fault, &missing))
        QSKIP(qPrintable(QStringLiteral("No fake drive can be mounted here: ") + missing));
    // Every file of its own bytes, so that one written over another shows.
    const QMap<QString, int> sizes = {{"a.bin", 600000}, {"b.bin", 600000}, {"c.html", 3000}};
    for (auto file = sizes.cbegin(); file != sizes.cend(); ++file)
        writeFile(m_library + QLatin1Char('/') + file.key(),
                  file.key().toUtf8().repeated(file.value()).left(file.value()));
    chooseFolder(scratch.path());

    clickCreateAndWaitForTheEnd();

    // What the drive keeps is the library's; what it does not is named and counted.
    const QString copies = scratch.path() + QStringLiteral("/Tavro Modules");
    const QStringList log = logLines();
    QStringList left;
    for (const QString &file : sizes.keys()) {
        if (QFileInfo::exists(copies + QLatin1Char('/') + file)) {
            QVERIFY2(!spoilt.contains(file), qPrintable(file));
            QCOMPARE(readFromDrive(copies + QLatin1Char('/') + file),
                     fileContent(m_library + QLatin1Char('/') + file));
        } else {
            left << file;
            QVERIFY2(!log.filter(QStringLiteral("Could not copy ") + file + " to ").isEmpty(),
                     qPrintable(log.join(QLatin1Char('\n'))));
        }
    }
    QCOMPARE(log.constLast(),
             fault.isEmpty() ? QStringLiteral("Modules copied!")
             : left.size() == 1
                 ? QStringLiteral("The copy is incomplete: 1 file could not be copied.")
                 : QStringLiteral("The copy is incomplete: %1 files could not be copied.")
                       .arg(left.size()));
}

CORVELLE_TEST_MAIN(TestUsbView)
#include "tst_usbview.moc"
