#include "support/httpanswer.h"

#include "catalogue-service/serverranges.h"
#include "transfer/byterangereader.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QStringList>
#include <QUrl>

#include <memory>

HttpAnswer httpGet(QNetworkAccessManager *network, const QString &url, const QByteArray &encoding,
                   const QMap<QByteArray, QByteArray> &headers, int timeoutMs)
{
    QNetworkRequest request{QUrl(url)};
    if (!encoding.isEmpty())
        request.setRawHeader("Accept-Encoding", encoding);
    for (auto header = headers.begin(); header != headers.end(); ++header)
        request.setRawHeader(header.key(), header.value());
    request.setTransferTimeout(timeoutMs);
    std::unique_ptr<QNetworkReply> reply(network->get(request));
    HttpAnswer answer;
    // Read as it arrives: a reply given up drops what it holds.
    QObject::connect(reply.get(), &QNetworkReply::readyRead, [&answer, &reply] {
        if (reply->isOpen())
            answer.body += reply->readAll();
    });
    if (!reply->isFinished()) {
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(30000);
    }
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->isOpen())
        answer.body += reply->readAll();
    answer.error = reply->error();
    for (const QNetworkReply::RawHeaderPair &header : reply->rawHeaderPairs())
        answer.headers.insert(header.first.toLower(), header.second);
    return answer;
}

namespace {

QString spanText(qint64 first, qint64 last, qint64 size)
{
    return QString::number(first) + QLatin1Char('-') +
           (last == size - 1 ? QStringLiteral("end") : QString::number(last));
}

} // namespace

QString partsOf(const HttpAnswer &answer, qint64 size, QByteArray *placed)
{
    const QString malformed = QStringLiteral("malformed");
    *placed = QByteArray(int(size), '.');
    if (answer.status == 200) {
        if (answer.body.size() != size)
            return malformed;
        *placed = answer.body;
        return spanText(0, size - 1, size);
    }
    // A precondition that failed: nothing of the resource, whatever page says so.
    if (answer.status == 412)
        return QString();
    const QByteArray boundary = HttpRanges::multipartBoundary(answer.headers.value("content-type"));
    QVector<ByteRangeReader::Piece> pieces;
    if (answer.status == 206 && !boundary.isEmpty()) {
        ByteRangeReader reader(boundary);
        if (!reader.read(answer.body, &pieces) || !reader.finished())
            return malformed;
    } else if (answer.status == 206) {
        const HttpRanges::ContentRange range =
            HttpRanges::parseContentRange(answer.headers.value("content-range"));
        if (!range.valid || range.unsatisfied || range.total != size ||
            range.span.length() != answer.body.size())
            return malformed;
        pieces.append({range.span.first, answer.body});
    } else if (answer.status != 416 ||
               answer.headers.value("content-range") != HttpRanges::unsatisfiedRange(size)) {
        return malformed;
    }
    QStringList parts;
    for (const ByteRangeReader::Piece &piece : qAsConst(pieces)) {
        // Read in one go, each part is one piece.
        const qint64 last = piece.offset + piece.bytes.size() - 1;
        if (piece.offset < 0 || last >= size)
            return malformed;
        parts << spanText(piece.offset, last, size);
        placed->replace(int(piece.offset), piece.bytes.size(), piece.bytes);
    }
    return parts.join(QLatin1Char(','));
}

QByteArray placedParts(const QByteArray &resource, const QString &parts)
{
    QByteArray placed(resource.size(), '.');
    for (const QString &part : parts.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int first = part.section(QLatin1Char('-'), 0, 0).toInt();
        const QString last = part.section(QLatin1Char('-'), 1);
        const int end = last == QLatin1String("end") ? resource.size() - 1 : last.toInt();
        placed.replace(first, end - first + 1, resource.mid(first, end - first + 1));
    }
    return placed;
}
