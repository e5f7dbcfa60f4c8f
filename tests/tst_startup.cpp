// Start-up of the window: its initial state, its wiring, the library folder and shutdown.
#include "support/messagelog.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QTabWidget>
#include <QtTest>

class StartupTest : public WindowFixture
{
    Q_OBJECT

public:
    explicit StartupTest(TestEnvironment *environment) : m_environment(environment) {}

private slots:
    void init();
    void cleanup();
    void initialState_buttonsDisabledAndDetailsHidden();
    void styleRules_matchOnlyUnderRenamedObjects();
    void everyWidgetConnection_resolves();
    void startupRequests_reachTheService();
    void libraryFolder_data();
    void libraryFolder();
    void libraryFolder_storedAlready_settingsFileUntouched();
    void startPage_writtenWhenMissingOrOlderThanTheIndex_data();
    void startPage_writtenWhenMissingOrOlderThanTheIndex();
    void closing_whileRequestsHang_returnsPromptly();

private:
    TestEnvironment *m_environment;
};

void StartupTest::init()
{
    startServer();
}

void StartupTest::cleanup()
{
    stopAll();
}

void StartupTest::initialState_buttonsDisabledAndDetailsHidden()
{
    MainWindow window;
    for (const char *name :
         {"downloadModuleButton", "downloadModuleButton_2", "downloadAllButton", "createUSBButton"})
        QVERIFY2(!findWidget<QPushButton>(&window, name)->isEnabled(), name);
    for (const char *name : {"progressBar", "progressBar_2", "updateProgressBar"})
        QVERIFY2(findWidget<QProgressBar>(&window, name)->isHidden(), name);
    for (const char *name :
         {"versionDetailsLabel", "moduleVersionDetails", "packageSize", "packageSizeLabel",
          "versionDetailsLabel_2", "moduleVersionDetails_2", "packageSize_2", "packageSizeLabel_2"})
        QVERIFY2(findWidget<QWidget>(&window, name)->isHidden(), name);

    QCOMPARE(findWidget<QTabWidget>(&window, "appTabWidget")->currentIndex(), 0);
    QVERIFY(findWidget<QPlainTextEdit>(&window, "logWindow")->isReadOnly());
    QCOMPARE(window.size(), QSize(1011, 761));
    QCOMPARE(window.styleSheet(), QStringLiteral("QMainWindow {background: 'white';}"));
    QCOMPARE(window.windowTitle(),
             QStringLiteral("Tavro International Health Education and Information"));
    // Only the drive button has a style of its own.
    auto *ownStyle = findWidget<QPushButton>(&window, "selectUSBButton")->findChild<QStyle *>();
    QVERIFY(ownStyle);
    QCOMPARE(ownStyle->objectName(), QStringLiteral("fusion"));
    QCOMPARE(window.findChildren<QStyle *>().size(), 1);
}

void StartupTest::styleRules_matchOnlyUnderRenamedObjects()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *tabs = findWidget<QTabWidget>(&window, "appTabWidget");
    auto *latest = findWidget<QGroupBox>(&window, "latestModules");
    QVERIFY(tabs->font().bold());
    QCOMPARE(tabs->font().pixelSize(), 13);
    QCOMPARE(latest->font().pixelSize(), 15);

    // Under their form names the ID rules no longer apply.
    tabs->setObjectName(QStringLiteral("tabWidget"));
    tabs->setStyleSheet(tabs->styleSheet());
    latest->setObjectName(QStringLiteral("groupBox_11"));
    latest->setStyleSheet(latest->styleSheet());
    QVERIFY(!tabs->font().bold());
    QVERIFY(latest->font().pixelSize() != 15);
}

void StartupTest::everyWidgetConnection_resolves()
{
    MessageLog log;
    MainWindow window;
    QCOMPARE(log.count(QStringLiteral("QObject::connect")), 0);

    // A connected widget reaches its slot: a tab-bar click writes its debug line.
    auto *tabs = findWidget<QTabWidget>(&window, "appTabWidget");
    emit tabs->tabBarClicked(3);
    QVERIFY(log.contains(QStringLiteral("User just selected a new tab with index:  3")));
}

void StartupTest::startupRequests_reachTheService()
{
    MainWindow window;
    // The three go out at once, each on a connection of its own, and may arrive in any order.
    for (const char *path : {"/api/topics", "/api/letters", "/api/articles"})
        QTRY_VERIFY2(m_server->requests().contains(QLatin1String(path)), path);
}

void StartupTest::libraryFolder_data()
{
    QTest::addColumn<bool>("desktopExists");
    QTest::addColumn<bool>("libraryExists");
    QTest::addColumn<QString>("storedBefore");
    QTest::addColumn<bool>("libraryExpected");

    QTest::newRow("first start creates it") << true << false << QString() << true;
    QTest::newRow("already there") << true << true << QString() << true;
    QTest::newRow("another path stored before")
        << true << false << "/elsewhere/Tavro Modules" << true;
    QTest::newRow("no Desktop folder") << false << false << QString() << false;
}

void StartupTest::libraryFolder()
{
    QFETCH(bool, desktopExists);
    QFETCH(bool, libraryExists);
    QFETCH(QString, storedBefore);
    QFETCH(bool, libraryExpected);

    const QString desktop = m_environment->home() + QStringLiteral("/Desktop");
    const QString library = m_environment->libraryFolder();
    QDir(desktop).removeRecursively();
    if (desktopExists)
        QVERIFY(QDir().mkpath(desktop));
    const QString keepsake = library + QStringLiteral("/keep.html");
    if (libraryExists) {
        QVERIFY(QDir().mkpath(library));
        QFile file(keepsake);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QSettings().remove(QStringLiteral("moduleDirectory"));
    if (!storedBefore.isEmpty())
        QSettings().setValue(QStringLiteral("moduleDirectory"), storedBefore);

    {
        MainWindow window;
    }
    QCOMPARE(QFileInfo(library).isDir(), libraryExpected);
    if (libraryExists)
        QVERIFY(QFile::exists(keepsake));
    QCOMPARE(storedLibraryFolder(), library);
    QVERIFY(QDir().mkpath(desktop));
}

void StartupTest::libraryFolder_storedAlready_settingsFileUntouched()
{
    const QString library = m_environment->libraryFolder();
    QString settingsFile;
    {
        QSettings settings;
        settings.setValue(QStringLiteral("moduleDirectory"), library);
        settings.setValue(QStringLiteral("unrelated"), 7);
        settings.sync();
        settingsFile = settings.fileName();
    }
    // An old time stamp shows whether the start wrote the file again.
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(settingsFile);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }

    {
        MainWindow window;
    }
    QCOMPARE(QFileInfo(settingsFile).lastModified(), old);
    QCOMPARE(storedLibraryFolder(), library);
    QCOMPARE(QSettings().value(QStringLiteral("unrelated")).toInt(), 7);
}

void StartupTest::startPage_writtenWhenMissingOrOlderThanTheIndex_data()
{
    QTest::addColumn<int>("pageAgeSecs"); // against the index; -1 for no page
    QTest::addColumn<bool>("written");
    QTest::newRow("missing") << -1 << true;
    QTest::newRow("older than the index") << 60 << true;
    QTest::newRow("newer than the index") << 0 << false;
}

void StartupTest::startPage_writtenWhenMissingOrOlderThanTheIndex()
{
    QFETCH(int, pageAgeSecs);
    QFETCH(bool, written);
    const QString library = m_environment->libraryFolder();
    QVERIFY(QDir().mkpath(library + QStringLiteral("/malaria")));
    const QString page = library + QStringLiteral("/Start Here.html");
    QFile::remove(page);
    QFile index(library + QStringLiteral("/tavro-modules.txt"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write(R"({"_id":"malaria","name":"Malaria Prevention"})"
                "\n");
    index.close();
    if (pageAgeSecs >= 0) {
        QFile old(page);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old page");
        QVERIFY(old.flush());
        const QDateTime indexTime = QFileInfo(index).lastModified();
        QVERIFY(
            old.setFileTime(indexTime.addSecs(-pageAgeSecs), QFileDevice::FileModificationTime));
    }

    {
        MainWindow window;
    }
    QFile result(page);
    QVERIFY(result.open(QIODevice::ReadOnly));
    QCOMPARE(result.readAll().contains("Malaria Prevention"), written);
}

void StartupTest::closing_whileRequestsHang_returnsPromptly()
{
    TestServer::Answer stalls;
    stalls.hang = true;
    for (const char *path : {"/api/topics", "/api/letters", "/api/articles"})
        m_server->setAnswer(QString::fromLatin1(path), stalls);
    QElapsedTimer clock;
    {
        MainWindow window;
        QTRY_COMPARE(m_server->requests().size(), 3);
        clock.start();
    }
    // The destructor joins the worker, which must not wait for the hanging answers.
    QVERIFY(clock.elapsed() < 5000);
}

int main(int argc, char *argv[])
{
    TestEnvironment environment;
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tavro"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvelle"));
    StartupTest test(&environment);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
