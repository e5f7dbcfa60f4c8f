#include "transfer/deltastate.h"

#include <QJsonArray>
#include <QJsonObject>

#include <limits>

namespace {

qint64 number(const QJsonValue &value)
{
    return qint64(value.toDouble(-1));
}

} // namespace

bool DeltaState::read(const QString &path, const QString &link)
{
    QJsonObject fields;
    if (!archive.read(path, &fields) || archive.link != link || archive.tail.isEmpty())
        return false;
    fetched = number(fields.value(QStringLiteral("fetched")));
    wanted.clear();
    for (const QJsonValue &entry : fields.value(QStringLiteral("wanted")).toArray()) {
        const qint64 index = number(entry);
        if (index < 0 || index > std::numeric_limits<int>::max())
            return false;
        wanted.append(int(index));
    }
    held.clear();
    for (const QJsonValue &value : fields.value(QStringLiteral("held")).toArray()) {
        const QJsonArray pair = value.toArray();
        const HttpRanges::Span span{number(pair.at(0)), number(pair.at(1))};
        if (pair.size() != 2 || span.first < 0 || span.last < span.first ||
            span.last >= archive.total)
            return false;
        held.append(span);
    }
    return fetched >= 0 && !wanted.isEmpty();
}

bool DeltaState::write(const QString &path) const
{
    QJsonArray wantedList;
    for (const int index : wanted)
        wantedList.append(index);
    QJsonArray heldList;
    for (const HttpRanges::Span &span : held)
        heldList.append(QJsonArray{double(span.first), double(span.last)});
    return archive.write(path, {{QStringLiteral("wanted"), wantedList},
                                {QStringLiteral("held"), heldList},
                                {QStringLiteral("fetched"), double(fetched)}});
}
