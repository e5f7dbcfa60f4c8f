#include "library/httpranges.h"

#include <QList>

namespace HttpRanges {

namespace {

const QByteArray bytesUnit = QByteArrayLiteral("bytes");

// A non-negative decimal number of at most 18 digits, which always fits in a qint64.
bool parseNumber(const QByteArray &text, qint64 *value)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    *value = text.toLongLong();
    return true;
}

bool startsWithUnit(const QByteArray &text, char separator)
{
    return text.size() > bytesUnit.size() && text.left(bytesUnit.size()).toLower() == bytesUnit &&
           text.at(bytesUnit.size()) == separator;
}

} // namespace

QByteArray rangeHeader(const QVector<Wanted> &ranges)
{
    QList<QByteArray> specs;
    for (const Wanted &range : ranges) {
        if (range.tail >= 0)
            specs << '-' + QByteArray::number(range.tail);
        else if (range.last < 0)
            specs << QByteArray::number(range.first) + '-';
        else
            specs << QByteArray::number(range.first) + '-' + QByteArray::number(range.last);
    }
    return bytesUnit + '=' + specs.join(',');
}

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

ContentRange parseContentRange(const QByteArray &header)
{
    ContentRange range;
    const QByteArray text = header.trimmed();
    if (!startsWithUnit(text, ' '))
        return range;
    const QByteArray value = text.mid(bytesUnit.size() + 1);
    const int slash = value.indexOf('/');
    if (slash < 0)
        return range;
    const QByteArray part = value.left(slash), length = value.mid(slash + 1);
    if (length != "*" && !parseNumber(length, &range.total))
        return range;
    if (part == "*") {
        range.unsatisfied = true;
        range.valid = range.total >= 0;
        return range;
    }
    const int dash = part.indexOf('-');
    if (dash < 0 || !parseNumber(part.left(dash), &range.span.first) ||
        !parseNumber(part.mid(dash + 1), &range.span.last))
        return range;
    range.valid =
        range.span.first <= range.span.last && (range.total < 0 || range.span.last < range.total);
    return range;
}

QByteArray strongEtag(const QByteArray &etag)
{
    const QByteArray tag = etag.trimmed();
    if (tag.size() < 2 || !tag.startsWith('"') || !tag.endsWith('"'))
        return QByteArray();
    return tag;
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

QByteArray multipartBoundary(const QByteArray &contentType)
{
    const QList<QByteArray> parts = contentType.split(';');
    if (parts.first().trimmed().toLower() != "multipart/byteranges")
        return QByteArray();
    for (int i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts.at(i).trimmed();
        const int equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "boundary")
            continue;
        QByteArray value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QByteArray();
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
