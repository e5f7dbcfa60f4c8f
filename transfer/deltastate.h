#pragma once

#include "transfer/httpranges.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// What an update by ranges had fetched when its download failed, kept beside the archive of its
// changes (its name + ".info") so that the next download goes on from there. The file is
// untrusted: read() takes only a state that agrees with itself, and the update checks every
// entry of the archive of the changes before it is unpacked.
struct DeltaState
{
    QString link;
    QByteArray etag;
    QByteArray lastModified;
    qint64 total = -1;
    qint64 tailStart = 0;
    QByteArray tail;
    QVector<int> wanted;
    QVector<HttpRanges::Span> held;
    qint64 fetched = 0;

    static QString pathFor(const QString &changesPath) { return changesPath + ".info"; }
    // False when path holds no sound state of link's archive.
    bool read(const QString &path, const QString &link);
    // Replaces the file in one rename.
    bool write(const QString &path) const;
};
