#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// One catalogue record (a topic, letter, article or module, or a line of the library index),
// and the one place that knows its keys. The catalogue service is trusted for nothing: a missing
// key or a value of another JSON type reads as the default of the type the client expects, so
// that a record of the wrong shape is shown with empty texts instead of being refused. Keys are
// read when asked for: a list of tens of thousands of records is walked for two or three of
// them, and reading all of each would cost the list three times as long.
class CatalogRecord
{
public:
    CatalogRecord(const QJsonObject &json = QJsonObject()) : m_json(json) {}
    // An element that is not an object reads as an empty record.
    CatalogRecord(const QJsonValue &element) : m_json(element.toObject()) {}

    const QJsonObject &json() const { return m_json; }
    QString id() const { return text(QStringLiteral("_id")); }
    QString name() const { return text(QStringLiteral("name")); }
    QString category() const { return text(QStringLiteral("category")); }
    QString description() const { return text(QStringLiteral("description")); }
    QString version() const { return text(QStringLiteral("version")); }
    QString packageSize() const { return text(QStringLiteral("packageSize")); }
    QString downloadLink() const { return text(QStringLiteral("downloadLink")); }
    QString launchFile() const { return text(QStringLiteral("launchFile")); }
    // The name, or the id when the record has none.
    QString title() const { return name().isEmpty() ? id() : name(); }
    // A JSON number with a whole value that fits an int; fractions, strings holding digits and
    // missing keys read as 0.
    int aorder() const;
    // Only JSON true reads as true.
    bool excludeFromList() const
    {
        return m_json.value(QStringLiteral("excludeFromList")).toBool();
    }
    // Whether "modules" is a JSON array with elements.
    bool hasModules() const { return !m_json.value(QStringLiteral("modules")).toArray().isEmpty(); }

    // The leading number of a package size text such as "12.5 MB": the text up to its first
    // blank, read as a decimal number with "." as decimal point. The unit is not looked at; text
    // that is not a finite number counts 0.
    static float leadingSize(const QString &packageSize);
    // "All modules are 3.75MB to download.", the total to six significant digits.
    static QString totalSizeText(float total);
    // The id of the last record whose name equals name exactly; empty when none does.
    static QString lastIdNamed(const QJsonArray &records, const QString &name)
    {
        return CatalogRecord(records.at(lastPositionNamed(records, name))).id();
    }
    // The position of the last record whose name equals name exactly; -1 when none does.
    static int lastPositionNamed(const QJsonArray &records, const QString &name);
    // The name of every record, in array order.
    static QStringList names(const QJsonArray &records);
    // The records whose "excludeFromList" does not read as true, in array order.
    static QJsonArray listedModules(const QJsonArray &modules);

private:
    QString text(const QString &key) const { return m_json.value(key).toString(); }

    QJsonObject m_json;
};
