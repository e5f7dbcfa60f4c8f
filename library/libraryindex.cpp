#include "library/libraryindex.h"

namespace LibraryIndex {

QString path(const QString &libraryFolder)
{
    return libraryFolder + QStringLiteral("/tavro-modules.txt");
}

Result merge(const QString &libraryFolder, const QJsonObject &record)
{
    Q_UNUSED(libraryFolder)
    Q_UNUSED(record)
    return {false, QStringLiteral("not built yet")};
}

Result read(const QString &libraryFolder, QVector<Line> *lines)
{
    Q_UNUSED(libraryFolder)
    lines->clear();
    return {false, QStringLiteral("not built yet")};
}

} // namespace LibraryIndex
