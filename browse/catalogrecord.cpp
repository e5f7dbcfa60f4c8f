#include "browse/catalogrecord.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

int CatalogRecord::aorder() const
{
    const QJsonValue value = m_json.value(QStringLiteral("aorder"));
    const double number = value.toDouble();
    if (!value.isDouble() || number != std::floor(number) ||
        number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return 0;
    return int(number);
}

float CatalogRecord::leadingSize(const QString &packageSize)
{
    bool ok = false;
    const float size = packageSize.section(QLatin1Char(' '), 0, 0).toFloat(&ok);
    // "nan" and "inf" parse, but they are no sizes and would spoil the whole total.
    return ok && std::isfinite(size) ? size : 0.0f;
}

QString CatalogRecord::totalSizeText(float total)
{
    return QCoreApplication::translate("CatalogRecord", "All modules are %1MB to download.")
        .arg(QString::number(double(total), 'g', 6));
}

int CatalogRecord::lastPositionNamed(const QJsonArray &records, const QString &name)
{
    int found = -1;
    for (int position = 0; position < records.size(); ++position) {
        if (CatalogRecord(records.at(position)).name() == name)
            found = position;
    }
    return found;
}

QStringList CatalogRecord::names(const QJsonArray &records)
{
    QStringList result;
    for (const QJsonValue &record : records)
        result.append(CatalogRecord(record).name());
    return result;
}

QJsonArray CatalogRecord::listedModules(const QJsonArray &modules)
{
    QJsonArray listed;
    for (const QJsonValue &module : modules) {
        if (!CatalogRecord(module).excludeFromList())
            listed.append(module);
    }
    return listed;
}
