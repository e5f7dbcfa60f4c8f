// What lets a download resume, tested directly: HTTP's byte ranges and validators, the reader
// of multipart/byteranges bodies, and the part a failed download keeps.
#include "catalogue-service/serverranges.h"
#include "support/files.h"
#include "support/testenvironment.h"
#include "transfer/byterangereader.h"
#include "transfer/partialdownload.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace HttpRanges;

Q_DECLARE_METATYPE(QVector<HttpRanges::Span>)

namespace {
const QByteArray resource = "0123456789abcdefghijklmnopqrstuvwxyz";

QByteArray spansText(const QVector<Span> &spans)
{
    QByteArrayList texts;
    for (const Span &span : spans)
        texts << QByteArray::number(span.first) + '-' + QByteArray::number(span.last);
    return texts.join(',');
}
} // namespace

class ResumeTest : public QObject
{
    Q_OBJECT

private slots:
    void rangeHeader_roundTrips();
    void rangeRequest_resolvesAgainstTheSize_data();
    void rangeRequest_resolvesAgainstTheSize();
    void contentRange_isRead_data();
    void contentRange_isRead();
    void ifRange_matchesOnlyTheSameVersion_data();
    void ifRange_matchesOnlyTheSameVersion();
    void multipart_readsInAnyChunks_data();
    void multipart_readsInAnyChunks();
    void multipart_refusesMalformedBodies_data();
    void multipart_refusesMalformedBodies();
    void part_isHeldOnlyWhenItCanBeContinued_data();
    void part_isHeldOnlyWhenItCanBeContinued();
    void staleParts_areRemoved();
};

void ResumeTest::rangeHeader_roundTrips()
{
    const QVector<Wanted> ranges = {Wanted::from(100), Wanted::span(0, 9), Wanted::lastBytes(500)};
    QCOMPARE(rangeHeader(ranges), QByteArray("bytes=100-,0-9,-500"));
    QCOMPARE(*parseRangeHeader(rangeHeader(ranges)), ranges);
}

void ResumeTest::rangeRequest_resolvesAgainstTheSize_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("spans");

    // Against a resource of 36 bytes.
    QTest::newRow("open end") << QByteArray("bytes=30-") << true << QByteArray("30-35");
    QTest::newRow("last byte beyond the end")
        << QByteArray("bytes=30-99") << true << QByteArray("30-35");
    QTest::newRow("suffix") << QByteArray("bytes=-4") << true << QByteArray("32-35");
    QTest::newRow("suffix longer than all")
        << QByteArray("bytes=-99") << true << QByteArray("0-35");
    QTest::newRow("several, in the order asked")
        << QByteArray("Bytes= 20-21 , ,0-0") << true << QByteArray("20-21,0-0");
    QTest::newRow("start at the end: unsatisfiable")
        << QByteArray("bytes=36-") << true << QByteArray();
    QTest::newRow("empty suffix: unsatisfiable") << QByteArray("bytes=-0") << true << QByteArray();
    QTest::newRow("one of two fits") << QByteArray("bytes=40-50,5-5") << true << QByteArray("5-5");
    QTest::newRow("last before first") << QByteArray("bytes=9-3") << false << QByteArray();
    QTest::newRow("other unit") << QByteArray("items=0-1") << false << QByteArray();
    QTest::newRow("sign") << QByteArray("bytes=+1-2") << false << QByteArray();
    QTest::newRow("no dash") << QByteArray("bytes=12") << false << QByteArray();
    QTest::newRow("nothing asked") << QByteArray("bytes=,") << false << QByteArray();
    QTest::newRow("overflow") << QByteArray("bytes=99999999999999999999-") << false << QByteArray();
}

void ResumeTest::rangeRequest_resolvesAgainstTheSize()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, valid);
    QFETCH(QByteArray, spans);
    const auto wanted = parseRangeHeader(header);
    QCOMPARE(bool(wanted), valid);
    if (wanted)
        QCOMPARE(spansText(resolve(*wanted, resource.size())), spans);
}

void ResumeTest::contentRange_isRead_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("unsatisfied");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<qint64>("total");

    QTest::newRow("part") << HttpRanges::contentRange({100, 199}, 1000) << true << false << 100LL
                          << 199LL << 1000LL;
    QTest::newRow("length unknown")
        << QByteArray("bytes 0-0/*") << true << false << 0LL << 0LL << -1LL;
    QTest::newRow("unsatisfied") << unsatisfiedRange(1000) << true << true << 0LL << -1LL << 1000LL;
    QTest::newRow("beyond the total")
        << QByteArray("bytes 0-1000/1000") << false << false << 0LL << 1000LL << 1000LL;
    QTest::newRow("backwards") << QByteArray("bytes 5-4/10") << false << false << 5LL << 4LL
                               << 10LL;
    QTest::newRow("no unit") << QByteArray("0-4/10") << false << false << 0LL << -1LL << -1LL;
}

void ResumeTest::contentRange_isRead()
{
    QFETCH(QByteArray, header);
    QFETCH(bool, valid);
    QFETCH(bool, unsatisfied);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QFETCH(qint64, total);
    const ContentRange range = parseContentRange(header);
    QCOMPARE(range.valid, valid);
    QCOMPARE(range.unsatisfied, unsatisfied);
    QCOMPARE(range.span.first, first);
    QCOMPARE(range.span.last, last);
    QCOMPARE(range.total, total);
}

void ResumeTest::ifRange_matchesOnlyTheSameVersion_data()
{
    QTest::addColumn<QByteArray>("ifRange");
    QTest::addColumn<bool>("matches");
    const QByteArray date = "Tue, 15 Nov 1994 08:12:31 GMT";

    QTest::newRow("same tag") << QByteArray("\"v1\"") << true;
    QTest::newRow("other tag") << QByteArray("\"v2\"") << false;
    QTest::newRow("weak tag never matches") << QByteArray("W/\"v1\"") << false;
    QTest::newRow("same date") << date << true;
    QTest::newRow("other date") << QByteArray("Wed, 16 Nov 1994 08:12:31 GMT") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void ResumeTest::ifRange_matchesOnlyTheSameVersion()
{
    QFETCH(QByteArray, ifRange);
    QFETCH(bool, matches);
    QCOMPARE(ifRangeMatches(ifRange, "\"v1\"", "Tue, 15 Nov 1994 08:12:31 GMT"), matches);
    // A weak tag on the server's side is no validator of the bytes either.
    QVERIFY(!ifRangeMatches("\"v1\"", "W/\"v1\"", QByteArray()));
}

void ResumeTest::multipart_readsInAnyChunks_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("boundary");

    QByteArray ours;
    for (const Span &span : {Span{0, 3}, Span{30, 35}, Span{10, 10}})
        ours += partHeader("b0und", "application/zip", span, resource.size()) +
                resource.mid(int(span.first), int(span.length()));
    ours += closingDelimiter("b0und");
    QTest::newRow("as the service writes it")
        << ours << multipartBoundary("multipart/byteranges; boundary=b0und");
    // Without the line break before the first delimiter, with a preamble, with other headers
    // and padding after a delimiter, and a quoted boundary.
    const QByteArray theirs = "preamble\r\n--b:x\r\nContent-Type: application/zip\r\n"
                              "Content-Range: bytes 0-3/36\r\n\r\n0123\r\n--b:x  \r\n"
                              "content-range: bytes 30-35/36\r\nX-Note: fine\r\n\r\nuvwxyz\r\n"
                              "--b:x\r\nContent-Range: bytes 10-10/36\r\n\r\na\r\n--b:x--\r\n"
                              "epilogue";
    QTest::newRow("as another server writes it")
        << theirs << multipartBoundary("Multipart/ByteRanges; Boundary=\"b:x\"");
}

void ResumeTest::multipart_readsInAnyChunks()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, boundary);
    for (const int chunk : {1, 7, body.size()}) {
        ByteRangeReader reader(boundary);
        QVector<ByteRangeReader::Piece> pieces;
        for (int at = 0; at < body.size(); at += chunk)
            QVERIFY(reader.read(body.mid(at, chunk), &pieces));
        QVERIFY(reader.finished());
        QByteArray placed(resource.size(), '.');
        for (const ByteRangeReader::Piece &piece : qAsConst(pieces))
            placed.replace(int(piece.offset), piece.bytes.size(), piece.bytes);
        QCOMPARE(placed, QByteArray("0123......a...................uvwxyz"));
    }
}

void ResumeTest::multipart_refusesMalformedBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    const QByteArray head = "--b\r\nContent-Range: bytes 0-3/36\r\n\r\n0123";
    QTest::newRow("part without Content-Range") << QByteArray("--b\r\n\r\n0123\r\n--b--\r\n");
    QTest::newRow("no delimiter after the bytes") << head + "4\r\n--b--\r\n";
    QTest::newRow("unsatisfied range") << QByteArray("--b\r\nContent-Range: bytes */36\r\n\r\n");
    QTest::newRow("no part at all") << QByteArray("--b--\r\n");
    QTest::newRow("endless header") << "--b\r\nX: " + QByteArray(70000, 'x');
}

void ResumeTest::multipart_refusesMalformedBodies()
{
    QFETCH(QByteArray, body);
    ByteRangeReader reader("b");
    QVector<ByteRangeReader::Piece> pieces;
    QVERIFY(!reader.read(body, &pieces));
    QVERIFY(!reader.finished());
    // A body that stops before its closing delimiter is not finished either.
    ByteRangeReader cut("b");
    QVERIFY(cut.read("--b\r\nContent-Range: bytes 0-3/36\r\n\r\n0123", &pieces));
    QVERIFY(!cut.finished());
}

void ResumeTest::part_isHeldOnlyWhenItCanBeContinued_data()
{
    QTest::addColumn<QString>("askedLink");
    QTest::addColumn<QByteArray>("etag");
    QTest::addColumn<QByteArray>("lastModified");
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("held");

    const QString link = QStringLiteral("https://example.org/m.zip");
    QTest::newRow("tagged") << link << QByteArray("\"v1\"") << QByteArray() << 100LL << 10LL;
    QTest::newRow("dated") << link << QByteArray() << QByteArray("Tue, 15 Nov 1994 08:12:31 GMT")
                           << 100LL << 10LL;
    QTest::newRow("another link") << link + "?2" << QByteArray("\"v1\"") << QByteArray() << 100LL
                                  << 0LL;
    QTest::newRow("no validator") << link << QByteArray() << QByteArray() << 100LL << 0LL;
    QTest::newRow("no length") << link << QByteArray("\"v1\"") << QByteArray() << -1LL << 0LL;
    QTest::newRow("nothing left to fetch")
        << link << QByteArray("\"v1\"") << QByteArray() << 10LL << 0LL;
}

void ResumeTest::part_isHeldOnlyWhenItCanBeContinued()
{
    QFETCH(QString, askedLink);
    QFETCH(QByteArray, etag);
    QFETCH(QByteArray, lastModified);
    QFETCH(qint64, length);
    QFETCH(qint64, held);
    QTemporaryDir library;
    const PartialDownload part(library.path(), QStringLiteral("m"));
    QCOMPARE(part.bodyPath(), library.filePath(QStringLiteral(".m.zip.part")));
    writeFile(part.bodyPath(), "0123456789");
    QVERIFY(
        part.writeInfo(QStringLiteral("https://example.org/m.zip"), {etag, lastModified, length}));

    PartialDownload::Version version;
    QCOMPARE(part.heldFor(askedLink, &version), held);
    if (held > 0) {
        QCOMPARE(version.validator(), etag.isEmpty() ? lastModified : etag);
        QCOMPARE(version.length, length);
    }
    part.remove();
    QVERIFY(QDir(library.path()).isEmpty());
}

void ResumeTest::staleParts_areRemoved()
{
    QTemporaryDir library;
    const PartialDownload old(library.path(), QStringLiteral("old"));
    const PartialDownload recent(library.path(), QStringLiteral("recent"));
    for (const PartialDownload *part : {&old, &recent}) {
        writeFile(part->bodyPath(), "0123");
        QVERIFY(part->writeInfo(QStringLiteral("http://x/m.zip"), {"\"v\"", QByteArray(), 10}));
    }
    QFile body(old.bodyPath());
    QVERIFY(body.open(QIODevice::ReadWrite));
    QVERIFY(body.setFileTime(QDateTime::currentDateTime().addDays(-8),
                             QFileDevice::FileModificationTime));
    body.close();
    writeFile(library.filePath(QStringLiteral("old.zip")), "not a part");

    PartialDownload::removeStale(library.path(), QDateTime::currentDateTime().addDays(-7));
    QCOMPARE(QDir(library.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({".recent.zip.part", ".recent.zip.part.info", "old.zip"}));
}

CORVELLE_TEST_MAIN(ResumeTest)
#include "tst_resume.moc"
