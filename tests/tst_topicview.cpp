#include "support/files.h"
#include "support/scratchdrive.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

namespace {
// Malaria comes twice in one category, an element is no record at all and one topic carries
// its id as a number.
const QByteArray topics = R"([
    {"_id": "t-acne", "name": "acne", "category": "Disorders and Conditions"},
    {"_id": "t-zinc", "name": "Zinc", "category": "Health and Wellness"},
    {"_id": "t-mal1", "name": "Malaria", "category": "Disorders and Conditions"},
    {"_id": "t-mal2", "name": "Malaria", "category": "Disorders and Conditions"},
    {"_id": "t-sizes", "name": "Sizes", "category": "Special Series"},
    17,
    {"_id": 42, "name": "Numeric", "category": "Special Series"}])";

// Links are written with JSON's escaped slashes: moc would read a double slash inside a raw
// string as the start of a comment.
const QByteArray allModules = R"([
    {"_id": "m-1", "name": "Measles", "description": "<p>Spots <b>and</b> fever</p>",
     "version": "3", "packageSize": "850 KB", "downloadLink": ""},
    {"_id": "m-2", "name": "Mumps", "description": "Swollen glands", "version": "1.2",
     "packageSize": "2 MB", "downloadLink": "http:\/\/127.0.0.1:9\/m-2.zip"},
    {"_id": "m-3", "name": "Acne care", "version": "7", "packageSize": "1.5 MB",
     "downloadLink": "http:\/\/127.0.0.1:9\/m-3.zip"}])";

const QStringList allModuleNames = {"Measles", "Mumps", "Acne care"};

const QByteArray malariaModules = R"([
    {"_id": "m-11", "name": "Malaria basics", "packageSize": "1.5 MB"},
    {"_id": "m-12", "name": "Malaria prevention", "packageSize": "2 MB"},
    {"_id": "m-13", "name": "Malaria in children", "packageSize": "0.25 MB"}])";

QStringList entries(const QComboBox *box)
{
    QStringList texts;
    for (int index = 0; index < box->count(); ++index)
        texts.append(box->itemText(index));
    return texts;
}

QStringList emitted(const QSignalSpy &spy)
{
    QStringList ids;
    for (const QList<QVariant> &arguments : spy)
        ids.append(arguments.at(0).toString());
    return ids;
}
} // namespace

class TestTopicView : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpEndsOnEveryModuleUnderAllTopics();
    void categoryChoiceOffersItsTopicsSortedOnce();
    void categoryWithoutTopicsShowsEveryModule();
    void chosenTopicListsItsModulesWithTheirTotal_data();
    void chosenTopicListsItsModulesWithTheirTotal();
    void topicWithNumericIdAsksForEveryModule();
    void topicNamedAllTopicsIsAskedForButNotDownloadedWhole();
    void clickedModuleShowsItsDetails();
    void keyboardMoveShowsNoDetails();
    void choosingATopicEmptiesTheDetailsAtOnce();
    void listAskedForDuringACopyArrivesBeforeItsEnd();

private:
    void startWindow(const QByteArray &topicList);
    void waitForEveryModule();
    void choose(QComboBox *box, const QString &text);

    std::unique_ptr<QSignalSpy> m_gm;
    QComboBox *m_categories = nullptr;
    QComboBox *m_topics = nullptr;
    QListView *m_list = nullptr;
};

void TestTopicView::init()
{
    startServer();
    m_server->setJson(QStringLiteral("/api/modules"), allModules);
    m_server->setJson(QStringLiteral("/api/modules/topic/t-mal1"),
                      R"([{"_id": "m-old", "name": "Old malaria"}])");
    m_server->setJson(QStringLiteral("/api/modules/topic/t-mal2"), malariaModules);
    startWindow(topics);
}

void TestTopicView::cleanup()
{
    m_gm.reset();
    stopAll();
}

void TestTopicView::startWindow(const QByteArray &topicList)
{
    m_gm.reset();
    answerStartUp(topicList, "[]", "[]");
    openWindow();
    m_gm.reset(new QSignalSpy(m_window.get(), &MainWindow::gm));
    m_categories = widget<QComboBox>("categoryComboBox");
    m_topics = widget<QComboBox>("comboBox");
    m_list = widget<QListView>("listView");
    QVERIFY(showWindow());
    widget<QTabWidget>("appTabWidget")->setCurrentIndex(2);
}

void TestTopicView::waitForEveryModule()
{
    QTRY_COMPARE(rows(m_list), allModuleNames);
}

void TestTopicView::choose(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
}

void TestTopicView::startUpEndsOnEveryModuleUnderAllTopics()
{
    waitForEveryModule();

    QCOMPARE(entries(m_categories),
             (QStringList{"All categories", "Body Location and Systems", "Disorders and Conditions",
                          "Diagnosis and Therapy", "Demographic Groups", "Health and Wellness",
                          "Language Translations", "Special Series"}));
    QCOMPARE(m_categories->currentText(), QStringLiteral("All categories"));
    // The first filling keeps the service's order and its duplicates.
    QCOMPARE(entries(m_topics), (QStringList{"All topics", "acne", "Zinc", "Malaria", "Malaria",
                                             "Sizes", "", "Numeric"}));
    QCOMPARE(m_topics->currentText(), QStringLiteral("All topics"));
    QCOMPARE(widget<QLabel>("topicPackageSize")->text(), QString());
    QVERIFY(!widget<QPushButton>("downloadAllButton")->isEnabled());
    QVERIFY(!widget<QPushButton>("downloadModuleButton")->isEnabled());
    QVERIFY(widget<QLabel>("versionDetailsLabel")->isHidden());
    QVERIFY(widget<QLabel>("packageSize")->isHidden());

    // Only the four choices made with the gate open ask for modules, each for all of them.
    QCOMPARE(emitted(*m_gm), QStringList(QVector<QString>(4).toList()));
    for (const QString &path : m_server->requests())
        QVERIFY2(!path.startsWith(QLatin1String("/api/modules/topic/")), qPrintable(path));
    QVERIFY(m_server->requests().contains(QStringLiteral("/api/modules")));
}

void TestTopicView::categoryChoiceOffersItsTopicsSortedOnce()
{
    waitForEveryModule();

    choose(m_categories, QStringLiteral("Disorders and Conditions"));
    QCOMPARE(entries(m_topics), (QStringList{"Malaria", "acne"}));
    QCOMPARE(m_topics->currentText(), QStringLiteral("Malaria"));
    QVERIFY(widget<QPushButton>("downloadAllButton")->isEnabled());
    // The later of the two topics named alike is the one asked for.
    QCOMPARE(m_gm->constLast().at(0).toString(), QStringLiteral("t-mal2"));
    QTRY_COMPARE(rows(m_list),
                 (QStringList{"Malaria basics", "Malaria prevention", "Malaria in children"}));
    QCOMPARE(widget<QLabel>("topicPackageSize")->text(),
             QStringLiteral("All modules are 3.75MB to download."));
    QVERIFY(m_server->requests().contains(QStringLiteral("/api/modules/topic/t-mal2")));
    QVERIFY(!m_server->requests().contains(QStringLiteral("/api/modules/topic/t-mal1")));

    choose(m_categories, QStringLiteral("All categories"));
    // Upper case sorts before lower case; the element without a name offers an empty entry.
    QCOMPARE(entries(m_topics),
             (QStringList{"All topics", "", "Malaria", "Numeric", "Sizes", "Zinc", "acne"}));
    QCOMPARE(m_topics->currentText(), QStringLiteral("All topics"));
    QVERIFY(!widget<QPushButton>("downloadAllButton")->isEnabled());
    QCOMPARE(m_gm->constLast().at(0).toString(), QString());
    waitForEveryModule();
    QCOMPARE(widget<QLabel>("topicPackageSize")->text(), QString());
}

void TestTopicView::categoryWithoutTopicsShowsEveryModule()
{
    waitForEveryModule();
    choose(m_categories, QStringLiteral("Disorders and Conditions"));
    QTRY_COMPARE(rows(m_list),
                 (QStringList{"Malaria basics", "Malaria prevention", "Malaria in children"}));

    choose(m_categories, QStringLiteral("Language Translations"));
    QCOMPARE(m_topics->count(), 0);
    QVERIFY(!widget<QPushButton>("downloadAllButton")->isEnabled());
    QCOMPARE(m_gm->constLast().at(0).toString(), QString());
    waitForEveryModule();
    QCOMPARE(widget<QLabel>("topicPackageSize")->text(), QString());
}

void TestTopicView::chosenTopicListsItsModulesWithTheirTotal_data()
{
    QTest::addColumn<QByteArray>("modules");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("total");

    QTest::newRow("3.75") << QByteArray(R"([{"name": "A", "packageSize": "1.5 MB"},
        {"name": "B", "packageSize": "2 MB"}, {"name": "C", "packageSize": "0.25 MB"}])")
                          << QStringList{"A", "B", "C"} << "All modules are 3.75MB to download.";
    QByteArray tenths = "[";
    for (int i = 0; i < 10; ++i)
        tenths += QByteArray(i ? "," : "") + R"({"name": "T", "packageSize": "0.1 MB"})";
    tenths += "]";
    QTest::newRow("ten tenths") << tenths << QStringList(QVector<QString>(10, "T").toList())
                                << "All modules are 1MB to download.";
    QTest::newRow("kilobytes, words and numbers")
        << QByteArray(R"([{"name": "K", "packageSize": "850 KB"},
            {"name": "W", "packageSize": "abc"}, {"name": "N", "packageSize": 5}])")
        << QStringList{"K", "W", "N"} << "All modules are 850MB to download.";
    QTest::newRow("large") << QByteArray(R"([{"name": "L", "packageSize": "1234567 MB"}])")
                           << QStringList{"L"} << "All modules are 1.23457e+06MB to download.";
    QTest::newRow("element that is no record")
        << QByteArray(R"([{"name": "R", "packageSize": "1 MB"}, 7])") << QStringList{"R", ""}
        << "All modules are 1MB to download.";
    QTest::newRow("no modules") << QByteArray("[]") << QStringList()
                                << "All modules are 0MB to download.";
}

void TestTopicView::chosenTopicListsItsModulesWithTheirTotal()
{
    QFETCH(QByteArray, modules);
    QFETCH(QStringList, names);
    QFETCH(QString, total);

    m_server->setJson(QStringLiteral("/api/modules/topic/t-sizes"), modules);
    waitForEveryModule();
    clickRow(m_list, 2);
    QVERIFY(m_list->selectionModel()->isRowSelected(2, QModelIndex()));
    choose(m_topics, QStringLiteral("Sizes"));
    QVERIFY(widget<QPushButton>("downloadAllButton")->isEnabled());
    QTRY_COMPARE(rows(m_list), names);
    QTRY_COMPARE(widget<QLabel>("topicPackageSize")->text(), total);
    QVERIFY(!m_list->selectionModel()->hasSelection());
    QTRY_VERIFY(m_server->requests().contains(QStringLiteral("/api/modules/topic/t-sizes")));
}

void TestTopicView::topicWithNumericIdAsksForEveryModule()
{
    waitForEveryModule();
    choose(m_topics, QStringLiteral("Sizes"));
    QTRY_VERIFY(rows(m_list) != allModuleNames);

    choose(m_topics, QStringLiteral("Numeric"));
    QCOMPARE(m_gm->constLast().at(0).toString(), QString());
    // A real topic was chosen, so the list counts for Download All even though it holds all.
    QVERIFY(widget<QPushButton>("downloadAllButton")->isEnabled());
    waitForEveryModule();
    QTRY_COMPARE(widget<QLabel>("topicPackageSize")->text(),
                 QStringLiteral("All modules are 853.5MB to download."));
}

void TestTopicView::topicNamedAllTopicsIsAskedForButNotDownloadedWhole()
{
    m_server->setJson(QStringLiteral("/api/modules/topic/t-all"),
                      R"([{"name": "Everything", "packageSize": "3 MB"}])");
    m_server->setJson(QStringLiteral("/api/modules/topic/t-x"),
                      R"([{"name": "Xerosis", "packageSize": "4 MB"}])");
    startWindow(R"([{"_id": "t-all", "name": "All topics", "category": "Special Series"},
                    {"_id": "t-x", "name": "Xerosis", "category": "Special Series"}])");
    QTRY_COMPARE(m_topics->count(), 3);

    choose(m_topics, QStringLiteral("Xerosis"));
    QTRY_COMPARE(widget<QLabel>("topicPackageSize")->text(),
                 QStringLiteral("All modules are 4MB to download."));

    m_topics->setCurrentIndex(0);
    QCOMPARE(m_gm->constLast().at(0).toString(), QStringLiteral("t-all"));
    QVERIFY(!widget<QPushButton>("downloadAllButton")->isEnabled());
    QTRY_COMPARE(rows(m_list), QStringList{"Everything"});
    QCOMPARE(widget<QLabel>("topicPackageSize")->text(), QString());
}

void TestTopicView::clickedModuleShowsItsDetails()
{
    waitForEveryModule();

    clickRow(m_list, 0);
    QCOMPARE(widget<QLabel>("moduleName")->text(), QStringLiteral("Measles"));
    QCOMPARE(widget<QLabel>("moduleVersionDetails")->text(), QStringLiteral("3"));
    QCOMPARE(widget<QLabel>("packageSize")->text(), QStringLiteral("850 KB"));
    QCOMPARE(widget<QTextBrowser>("textBrowser_2")->toPlainText(),
             QStringLiteral("Spots and fever"));
    QVERIFY(widget<QLabel>("versionDetailsLabel")->isVisible());
    QVERIFY(widget<QLabel>("moduleVersionDetails")->isVisible());
    QVERIFY(widget<QLabel>("packageSizeLabel")->isVisible());
    QVERIFY(widget<QLabel>("packageSize")->isVisible());
    QVERIFY(!widget<QPushButton>("downloadModuleButton")->isEnabled());

    clickRow(m_list, 1);
    QCOMPARE(widget<QLabel>("moduleName")->text(), QStringLiteral("Mumps"));
    QCOMPARE(widget<QTextBrowser>("textBrowser_2")->toPlainText(),
             QStringLiteral("Swollen glands"));
    QVERIFY(widget<QPushButton>("downloadModuleButton")->isEnabled());

    // Details do not belong to the list: Download All stays as the topic choice left it.
    QVERIFY(!widget<QPushButton>("downloadAllButton")->isEnabled());
}

void TestTopicView::keyboardMoveShowsNoDetails()
{
    waitForEveryModule();
    m_list->setFocus();
    m_list->setCurrentIndex(m_list->model()->index(0, 0));

    QTest::keyClick(m_list, Qt::Key_Down);
    QCOMPARE(m_list->currentIndex().row(), 1);
    QCOMPARE(widget<QLabel>("moduleName")->text(), QString());
    QVERIFY(widget<QLabel>("versionDetailsLabel")->isHidden());

    clickRow(m_list, 0);
    QTest::keyClick(m_list, Qt::Key_Down);
    QCOMPARE(m_list->currentIndex().row(), 1);
    QCOMPARE(widget<QLabel>("moduleName")->text(), QStringLiteral("Measles"));
}

void TestTopicView::choosingATopicEmptiesTheDetailsAtOnce()
{
    TestServer::Answer never;
    never.hang = true;
    m_server->setAnswer(QStringLiteral("/api/modules/topic/t-zinc"), never);
    waitForEveryModule();
    clickRow(m_list, 1);
    QVERIFY(widget<QPushButton>("downloadModuleButton")->isEnabled());
    auto *progress = widget<QProgressBar>("progressBar");
    progress->setMaximum(4000);
    progress->setValue(1500);

    choose(m_topics, QStringLiteral("Zinc"));
    QCOMPARE(widget<QLabel>("moduleName")->text(), QString());
    QCOMPARE(widget<QTextBrowser>("textBrowser_2")->toPlainText(), QString());
    QVERIFY(!widget<QPushButton>("downloadModuleButton")->isEnabled());
    QVERIFY(widget<QLabel>("versionDetailsLabel")->isHidden());
    QVERIFY(widget<QLabel>("moduleVersionDetails")->isHidden());
    QVERIFY(widget<QLabel>("packageSizeLabel")->isHidden());
    QVERIFY(widget<QLabel>("packageSize")->isHidden());
    QCOMPARE(progress->maximum(), 100);
    QCOMPARE(progress->value(), 0);
    QVERIFY(widget<QPushButton>("downloadAllButton")->isEnabled());
    QCOMPARE(m_gm->constLast().at(0).toString(), QStringLiteral("t-zinc"));
    // The old list stays until the new one arrives.
    QCOMPARE(rows(m_list), allModuleNames);
}

void TestTopicView::listAskedForDuringACopyArrivesBeforeItsEnd()
{
    waitForEveryModule();
    ScratchDrive drive;
    QString missing;
    if (!drive.mountFat32(40 << 20, &missing))
        QSKIP(qPrintable(QStringLiteral("No FAT32 drive can be mounted here: ") + missing));
    // Megabytes onto FUSE's FAT take a second or more; a list comes in milliseconds.
    const QString library = storedLibraryFolder();
    for (int part = 0; part < 12; ++part)
        writeFile(library + QStringLiteral("/Films/part%1.bin").arg(part),
                  QByteArray(2 << 20, char('a' + part)));
    auto *log = widget<QPlainTextEdit>("logWindow");
    const auto copied = [log] { return log->toPlainText().contains("Modules copied!"); };

    emit m_window->copyDirs(library, drive.path() + QStringLiteral("/Tavro Modules"));
    choose(m_categories, QStringLiteral("Disorders and Conditions"));
    QTRY_COMPARE(rows(m_list),
                 (QStringList{"Malaria basics", "Malaria prevention", "Malaria in children"}));
    QVERIFY(!copied());
    // The drive goes with this function: the copy must be over first.
    QTRY_VERIFY_WITH_TIMEOUT(copied(), 120000);
}

CORVELLE_TEST_MAIN(TestTopicView)
#include "tst_topicview.moc"
