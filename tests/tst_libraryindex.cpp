#include "library/libraryindex.h"
#include "support/testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QScopedPointer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QJsonObject record(const QByteArray &json)
{
    return QJsonDocument::fromJson(json).object();
}

} // namespace

class LibraryIndexTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void path_isTheIndexFileInTheLibraryFolder();
    void firstMerge_createsFileWithOneLine();
    void merge_rewritesLines_data();
    void merge_rewritesLines();
    void merge_keepsUnreadableIndex();
    void merge_keepsUnopenableIndexWhenNotRoot();
    void merge_inReadOnlyFolder_changesNothing_data();
    void merge_inReadOnlyFolder_changesNothing();
    void read_givesOneLinePerLine_data();
    void read_givesOneLinePerLine();
    void read_missingFile_fails();
    void read_seesWhatMergeWrote();

private:
    void writeIndex(const QByteArray &content);
    QByteArray indexContent() const;

    QScopedPointer<QTemporaryDir> m_library;
};

void LibraryIndexTest::init()
{
    m_library.reset(new QTemporaryDir);
    QVERIFY(m_library->isValid());
}

void LibraryIndexTest::cleanup()
{
    QFile::setPermissions(m_library->path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The replacement leaves no temporary files behind.
    const QStringList left =
        QDir(m_library->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QVERIFY2(left.isEmpty() || left == QStringList{"tavro-modules.txt"},
             qPrintable(left.join(", ")));
    m_library.reset();
}

void LibraryIndexTest::writeIndex(const QByteArray &content)
{
    QFile file(LibraryIndex::path(m_library->path()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray LibraryIndexTest::indexContent() const
{
    QFile file(LibraryIndex::path(m_library->path()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no index>");
}

void LibraryIndexTest::path_isTheIndexFileInTheLibraryFolder()
{
    QCOMPARE(LibraryIndex::path(QStringLiteral("/home/amara/Desktop/Tavro Modules")),
             QStringLiteral("/home/amara/Desktop/Tavro Modules/tavro-modules.txt"));
}

void LibraryIndexTest::firstMerge_createsFileWithOneLine()
{
    const LibraryIndex::Result result = LibraryIndex::merge(
        m_library->path(),
        record(R"({ "_id": "malaria", "name": "Malaria", "version": "1.2", "extra": [1, 2] })"));

    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(indexContent(),
             QByteArray(R"({"_id":"malaria","extra":[1,2],"name":"Malaria","version":"1.2"})"
                        "\n"));
}

void LibraryIndexTest::merge_rewritesLines_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("merged");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("listed module replaced in place")
        << QByteArray("{\"_id\":\"a\",\"version\":\"1\"}\n"
                      "{\"_id\":\"b\",\"version\":\"1\"}\n"
                      "{\"_id\":\"c\",\"version\":\"1\"}\n")
        << QByteArray(R"({"_id":"b","version":"2"})")
        << QByteArray("{\"_id\":\"a\",\"version\":\"1\"}\n"
                      "{\"_id\":\"b\",\"version\":\"2\"}\n"
                      "{\"_id\":\"c\",\"version\":\"1\"}\n");
    QTest::newRow("new module appended")
        << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\"}\n") << QByteArray(R"({"_id":"c"})")
        << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\"}\n{\"_id\":\"c\"}\n");
    QTest::newRow("same id on two lines")
        << QByteArray("{\"_id\":\"a\",\"v\":1}\n{\"_id\":\"b\"}\n{\"_id\":\"a\",\"v\":0}\n")
        << QByteArray(R"({"_id":"a","v":2})")
        << QByteArray("{\"_id\":\"a\",\"v\":2}\n{\"_id\":\"b\"}\n{\"_id\":\"a\",\"v\":2}\n");
    QTest::newRow("blank and invalid lines dropped")
        << QByteArray("{\"_id\":\"a\"}\n\nnot json\n[1,2]\n\"text\"\n{\"_id\":\"b\"\n")
        << QByteArray(R"({"_id":"c"})") << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"c\"}\n");
    QTest::newRow("spaced lines made compact")
        << QByteArray("  { \"_id\" : \"a\" ,  \"name\" : \"A\" }  \n")
        << QByteArray(R"({"_id":"b"})")
        << QByteArray("{\"_id\":\"a\",\"name\":\"A\"}\n{\"_id\":\"b\"}\n");
    QTest::newRow("missing or numeric id counts as empty")
        << QByteArray("{\"name\":\"no id\"}\n{\"_id\":\"a\"}\n{\"_id\":7,\"name\":\"number\"}\n")
        << QByteArray(R"({"name":"also no id"})")
        << QByteArray("{\"name\":\"also no id\"}\n{\"_id\":\"a\"}\n{\"name\":\"also no id\"}\n");
    QTest::newRow("numeric id does not match its digits")
        << QByteArray("{\"_id\":\"7\"}\n") << QByteArray(R"({"_id":7})")
        << QByteArray("{\"_id\":\"7\"}\n{\"_id\":7}\n");
    QTest::newRow("lines ending in CRLF")
        << QByteArray("{\"_id\":\"a\"}\r\n{\"_id\":\"b\",\"v\":1}\r\n")
        << QByteArray(R"({"_id":"b","v":2})")
        << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\",\"v\":2}\n");
    QTest::newRow("last line without line end")
        << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\"}") << QByteArray(R"({"_id":"c"})")
        << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\"}\n{\"_id\":\"c\"}\n");
    QTest::newRow("line counts up to its first NUL")
        << QByteArray("{\"_id\":\"a\"}") + '\0' + "garbage\n{\"_id\":\"b\"}\n"
        << QByteArray(R"({"_id":"c"})")
        << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\"}\n{\"_id\":\"c\"}\n");
    QTest::newRow("text beyond ASCII kept")
        << QByteArray("{\"_id\":\"a\",\"name\":\"Paludisme – prévention\"}\n")
        << QByteArray(R"({"_id":"b","name":"ملاريا"})")
        << QByteArray("{\"_id\":\"a\",\"name\":\"Paludisme – prévention\"}\n"
                      "{\"_id\":\"b\",\"name\":\"ملاريا\"}\n");
    QTest::newRow("empty file") << QByteArray() << QByteArray(R"({"_id":"a"})")
                                << QByteArray("{\"_id\":\"a\"}\n");
}

void LibraryIndexTest::merge_rewritesLines()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, merged);
    QFETCH(QByteArray, after);
    writeIndex(before);

    const LibraryIndex::Result result = LibraryIndex::merge(m_library->path(), record(merged));

    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(indexContent(), after);
}

void LibraryIndexTest::merge_keepsUnreadableIndex()
{
    // Something that exists at the index path but cannot be read as a file.
    const QString index = LibraryIndex::path(m_library->path());
    QVERIFY(QDir().mkdir(index));
    QFile kept(index + "/kept");
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();

    const LibraryIndex::Result result =
        LibraryIndex::merge(m_library->path(), record(R"({"_id":"a"})"));

    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("Error opening file"));
    QVERIFY(QFileInfo(index).isDir());
    QVERIFY(QFile::exists(index + "/kept"));
    QVERIFY(QDir(index).removeRecursively());
}

void LibraryIndexTest::merge_keepsUnopenableIndexWhenNotRoot()
{
    const QByteArray lines = "{\"_id\":\"a\"}\n{\"_id\":\"b\"}\n";
    writeIndex(lines);
    const QString index = LibraryIndex::path(m_library->path());
    QVERIFY(QFile::setPermissions(index, QFile::Permissions()));
    if (QFile(index).open(QIODevice::ReadOnly))
        QSKIP("This user reads files whatever their permissions (root)");

    const LibraryIndex::Result result =
        LibraryIndex::merge(m_library->path(), record(R"({"_id":"c"})"));

    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("Error opening file"));
    QVERIFY(QFile::setPermissions(index, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(indexContent(), lines);
}

void LibraryIndexTest::merge_inReadOnlyFolder_changesNothing_data()
{
    QTest::addColumn<bool>("indexExists");
    QTest::addColumn<QString>("error");

    QTest::newRow("index present") << true << "Error creating temporary file.";
    QTest::newRow("index missing") << false << "Error creating file";
}

void LibraryIndexTest::merge_inReadOnlyFolder_changesNothing()
{
    QFETCH(bool, indexExists);
    QFETCH(QString, error);
    const QByteArray lines = "{\"_id\":\"a\"}\n";
    if (indexExists)
        writeIndex(lines);
    QVERIFY(QFile::setPermissions(m_library->path(), QFile::ReadOwner | QFile::ExeOwner));
    QFile probe(m_library->path() + "/probe");
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        QSKIP("This user writes into folders whatever their permissions (root)");
    }

    const LibraryIndex::Result result =
        LibraryIndex::merge(m_library->path(), record(R"({"_id":"b"})"));

    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    QCOMPARE(indexContent(), indexExists ? lines : QByteArray("<no index>"));
}

void LibraryIndexTest::read_givesOneLinePerLine_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("ids"); // "-" for a line that is no record

    QTest::newRow("records") << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\"}\n")
                             << QStringList{"a", "b"};
    QTest::newRow("blank and invalid lines")
        << QByteArray("{\"_id\":\"a\"}\n\n[1]\nnot json\n{\"_id\":\"b\"}\n")
        << QStringList{"a", "-", "-", "-", "b"};
    QTest::newRow("CRLF line ends")
        << QByteArray("{\"_id\":\"a\"}\r\n\r\n{\"_id\":\"b\"}\r\n") << QStringList{"a", "-", "b"};
    QTest::newRow("last line without line end")
        << QByteArray("{\"_id\":\"a\"}\n{\"_id\":\"b\"}") << QStringList{"a", "b"};
    QTest::newRow("NUL ends a line's text")
        << QByteArray("{\"_id\":\"a\"}") + '\0' + "{\n" + '\0' + "\n"
        << QStringList{"a", "-"};
    QTest::newRow("invalid UTF-8 inside a string")
        << QByteArray("{\"_id\":\"a\xff\"}\n") << QStringList{QString::fromUtf8("a\xef\xbf\xbd")};
    QTest::newRow("empty file") << QByteArray() << QStringList();
}

void LibraryIndexTest::read_givesOneLinePerLine()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, ids);
    writeIndex(content);

    QVector<LibraryIndex::Line> lines;
    const LibraryIndex::Result result = LibraryIndex::read(m_library->path(), &lines);

    QVERIFY2(result.ok, qPrintable(result.error));
    QStringList seen;
    for (const LibraryIndex::Line &line : qAsConst(lines)) {
        QCOMPARE(line.record.isEmpty(), !line.isRecord);
        seen.append(line.isRecord ? line.record.value("_id").toString() : QStringLiteral("-"));
    }
    QCOMPARE(seen, ids);
}

void LibraryIndexTest::read_missingFile_fails()
{
    QVector<LibraryIndex::Line> lines(3);

    const LibraryIndex::Result result = LibraryIndex::read(m_library->path(), &lines);

    QVERIFY(!result.ok);
    QCOMPARE(result.error, QStringLiteral("Error opening file"));
    QVERIFY(lines.isEmpty());
}

void LibraryIndexTest::read_seesWhatMergeWrote()
{
    const QJsonObject first =
        record(R"({"_id":"a","name":"A","version":"1","packageSize":"2 MB"})");
    const QJsonObject second = record(R"({"_id":"b","name":"B","version":"3"})");
    QVERIFY(LibraryIndex::merge(m_library->path(), first).ok);
    QVERIFY(LibraryIndex::merge(m_library->path(), second).ok);

    QVector<LibraryIndex::Line> lines;
    QVERIFY(LibraryIndex::read(m_library->path(), &lines).ok);

    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).isRecord && lines.at(1).isRecord);
    QCOMPARE(lines.at(0).record, first);
    QCOMPARE(lines.at(1).record, second);
}

CORVELLE_TEST_MAIN(LibraryIndexTest)
#include "tst_libraryindex.moc"
