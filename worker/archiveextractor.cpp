#include "worker/archiveextractor.h"

ExtractResult extractArchive(const QString &archivePath, const QString &destination)
{
    Q_UNUSED(archivePath)
    Q_UNUSED(destination)
    return {false, QStringLiteral("not built yet")};
}
