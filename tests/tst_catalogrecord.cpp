#include "browse/catalogrecord.h"
#include "browse/homepagejump.h"
#include "browse/topicchoice.h"

#include <QJsonDocument>
#include <QtTest>

namespace {
QJsonObject record(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

QJsonArray array(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).array();
}
} // namespace

class TestCatalogRecord : public QObject
{
    Q_OBJECT

private slots:
    void wholeNumbersAreOnlyWholeJsonNumbers_data();
    void wholeNumbersAreOnlyWholeJsonNumbers();
    void stringsReadOnlyFromJsonStrings_data();
    void stringsReadOnlyFromJsonStrings();
    void onlyJsonTrueReadsAsTrue_data();
    void onlyJsonTrueReadsAsTrue();
    void arraysReadOnlyFromJsonArrays_data();
    void arraysReadOnlyFromJsonArrays();
    void elementsThatAreNoObjectsReadAsEmptyRecords();

    void sizeCountsItsLeadingNumberOnly_data();
    void sizeCountsItsLeadingNumberOnly();
    void totalTextSumsInSinglePrecisionWithSixDigits_data();
    void totalTextSumsInSinglePrecisionWithSixDigits();

    void lookupByNameTakesTheLastWholeExactMatch_data();
    void lookupByNameTakesTheLastWholeExactMatch();
    void excludedModulesLeaveTheLetterList();

    void topicNamesAreDistinctAndSortedByCodeUnits_data();
    void topicNamesAreDistinctAndSortedByCodeUnits();
    void categoriesComeInTheirFixedOrder();

    void homepageButtonsNameTheirSlot_data();
    void homepageButtonsNameTheirSlot();
    void moduleNamesLeadToTheirLetterButton_data();
    void moduleNamesLeadToTheirLetterButton();
};

void TestCatalogRecord::wholeNumbersAreOnlyWholeJsonNumbers_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("holdsTwo");

    QTest::newRow("2") << QByteArray(R"({"aorder": 2})") << 2 << true;
    QTest::newRow("2.0") << QByteArray(R"({"aorder": 2.0})") << 2 << true;
    QTest::newRow("2.5") << QByteArray(R"({"aorder": 2.5})") << 0 << false;
    QTest::newRow("string 2") << QByteArray(R"({"aorder": "2"})") << 0 << false;
    QTest::newRow("missing") << QByteArray(R"({"name": "x"})") << 0 << false;
    QTest::newRow("null") << QByteArray(R"({"aorder": null})") << 0 << false;
    QTest::newRow("true") << QByteArray(R"({"aorder": true})") << 0 << false;
    QTest::newRow("beyond int") << QByteArray(R"({"aorder": 3e10})") << 0 << false;
    QTest::newRow("negative") << QByteArray(R"({"aorder": -4})") << -4 << false;
}

void TestCatalogRecord::wholeNumbersAreOnlyWholeJsonNumbers()
{
    QFETCH(QByteArray, json);
    QFETCH(int, number);
    QFETCH(bool, holdsTwo);

    QCOMPARE(CatalogRecord(record(json)).aorder(), number);
    QCOMPARE(CatalogRecord(record(json)).aorder() == 2, holdsTwo);
}

void TestCatalogRecord::stringsReadOnlyFromJsonStrings_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("text");

    QTest::newRow("string") << QByteArray(R"({"_id": "m-17"})") << "m-17";
    QTest::newRow("html kept as it is") << QByteArray(R"({"_id": "<b>A</b> "})") << "<b>A</b> ";
    QTest::newRow("numeric id") << QByteArray(R"({"_id": 17})") << "";
    QTest::newRow("null") << QByteArray(R"({"_id": null})") << "";
    QTest::newRow("boolean") << QByteArray(R"({"_id": true})") << "";
    QTest::newRow("array") << QByteArray(R"({"_id": ["m-17"]})") << "";
    QTest::newRow("object") << QByteArray(R"({"_id": {"v": "m-17"}})") << "";
    QTest::newRow("missing") << QByteArray(R"({"id": "m-17"})") << "";
}

void TestCatalogRecord::stringsReadOnlyFromJsonStrings()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, text);

    QCOMPARE(CatalogRecord(record(json)).id(), text);
}

void TestCatalogRecord::onlyJsonTrueReadsAsTrue_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("value");

    QTest::newRow("true") << QByteArray(R"({"excludeFromList": true})") << true;
    QTest::newRow("false") << QByteArray(R"({"excludeFromList": false})") << false;
    QTest::newRow("string true") << QByteArray(R"({"excludeFromList": "true"})") << false;
    QTest::newRow("number 1") << QByteArray(R"({"excludeFromList": 1})") << false;
    QTest::newRow("missing") << QByteArray(R"({})") << false;
}

void TestCatalogRecord::onlyJsonTrueReadsAsTrue()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, value);

    QCOMPARE(CatalogRecord(record(json)).excludeFromList(), value);
}

void TestCatalogRecord::arraysReadOnlyFromJsonArrays_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("size");

    QTest::newRow("array") << QByteArray(R"({"modules": ["a", 2]})") << 2;
    QTest::newRow("empty array") << QByteArray(R"({"modules": []})") << 0;
    QTest::newRow("string") << QByteArray(R"({"modules": "a,b"})") << 0;
    QTest::newRow("object") << QByteArray(R"({"modules": {"a": 1}})") << 0;
    QTest::newRow("missing") << QByteArray(R"({})") << 0;
}

void TestCatalogRecord::arraysReadOnlyFromJsonArrays()
{
    QFETCH(QByteArray, json);
    QFETCH(int, size);

    QCOMPARE(CatalogRecord(record(json)).hasModules(), size > 0);
}

void TestCatalogRecord::elementsThatAreNoObjectsReadAsEmptyRecords()
{
    const QJsonArray records = array(R"(["Malaria", 7, null, {"name": "Measles"}])");

    QCOMPARE(CatalogRecord::names(records), (QStringList{"", "", "", "Measles"}));
    QVERIFY(CatalogRecord(records.at(0)).json().isEmpty());
    QVERIFY(CatalogRecord(records.at(4)).json().isEmpty());
    QVERIFY(CatalogRecord(records.at(-1)).json().isEmpty());
}

void TestCatalogRecord::sizeCountsItsLeadingNumberOnly_data()
{
    QTest::addColumn<QString>("packageSize");
    QTest::addColumn<float>("size");

    QTest::newRow("megabytes") << "1.5 MB" << 1.5f;
    QTest::newRow("kilobytes counted as they stand") << "850 KB" << 850.0f;
    QTest::newRow("zero") << "0 MB" << 0.0f;
    QTest::newRow("without unit") << "12.5" << 12.5f;
    QTest::newRow("word first") << "abc" << 0.0f;
    QTest::newRow("unit first") << "MB 12" << 0.0f;
    QTest::newRow("leading blank") << " 3 MB" << 0.0f;
    QTest::newRow("decimal comma") << "1,5 MB" << 0.0f;
    QTest::newRow("empty") << "" << 0.0f;
    QTest::newRow("not a number") << "nan MB" << 0.0f;
    QTest::newRow("infinite") << "inf MB" << 0.0f;
    QTest::newRow("beyond single precision") << "1e39 MB" << 0.0f;
}

void TestCatalogRecord::sizeCountsItsLeadingNumberOnly()
{
    QFETCH(QString, packageSize);
    QFETCH(float, size);

    QCOMPARE(CatalogRecord::leadingSize(packageSize), size);
}

void TestCatalogRecord::totalTextSumsInSinglePrecisionWithSixDigits_data()
{
    QTest::addColumn<QStringList>("sizes");
    QTest::addColumn<QString>("text");

    QTest::newRow("3.75") << QStringList{"1.5 MB", "2 MB", "0.25 MB"}
                          << "All modules are 3.75MB to download.";
    QTest::newRow("ten tenths") << QStringList(
                                       QVector<QString>(10, QStringLiteral("0.1 MB")).toList())
                                << "All modules are 1MB to download.";
    QTest::newRow("no modules") << QStringList() << "All modules are 0MB to download.";
    QTest::newRow("kilobytes and words")
        << QStringList{"850 KB", "abc", "1 MB"} << "All modules are 851MB to download.";
    QTest::newRow("six digits stay plain")
        << QStringList{"100000 MB", "99999 MB"} << "All modules are 199999MB to download.";
    QTest::newRow("large goes scientific")
        << QStringList{"1000000 MB", "234567 MB"} << "All modules are 1.23457e+06MB to download.";
    QTest::newRow("tiny goes scientific")
        << QStringList{"0.00001 MB"} << "All modules are 1e-05MB to download.";
}

void TestCatalogRecord::totalTextSumsInSinglePrecisionWithSixDigits()
{
    QFETCH(QStringList, sizes);
    QFETCH(QString, text);

    float total = 0.0f;
    for (const QString &size : sizes)
        total += CatalogRecord::leadingSize(size);
    QCOMPARE(CatalogRecord::totalSizeText(total), text);
}

void TestCatalogRecord::lookupByNameTakesTheLastWholeExactMatch_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("position");

    QTest::newRow("later of two") << "B"
                                  << "l-b2" << 3;
    QTest::newRow("single") << "X-Y-Z"
                            << "l-xyz" << 4;
    QTest::newRow("other case") << "b"
                                << "" << -1;
    QTest::newRow("trailing blank") << "B "
                                    << "" << -1;
    QTest::newRow("part of a name") << "X"
                                    << "" << -1;
    QTest::newRow("last match has a numeric id") << "C"
                                                 << "" << 6;
    QTest::newRow("empty name matches the records without one") << ""
                                                                << "l-none" << 7;
}

void TestCatalogRecord::lookupByNameTakesTheLastWholeExactMatch()
{
    QFETCH(QString, name);
    QFETCH(QString, id);
    QFETCH(int, position);

    const QJsonArray letters = array(R"([
        {"name": "A", "_id": "l-a"}, {"name": "B", "_id": "l-b1"}, {"name": "C", "_id": "l-c"},
        {"name": "B", "_id": "l-b2"}, {"name": "X-Y-Z", "_id": "l-xyz"}, "B",
        {"name": "C", "_id": 3}, {"_id": "l-none"}])");

    QCOMPARE(CatalogRecord::lastIdNamed(letters, name), id);
    QCOMPARE(CatalogRecord::lastPositionNamed(letters, name), position);
}

void TestCatalogRecord::excludedModulesLeaveTheLetterList()
{
    const QJsonArray modules = array(R"([
        {"name": "P"}, {"name": "Q", "excludeFromList": true},
        {"name": "R", "excludeFromList": "true"}, {"name": "S", "excludeFromList": false},
        "T"])");

    QCOMPARE(CatalogRecord::names(CatalogRecord::listedModules(modules)),
             (QStringList{"P", "R", "S", ""}));
}

void TestCatalogRecord::topicNamesAreDistinctAndSortedByCodeUnits_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("all categories")
        << "All categories" << QStringList{"Malaria", "Zinc", "acne", "Émile"};
    QTest::newRow("one category") << "Disorders and Conditions" << QStringList{"Malaria", "acne"};
    QTest::newRow("category in other case") << "disorders and conditions" << QStringList();
    QTest::newRow("category without topics") << "Language Translations" << QStringList();
}

void TestCatalogRecord::topicNamesAreDistinctAndSortedByCodeUnits()
{
    QFETCH(QString, category);
    QFETCH(QStringList, names);

    const QJsonArray topics = array(R"([
        {"name": "acne", "category": "Disorders and Conditions"},
        {"name": "Zinc", "category": "Health and Wellness"},
        {"name": "Malaria", "category": "Disorders and Conditions", "_id": "t1"},
        {"name": "Émile", "category": "Special Series"},
        {"name": "Malaria", "category": "Disorders and Conditions", "_id": "t2"}])");

    QCOMPARE(TopicChoice::topicNamesUnder(topics, category), names);
}

void TestCatalogRecord::categoriesComeInTheirFixedOrder()
{
    QCOMPARE(TopicChoice::categories(),
             (QStringList{"All categories", "Body Location and Systems", "Disorders and Conditions",
                          "Diagnosis and Therapy", "Demographic Groups", "Health and Wellness",
                          "Language Translations", "Special Series"}));
}

void TestCatalogRecord::homepageButtonsNameTheirSlot_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("slot");

    QTest::newRow("slot 3") << "module_3_button" << 3;
    QTest::newRow("slot 4") << "module_4_button" << 4;
    QTest::newRow("lowest digit wins") << "b42_1" << 1;
    QTest::newRow("digit in first place does not count") << "3_button" << 0;
    QTest::newRow("no digit") << "button" << 0;
    QTest::newRow("no name") << "" << 0;
}

void TestCatalogRecord::homepageButtonsNameTheirSlot()
{
    QFETCH(QString, objectName);
    QFETCH(int, slot);

    QCOMPARE(HomepageJump::slotNumber(objectName), slot);
}

void TestCatalogRecord::moduleNamesLeadToTheirLetterButton_data()
{
    QTest::addColumn<QString>("moduleName");
    QTest::addColumn<QString>("buttonName");

    QTest::newRow("upper case") << "Malaria"
                                << "am_button_m";
    QTest::newRow("lower case") << "wound care"
                                << "am_button_w";
    QTest::newRow("x") << "Xerosis"
                       << "am_button_xyz";
    QTest::newRow("y lower") << "yaws"
                             << "am_button_xyz";
    QTest::newRow("z") << "Zinc"
                       << "am_button_xyz";
    QTest::newRow("digit") << "3 fevers"
                           << "am_button_3";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCatalogRecord::moduleNamesLeadToTheirLetterButton()
{
    QFETCH(QString, moduleName);
    QFETCH(QString, buttonName);

    QCOMPARE(HomepageJump::letterButtonName(moduleName), buttonName);
}

QTEST_GUILESS_MAIN(TestCatalogRecord)
#include "tst_catalogrecord.moc"
