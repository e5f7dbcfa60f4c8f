#pragma once

#include "archive/zipdirectory.h"

#include <QString>
#include <QVector>

class QFile;

// A zip archive on disk, checked before anything of it is unpacked: its directory, each local
// header against its directory record, and that no entry's data overlap another's (one stream
// unpacked many times over) or reach into the directory.
class ZipArchiveFile
{
public:
    // On failure error() says why for the user, problem() what exactly, for the debug output.
    bool read(const QString &path);

    const ZipDirectory &directory() const { return m_directory; }
    // Positions in directory().entries(), in the order their data stand in the file.
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
