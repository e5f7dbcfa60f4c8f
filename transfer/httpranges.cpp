#include "transfer/httpranges.h"

#include <QList>

namespace HttpRanges {

const QByteArray bytesUnit = QByteArrayLiteral("bytes");

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

} // namespace HttpRanges
