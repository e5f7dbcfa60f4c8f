#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// The central directory of a zip archive, read from the archive's last bytes (the end records
// and the directory before them). It reads bytes, not a file, so that it serves an archive on
// disk (ZipArchiveFile) and one whose tail arrives over the network alike.
//
// Archives are untrusted: whatever the bytes, parse() returns, and a directory it accepts is
// one whose counts, sizes and offsets all agree with each other and with the archive's size.
class ZipDirectory
{
public:
    enum class Kind { File, Folder, Link, Special };

    struct Entry
    {
        QByteArray rawName;
        QString name; // as ZipName decodes it
        bool nameReadable = true;
        int hostSystem = 0;    // the system the entry was made on (3 Unix, 0 MS-DOS)
        int versionNeeded = 0; // the version part of the field; its host byte is ignored
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint32 externalAttributes = 0;
        quint64 compressedSize = 0;
        quint64 size = 0;
        qint64 localHeaderOffset = 0; // in the file, a stub before the archive included
        // The entry's directory record, and where its zip64 field holds the local header's
        // offset (-1: the record's own field does): CompactArchive rewrites only that offset.
        qint64 recordOffset = 0;
        int recordSize = 0;
        qint64 zip64OffsetAt = -1;

        bool isEncrypted() const { return flags & 0x0041; }
        // As libarchive judges it, so that both agree on every entry.
        Kind kind() const;
        // The permission bits of an entry made on Unix; 0 for other systems.
        quint32 unixPermissions() const;
    };

    enum class Outcome {
        Read,
        NeedsEarlierBytes, // call again with the bytes from neededStart() on
        NotZip,            // no end record
        Damaged,
        Split,   // one part of an archive split over several files
        TooLarge // a directory beyond maxDirectorySize
    };

    // The end record, a comment of the greatest size, the zip64 locator and record.
    static constexpr qint64 suggestedTailSize = 22 + 0xFFFF + 20 + 56;
    // Some 600,000 entries; beyond that an archive is refused rather than held in memory.
    static constexpr qint64 maxDirectorySize = 64 << 20;

    // tail holds the archive's bytes from tailStart to its end, archiveSize.
    Outcome parse(const QByteArray &tail, qint64 tailStart, qint64 archiveSize);

    qint64 neededStart() const { return m_neededStart; }
    // Where the archive proper begins, after any stub (a self-extractor's program, say): every
    // offset the archive records counts from here.
    qint64 archiveStart() const { return m_archiveStart; }
    qint64 directoryStart() const { return m_directoryStart; }
    // Where the end record ends, before any comment: a reader that looks for the end record in
    // the last few bytes finds it there.
    qint64 archiveEnd() const { return m_archiveEnd; }
    const QVector<Entry> &entries() const { return m_entries; }
    // The entries' positions in the order their data stands in the archive.
    QVector<int> fileOrder() const;
    // What was wrong, for the debug output.
    QString problem() const { return m_problem; }

    // The whole size of a local header from its fixed part; -1 when it is no local header.
    static constexpr int localHeaderFixedSize = 30;
    static qint64 localHeaderSize(const QByteArray &fixedPart);
    // Whether the local header held whole in header agrees with entry: the same name, method
    // and encryption, and the same checksum and sizes where it states them.
    static bool matchesLocalHeader(const Entry &entry, const QByteArray &header, QString *problem);
    // For code that writes the records an archive ends with.
    static constexpr quint32 endSignature = 0x06054b50;
    static constexpr quint32 zip64EndSignature = 0x06064b50;
    static constexpr quint32 zip64LocatorSignature = 0x07064b50;
    static constexpr quint16 escape16 = 0xFFFF;
    static constexpr quint32 escape32 = 0xFFFFFFFFu;
    static constexpr int centralHeaderSize = 46;
    static constexpr int endRecordSize = 22;
    static constexpr int zip64EndRecordSize = 56; // without extensible data
    static constexpr int zip64LocatorSize = 20;

private:
    class Bytes;
    Outcome fail(Outcome outcome, const QString &problem);
    Outcome needs(qint64 start);
    Outcome parseEntries(const Bytes &bytes, quint64 count);
    bool parseExtra(const Bytes &bytes, qint64 at, qint64 end, Entry *entry, quint64 *offset,
                    quint32 *disk, QByteArray *unicodePath, QString *problem);

    QVector<Entry> m_entries;
    qint64 m_neededStart = 0;
    qint64 m_archiveStart = 0;
    qint64 m_directoryStart = 0;
    qint64 m_directoryEnd = 0;
    qint64 m_archiveEnd = 0;
    QString m_problem;
};
