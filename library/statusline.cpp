#include "library/statusline.h"

#include <QCoreApplication>
#include <QtMath>

namespace StatusLine {

QString moduleName(const QJsonObject &record)
{
    const QString name = record.value(QStringLiteral("name")).toString();
    return name.isEmpty() ? record.value(QStringLiteral("_id")).toString() : name;
}

QString downloadFailed(const QJsonObject &record, const QString &reason)
{
    return QCoreApplication::translate("StatusLine", "Could not download %1: %2")
        .arg(moduleName(record), reason);
}

QString downloadRetrying(const QJsonObject &record, const QString &reason, int retry, int retries,
                         int pauseMs)
{
    return QCoreApplication::translate("StatusLine",
                                       "Downloading %1: %2; trying again in %3 s (%4 of %5)")
        .arg(moduleName(record), reason)
        .arg(qCeil(pauseMs / 1000.0))
        .arg(retry)
        .arg(retries);
}

QString downloadStopped(const QJsonObject &record, int percent)
{
    if (percent < 0)
        return QCoreApplication::translate("StatusLine", "Stopped %1").arg(moduleName(record));
    return QCoreApplication::translate("StatusLine", "Stopped %1 at %2 %; it will go on from there")
        .arg(moduleName(record))
        .arg(percent);
}

QString unpacked(const QJsonObject &record, const QString &status)
{
    if (status == QLatin1String("success")) {
        const QString version = record.value(QStringLiteral("version")).toString();
        return version.isEmpty() ? QCoreApplication::translate("StatusLine", "%1 is installed")
                                       .arg(moduleName(record))
                                 : QCoreApplication::translate("StatusLine", "%1 %2 is installed")
                                       .arg(moduleName(record), version);
    }
    const QString prefix = QStringLiteral("failure: ");
    QString reason = status.startsWith(prefix) ? status.mid(prefix.size()).trimmed() : status;
    if (reason.isEmpty())
        reason = QCoreApplication::translate("StatusLine", "the archive could not be unpacked");
    return QCoreApplication::translate("StatusLine", "Could not install %1: %2")
        .arg(moduleName(record), reason);
}

QString notInCatalogue(const QJsonObject &record)
{
    return QCoreApplication::translate("StatusLine",
                                       "Could not update %1: the catalogue does not list it")
        .arg(moduleName(record));
}

QString notRecorded(const QJsonObject &record)
{
    return QCoreApplication::translate(
               "StatusLine", "Could not install %1: the library index could not be written")
        .arg(moduleName(record));
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
