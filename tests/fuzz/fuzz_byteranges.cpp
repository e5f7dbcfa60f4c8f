// HTTP's byte ranges as the client reads them from a server: Range and Content-Range headers,
// validators, and multipart/byteranges bodies read as they stream. Input: a content type, a
// Range, a Content-Range and an entity tag, one a line, then the body. A body read in one
// piece and in small chunks must give the same bytes at the same places.

#include "catalogue-service/serverranges.h"
#include "transfer/byterangereader.h"

#include <QList>

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        abort();
}

struct Reading
{
    bool ok = true;
    bool finished = false;
    QVector<ByteRangeReader::Piece> pieces; // neighbours joined
};

Reading readBody(const QByteArray &boundary, const QByteArray &body, int chunk)
{
    Reading reading;
    ByteRangeReader reader(boundary);
    QVector<ByteRangeReader::Piece> pieces;
    for (int at = 0; at < body.size() && reading.ok; at += chunk)
        reading.ok = reader.read(body.mid(at, chunk), &pieces);
    reading.finished = reader.finished();
    for (const ByteRangeReader::Piece &piece : qAsConst(pieces)) {
        require(piece.offset >= 0 && (piece.total < 0 || piece.offset < piece.total));
        ByteRangeReader::Piece *last = reading.pieces.isEmpty() ? nullptr : &reading.pieces.last();
        if (last && last->offset + last->bytes.size() == piece.offset && last->total == piece.total)
            last->bytes += piece.bytes;
        else if (!piece.bytes.isEmpty())
            reading.pieces.append(piece);
    }
    return reading;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    QList<QByteArray> lines = input.split('\n');
    while (lines.size() < 5)
        lines.append(QByteArray());
    const QByteArray contentType = lines.at(0), range = lines.at(1), contentRange = lines.at(2),
                     etag = lines.at(3);
    const QByteArray body = input.mid(lines.at(0).size() + lines.at(1).size() + lines.at(2).size() +
                                      lines.at(3).size() + 4);

    if (const auto wanted = HttpRanges::parseRangeHeader(range)) {
        require(!wanted->isEmpty());
        require(*HttpRanges::parseRangeHeader(HttpRanges::rangeHeader(*wanted)) == *wanted);
        const qint64 length = qint64(size) * 37;
        for (const HttpRanges::Span &span : HttpRanges::resolve(*wanted, length))
            require(span.first >= 0 && span.first <= span.last && span.last < length);
    }
    const HttpRanges::ContentRange parsed = HttpRanges::parseContentRange(contentRange);
    if (parsed.valid && !parsed.unsatisfied)
        require(parsed.span.first <= parsed.span.last &&
                (parsed.total < 0 || parsed.span.last < parsed.total));
    const QByteArray tag = HttpRanges::strongEtag(etag);
    require(tag.isEmpty() || HttpRanges::ifRangeMatches(tag, etag, QByteArray()));

    const QByteArray boundary = HttpRanges::multipartBoundary(contentType);
    if (boundary.isEmpty())
        return 0;
    const Reading whole = readBody(boundary, body, qMax(1, body.size()));
    const Reading chunked = readBody(boundary, body, 1 + int(size % 7));
    require(whole.ok == chunked.ok && whole.finished == chunked.finished);
    require(whole.pieces.size() == chunked.pieces.size());
    for (int i = 0; i < whole.pieces.size(); ++i)
        require(whole.pieces.at(i).offset == chunked.pieces.at(i).offset &&
                whole.pieces.at(i).bytes == chunked.pieces.at(i).bytes);
    return 0;
}
