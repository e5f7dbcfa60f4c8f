#include "archive/zipdirectory.h"

#include "archive/crc32.h"
#include "archive/zipname.h"

#include <QtEndian>

#include <algorithm>
#include <numeric>

namespace {

const quint32 localSignature = 0x04034b50;
const quint32 centralSignature = 0x02014b50;
const int maxCommentSize = 0xFFFF;
const quint16 zip64Field = 0x0001;
const quint16 unicodePathField = 0x7075;
const quint16 utf8Flag = 0x0800;
const quint16 descriptorFlag = 0x0008;
const quint16 encryptionFlags = 0x0041;
const int dosHost = 0;
const int unixHost = 3;
// Deflate shrinks data to a thousandth at best: each run of 258 bytes takes two bits.
const quint64 maxDeflateRatio = 1032;

bool fault(QString *problem, const char *what)
{
    *problem = QString::fromLatin1(what);
    return false;
}

} // namespace

// The archive's bytes from some offset to its end, read at their offsets in the archive.
class ZipDirectory::Bytes
{
public:
    Bytes(const QByteArray &bytes, qint64 start) : m_bytes(bytes), m_start(start) {}

    bool has(qint64 at, qint64 size) const
    {
        return at >= m_start && size >= 0 && at - m_start <= m_bytes.size() - size;
    }
    // Only where has() says the bytes are there.
    quint16 u16(qint64 at) const { return qFromLittleEndian<quint16>(p(at)); }
    quint32 u32(qint64 at) const { return qFromLittleEndian<quint32>(p(at)); }
    quint64 u64(qint64 at) const { return qFromLittleEndian<quint64>(p(at)); }
    uchar u8(qint64 at) const { return *p(at); }
    QByteArray mid(qint64 at, qint64 size) const
    {
        return m_bytes.mid(int(at - m_start), int(size));
    }

private:
    const uchar *p(qint64 at) const
    {
        return reinterpret_cast<const uchar *>(m_bytes.constData()) + (at - m_start);
    }

    const QByteArray &m_bytes;
    const qint64 m_start;
};

ZipDirectory::Kind ZipDirectory::Entry::kind() const
{
    // A trailing slash makes a folder whatever else the entry says; on MS-DOS names written
    // with backslashes only, a trailing backslash does too.
    if (rawName.endsWith('/') ||
        (hostSystem == dosHost && rawName.endsWith('\\') && !rawName.contains('/')))
        return Kind::Folder;
    if (hostSystem == unixHost) {
        switch ((externalAttributes >> 16) & 0170000) {
        case 0:
        case 0100000:
        // Info-ZIP records what it read from a pipe as the pipe itself.
        case 0010000:
            return Kind::File;
        case 0040000:
            return Kind::Folder;
        case 0120000:
            return Kind::Link;
        default:
            return Kind::Special;
        }
    }
    if (hostSystem == dosHost && (externalAttributes & 0x10))
        return Kind::Folder;
    return Kind::File;
}

quint32 ZipDirectory::Entry::unixPermissions() const
{
    return hostSystem == unixHost ? (externalAttributes >> 16) & 0777 : 0;
}

ZipDirectory::Outcome ZipDirectory::fail(Outcome outcome, const QString &problem)
{
    m_entries.clear();
    m_problem = problem;
    return outcome;
}

ZipDirectory::Outcome ZipDirectory::needs(qint64 start)
{
    m_neededStart = start;
    return Outcome::NeedsEarlierBytes;
}

ZipDirectory::Outcome ZipDirectory::parse(const QByteArray &tail, qint64 tailStart,
                                          qint64 archiveSize)
{
    *this = ZipDirectory();
    if (tailStart < 0 || archiveSize < tailStart || archiveSize - tailStart != tail.size())
        return fail(Outcome::Damaged, "the bytes given are not the archive's end");
    const Bytes bytes(tail, tailStart);

    // The end record nearest to the end whose comment fits in the archive.
    const qint64 lowest = qMax<qint64>(0, archiveSize - endRecordSize - maxCommentSize);
    qint64 end = -1;
    for (qint64 at = archiveSize - endRecordSize; at >= qMax(lowest, tailStart); --at) {
        if (bytes.u32(at) == endSignature &&
            at + endRecordSize + bytes.u16(at + 20) <= archiveSize) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return tailStart > lowest ? needs(lowest) : fail(Outcome::NotZip, "no end record");

    const quint16 thisDisk = bytes.u16(end + 4);
    const quint16 directoryDisk = bytes.u16(end + 6);
    const quint16 entriesHere = bytes.u16(end + 8);
    const quint16 count16 = bytes.u16(end + 10);
    const quint32 size32 = bytes.u32(end + 12);
    const quint32 offset32 = bytes.u32(end + 16);
    quint64 count = count16;
    quint64 directorySize = size32;
    quint64 directoryOffset = offset32;
    qint64 directoryEnd = end;
    qint64 zip64Start = -1;

    const qint64 locator = end - zip64LocatorSize;
    if (locator >= 0 && !bytes.has(locator, zip64LocatorSize))
        return needs(qMax<qint64>(0, locator - zip64EndRecordSize));
    if (locator >= 0 && bytes.u32(locator) == zip64LocatorSignature) {
        if (bytes.u32(locator + 4) != 0 || bytes.u32(locator + 16) > 1)
            return fail(Outcome::Split, "the zip64 end record is on another disk");
        // The zip64 end record stands right before its locator, whose offset falls short behind
        // a stub. Records with extensible data serve only encrypted directories.
        const qint64 record = locator - zip64EndRecordSize;
        if (record < 0)
            return fail(Outcome::Damaged, "no zip64 end record");
        if (!bytes.has(record, zip64EndRecordSize))
            return needs(record);
        if (bytes.u32(record) != zip64EndSignature ||
            bytes.u64(record + 4) != quint64(zip64EndRecordSize - 12))
            return fail(Outcome::Damaged, "no zip64 end record before its locator");
        const quint64 recordOffset = bytes.u64(locator + 8);
        if (recordOffset > quint64(record))
            return fail(Outcome::Damaged, "the zip64 locator points beyond its record");
        zip64Start = record - qint64(recordOffset);

        const quint64 here64 = bytes.u64(record + 24);
        count = bytes.u64(record + 32);
        directorySize = bytes.u64(record + 40);
        directoryOffset = bytes.u64(record + 48);
        directoryEnd = record;
        if (bytes.u32(record + 16) != 0 || bytes.u32(record + 20) != 0 || here64 != count)
            return fail(Outcome::Split, "the zip64 end record counts several disks");
        // What the end record states besides its escapes must be what the zip64 record says.
        if ((count16 != escape16 && count16 != count) ||
            (entriesHere != escape16 && entriesHere != here64) ||
            (size32 != escape32 && size32 != directorySize) ||
            (offset32 != escape32 && offset32 != directoryOffset) ||
            (thisDisk != escape16 && thisDisk != 0) ||
            (directoryDisk != escape16 && directoryDisk != 0))
            return fail(Outcome::Damaged, "the end record and the zip64 end record disagree");
    } else if (thisDisk != 0 || directoryDisk != 0 || entriesHere != count16) {
        return fail(Outcome::Split, "the end record counts several disks");
    }

    // The directory stands right before the end records; recorded further on than that, it
    // has a stub of that length before the archive.
    if (directorySize > quint64(directoryEnd))
        return fail(Outcome::Damaged, "the directory is larger than what precedes the end record");
    const qint64 directoryStart = directoryEnd - qint64(directorySize);
    if (directoryOffset > quint64(directoryStart))
        return fail(Outcome::Damaged, "the directory is recorded beyond where it stands");
    const qint64 archiveStart = directoryStart - qint64(directoryOffset);
    if (zip64Start >= 0 && zip64Start != archiveStart)
        return fail(Outcome::Damaged,
                    "the zip64 locator and the directory disagree on where the archive starts");
    if (qint64(directorySize) > maxDirectorySize)
        return fail(Outcome::TooLarge,
                    QStringLiteral("a directory of %1 bytes").arg(directorySize));
    if (count > directorySize / centralHeaderSize)
        return fail(Outcome::Damaged,
                    QStringLiteral("the end record counts %1 entries, more than the directory "
                                   "of %2 bytes can hold")
                        .arg(count)
                        .arg(directorySize));
    if (!bytes.has(directoryStart, qint64(directorySize)))
        return needs(directoryStart);

    m_archiveStart = archiveStart;
    m_directoryStart = directoryStart;
    m_directoryEnd = directoryEnd;
    m_archiveEnd = end + endRecordSize;
    return parseEntries(bytes, count);
}

ZipDirectory::Outcome ZipDirectory::parseEntries(const Bytes &bytes, quint64 count)
{
    const auto damaged = [this](const QString &what, Outcome outcome = Outcome::Damaged) {
        return fail(outcome, QStringLiteral("entry %1: %2").arg(m_entries.size()).arg(what));
    };
    m_entries.reserve(int(count));
    qint64 at = m_directoryStart;
    while (at < m_directoryEnd) {
        if (quint64(m_entries.size()) == count)
            return fail(Outcome::Damaged,
                        QStringLiteral("the end record counts %1 entries, the directory holds more")
                            .arg(count));
        if (m_directoryEnd - at < centralHeaderSize || bytes.u32(at) != centralSignature)
            return damaged(QStringLiteral("no directory record"));
        const int nameLength = bytes.u16(at + 28);
        const int extraLength = bytes.u16(at + 30);
        const int commentLength = bytes.u16(at + 32);
        const qint64 extraStart = at + centralHeaderSize + nameLength;
        const qint64 next = extraStart + extraLength + commentLength;
        if (next > m_directoryEnd)
            return damaged(QStringLiteral("record runs past the end of the directory"));

        Entry entry;
        entry.hostSystem = bytes.u16(at + 4) >> 8;
        entry.versionNeeded = bytes.u16(at + 6) & 0xFF;
        entry.flags = bytes.u16(at + 8);
        entry.method = bytes.u16(at + 10);
        entry.crc = bytes.u32(at + 16);
        entry.compressedSize = bytes.u32(at + 20);
        entry.size = bytes.u32(at + 24);
        entry.externalAttributes = bytes.u32(at + 38);
        entry.rawName = bytes.mid(at + centralHeaderSize, nameLength);
        entry.recordOffset = at;
        entry.recordSize = int(next - at);
        quint64 offset = bytes.u32(at + 42);
        quint32 disk = bytes.u16(at + 34);
        QByteArray unicodePath;
        QString problem;
        if (!parseExtra(bytes, extraStart, extraStart + extraLength, &entry, &offset, &disk,
                        &unicodePath, &problem))
            return damaged(problem);
        if (disk != 0)
            return damaged(QStringLiteral("on another disk"), Outcome::Split);
        const ZipName::Decoded name =
            ZipName::decode(entry.rawName, entry.flags & utf8Flag, entry.hostSystem, unicodePath);
        entry.name = name.text;
        entry.nameReadable = name.readable;

        // Offsets count from the archive proper's start; the data must fit before the directory.
        const qint64 room = m_directoryStart - m_archiveStart;
        if (offset >= quint64(room))
            return damaged(QStringLiteral("local header at or beyond the directory"));
        entry.localHeaderOffset = m_archiveStart + qint64(offset);
        if (entry.compressedSize > quint64(m_directoryStart - entry.localHeaderOffset))
            return damaged(QStringLiteral("data longer than the room before the directory"));
        // Sizes no data could honour would only make the free-space check refuse the archive
        // for the wrong reason.
        if (!entry.isEncrypted() &&
            ((entry.method == 0 && entry.size != entry.compressedSize) ||
             (entry.method == 8 && entry.size / maxDeflateRatio > entry.compressedSize + 1)))
            return damaged(QStringLiteral("size beyond what its data can unpack to"));
        m_entries.append(entry);
        at = next;
    }
    if (quint64(m_entries.size()) != count)
        return fail(Outcome::Damaged,
                    QStringLiteral("the end record counts %1 entries, the directory holds %2")
                        .arg(count)
                        .arg(m_entries.size()));
    return Outcome::Read;
}

bool ZipDirectory::parseExtra(const Bytes &bytes, qint64 at, qint64 end, Entry *entry,
                              quint64 *offset, quint32 *disk, QByteArray *unicodePath,
                              QString *problem)
{
    // Fields the record escapes are in the zip64 field, in this order.
    const bool needSize = entry->size == escape32;
    const bool needCompressedSize = entry->compressedSize == escape32;
    const bool needOffset = *offset == escape32;
    const bool needDisk = *disk == escape16;
    bool zip64Seen = false;
    while (end - at >= 4) {
        const quint16 id = bytes.u16(at);
        const qint64 field = at + 4;
        const qint64 fieldEnd = field + bytes.u16(at + 2);
        if (fieldEnd > end)
            return fault(problem, "extra field runs past its record");
        if (id == zip64Field && !zip64Seen) {
            zip64Seen = true;
            qint64 p = field;
            const auto take = [&](quint64 *value, int width) {
                if (fieldEnd - p < width)
                    return false;
                *value = width == 8 ? bytes.u64(p) : bytes.u32(p);
                p += width;
                return true;
            };
            quint64 diskNumber = *disk;
            const auto takeOffset = [&] {
                entry->zip64OffsetAt = p;
                return take(offset, 8);
            };
            if ((needSize && !take(&entry->size, 8)) ||
                (needCompressedSize && !take(&entry->compressedSize, 8)) ||
                (needOffset && !takeOffset()) || (needDisk && !take(&diskNumber, 4)))
                return fault(problem, "zip64 field too short");
            *disk = quint32(diskNumber);
        } else if (id == unicodePathField && fieldEnd - field >= 5 && bytes.u8(field) == 1 &&
                   bytes.u32(field + 1) == Crc32::of(entry->rawName)) {
            // Only a Unicode path written for this very name counts; a tool that renamed the
            // entry without knowing the field leaves it stale.
            *unicodePath = bytes.mid(field + 5, fieldEnd - field - 5);
        }
        at = fieldEnd;
    }
    if (at != end)
        return fault(problem, "extra fields end inside a field header");
    if (!zip64Seen && (needSize || needCompressedSize || needOffset || needDisk))
        return fault(problem, "zip64 field missing");
    return true;
}

qint64 ZipDirectory::localHeaderSize(const QByteArray &fixedPart)
{
    const Bytes bytes(fixedPart, 0);
    if (!bytes.has(0, localHeaderFixedSize) || bytes.u32(0) != localSignature)
        return -1;
    return localHeaderFixedSize + bytes.u16(26) + bytes.u16(28);
}

bool ZipDirectory::matchesLocalHeader(const Entry &entry, const QByteArray &header,
                                      QString *problem)
{
    if (localHeaderSize(header) != header.size())
        return fault(problem, "no local header where the directory points");
    const Bytes bytes(header, 0);
    const quint16 flags = bytes.u16(6);
    if (bytes.mid(localHeaderFixedSize, bytes.u16(26)) != entry.rawName)
        return fault(problem, "the local header names it differently");
    if (bytes.u16(8) != entry.method || ((flags ^ entry.flags) & encryptionFlags))
        return fault(problem, "the local header gives another method or encryption");
    // Without a data descriptor the local header states the checksum and sizes itself, or
    // leaves them 0; zip64 archives escape the sizes into an extra field.
    const auto differs = [](quint32 local, quint64 central) {
        return local != 0 && local != escape32 && local != central;
    };
    if (!(flags & descriptorFlag) &&
        (differs(bytes.u32(14), entry.crc) || differs(bytes.u32(18), entry.compressedSize) ||
         differs(bytes.u32(22), entry.size)))
        return fault(problem, "the local header gives another checksum or size");
    return true;
}

QVector<int> ZipDirectory::fileOrder() const
{
    QVector<int> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_entries.at(a).localHeaderOffset < m_entries.at(b).localHeaderOffset;
    });
    return order;
}
