// The real program in a real X display against the stand-in catalogue service: it starts,
// fills its start-up lists, and closes cleanly.
#include "support/desktopsession.h"
#include "support/testenvironment.h"

#include <QApplication>
#include <QSettings>
#include <QTcpServer>
#include <QtTest>

class EndToEndStartupTest : public QObject
{
    Q_OBJECT

private slots:
    void startsFillsListsAndClosesCleanly_data();
    void startsFillsListsAndClosesCleanly();
    void closesPromptly_whileTheServiceNeverAnswers();
};

void EndToEndStartupTest::startsFillsListsAndClosesCleanly_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("titleWord");
    QTest::addColumn<QString>("screenshot");
    QTest::newRow("English") << QStringLiteral("en_GB.UTF-8") << QStringLiteral("Education")
                             << QStringLiteral("homepage");
    QTest::newRow("French") << QStringLiteral("fr_FR.UTF-8") << QStringLiteral("sanitaires")
                            << QStringLiteral("homepage-fr");
}

void EndToEndStartupTest::startsFillsListsAndClosesCleanly()
{
    QFETCH(QString, language);
    QFETCH(QString, titleWord);
    QFETCH(QString, screenshot);
    DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    session.setLanguage(language);
    QVERIFY(session.startService(1));
    QVERIFY(session.startClient());

    for (const char *path :
         {"GET /api/topics ", "GET /api/letters ", "GET /api/articles ", "GET /api/modules "})
        QVERIFY2(session.waitForServiceLog(QString::fromLatin1(path)), path);
    QVERIFY(session.waitForClientOutput(QStringLiteral("Articles received:")));
    QVERIFY(session.waitForClientOutput(QStringLiteral("Letters received:")));
    QVERIFY(session.waitForClientOutput(QStringLiteral("Category Selected:")));
    // The system's language picks the window's.
    QVERIFY(!session.xdotool({QStringLiteral("search"), QStringLiteral("--name"), titleWord})
                 .isEmpty());
    QTest::qWait(500);
    QVERIFY(session.screenshot(screenshot));

    QCOMPARE(session.closeClient(), 0);
    QVERIFY(QFileInfo(session.libraryFolder()).isDir());
}

void EndToEndStartupTest::closesPromptly_whileTheServiceNeverAnswers()
{
    DesktopSession session;
    if (!session.problem().isEmpty())
        QSKIP(qPrintable(session.problem()));
    // A service that accepts connections but never answers: the requests hang.
    QTcpServer silent;
    const QUrl base(QStringLiteral(CATALOGUE_BASE_URL_FOR_TESTS));
    if (!silent.listen(QHostAddress(base.host()), quint16(base.port(80))))
        QSKIP("the catalogue port is taken");
    QVERIFY(session.startClient());
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 20000);
    QCOMPARE(session.closeClient(10000), 0);
}

CORVELLE_TEST_MAIN(EndToEndStartupTest)
#include "tst_e2e_startup.moc"
