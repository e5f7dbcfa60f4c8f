#include "transfer/deltastate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <limits>

namespace {

// A directory larger than this is fetched again rather than kept.
constexpr qint64 tailLimit = 8 << 20;
constexpr qint64 fileLimit = tailLimit * 2;

qint64 number(const QJsonValue &value)
{
    return qint64(value.toDouble(-1));
}

} // namespace

bool DeltaState::read(const QString &path, const QString &wantedLink)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > fileLimit)
        return false;
    const QJsonObject fields = QJsonDocument::fromJson(file.readAll()).object();
    link = fields.value(QStringLiteral("link")).toString();
    etag = fields.value(QStringLiteral("etag")).toString().toLatin1();
    lastModified = fields.value(QStringLiteral("lastModified")).toString().toLatin1();
    total = number(fields.value(QStringLiteral("total")));
    tailStart = number(fields.value(QStringLiteral("tailStart")));
    tail = QByteArray::fromBase64(fields.value(QStringLiteral("tail")).toString().toLatin1());
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
        if (pair.size() != 2 || span.first < 0 || span.last < span.first || span.last >= total)
            return false;
        held.append(span);
    }
    return link == wantedLink && !link.isEmpty() && !(etag.isEmpty() && lastModified.isEmpty()) &&
           total > 0 && tailStart >= 0 && tailStart < total && tail.size() == total - tailStart &&
           fetched >= 0 && !wanted.isEmpty();
}

bool DeltaState::write(const QString &path) const
{
    if (tail.size() > tailLimit)
        return false;
    QJsonArray wantedList;
    for (const int index : wanted)
        wantedList.append(index);
    QJsonArray heldList;
    for (const HttpRanges::Span &span : held)
        heldList.append(QJsonArray{double(span.first), double(span.last)});
    const QJsonObject fields{{QStringLiteral("link"), link},
                             {QStringLiteral("etag"), QString::fromLatin1(etag)},
                             {QStringLiteral("lastModified"), QString::fromLatin1(lastModified)},
                             {QStringLiteral("total"), double(total)},
                             {QStringLiteral("tailStart"), double(tailStart)},
                             {QStringLiteral("tail"), QString::fromLatin1(tail.toBase64())},
                             {QStringLiteral("wanted"), wantedList},
                             {QStringLiteral("held"), heldList},
                             {QStringLiteral("fetched"), double(fetched)}};
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(QJsonDocument(fields).toJson(QJsonDocument::Compact)) >= 0 && file.commit();
}
