#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {
const QByteArray letters = R"([
    {"_id": "l-a", "name": "A"}, {"_id": "l-m", "name": "M"}, {"_id": "l-xyz", "name": "X-Y-Z"}])";
} // namespace

class TestHomepage : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void articlesFillTheSlotTheirOrderNames_data();
    void articlesFillTheSlotTheirOrderNames();
    void emptyModulesHideTheSlotButtons();
    void jumpPressesXyzAndSelectsTheLastModuleOfThatName();
    void jumpToAModuleMissingFromItsLetterSelectsNothing();
    void jumpOnASlowLinkWaitsForItsOwnLetter();
    void jumpThatCannotReachALetterStaysOnTheHomepage_data();
    void jumpThatCannotReachALetterStaysOnTheHomepage();

private:
    void startWindow(const QByteArray &articles);
    void waitForLetters();
    // Starts the window with the one article for slot, waits until the slot shows it under
    // title and the letters are known, then presses the slot's button.
    void jumpFromSlot(int slot, const QByteArray &article, const QString &title);

    std::unique_ptr<QSignalSpy> m_gma;
    QTabWidget *m_tabs = nullptr;
};

void TestHomepage::init()
{
    startServer();
    m_server->setJson(QStringLiteral("/api/modules"), "[]");
    m_server->setJson(QStringLiteral("/api/modules/letter/l-a"), R"([{"name": "Anaemia"}])");
    m_server->setJson(QStringLiteral("/api/modules/letter/l-m"), R"([
        {"name": "Measles", "version": "m-3"},
        {"name": "Malaria", "version": "hidden", "excludeFromList": true},
        {"name": "Mumps", "version": "m-1"}])");
    // The download link is written with JSON's escaped slashes: moc would read a double slash
    // inside a raw string as the start of a comment.
    m_server->setJson(QStringLiteral("/api/modules/letter/l-xyz"), R"([
        {"name": "Zinc", "version": "v1"}, {"name": "Yaws", "version": "y1"},
        {"name": "Zinc", "version": "v2", "downloadLink": "http:\/\/127.0.0.1:9\/zinc.zip"},
        {"name": "Xerosis", "version": "x1"}])");
}

void TestHomepage::cleanup()
{
    m_gma.reset();
    stopAll();
}

void TestHomepage::startWindow(const QByteArray &articles)
{
    answerStartUp("[]", letters, articles);
    openWindow();
    m_gma.reset(new QSignalSpy(m_window.get(), &MainWindow::gma));
    m_tabs = widget<QTabWidget>(QStringLiteral("appTabWidget"));
    QVERIFY(showWindow());
}

void TestHomepage::waitForLetters()
{
    // The letter list leaves no trace on screen; a press of A shows whether its id is known.
    auto *a = widget<QPushButton>(QStringLiteral("am_button_a"));
    QTRY_VERIFY((a->click(), m_gma->constLast().at(0).toString() == "l-a"));
    QTRY_COMPARE(rows(widget<QListView>(QStringLiteral("listView_2"))), QStringList{"Anaemia"});
    m_tabs->setCurrentIndex(0);
    m_gma->clear();
    m_server->clearRequests();
}

void TestHomepage::jumpFromSlot(int slot, const QByteArray &article, const QString &title)
{
    startWindow("[" + article + "]");
    const QString box = QStringLiteral("module_%1").arg(slot);
    QTRY_COMPARE(widget<QGroupBox>(box)->title(), title);
    waitForLetters();
    QTest::mouseClick(widget<QPushButton>(box + QStringLiteral("_button")), Qt::LeftButton);
}

void TestHomepage::articlesFillTheSlotTheirOrderNames_data()
{
    QTest::addColumn<QByteArray>("aorder");
    QTest::addColumn<int>("slot");

    QTest::newRow("1, after another of slot 1") << QByteArray(R"("aorder": 1,)") << 1;
    QTest::newRow("2") << QByteArray(R"("aorder": 2,)") << 2;
    QTest::newRow("2.0") << QByteArray(R"("aorder": 2.0,)") << 2;
    QTest::newRow("3") << QByteArray(R"("aorder": 3,)") << 3;
    QTest::newRow("4") << QByteArray(R"("aorder": 4,)") << 4;
    QTest::newRow("2.5") << QByteArray(R"("aorder": 2.5,)") << 0;
    QTest::newRow("string 2") << QByteArray(R"("aorder": "2",)") << 0;
    QTest::newRow("missing") << QByteArray() << 0;
    QTest::newRow("5") << QByteArray(R"("aorder": 5,)") << 0;
    QTest::newRow("0") << QByteArray(R"("aorder": 0,)") << 0;
}

void TestHomepage::articlesFillTheSlotTheirOrderNames()
{
    QFETCH(QByteArray, aorder);
    QFETCH(int, slot);

    startWindow(R"([{"aorder": 1, "name": "First", "description": "one", "modules": [1]},
                    {)" +
                aorder +
                R"( "name": "Measles", "description": "<b>Spots</b>", "modules": ["m-1"]}])");
    QTRY_VERIFY(widget<QGroupBox>(QStringLiteral("module_1"))->title() != "Module_1");

    for (int n = 1; n <= 4; ++n) {
        QString title = QStringLiteral("Module_%1").arg(n);
        QString description;
        if (n == slot) {
            title = QStringLiteral("Measles");
            description = QStringLiteral("<b>Spots</b>");
        } else if (n == 1) {
            title = QStringLiteral("First");
            description = QStringLiteral("one");
        }
        QCOMPARE(widget<QGroupBox>(QStringLiteral("module_%1").arg(n))->title(), title);
        QCOMPARE(widget<QLabel>(QStringLiteral("module_%1_description").arg(n))->text(),
                 description);
    }
    QVERIFY(!widget<QPushButton>(QStringLiteral("module_3_button"))->isHidden());
    QVERIFY(!widget<QPushButton>(QStringLiteral("module_4_button"))->isHidden());
}

void TestHomepage::emptyModulesHideTheSlotButtons()
{
    startWindow(R"([{"aorder": 3, "name": "Three", "modules": []},
                    {"aorder": 4, "name": "Four", "modules": "m-4"},
                    {"aorder": 1, "name": "One", "modules": []},
                    {"aorder": 3, "name": "Three again", "modules": ["m-3"]}])");
    QTRY_COMPARE(widget<QGroupBox>(QStringLiteral("module_3"))->title(),
                 QStringLiteral("Three again"));

    QVERIFY(widget<QPushButton>(QStringLiteral("module_3_button"))->isHidden());
    QVERIFY(widget<QPushButton>(QStringLiteral("module_4_button"))->isHidden());
    QCOMPARE(widget<QGroupBox>(QStringLiteral("module_4"))->title(), QStringLiteral("Four"));
    QCOMPARE(widget<QGroupBox>(QStringLiteral("module_1"))->title(), QStringLiteral("One"));
}

void TestHomepage::jumpPressesXyzAndSelectsTheLastModuleOfThatName()
{
    jumpFromSlot(4, R"({"aorder": 4.0, "name": "Zinc", "modules": ["m-z"]})", "Zinc");

    QCOMPARE(m_tabs->currentIndex(), 1);
    QCOMPARE(widget<QGroupBox>(QStringLiteral("groupBox_4"))->title(),
             QStringLiteral("Module List (X-Y-Z)"));
    QCOMPARE(m_gma->count(), 1);
    QCOMPARE(m_gma->constLast().at(0).toString(), QStringLiteral("l-xyz"));
    QVERIFY(m_server->requests().contains(QStringLiteral("/api/modules/letter/l-xyz")));
    auto *list = widget<QListView>(QStringLiteral("listView_2"));
    QCOMPARE(rows(list), (QStringList{"Zinc", "Yaws", "Zinc", "Xerosis"}));
    QCOMPARE(list->currentIndex().row(), 2);
    QVERIFY(list->selectionModel()->isRowSelected(2, QModelIndex()));
    QCOMPARE(widget<QLabel>(QStringLiteral("moduleName_2"))->text(), QStringLiteral("Zinc"));
    QCOMPARE(widget<QLabel>(QStringLiteral("moduleVersionDetails_2"))->text(),
             QStringLiteral("v2"));
    QVERIFY(widget<QLabel>(QStringLiteral("versionDetailsLabel_2"))->isVisible());
    QVERIFY(widget<QPushButton>(QStringLiteral("downloadModuleButton_2"))->isEnabled());
}

void TestHomepage::jumpToAModuleMissingFromItsLetterSelectsNothing()
{
    jumpFromSlot(3, R"({"aorder": 3, "name": "Malaria", "modules": ["m-mal"]})", "Malaria");

    QCOMPARE(m_tabs->currentIndex(), 1);
    QCOMPARE(widget<QGroupBox>(QStringLiteral("groupBox_4"))->title(),
             QStringLiteral("Module List (M)"));
    auto *list = widget<QListView>(QStringLiteral("listView_2"));
    QCOMPARE(rows(list), (QStringList{"Measles", "Mumps"}));
    QVERIFY(!list->selectionModel()->hasSelection());
    QCOMPARE(widget<QLabel>(QStringLiteral("moduleName_2"))->text(), QString());
    QVERIFY(!widget<QPushButton>(QStringLiteral("downloadModuleButton_2"))->isEnabled());
}

void TestHomepage::jumpOnASlowLinkWaitsForItsOwnLetter()
{
    // The list of A stands in the view when the jump presses M, whose list takes 5 s.
    TestServer::Answer slow;
    slow.body = R"([{"name": "Measles", "version": "m-3"},
                    {"name": "Mumps", "version": "m-1"}])";
    slow.delayMs = 5000;
    m_server->setAnswer(QStringLiteral("/api/modules/letter/l-m"), slow);
    jumpFromSlot(4, R"({"aorder": 4, "name": "Mumps", "modules": ["m-mu"]})", "Mumps");

    auto *list = widget<QListView>(QStringLiteral("listView_2"));
    auto *name = widget<QLabel>(QStringLiteral("moduleName_2"));
    QCOMPARE(rows(list), QStringList{"Anaemia"});
    QVERIFY(!list->selectionModel()->hasSelection());
    QCOMPARE(name->text(), QString());
    QVERIFY(!widget<QPushButton>(QStringLiteral("downloadModuleButton_2"))->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(name->text(), QStringLiteral("Mumps"), 10000);
    QCOMPARE(list->currentIndex().row(), 1);
    QCOMPARE(widget<QLabel>(QStringLiteral("moduleVersionDetails_2"))->text(),
             QStringLiteral("m-1"));
}

void TestHomepage::jumpThatCannotReachALetterStaysOnTheHomepage_data()
{
    QTest::addColumn<QByteArray>("article");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("slotTitle");

    QTest::newRow("digit first") << QByteArray(
                                        R"({"aorder": 3, "name": "3 Fevers", "modules": [1]})")
                                 << "module_3_button"
                                 << "3 Fevers";
    QTest::newRow("letter without a button")
        << QByteArray(R"({"aorder": 4, "name": "Émile", "modules": [1]})") << "module_4_button"
        << "Émile";
    QTest::newRow("empty name") << QByteArray(R"({"aorder": 4, "modules": [1]})")
                                << "module_4_button"
                                << "";
    QTest::newRow("no modules") << QByteArray(R"({"aorder": 3, "name": "Malaria", "modules": []})")
                                << "module_3_button"
                                << "Malaria";
    QTest::newRow("no article for the slot")
        << QByteArray(R"({"aorder": 4, "name": "Malaria", "modules": [1]})") << "module_3_button"
        << "Module_3";
}

void TestHomepage::jumpThatCannotReachALetterStaysOnTheHomepage()
{
    QFETCH(QByteArray, article);
    QFETCH(QString, button);
    QFETCH(QString, slotTitle);

    // Slot 1 tells that the articles have arrived.
    startWindow(R"([{"aorder": 1, "name": "Arrived", "modules": [1]}, )" + article + "]");
    QTRY_COMPARE(widget<QGroupBox>(QStringLiteral("module_1"))->title(), QStringLiteral("Arrived"));
    QCOMPARE(widget<QGroupBox>(button.left(8))->title(), slotTitle);

    // A hidden button cannot be pressed with the mouse, but the jump must hold without one.
    widget<QPushButton>(button)->click();

    QCOMPARE(m_tabs->currentIndex(), 0);
    QCOMPARE(m_gma->count(), 0);
    QCOMPARE(widget<QGroupBox>(QStringLiteral("groupBox_4"))->title(),
             QStringLiteral("Module List"));
}

CORVELLE_TEST_MAIN(TestHomepage)
#include "tst_homepage.moc"
