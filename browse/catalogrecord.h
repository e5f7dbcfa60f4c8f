#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

// Reading catalogue records. The catalogue service is trusted for nothing: a missing key or a
// value of another JSON type reads as the default of the type the client expects, so that a
// record of the wrong shape is shown with empty texts instead of being refused.
namespace CatalogRecord {

// The record at a position of a catalogue array; an element that is not an object, or a
// position outside the array, reads as an empty record.
QJsonObject recordAt(const QJsonArray &records, int position);

// The text of a JSON string; anything else (missing, null, number, boolean, array, object)
// reads as the empty string.
QString readString(const QJsonObject &record, const QString &key);

// A JSON number with a whole value that fits an int; fractions, strings holding digits and
// missing keys read as 0.
int readWholeNumber(const QJsonObject &record, const QString &key);

// True only for a JSON number equal to number, as JSON values compare.
bool holdsNumber(const QJsonObject &record, const QString &key, int number);

// Only JSON true reads as true.
bool readBoolean(const QJsonObject &record, const QString &key);

// A JSON array reads as itself; anything else as an empty array.
QJsonArray readArray(const QJsonObject &record, const QString &key);

// The leading number of a package size text such as "12.5 MB": the text up to its first blank,
// read as a decimal number with "." as decimal point. The unit is not looked at; text that is
// not a finite number counts 0.
float leadingSize(const QString &packageSize);

// The sum of the leading numbers of the records' "packageSize", in single precision.
float totalPackageSize(const QJsonArray &modules);

// "All modules are 3.75MB to download.": six significant digits, trailing zeros dropped,
// scientific notation (1.23457e+06) for very large or very small totals.
QString totalSizeText(float total);

// The "_id" of the last record whose "name" equals name exactly; empty when none does.
QString lastIdNamed(const QJsonArray &records, const QString &name);

// The position of the last record whose "name" equals name exactly; -1 when none does.
int lastPositionNamed(const QJsonArray &records, const QString &name);

// The "name" of every record, in array order.
QStringList names(const QJsonArray &records);

// The "_id" of every record, in array order.
QStringList ids(const QJsonArray &records);

// The records whose "excludeFromList" does not read as true, in array order.
QJsonArray listedModules(const QJsonArray &modules);

} // namespace CatalogRecord
