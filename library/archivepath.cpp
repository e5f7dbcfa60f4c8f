#include "library/archivepath.h"

#include "worker/drivename.h"

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
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c == QChar(0))
            return false;
    }
    // "CON.zip" or "com1.zip" opens a device on Windows, not a file in the library folder.
    return !DriveName::isDeviceName(moduleId);
}

bool sameArchive(const QString &moduleId, const QString &otherId)
{
    return moduleId.compare(otherId, Qt::CaseInsensitive) == 0;
}

} // namespace ArchivePath
