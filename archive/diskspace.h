#pragma once

#include <QString>

namespace DiskSpace {

// The bytes free for this user on the disk that holds path; -1 where the disk reports no size
// at all, as some network and FUSE file systems do.
qint64 available(const QString &path);

} // namespace DiskSpace
