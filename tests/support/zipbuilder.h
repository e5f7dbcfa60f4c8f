#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// Builds zip archives byte by byte, so that a test can hand over what no well-behaved zip
// writer produces ("../x", "/abs", links pointing anywhere, headers that disagree, entries
// sharing data, sizes that lie) as well as what writers differ on (zip64, data descriptors,
// stubs, code pages). Entries are stored unless deflated, made on Unix, with correct checksums
// unless an entry says otherwise.
class ZipBuilder
{
public:
    struct Entry
    {
        QByteArray name;
        QByteArray data;            // uncompressed
        quint32 unixMode = 0100644; // type and permission bits, as stat() gives them
        quint16 hostSystem = 3;     // 3 Unix, 0 MS-DOS; others are unknown to most readers
        quint16 versionNeeded = 20; // the whole field, host byte included
        quint16 flags = 0;
        quint16 method = 0;      // stored, or 8 with deflate; others are written as given
        bool deflate = false;    // deflate data (method 8)
        bool descriptor = false; // checksum and sizes in a data descriptor after the data
        bool zip64 = false;      // sizes and offset in zip64 fields
        bool wrongCrc = false;
        QByteArray localName;        // the local header's name, when it is to differ
        QByteArray extra;            // more extra fields for the directory record
        std::optional<quint64> size; // the uncompressed size to declare, when it is to lie
        QByteArray packed;           // the data as it stands in the archive, when given
        std::optional<quint32> crc;  // with packed: the checksum of what it unpacks to
        int sharesDataOf = -1;       // a record pointing at the local header of that entry
    };

    ZipBuilder &addFile(const QByteArray &name, const QByteArray &data, quint32 mode = 0644);
    // A trailing "/" is added when name has none.
    ZipBuilder &addDirectory(const QByteArray &name, quint32 mode = 0755);
    ZipBuilder &addSymLink(const QByteArray &name, const QByteArray &target);
    ZipBuilder &addEntry(const Entry &entry);

    // Bytes before the archive, as self-extracting archives have; offsets count from the file's
    // start when adjusted (as "zip -A" leaves them), from the archive's otherwise.
    ZipBuilder &setStub(const QByteArray &stub, bool adjustOffsets);
    // A zip64 end record and locator, the end record's fields escaped.
    ZipBuilder &setZip64(bool zip64);
    // The entry count the end record states, when it is to lie.
    ZipBuilder &setRecordedCount(int count);

    QByteArray archive() const;
    // Writes archive() to path; false when the file cannot be written.
    bool save(const QString &path) const;

    // Raw deflate data of count zero bytes, built from a few compressed blocks repeated, and
    // their checksum: entries of gigabytes in a few megabytes, made in a moment.
    static QByteArray deflatedZeros(quint64 count);
    static quint32 crcOfZeros(quint64 count);
    static QByteArray deflated(const QByteArray &data);
    static quint32 crc32(const QByteArray &data);

private:
    QVector<Entry> m_entries;
    QByteArray m_stub;
    bool m_adjustOffsets = false;
    bool m_zip64 = false;
    int m_recordedCount = -1;
};
