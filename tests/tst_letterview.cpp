#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

namespace {
// Two records named B, one named in lower case and one element that is no record.
const QByteArray letters = R"([
    {"_id": "l-a", "name": "A"}, {"_id": "l-b1", "name": "B"}, {"_id": "l-b2", "name": "B"},
    {"_id": "l-c", "name": "c"}, 5, {"_id": "l-xyz", "name": "X-Y-Z"}])";

// Links are written with JSON's escaped slashes: moc would read a double slash inside a raw
// string as the start of a comment.
const QByteArray bModules = R"([
    {"_id": "m-p", "name": "P", "version": "1", "packageSize": "850 KB",
     "description": "<i>Pertussis</i>", "downloadLink": "http:\/\/127.0.0.1:9\/m-p.zip"},
    {"_id": "m-q", "name": "Q", "excludeFromList": true, "downloadLink": "http:\/\/x\/q.zip"},
    {"_id": "m-r", "name": "R", "version": "r-2", "packageSize": "2 MB", "description": "Rabies"},
    {"_id": "m-s", "name": "S", "excludeFromList": "true"},
    {"_id": "m-t", "name": "T", "excludeFromList": false},
    7])";

const QStringList allModuleNames = {"Anaemia", "Burns", "Cholera"};
} // namespace

class TestLetterView : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nothingIsListedBeforeALetterIsPressed();
    void pressedLetterAsksForItsGroup_data();
    void pressedLetterAsksForItsGroup();
    void excludedModulesStayOutOfTheList();
    void clickedModuleShowsItsDetails();
    void keyboardMoveShowsNoDetails();
    void pressingALetterEmptiesTheDetailsAtOnce();

private:
    void waitForLetters();
    void press(const char *buttonName);

    std::unique_ptr<QSignalSpy> m_gma;
    QListView *m_list = nullptr;
};

void TestLetterView::init()
{
    startServer();
    answerStartUp("[]", letters, "[]");
    m_server->setJson(QStringLiteral("/api/modules"),
                      R"([{"name": "Anaemia"}, {"name": "Burns"}, {"name": "Cholera"}])");
    m_server->setJson(QStringLiteral("/api/modules/letter/l-a"), R"([{"name": "Anaemia"}])");
    m_server->setJson(QStringLiteral("/api/modules/letter/l-b1"), R"([{"name": "Old B"}])");
    m_server->setJson(QStringLiteral("/api/modules/letter/l-b2"), bModules);
    m_server->setJson(QStringLiteral("/api/modules/letter/l-xyz"),
                      R"([{"name": "Xerosis"}, {"name": "Yaws"}, {"name": "Zinc"}])");
    openWindow();
    m_gma.reset(new QSignalSpy(m_window.get(), &MainWindow::gma));
    m_list = widget<QListView>("listView_2");
    QVERIFY(showWindow());
    widget<QTabWidget>("appTabWidget")->setCurrentIndex(1);
}

void TestLetterView::cleanup()
{
    m_gma.reset();
    stopAll();
}

void TestLetterView::waitForLetters()
{
    // The letter list leaves no trace on screen; a press of A shows whether its id is known.
    QTRY_VERIFY((press("am_button_a"), m_gma->constLast().at(0).toString() == "l-a"));
    QTRY_COMPARE(rows(m_list), QStringList{"Anaemia"});
    m_gma->clear();
}

void TestLetterView::press(const char *buttonName)
{
    QTest::mouseClick(widget<QPushButton>(buttonName), Qt::LeftButton);
}

void TestLetterView::nothingIsListedBeforeALetterIsPressed()
{
    // The topic view's start-up list arriving means the start-up answers are in.
    QTRY_VERIFY(widget<QListView>("listView")->model() &&
                widget<QListView>("listView")->model()->rowCount() == 3);

    QCOMPARE(widget<QGroupBox>("groupBox_4")->title(), QStringLiteral("Module List"));
    QCOMPARE(rows(m_list), QStringList());
    QCOMPARE(m_gma->count(), 0);
    for (const QString &path : m_server->requests())
        QVERIFY2(!path.startsWith(QLatin1String("/api/modules/letter/")), qPrintable(path));
}

void TestLetterView::pressedLetterAsksForItsGroup_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("later of two B records")
        << QByteArray("am_button_b") << "Module List (B)"
        << "l-b2"
        << "/api/modules/letter/l-b2" << QStringList{"P", "R", "S", "T", ""};
    QTest::newRow("X-Y-Z") << QByteArray("am_button_xyz") << "Module List (X-Y-Z)"
                           << "l-xyz"
                           << "/api/modules/letter/l-xyz" << QStringList{"Xerosis", "Yaws", "Zinc"};
    QTest::newRow("record named in lower case") << QByteArray("am_button_c") << "Module List (C)"
                                                << ""
                                                << "/api/modules" << allModuleNames;
}

void TestLetterView::pressedLetterAsksForItsGroup()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, title);
    QFETCH(QString, id);
    QFETCH(QString, path);
    QFETCH(QStringList, names);

    waitForLetters();
    m_server->clearRequests();

    press(button.constData());
    QCOMPARE(widget<QGroupBox>("groupBox_4")->title(), title);
    QCOMPARE(m_gma->count(), 1);
    QCOMPARE(m_gma->constLast().at(0).toString(), id);
    QTRY_COMPARE(rows(m_list), names);
    QVERIFY(m_server->requests().contains(path));
    QVERIFY(!m_server->requests().contains(QStringLiteral("/api/modules/letter/l-b1")));
}

void TestLetterView::excludedModulesStayOutOfTheList()
{
    waitForLetters();
    press("am_button_b");
    QTRY_COMPARE(rows(m_list), (QStringList{"P", "R", "S", "T", ""}));

    clickRow(m_list, 1);
    QCOMPARE(widget<QLabel>("moduleName_2")->text(), QStringLiteral("R"));
    QCOMPARE(widget<QLabel>("moduleVersionDetails_2")->text(), QStringLiteral("r-2"));

    // An element that is no record is listed without a name and shows empty details.
    clickRow(m_list, 4);
    QCOMPARE(widget<QLabel>("moduleName_2")->text(), QString());
    QCOMPARE(widget<QLabel>("moduleVersionDetails_2")->text(), QString());
    QVERIFY(!widget<QPushButton>("downloadModuleButton_2")->isEnabled());
}

void TestLetterView::clickedModuleShowsItsDetails()
{
    waitForLetters();
    press("am_button_b");
    QTRY_COMPARE(rows(m_list).size(), 5);

    clickRow(m_list, 0);
    QCOMPARE(widget<QLabel>("moduleName_2")->text(), QStringLiteral("P"));
    QCOMPARE(widget<QLabel>("moduleVersionDetails_2")->text(), QStringLiteral("1"));
    QCOMPARE(widget<QLabel>("packageSize_2")->text(), QStringLiteral("850 KB"));
    QCOMPARE(widget<QTextBrowser>("textBrowser")->toPlainText(), QStringLiteral("Pertussis"));
    QVERIFY(widget<QLabel>("versionDetailsLabel_2")->isVisible());
    QVERIFY(widget<QLabel>("moduleVersionDetails_2")->isVisible());
    QVERIFY(widget<QLabel>("packageSizeLabel_2")->isVisible());
    QVERIFY(widget<QLabel>("packageSize_2")->isVisible());
    QVERIFY(widget<QPushButton>("downloadModuleButton_2")->isEnabled());

    clickRow(m_list, 1);
    QCOMPARE(widget<QLabel>("moduleName_2")->text(), QStringLiteral("R"));
    QCOMPARE(widget<QTextBrowser>("textBrowser")->toPlainText(), QStringLiteral("Rabies"));
    QVERIFY(!widget<QPushButton>("downloadModuleButton_2")->isEnabled());
}

void TestLetterView::keyboardMoveShowsNoDetails()
{
    waitForLetters();
    press("am_button_xyz");
    QTRY_COMPARE(rows(m_list).size(), 3);
    m_list->setFocus();
    m_list->setCurrentIndex(m_list->model()->index(0, 0));

    QTest::keyClick(m_list, Qt::Key_Down);
    QCOMPARE(m_list->currentIndex().row(), 1);
    QCOMPARE(widget<QLabel>("moduleName_2")->text(), QString());
    QVERIFY(widget<QLabel>("versionDetailsLabel_2")->isHidden());

    clickRow(m_list, 0);
    QTest::keyClick(m_list, Qt::Key_Down);
    QCOMPARE(m_list->currentIndex().row(), 1);
    QCOMPARE(widget<QLabel>("moduleName_2")->text(), QStringLiteral("Xerosis"));
}

void TestLetterView::pressingALetterEmptiesTheDetailsAtOnce()
{
    TestServer::Answer never;
    never.hang = true;
    m_server->setAnswer(QStringLiteral("/api/modules/letter/l-xyz"), never);
    waitForLetters();
    press("am_button_b");
    QTRY_COMPARE(rows(m_list).size(), 5);
    clickRow(m_list, 0);
    QVERIFY(widget<QPushButton>("downloadModuleButton_2")->isEnabled());
    // As a download from this tab leaves it.
    auto *progress = widget<QProgressBar>("progressBar_2");
    progress->setMaximum(4000);
    progress->setValue(4000);
    progress->show();

    press("am_button_xyz");
    QCOMPARE(widget<QGroupBox>("groupBox_4")->title(), QStringLiteral("Module List (X-Y-Z)"));
    QCOMPARE(widget<QLabel>("moduleName_2")->text(), QString());
    QCOMPARE(widget<QTextBrowser>("textBrowser")->toPlainText(), QString());
    QVERIFY(!widget<QPushButton>("downloadModuleButton_2")->isEnabled());
    QVERIFY(widget<QLabel>("versionDetailsLabel_2")->isHidden());
    QVERIFY(widget<QLabel>("moduleVersionDetails_2")->isHidden());
    QVERIFY(widget<QLabel>("packageSizeLabel_2")->isHidden());
    QVERIFY(widget<QLabel>("packageSize_2")->isHidden());
    QCOMPARE(progress->maximum(), 4000);
    QCOMPARE(progress->value(), 4000);
    QVERIFY(progress->isVisible());
    // The old list stays until the new one arrives.
    QCOMPARE(rows(m_list).size(), 5);
}

CORVELLE_TEST_MAIN(TestLetterView)
#include "tst_letterview.moc"
