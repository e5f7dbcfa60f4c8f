#pragma once

#include <QJsonObject>
#include <QString>

// The lines of the window's status bar: one for each outcome of a download that the user must
// know of, naming the module by its "name", or by its "_id" when it has none.
namespace StatusLine {

QString moduleName(const QJsonObject &record);

// "Could not download Hand Washing: the connection was cut".
QString downloadFailed(const QJsonObject &record, const QString &reason);
// Retry number retry of retries, after a pause of pauseMs.
QString downloadRetrying(const QJsonObject &record, const QString &reason, int retry, int retries,
                         int pauseMs);
// The user stopped the download when it held percent of the archive, from where the next
// download goes on; percent is -1 when the next one starts from the beginning.
QString downloadStopped(const QJsonObject &record, int percent);
// What the worker reported of unpacking the module's archive: "success", or "failure: " and a
// reason that reads after "Could not install Hand Washing: ".
QString unpacked(const QJsonObject &record, const QString &status);
// An update that cannot go on: no catalogue list the window has received offers the module.
QString notInCatalogue(const QJsonObject &record);
// The module was unpacked but the library index, which lists what is installed, could not take it.
QString notRecorded(const QJsonObject &record);

// A catalogue list could not be loaded, for reason; it is asked again in retryInMs, or not at
// all when that is -1.
QString catalogueFailed(const QString &reason, int retryInMs);

} // namespace StatusLine
