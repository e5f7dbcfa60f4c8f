#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// Builds zip archives byte by byte, so that a test can hand over names and kinds that no
// well-behaved zip writer produces ("../x", "/abs", "C:/x", links pointing anywhere). Entries
// are stored uncompressed, made on Unix, with correct checksums unless an entry says otherwise.
class ZipBuilder
{
public:
    struct Entry
    {
        QByteArray name;
        QByteArray data;
        quint32 unixMode = 0100644; // type and permission bits, as stat() gives them
        quint16 hostSystem = 3;     // 3 Unix, 0 MS-DOS; others are unknown to most readers
        quint16 versionNeeded = 10;
        quint16 flags = 0;
        quint16 method = 0; // stored; a different number is written as is, data unchanged
        bool wrongCrc = false;
    };

    ZipBuilder &addFile(const QByteArray &name, const QByteArray &data, quint32 mode = 0644);
    // A trailing "/" is added when name has none.
    ZipBuilder &addDirectory(const QByteArray &name, quint32 mode = 0755);
    ZipBuilder &addSymLink(const QByteArray &name, const QByteArray &target);
    ZipBuilder &addEntry(const Entry &entry);

    QByteArray archive() const;
    // Writes archive() to path; false when the file cannot be written.
    bool save(const QString &path) const;

    // The checksum zip archives record, computed bit by bit.
    static quint32 crc32(const QByteArray &data);

private:
    QVector<Entry> m_entries;
};
