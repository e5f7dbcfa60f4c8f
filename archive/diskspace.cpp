#include "archive/diskspace.h"

#include <QStorageInfo>

namespace DiskSpace {

qint64 available(const QString &path)
{
    const QStorageInfo disk(path);
    return disk.isValid() && disk.bytesTotal() > 0 ? disk.bytesAvailable() : -1;
}

} // namespace DiskSpace
