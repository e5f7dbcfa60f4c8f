#pragma once

#include <QString>

struct ExtractResult
{
    bool ok = false;
    QString error; // why nothing was installed, in words fit for a status line
};

// Unpacks the zip archive at archivePath into destination, all or nothing. An archive with an
// entry that would land outside destination (an absolute path, a drive, a ".." part, a link
// pointing out) is refused whole; so is one that is damaged or cut short. Folders the archive
// lacks entries for are made. Files of an earlier installation that the archive does not hold
// stay; those it holds are replaced. On failure destination is left exactly as it was.
ExtractResult extractArchive(const QString &archivePath, const QString &destination);
