#include "worker/zipdirectory.h"

#include <QFile>

namespace {

const int endRecordSize = 22;
const int centralHeaderSize = 46;
const int localHeaderSize = 30;
const int maxCommentSize = 0xFFFF;
// Deflate cannot shrink data to less than about a thousandth.
const qint64 maxDeflateRatio = 1032;

quint16 u16(const QByteArray &bytes, int at)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + at;
    return quint16(p[0] | p[1] << 8);
}

quint32 u32(const QByteArray &bytes, int at)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + at;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

} // namespace

QString ZipDirectory::Entry::name() const
{
    return (flags & 0x0800) ? QString::fromUtf8(rawName) : QString::fromLocal8Bit(rawName);
}

QString ZipDirectory::Entry::lookupName() const
{
    return QString::fromLocal8Bit(rawName);
}

bool ZipDirectory::fail(const QString &error)
{
    m_entries.clear();
    m_directoryOffset = 0;
    m_error = error;
    return false;
}

bool ZipDirectory::read(const QString &path)
{
    m_entries.clear();
    m_error.clear();

    QFile file(path);
    if (!file.exists())
        return fail(QStringLiteral("archive not found"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read archive"));
    const qint64 size = file.size();
    if (size == 0)
        return fail(QStringLiteral("archive is empty"));

    const QByteArray head = file.read(4);
    if (head == QByteArrayLiteral("PK\x05\x06"))
        return fail(QStringLiteral("archive holds no entries"));
    if (head != QByteArrayLiteral("PK\x03\x04"))
        return fail(QStringLiteral("not a zip archive"));

    // The end record sits at the very end, behind a comment of up to 64 KiB. Like the reader,
    // take the signature nearest to the end.
    const QString damaged = QStringLiteral("archive is damaged or incomplete");
    const qint64 tailStart = qMax<qint64>(0, size - endRecordSize - maxCommentSize);
    if (!file.seek(tailStart))
        return fail(damaged);
    const QByteArray tail = file.read(size - tailStart);
    if (tail.size() != size - tailStart)
        return fail(QStringLiteral("cannot read archive"));
    int end = tail.size() - endRecordSize;
    while (end >= 0 && u32(tail, end) != 0x06054b50)
        --end;
    if (end < 0)
        return fail(damaged);

    const quint16 thisDisk = u16(tail, end + 4);
    const quint16 directoryDisk = u16(tail, end + 6);
    const quint16 entriesHere = u16(tail, end + 8);
    const quint16 entryCount = u16(tail, end + 10);
    const quint32 directorySize = u32(tail, end + 12);
    const quint32 directoryOffset = u32(tail, end + 16);
    if (entryCount == 0xFFFF || directorySize == 0xFFFFFFFFu || directoryOffset == 0xFFFFFFFFu)
        return fail(QStringLiteral("unsupported archive format (zip64)"));
    if (thisDisk != 0 || directoryDisk != 0 || entriesHere != entryCount)
        return fail(QStringLiteral("unsupported archive format (split archive)"));
    if (entryCount == 0)
        return fail(QStringLiteral("archive holds no entries"));
    const qint64 endPosition = tailStart + end;
    if (qint64(directoryOffset) + directorySize > endPosition)
        return fail(damaged);

    if (!file.seek(directoryOffset))
        return fail(damaged);
    const QByteArray directory = file.read(directorySize);
    if (directory.size() != qint64(directorySize))
        return fail(damaged);

    m_directoryOffset = directoryOffset;
    m_entries.reserve(entryCount);
    int at = 0;
    for (int i = 0; i < entryCount; ++i) {
        if (at + centralHeaderSize > directory.size() || u32(directory, at) != 0x02014b50)
            return fail(damaged);
        const int nameLength = u16(directory, at + 28);
        const int extraLength = u16(directory, at + 30);
        const int commentLength = u16(directory, at + 32);
        const int next = at + centralHeaderSize + nameLength + extraLength + commentLength;
        if (next > directory.size())
            return fail(damaged);

        Entry entry;
        entry.versionNeeded = u16(directory, at + 6);
        entry.flags = u16(directory, at + 8);
        entry.method = u16(directory, at + 10);
        entry.crc = u32(directory, at + 16);
        entry.compressedSize = u32(directory, at + 20);
        entry.size = u32(directory, at + 24);
        entry.localHeaderOffset = u32(directory, at + 42);
        entry.rawName = directory.mid(at + centralHeaderSize, nameLength);
        entry.centralHeader = directory.mid(at, next - at);
        // Sizes beyond what the file can hold would have the reader ask for gigabytes of memory.
        if (qint64(entry.localHeaderOffset) + localHeaderSize + entry.compressedSize >
                directoryOffset ||
            qint64(entry.size) > qint64(entry.compressedSize) * maxDeflateRatio + 1024)
            return fail(damaged);
        m_entries.append(entry);
        at = next;
    }
    return true;
}
