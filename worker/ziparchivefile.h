#pragma once

#include "worker/zipdirectory.h"

#include <QString>
#include <QVector>

class QFile;

// A zip archive on disk, checked before anything of it is unpacked: its directory (read by
// ZipDirectory from the file's end), each entry's local header against its directory record,
// and the room each entry's data takes: entries whose data overlap (one stream unpacked many
// times over) or reach into the directory are refused.
class ZipArchiveFile
{
public:
    // On failure error() says why in words for the user ("the archive is damaged"), and
    // problem() what exactly was wrong, for the debug output.
    bool read(const QString &path);

    const ZipDirectory &directory() const { return m_directory; }
    // Positions in directory().entries(), in the order their data stand in the file: the order
    // in which the archive can be read through once.
    const QVector<int> &fileOrder() const { return m_fileOrder; }
    qint64 size() const { return m_size; }

    QString error() const { return m_error; }
    QString problem() const { return m_problem; }

private:
    bool fail(const QString &error, const QString &problem);
    bool readDirectory(QFile &file);
    bool checkLocalHeaders(QFile &file);

    ZipDirectory m_directory;
    QVector<int> m_fileOrder;
    qint64 m_size = 0;
    QString m_error;
    QString m_problem;
};
