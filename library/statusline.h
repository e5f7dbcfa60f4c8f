#pragma once

#include "archive/jobresult.h"
#include "browse/catalogrecord.h"

#include <QString>

// The lines of the window's status bar: one for each outcome of a download that the user must
// know of, naming the module by its "name", or by its "_id" when it has none.
namespace StatusLine {

// "Could not download Hand Washing: the connection was cut".
QString downloadFailed(const CatalogRecord &record, const QString &reason);
QString downloadRetrying(const CatalogRecord &record, const QString &reason, int retry, int retries,
                         int pauseMs);
// The user stopped the download when it held percent of the archive, from where the next
// download goes on; percent is -1 when the next one starts from the beginning.
QString downloadStopped(const CatalogRecord &record, int percent);
// What the worker reported of unpacking the module's archive.
QString unpacked(const CatalogRecord &record, const JobResult &result);
// An update that cannot go on: no catalogue list the window has received offers the module.
QString notInCatalogue(const CatalogRecord &record);
// The module was unpacked but the library index, which lists what is installed, could not take it.
QString notRecorded(const CatalogRecord &record);

// A catalogue list could not be loaded, for reason; it is asked again in retryInMs, or not at
// all when that is -1.
QString catalogueFailed(const QString &reason, int retryInMs);

} // namespace StatusLine
