#include "archive/archivereader.h"

#include <cerrno>
#include <cstdio>

namespace {

// Large enough that a stored entry streams in few reads, small enough to stay out of sight.
const int readSize = 1 << 20;

} // namespace

ArchiveReader::ArchiveReader(const QString &path, qint64 archiveStart, qint64 archiveEnd)
    : m_file(path), m_archiveStart(archiveStart), m_archiveEnd(archiveEnd)
{
}

ArchiveReader::~ArchiveReader()
{
    archive_read_free(m_archive);
}

bool ArchiveReader::fail()
{
    m_problem = m_archive && archive_error_string(m_archive)
                    ? QString::fromLocal8Bit(archive_error_string(m_archive)).trimmed()
                    : QStringLiteral("libarchive failed");
    return false;
}

bool ArchiveReader::open()
{
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !m_file.seek(m_archiveStart)) {
        m_problem = m_file.errorString();
        return false;
    }
    m_buffer.resize(readSize);
    // The seekable reader reads the directory rather than scanning for local headers. Checksums
    // are ours to check; a libarchive too old to be told so checks them a second time.
    m_archive = archive_read_new();
    if (!m_archive || archive_read_support_format_zip_seekable(m_archive) != ARCHIVE_OK)
        return fail();
    archive_read_set_format_option(m_archive, "zip", "ignorecrc32", "1");
    if (archive_read_set_callback_data(m_archive, this) != ARCHIVE_OK ||
        archive_read_set_read_callback(m_archive, readCallback) != ARCHIVE_OK ||
        archive_read_set_seek_callback(m_archive, seekCallback) != ARCHIVE_OK ||
        archive_read_set_skip_callback(m_archive, skipCallback) != ARCHIVE_OK ||
        archive_read_open1(m_archive) != ARCHIVE_OK)
        return fail();
    return true;
}

bool ArchiveReader::nextEntry()
{
    const int result = archive_read_next_header(m_archive, &m_entry);
    if (result == ARCHIVE_EOF)
        return false;
    // Warnings are about values the directory reader has already weighed (names that do not
    // fit the locale's character set, say).
    if (result != ARCHIVE_OK && result != ARCHIVE_WARN)
        return fail();
    return true;
}

ZipDirectory::Kind ArchiveReader::kind() const
{
    switch (archive_entry_filetype(m_entry)) {
    case AE_IFREG:
        return ZipDirectory::Kind::File;
    case AE_IFDIR:
        return ZipDirectory::Kind::Folder;
    case AE_IFLNK:
        return ZipDirectory::Kind::Link;
    default:
        return ZipDirectory::Kind::Special;
    }
}

bool ArchiveReader::readBlock(const char **data, qint64 *size)
{
    // Only ARCHIVE_EOF ends an entry: libarchive hands back an empty block when the few bytes
    // left of a block read from the file inflated to nothing yet.
    for (;;) {
        const void *block = nullptr;
        size_t length = 0;
        la_int64_t offset = 0;
        const int result = archive_read_data_block(m_archive, &block, &length, &offset);
        if (result == ARCHIVE_EOF) {
            *data = nullptr;
            *size = 0;
            return true;
        }
        if (result != ARCHIVE_OK)
            return fail();
        if (length > 0) {
            *data = static_cast<const char *>(block);
            *size = qint64(length);
            return true;
        }
    }
}

la_ssize_t ArchiveReader::readCallback(archive *a, void *self, const void **buffer)
{
    auto *reader = static_cast<ArchiveReader *>(self);
    const qint64 left = qMax<qint64>(0, reader->m_archiveEnd - reader->m_file.pos());
    const qint64 got =
        reader->m_file.read(reader->m_buffer.data(), qMin<qint64>(left, reader->m_buffer.size()));
    if (got < 0) {
        archive_set_error(a, EIO, "%s", qPrintable(reader->m_file.errorString()));
        return -1;
    }
    *buffer = reader->m_buffer.constData();
    return got;
}

la_int64_t ArchiveReader::seekCallback(archive *, void *self, la_int64_t offset, int whence)
{
    auto *reader = static_cast<ArchiveReader *>(self);
    const qint64 base = whence == SEEK_SET   ? reader->m_archiveStart
                        : whence == SEEK_CUR ? reader->m_file.pos()
                                             : reader->m_archiveEnd;
    const qint64 target = base + offset;
    if (target < reader->m_archiveStart || target > reader->m_archiveEnd ||
        !reader->m_file.seek(target))
        return ARCHIVE_FATAL;
    return target - reader->m_archiveStart;
}

la_int64_t ArchiveReader::skipCallback(archive *, void *self, la_int64_t request)
{
    auto *reader = static_cast<ArchiveReader *>(self);
    const qint64 at = reader->m_file.pos();
    const qint64 skipped = qBound<qint64>(0, request, reader->m_archiveEnd - at);
    return reader->m_file.seek(at + skipped) ? skipped : 0;
}
