#include "library/statusline.h"

#include <QCoreApplication>
#include <QtMath>

namespace StatusLine {

QString downloadFailed(const CatalogRecord &record, const QString &reason)
{
    return QCoreApplication::translate("StatusLine", "Could not download %1: %2")
        .arg(record.title(), reason);
}

QString downloadRetrying(const CatalogRecord &record, const QString &reason, int retry, int retries,
                         int pauseMs)
{
    return QCoreApplication::translate("StatusLine",
                                       "Downloading %1: %2; trying again in %3 s (%4 of %5)")
        .arg(record.title(), reason)
        .arg(qCeil(pauseMs / 1000.0))
        .arg(retry)
        .arg(retries);
}

QString downloadStopped(const CatalogRecord &record, int percent)
{
    if (percent < 0)
        return QCoreApplication::translate("StatusLine", "Stopped %1").arg(record.title());
    return QCoreApplication::translate("StatusLine", "Stopped %1 at %2 %; it will go on from there")
        .arg(record.title())
        .arg(percent);
}

QString unpacked(const CatalogRecord &record, const JobResult &result)
{
    if (result.ok) {
        const QString version = record.version();
        return version.isEmpty() ? QCoreApplication::translate("StatusLine", "%1 is installed")
                                       .arg(record.title())
                                 : QCoreApplication::translate("StatusLine", "%1 %2 is installed")
                                       .arg(record.title(), version);
    }
    const QString reason =
        result.error.isEmpty()
            ? QCoreApplication::translate("StatusLine", "the archive could not be unpacked")
            : result.error;
    return QCoreApplication::translate("StatusLine", "Could not install %1: %2")
        .arg(record.title(), reason);
}

QString notInCatalogue(const CatalogRecord &record)
{
    return QCoreApplication::translate("StatusLine",
                                       "Could not update %1: the catalogue does not list it")
        .arg(record.title());
}

QString notRecorded(const CatalogRecord &record)
{
    return QCoreApplication::translate(
               "StatusLine", "Could not install %1: the library index could not be written")
        .arg(record.title());
}

QString catalogueFailed(const QString &reason, int retryInMs)
{
    const QString line =
        QCoreApplication::translate("StatusLine", "Could not load the catalogue: %1").arg(reason);
    if (retryInMs < 0)
        return line;
    return line + QCoreApplication::translate("StatusLine", "; trying again in %1 s")
                      .arg(qCeil(retryInMs / 1000.0));
}

} // namespace StatusLine
