#include "archive/archivepath.h"

#include "archive/drivename.h"

#include <QFile>

namespace ArchivePath {

QString forModule(const QString &libraryFolder, const QString &moduleId)
{
    return libraryFolder + QLatin1Char('/') + moduleId + QStringLiteral(".zip");
}

bool isSafeModuleId(const QString &moduleId)
{
    if (moduleId == QLatin1String(".") || moduleId == QLatin1String(".."))
        return false;
    for (const QChar c : moduleId) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.isNull())
            return false;
    }
    // "CON.zip" or "com1.zip" opens a device on Windows, not a file in the library folder.
    return !DriveName::isDeviceName(moduleId);
}

bool sameArchive(const QString &moduleId, const QString &otherId)
{
    return moduleId.size() == otherId.size() &&
           DriveName::onDrive(moduleId) == DriveName::onDrive(otherId);
}

bool putInPlace(const QString &file, const QString &archivePath)
{
    // An archive left at the path by an earlier run would stop the rename.
    QFile::remove(archivePath);
    return QFile::rename(file, archivePath);
}

} // namespace ArchivePath
