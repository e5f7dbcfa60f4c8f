#pragma once

#include "archive/zipdirectory.h"

#include <QString>
#include <QVector>

// What an archive installed in the library folder: every file with its size and CRC-32 from the
// archive's directory, kept beside the library index as the hidden file ".<module id>.files",
// one "<size> <crc as 8 hex digits> <path>" line per file, sorted by path; a link has "link"
// for its size, so that the records of files read as before. Folders are not listed. An update
// removes what the previous record lists and the new one does not; the damage check compares the
// record with the files on disk.
class InstallRecord
{
public:
    struct File
    {
        quint64 size = 0;
        quint32 crc = 0;
        QString path; // below the library folder, "/" separators
        bool link = false;
    };

    // Where the record of moduleId lies in libraryFolder.
    static QString pathFor(const QString &libraryFolder, const QString &moduleId);
    // Where an update by ranges leaves the record of the whole new version beside the archive
    // of its changes, for the extraction to take: the archive alone does not list what did not
    // change.
    static QString pendingPathFor(const QString &archivePath);
    // The module an archive in the library folder belongs to: its name without ".zip".
    static QString moduleIdOf(const QString &archivePath);

    // The files of an archive whose directory passed the unpacking's judgement.
    static InstallRecord fromDirectory(const ZipDirectory &directory);

    // False, with a line on the debug output, when the file is missing or any line of it is
    // not a record line: a record that cannot be trusted whole is not used at all.
    bool read(const QString &path);
    // Replaces the file at path in one rename.
    bool write(const QString &path) const;

    const QVector<File> &files() const { return m_files; }

private:
    void sort();

    QVector<File> m_files; // sorted by path
};
