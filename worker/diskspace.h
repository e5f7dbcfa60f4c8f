#pragma once

#include <QString>

namespace DiskSpace {

// The bytes free for this user on the disk that holds path (a folder, or a file's folder);
// -1 where the disk reports no size at all, as some network and FUSE file systems do, which
// says nothing of its room.
qint64 available(const QString &path);

} // namespace DiskSpace
