// The library tab: the table built from the library index, the version flags and ticks, and
// the chain of updates started by "Update Checked Modules".
#include "library/versioncheck.h"
#include "support/messagelog.h"
#include "support/testenvironment.h"
#include "support/windowfixture.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <memory>

class LibraryTableTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void versionCheck_data();
    void versionCheck();

    void table_hasItsColumnsAndHeader();
    void rows_showTheIndexAndFlagOtherCatalogueVersions_data();
    void rows_showTheIndexAndFlagOtherCatalogueVersions();
    void rows_comparedOnlyWithTheListedModules();
    void lineThatIsNotARecord_keepsAnEmptyRow();
    void rows_takeTheHeightOfTheirText();
    void missingOrEmptyIndex_givesNoRows();
    void updateChain_takesTheTicksTopRowFirst();
    void updateChain_findsTickedModulesWhateverListIsShown();
    void updateChain_stopsWithAWordAtAModuleThatIsNotListed();

private:
    static QJsonObject record(const QString &moduleId, const QString &version);
    QJsonObject listed(const QString &moduleId, const QString &version) const;
    void writeIndex(const QList<QByteArray> &lines);
    void listModules(const QJsonArray &modules);
    QTableWidget *table() const { return widget<QTableWidget>("moduleTable"); }

    std::unique_ptr<MessageLog> m_log;
    QString m_library;
};

void LibraryTableTest::init()
{
    startServer();
    answerStartUpWithoutTopics();
    m_log = std::make_unique<MessageLog>();
    m_library = openWindowOnEmptyLibrary();
}

void LibraryTableTest::cleanup()
{
    stopAll();
    m_log.reset();
}

QJsonObject LibraryTableTest::record(const QString &moduleId, const QString &version)
{
    return QJsonObject{{QStringLiteral("_id"), moduleId},
                       {QStringLiteral("name"), QStringLiteral("Module ") + moduleId},
                       {QStringLiteral("version"), version},
                       {QStringLiteral("packageSize"), QStringLiteral("1.5 MB")}};
}

QJsonObject LibraryTableTest::listed(const QString &moduleId, const QString &version) const
{
    QJsonObject listed = record(moduleId, version);
    listed[QStringLiteral("downloadLink")] =
        m_server->baseUrl() + QStringLiteral("/files/") + moduleId + QStringLiteral(".zip");
    return listed;
}

void LibraryTableTest::writeIndex(const QList<QByteArray> &lines)
{
    QFile index(m_library + QStringLiteral("/tavro-modules.txt"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    for (const QByteArray &line : lines)
        index.write(line + "\n");
}

void LibraryTableTest::listModules(const QJsonArray &modules)
{
    QVERIFY(invoke("refreshModuleList", Q_ARG(QJsonArray, modules)));
}

static QByteArray line(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

void LibraryTableTest::versionCheck_data()
{
    QTest::addColumn<QStringList>("catalogue"); // "id=version" per listed record, in order
    QTest::addColumn<QString>("installed");
    QTest::addColumn<bool>("flagged");
    QTest::addColumn<QString>("offered");
    QTest::newRow("same version") << QStringList{"m=1.0"} << "1.0" << false << "";
    QTest::newRow("newer") << QStringList{"m=1.1"} << "1.0" << true << "1.1";
    QTest::newRow("older") << QStringList{"m=0.9"} << "1.0" << true << "0.9";
    QTest::newRow("same value, other text") << QStringList{"m=1.0"} << "1" << true << "1.0";
    QTest::newRow("not listed") << QStringList{"other=2.0"} << "1.0" << false << "";
    QTest::newRow("listed twice, last differs")
        << QStringList{"m=1.0", "m=2.0"} << "1.0" << true << "2.0";
    QTest::newRow("listed twice, first differs")
        << QStringList{"m=3.0", "m=1.0"} << "1.0" << true << "3.0";
    QTest::newRow("last differing wins")
        << QStringList{"m=2.0", "m=3.0", "m=1.0", "m=1.0"} << "1.0" << true << "3.0";
    QTest::newRow("listed twice, both differ")
        << QStringList{"m=2.0", "m=3.0"} << "1.0" << true << "3.0";
    QTest::newRow("listed twice, same") << QStringList{"m=1.0", "m=1.0"} << "1.0" << false << "";
}

void LibraryTableTest::versionCheck()
{
    QFETCH(QStringList, catalogue);
    QFETCH(QString, installed);
    QFETCH(bool, flagged);
    QFETCH(QString, offered);
    QJsonArray modules{QStringLiteral("not a record")};
    for (const QString &entry : catalogue)
        modules.append(record(entry.section('=', 0, 0), entry.section('=', 1)));
    // Given the catalogue's ids or not, it gives the same answers.
    QStringList catalogueIds{QString()};
    for (const QString &entry : catalogue)
        catalogueIds << entry.section('=', 0, 0);
    for (const QStringList &ids : {QStringList(), catalogueIds}) {
        const VersionCheck check(modules, {QStringLiteral("m")}, ids);
        QString version;
        QCOMPARE(check.differs(QStringLiteral("m"), installed, &version), flagged);
        if (flagged)
            QCOMPARE(version, offered);
    }
}

void LibraryTableTest::table_hasItsColumnsAndHeader()
{
    writeIndex({line(record("m1", "1.0"))});
    listModules({});
    QTableWidget *t = table();
    QCOMPARE(t->columnCount(), 5);
    const QStringList labels = {"", "Name", "Version", "Size", "Id"};
    const int widths[] = {25, 550, 50, 70, 150};
    for (int column = 0; column < 5; ++column) {
        QTableWidgetItem *header = t->horizontalHeaderItem(column);
        QVERIFY(header);
        QCOMPARE(header->text(), labels.at(column));
        // The last column stretches to the table's edge.
        if (column < 4)
            QCOMPARE(t->columnWidth(column), widths[column]);
        const Qt::Alignment horizontal =
            Qt::Alignment(header->textAlignment()) & Qt::AlignHorizontal_Mask;
        QCOMPARE(horizontal, column == 1 || column == 4 ? Qt::AlignLeft : Qt::AlignHCenter);
        QCOMPARE(header->font().family(), QStringLiteral("Helvetica"));
        QCOMPARE(header->font().pointSize(), 8);
        QCOMPARE(header->font().weight(), 75);
        QVERIFY(!header->font().italic());
    }
    QVERIFY(t->horizontalHeader()->stretchLastSection());
    QCOMPARE(t->horizontalHeader()->minimumHeight(), 25);
    QCOMPARE(t->horizontalHeader()->maximumHeight(), 25);
    QVERIFY(t->alternatingRowColors());
    QCOMPARE(t->styleSheet(), QStringLiteral("alternate-background-color: #e2f0d9;"));
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(t->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(t->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QVERIFY(m_log->contains(QStringLiteral("updateModuleTable() Called")));

    // Cells: the box centred, names and ids left, version and size centred.
    const Qt::Alignment cells[] = {Qt::AlignCenter, Qt::AlignLeft | Qt::AlignVCenter,
                                   Qt::AlignCenter, Qt::AlignCenter,
                                   Qt::AlignLeft | Qt::AlignVCenter};
    for (int column = 0; column < 5; ++column)
        QCOMPARE(Qt::Alignment(t->item(0, column)->textAlignment()), cells[column]);
}

void LibraryTableTest::rows_showTheIndexAndFlagOtherCatalogueVersions_data()
{
    QTest::addColumn<QString>("catalogueVersion");
    QTest::addColumn<bool>("flagged");
    QTest::newRow("up to date") << "1.0" << false;
    QTest::newRow("newer in the catalogue") << "1.1" << true;
    QTest::newRow("older in the catalogue") << "0.9" << true;
    QTest::newRow("trailing zero") << "1.0.0" << true;
}

void LibraryTableTest::rows_showTheIndexAndFlagOtherCatalogueVersions()
{
    QFETCH(QString, catalogueVersion);
    QFETCH(bool, flagged);
    writeIndex({line(record("m0", "2.0")), line(record("m1", "1.0"))});
    listModules({listed("m0", "2.0"), listed("m1", catalogueVersion)});
    QTableWidget *t = table();
    QCOMPARE(t->rowCount(), 2);

    QCOMPARE(t->item(0, 1)->text(), QStringLiteral("Module m0"));
    QCOMPARE(t->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(t->item(1, 0)->checkState(), flagged ? Qt::Checked : Qt::Unchecked);
    QCOMPARE(t->item(1, 1)->text(),
             flagged ? QStringLiteral("Module m1\nNew Version Available: ") + catalogueVersion
                     : QStringLiteral("Module m1"));
    QCOMPARE(t->item(1, 2)->text(), QStringLiteral("1.0"));
    QCOMPARE(t->item(1, 3)->text(), QStringLiteral("1.5 MB"));
    QCOMPARE(t->item(1, 4)->text(), QStringLiteral("m1"));
    QVERIFY(t->item(1, 0)->text().isEmpty());
    // A flagged name takes two lines of text.
    if (flagged)
        QVERIFY(t->rowHeight(1) > t->rowHeight(0));
}

void LibraryTableTest::rows_comparedOnlyWithTheListedModules()
{
    writeIndex({line(record("m1", "1.0")), line(record("m2", "1.0"))});
    listModules({listed("m1", "2.0"), listed("m2", "2.0")});
    QCOMPARE(table()->item(1, 0)->checkState(), Qt::Checked);

    // One topic's list: the other module is no longer compared, and ticks are computed anew.
    table()->item(0, 0)->setCheckState(Qt::Unchecked);
    listModules({listed("m1", "2.0")});
    QCOMPARE(table()->item(0, 0)->checkState(), Qt::Checked);
    QCOMPARE(table()->item(1, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(table()->item(1, 1)->text(), QStringLiteral("Module m2"));
    // Its name lost the line of its new version, and its row that height.
    QVERIFY(table()->rowHeight(1) < table()->rowHeight(0));
}

void LibraryTableTest::lineThatIsNotARecord_keepsAnEmptyRow()
{
    writeIndex({line(record("m1", "1.0")), "not json", "[1,2]", "", line(record("m2", "1.0"))});
    listModules({listed("m2", "2.0")});
    QTableWidget *t = table();
    QCOMPARE(t->rowCount(), 5);
    for (int row = 1; row < 4; ++row) {
        for (int column = 0; column < 5; ++column)
            QVERIFY(!t->item(row, column));
    }
    QCOMPARE(t->item(4, 4)->text(), QStringLiteral("m2"));
    QCOMPARE(t->item(4, 0)->checkState(), Qt::Checked);
}

void LibraryTableTest::rows_takeTheHeightOfTheirText()
{
    QJsonObject longSize = record("m3", "1.0");
    longSize[QStringLiteral("packageSize")] = QStringLiteral("0.0042 MB of lessons");
    QJsonObject longName = record("m4", "1.0");
    longName[QStringLiteral("name")] = QString(120, QLatin1Char('w'));
    writeIndex({line(record("m1", "1.0")), line(record("m2", "1.0")), "not json", line(longSize),
                line(longName), line(record("m5", "1.0"))});
    listModules({listed("m2", "2.0")});

    QTableWidget *t = table();
    QVERIFY(t->rowHeight(1) > t->rowHeight(0)); // the flagged name takes two lines
    QVERIFY(t->rowHeight(3) > t->rowHeight(0)); // the size wraps in its narrow column
}

void LibraryTableTest::missingOrEmptyIndex_givesNoRows()
{
    writeIndex({line(record("m1", "1.0"))});
    listModules({});
    QCOMPARE(table()->rowCount(), 1);

    QVERIFY(QFile::remove(m_library + QStringLiteral("/tavro-modules.txt")));
    listModules({});
    QCOMPARE(table()->rowCount(), 0);
    QCOMPARE(table()->columnCount(), 5);
    QVERIFY(m_log->contains(QStringLiteral("Error opening file")));

    m_log->clear();
    writeIndex({});
    listModules({});
    QCOMPARE(table()->rowCount(), 0);
    QVERIFY(!m_log->contains(QStringLiteral("Error")));
}

void LibraryTableTest::updateChain_takesTheTicksTopRowFirst()
{
    // Hand ticks count as well as flags; a partly ticked box does not. The archives never
    // answer, so the chain stays at its first module.
    TestServer::Answer stalls;
    stalls.hang = true;
    for (const char *id : {"m1", "m2", "m3", "m4"})
        m_server->setAnswer(QStringLiteral("/files/%1.zip").arg(id), stalls);
    writeIndex({line(record("m1", "1.0")), line(record("m2", "1.0")), line(record("m3", "1.0")),
                line(record("m4", "1.0"))});
    listModules(
        {listed("m1", "1.0"), listed("m2", "1.0"), listed("m3", "2.0"), listed("m4", "1.0")});
    table()->item(1, 0)->setCheckState(Qt::Checked);
    table()->item(3, 0)->setCheckState(Qt::PartiallyChecked);

    widget<QPushButton>("updateCheckedModulesButton")->click();
    QCOMPARE(widget<QLabel>("updateModuleLabel")->text(), QStringLiteral("Updating Module Id m2"));
    QVERIFY(!widget<QProgressBar>("updateProgressBar")->isHidden());
    QTRY_COMPARE(m_server->requests().filter(QStringLiteral("/files/")),
                 QStringList{QStringLiteral("/files/m2.zip")});
}

void LibraryTableTest::updateChain_findsTickedModulesWhateverListIsShown()
{
    // The first update is still under way when another topic's list replaces the one that
    // flagged both modules.
    TestServer::Answer slow;
    slow.delayMs = 300;
    m_server->setAnswer(QStringLiteral("/files/m1.zip"), slow);
    m_server->setAnswer(QStringLiteral("/files/m2.zip"), TestServer::Answer());
    writeIndex({line(record("m1", "1.0")), line(record("m2", "1.0"))});
    listModules({listed("m1", "2.0"), listed("m2", "2.0")});

    widget<QPushButton>("updateCheckedModulesButton")->click();
    listModules({listed("m9", "1.0")});
    QTRY_COMPARE(m_server->requests().filter(QStringLiteral("/files/")),
                 (QStringList{QStringLiteral("/files/m1.zip"), QStringLiteral("/files/m2.zip")}));
}

void LibraryTableTest::updateChain_stopsWithAWordAtAModuleThatIsNotListed()
{
    QStringList status;
    recordStatusLines(&status);
    for (const char *id : {"m1", "m3"})
        m_server->setAnswer(QStringLiteral("/files/%1.zip").arg(id), TestServer::Answer());
    writeIndex({line(record("m1", "1.0")), line(record("gone", "1.0")), line(record("m3", "1.0"))});
    listModules({listed("m1", "2.0"), listed("m3", "2.0")});
    // Ticked by hand: no list the window received holds the module.
    table()->item(1, 0)->setCheckState(Qt::Checked);

    widget<QPushButton>("updateCheckedModulesButton")->click();
    QTRY_VERIFY(!status.filter(QStringLiteral("Module gone")).isEmpty());
    QCOMPARE(widget<QLabel>("updateModuleLabel")->text(), QString());
    QVERIFY(widget<QProgressBar>("updateProgressBar")->isHidden());
    // The queue is cleared: the module after it is not updated.
    QTest::qWait(300);
    const QStringList archives = m_server->requests().filter(QStringLiteral("/files/"));
    QCOMPARE(archives, QStringList{QStringLiteral("/files/m1.zip")});
}

CORVELLE_TEST_MAIN(LibraryTableTest)

#include "tst_librarytable.moc"
