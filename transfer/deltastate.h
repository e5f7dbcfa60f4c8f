#pragma once

#include "archive/archivetail.h"
#include "transfer/httpranges.h"

#include <QString>
#include <QVector>

// What an update by ranges had fetched when its download failed, kept beside the archive of its
// changes (its name + ".info") so that the next download goes on from there. The file is
// untrusted: read() takes only a state that agrees with itself, and the update checks every
// entry of the archive of the changes before it is unpacked.
struct DeltaState
{
    ArchiveTail archive;
    QVector<int> wanted;
    QVector<HttpRanges::Span> held;
    qint64 fetched = 0;

    static QString pathFor(const QString &changesPath) { return changesPath + ".info"; }
    // False when path holds no sound state of link's archive.
    bool read(const QString &path, const QString &link);
    // Replaces the file in one rename.
    bool write(const QString &path) const;
};
