#pragma once

#include "worker/zipdirectory.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <archive.h>

// Reads a zip archive's entries and their data through libarchive, one entry after the other
// in the order their data stand in the file, in blocks of bounded size: an entry of any size
// streams through a few hundred kilobytes of memory. libarchive reads the file through Qt, from
// the archive's start to its end record's end, so that a stub before the archive and a comment
// after it are invisible to it (libarchive looks for the end record in the last 16 KiB only).
class ArchiveReader
{
public:
    ArchiveReader(const QString &path, qint64 archiveStart, qint64 archiveEnd);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader &) = delete;
    ArchiveReader &operator=(const ArchiveReader &) = delete;

    bool open();
    // Moves to the next entry; false at the end of the archive, and on failure.
    bool nextEntry();
    bool failed() const { return !m_problem.isEmpty(); }

    ZipDirectory::Kind kind() const;
    qint64 size() const;
    // The target of a link entry, as the archive holds it.
    QByteArray linkTarget() const;
    // The next block of the current entry's data; an empty block at its end. The block stays
    // valid until the next call.
    bool readBlock(const char **data, qint64 *size);

    // What went wrong, for the debug output.
    QString problem() const { return m_problem; }

private:
    static la_ssize_t readCallback(archive *, void *self, const void **buffer);
    static la_int64_t seekCallback(archive *, void *self, la_int64_t offset, int whence);
    static la_int64_t skipCallback(archive *, void *self, la_int64_t request);
    bool fail();

    QFile m_file;
    const qint64 m_archiveStart;
    const qint64 m_archiveEnd;
    QByteArray m_buffer;
    archive *m_archive = nullptr;
    archive_entry *m_entry = nullptr;
    QString m_problem;
};
