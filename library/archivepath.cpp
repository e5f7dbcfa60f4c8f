#include "library/archivepath.h"

#include <QRegularExpression>

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
    static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return !device.match(moduleId).hasMatch();
}

bool sameArchive(const QString &moduleId, const QString &otherId)
{
    return moduleId.compare(otherId, Qt::CaseInsensitive) == 0;
}

} // namespace ArchivePath
