#pragma once

#include "library/httpranges.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// What an update by ranges had fetched when its download failed, kept beside the archive of its
// changes (that file's name + ".info") so that the next download of the module goes on from
// there rather than from the archive's end: the version of the archive, the end of it that
// holds its directory, the entries the update was fetching and the spans of them that had
// arrived. It goes when the archive of the changes goes. The file is untrusted as any other:
// read() takes only a state that agrees with itself, and the update checks every entry of the
// archive of the changes before it is unpacked.
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

    static QString pathFor(const QString &changesPath);
    // False when path holds no sound state of link's archive.
    bool read(const QString &path, const QString &link);
    // Replaces the file in one rename.
    bool write(const QString &path) const;
};
