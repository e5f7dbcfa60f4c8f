#pragma once

#include "archive/jobresult.h"

// Unpacks the zip archive at archivePath into destination, all or nothing. An archive with an
// entry that would land outside destination (an absolute path, a drive, a ".." part, a link
// pointing out) or on the client's own files there is refused whole; so is one that is
// damaged, cut short, or too large for the disk. Folders the archive lacks entries for are
// made. Files of an earlier installation that the archive does not hold stay; those it holds
// are replaced. On failure destination is left exactly as it was. Staging folders that an
// earlier extraction left behind (the program ended half way) are removed first; those another
// running client is using are left alone.
JobResult extractArchive(const QString &archivePath, const QString &destination);

// Reads every entry of the archive at archivePath as unpacking it would, and checks each one
// against the archive's directory (its local header, its data's size and checksum), writing
// nothing. An archive that passes unpacks unless the disk or the library stands in the way.
JobResult checkArchive(const QString &archivePath);
