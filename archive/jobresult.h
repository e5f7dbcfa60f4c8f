#pragma once

#include <QMetaType>
#include <QString>

// What a job of the worker came to: an archive unpacked, or the library copied to a drive.
struct JobResult
{
    bool ok = false;
    // Each has its default here, so that a result may give only its first few members.
    QString error{};      // why not, a phrase that follows "Could not install X: "
    QString detail{};     // what exactly was wrong, for the debug output
    QString path{};       // the archive unpacked
    int filesLeftOut = 0; // the library's files a copy could not bring onto the drive

    // The error with its detail, as the debug output gives it.
    QString described() const
    {
        return detail.isEmpty() ? error : error + QStringLiteral(" (") + detail + QLatin1Char(')');
    }
};
Q_DECLARE_METATYPE(JobResult)
