// The "Create USB" tab of the real window: choosing the drive folder and copying the library.
#include "support/files.h"
#include "support/testcataloguebaseurl.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// What the folder dialog looked like when it came up.
struct DialogSeen
{
    QString title;
    QString directory;
    QFileDialog::Options options;
    QWidget *parent = nullptr;
};

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

private:
    // Clicks "Select" and answers the folder dialog with folder, or cancels it when empty.
    void chooseFolder(const QString &folder, DialogSeen *seen = nullptr);
    void clickCreateAndWait();
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
                             "Copying tavro-modules.txt to " + t + "/tavro-modules.txt",
                             "Modules copied!",
                         }));
    QCOMPARE(filesUnder(t), filesUnder(m_library));
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
                             "Copying tavro-modules.txt to " + t + "/tavro-modules.txt",
                             "Modules copied!",
                         }));
    QCOMPARE(filesUnder(t), filesUnder(m_library));
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

    QCOMPARE(filesUnder(m_drive->path() + QStringLiteral("/Tavro Modules")), filesUnder(m_library));
}

CORVELLE_TEST_MAIN(TestUsbView)
#include "tst_usbview.moc"
