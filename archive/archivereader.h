#pragma once

#include "archive/zipdirectory.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <archive.h>
#include <archive_entry.h>

// Reads a zip archive's entries through libarchive, in the order their data stand in the file,
// in blocks of bounded size. libarchive sees the file only from the archive's start to its end
// record's end: it looks for the end record in the last 16 KiB only, and a stub before the
// archive or a comment after it would hide it.
class ArchiveReader
{
public:
    ArchiveReader(const QString &path, qint64 archiveStart, qint64 archiveEnd);
    ~ArchiveReader();

    bool open();
    // Moves to the next entry; false at the end of the archive, and on failure.
    bool nextEntry();
    bool failed() const { return !m_problem.isEmpty(); }

    ZipDirectory::Kind kind() const;
    qint64 size() const { return archive_entry_size(m_entry); }
    // The target of a link entry, as the archive holds it.
    QByteArray linkTarget() const { return QByteArray(archive_entry_symlink(m_entry)); }
    // The next block of the current entry's data; an empty block at its end. The block stays
    // valid until the next call.
    bool readBlock(const char **data, qint64 *size);

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
