#include "archive/ziparchivefile.h"

#include <QFile>

namespace {

const QString damaged = QStringLiteral("the archive is damaged");
const QString unreadable = QStringLiteral("the archive cannot be read");

// Local headers are read through a window of this size, so that an archive of thousands of
// small entries costs a read for every few entries rather than one for each.
const qint64 windowSize = 16 << 10;

} // namespace

bool ZipArchiveFile::fail(const QString &error, const QString &problem)
{
    m_error = error;
    m_problem = problem;
    m_fileOrder.clear();
    return false;
}

bool ZipArchiveFile::read(const QString &path)
{
    *this = ZipArchiveFile();
    QFile file(path);
    if (!file.exists())
        return fail("the archive is missing", path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(unreadable, file.errorString());
    m_size = file.size();
    if (m_size == 0)
        return fail("the archive is empty", "a file of 0 bytes");
    return readDirectory(file) && checkLocalHeaders(file);
}

bool ZipArchiveFile::readDirectory(QFile &file)
{
    qint64 start = qMax<qint64>(0, m_size - ZipDirectory::suggestedTailSize);
    // A directory further back than the first read takes a second.
    for (int round = 0; round < 4; ++round) {
        if (!file.seek(start))
            return fail(unreadable, file.errorString());
        const QByteArray tail = file.read(m_size - start);
        if (tail.size() != m_size - start)
            return fail(unreadable, file.errorString());
        switch (m_directory.parse(tail, start, m_size)) {
        case ZipDirectory::Outcome::Read:
            return !m_directory.entries().isEmpty() || fail("the archive is empty", "no entries");
        case ZipDirectory::Outcome::NeedsEarlierBytes:
            if (m_directory.neededStart() >= start)
                return fail(damaged, "the directory reader asked for no more");
            start = m_directory.neededStart();
            break;
        case ZipDirectory::Outcome::NotZip: {
            // An archive cut short has lost its end record but still starts like one.
            const bool zipStart = file.seek(0) && file.read(4) == QByteArrayLiteral("PK\x03\x04");
            return fail(zipStart ? damaged : QStringLiteral("the archive is not a zip archive"),
                        m_directory.problem());
        }
        case ZipDirectory::Outcome::Damaged:
            return fail(damaged, m_directory.problem());
        case ZipDirectory::Outcome::Split:
            return fail("the archive is one part of a split archive", m_directory.problem());
        case ZipDirectory::Outcome::TooLarge:
            return fail("the archive holds too many files", m_directory.problem());
        }
    }
    return fail(damaged, "the directory reader kept asking for more");
}

bool ZipArchiveFile::checkLocalHeaders(QFile &file)
{
    const QVector<ZipDirectory::Entry> &entries = m_directory.entries();
    m_fileOrder = m_directory.fileOrder();

    QByteArray window;
    qint64 windowStart = 0;
    const auto bytesAt = [&](qint64 at, qint64 size) -> QByteArray {
        if (at < windowStart || at + size > windowStart + window.size()) {
            if (!file.seek(at))
                return QByteArray();
            window = file.read(qMax(size, qMin(windowSize, m_size - at)));
            windowStart = at;
            if (window.size() < size)
                return QByteArray();
        }
        return window.mid(int(at - windowStart), int(size));
    };

    qint64 previousEnd = m_directory.archiveStart();
    for (const int index : qAsConst(m_fileOrder)) {
        const ZipDirectory::Entry &entry = entries.at(index);
        const QString where = QStringLiteral("entry %1 (%2): ").arg(index).arg(entry.name);
        const qint64 at = entry.localHeaderOffset;
        // One entry's data may not be another's: two records pointing at one stream would
        // unpack it twice over.
        if (at < previousEnd)
            return fail(damaged, where + "overlaps the entry before it");
        const qint64 headerSize =
            ZipDirectory::localHeaderSize(bytesAt(at, ZipDirectory::localHeaderFixedSize));
        if (headerSize < 0)
            return fail(damaged, where + "no local header where the directory points");
        QString problem;
        if (!ZipDirectory::matchesLocalHeader(entry, bytesAt(at, headerSize), &problem))
            return fail(damaged, where + problem);
        const qint64 dataStart = at + headerSize;
        if (dataStart > m_directory.directoryStart() ||
            entry.compressedSize > quint64(m_directory.directoryStart() - dataStart))
            return fail(damaged, where + "data reaches into the directory");
        previousEnd = dataStart + qint64(entry.compressedSize);
    }
    return true;
}
