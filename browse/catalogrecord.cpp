#include "browse/catalogrecord.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace CatalogRecord {

namespace {

// The text under key of every record, in array order.
QStringList readStrings(const QJsonArray &records, const QString &key)
{
    QStringList result;
    result.reserve(records.size());
    for (const QJsonValue &record : records)
        result.append(readString(record.toObject(), key));
    return result;
}

} // namespace

QJsonObject recordAt(const QJsonArray &records, int position)
{
    if (position < 0 || position >= records.size())
        return QJsonObject();
    return records.at(position).toObject();
}

QString readString(const QJsonObject &record, const QString &key)
{
    return record.value(key).toString();
}

int readWholeNumber(const QJsonObject &record, const QString &key)
{
    const QJsonValue value = record.value(key);
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (number != std::floor(number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max())
        return 0;
    return int(number);
}

bool holdsNumber(const QJsonObject &record, const QString &key, int number)
{
    return record.value(key) == QJsonValue(number);
}

bool readBoolean(const QJsonObject &record, const QString &key)
{
    return record.value(key).toBool(false);
}

QJsonArray readArray(const QJsonObject &record, const QString &key)
{
    return record.value(key).toArray();
}

float leadingSize(const QString &packageSize)
{
    const QString firstPiece = packageSize.section(QLatin1Char(' '), 0, 0);
    bool ok = false;
    const float size = firstPiece.toFloat(&ok);
    // "nan" and "inf" parse, but they are no sizes and would spoil the whole total.
    if (!ok || !std::isfinite(size))
        return 0.0f;
    return size;
}

float totalPackageSize(const QJsonArray &modules)
{
    float total = 0.0f;
    for (const QJsonValue &module : modules)
        total += leadingSize(readString(module.toObject(), QStringLiteral("packageSize")));
    return total;
}

QString totalSizeText(float total)
{
    return QCoreApplication::translate("CatalogRecord", "All modules are %1MB to download.")
        .arg(QString::number(double(total), 'g', 6));
}

QString lastIdNamed(const QJsonArray &records, const QString &name)
{
    return readString(recordAt(records, lastPositionNamed(records, name)), QStringLiteral("_id"));
}

int lastPositionNamed(const QJsonArray &records, const QString &name)
{
    int found = -1;
    for (int position = 0; position < records.size(); ++position) {
        if (readString(records.at(position).toObject(), QStringLiteral("name")) == name)
            found = position;
    }
    return found;
}

QStringList names(const QJsonArray &records)
{
    return readStrings(records, QStringLiteral("name"));
}

QStringList ids(const QJsonArray &records)
{
    return readStrings(records, QStringLiteral("_id"));
}

QJsonArray listedModules(const QJsonArray &modules)
{
    QJsonArray listed;
    for (const QJsonValue &module : modules) {
        if (!readBoolean(module.toObject(), QStringLiteral("excludeFromList")))
            listed.append(module);
    }
    return listed;
}

} // namespace CatalogRecord
