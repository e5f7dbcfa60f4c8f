#include "serverranges.h"

#include <algorithm>

#include <QList>

namespace HttpRanges {

std::optional<QVector<Wanted>> parseRangeHeader(const QByteArray &header)
{
    const QByteArray text = header.trimmed();
    if (!startsWithUnit(text, '='))
        return std::nullopt;
    QVector<Wanted> ranges;
    for (const QByteArray &element : text.mid(bytesUnit.size() + 1).split(',')) {
        const QByteArray spec = element.trimmed();
        // A list may hold empty elements, which count for nothing.
        if (spec.isEmpty())
            continue;
        const int dash = spec.indexOf('-');
        if (dash < 0)
            return std::nullopt;
        const QByteArray before = spec.left(dash), after = spec.mid(dash + 1);
        qint64 first = 0, last = -1;
        if (before.isEmpty()) {
            if (!parseNumber(after, &last))
                return std::nullopt;
            ranges << Wanted::lastBytes(last);
        } else if (!parseNumber(before, &first)) {
            return std::nullopt;
        } else if (after.isEmpty()) {
            ranges << Wanted::from(first);
        } else if (!parseNumber(after, &last) || last < first) {
            return std::nullopt;
        } else {
            ranges << Wanted::span(first, last);
        }
    }
    if (ranges.isEmpty())
        return std::nullopt;
    return ranges;
}

QVector<Span> resolve(const QVector<Wanted> &ranges, qint64 size)
{
    QVector<Span> spans;
    for (const Wanted &range : ranges) {
        if (range.tail >= 0) {
            // A tail longer than the resource asks for all of it; one of no bytes for nothing.
            if (size > 0 && range.tail > 0)
                spans.append({qMax<qint64>(0, size - range.tail), size - 1});
        } else if (range.first < size) {
            spans.append(
                {range.first, range.last < 0 || range.last >= size ? size - 1 : range.last});
        }
    }
    return spans;
}

QByteArray contentRange(const Span &span, qint64 total)
{
    return bytesUnit + ' ' + QByteArray::number(span.first) + '-' + QByteArray::number(span.last) +
           '/' + (total < 0 ? QByteArray("*") : QByteArray::number(total));
}

QByteArray unsatisfiedRange(qint64 total)
{
    return bytesUnit + " */" + QByteArray::number(total);
}

bool ifRangeMatches(const QByteArray &ifRange, const QByteArray &etag,
                    const QByteArray &lastModified)
{
    const QByteArray validator = ifRange.trimmed();
    if (validator.startsWith('"') || validator.startsWith("W/")) {
        const QByteArray asked = strongEtag(validator);
        return !asked.isEmpty() && asked == strongEtag(etag);
    }
    return !validator.isEmpty() && validator == lastModified.trimmed();
}

bool ifMatchHolds(const QByteArray &ifMatch, const QByteArray &etag)
{
    if (ifMatch.trimmed() == "*")
        return !etag.isEmpty();
    const QByteArray current = strongEtag(etag);
    const QList<QByteArray> tags = ifMatch.split(',');
    return !current.isEmpty() &&
           std::any_of(tags.cbegin(), tags.cend(),
                       [&](const QByteArray &tag) { return strongEtag(tag) == current; });
}

QByteArray partHeader(const QByteArray &boundary, const QByteArray &contentType, const Span &span,
                      qint64 total)
{
    // The line break before each delimiter belongs to it; before the first it is a preamble,
    // which readers skip.
    QByteArray header = "\r\n--" + boundary + "\r\n";
    if (!contentType.isEmpty())
        header += "Content-Type: " + contentType + "\r\n";
    return header + "Content-Range: " + contentRange(span, total) + "\r\n\r\n";
}

QByteArray closingDelimiter(const QByteArray &boundary)
{
    return "\r\n--" + boundary + "--\r\n";
}

} // namespace HttpRanges
