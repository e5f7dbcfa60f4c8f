#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// The central directory of a zip archive as it stands in the file. The zip reader tidies entry
// names before it shows them ("../x" becomes "x", "/abs" becomes "abs"), so an archive can only
// be judged by the names it really holds; the reader also finds an entry's data by its name as
// written. This reads those names and the few header fields the reader does not show.
class ZipDirectory
{
public:
    struct Entry
    {
        QByteArray rawName;
        quint16 versionNeeded = 0;
        quint16 flags = 0;
        quint16 method = 0;
        quint32 crc = 0;
        quint32 compressedSize = 0;
        quint32 size = 0; // uncompressed
        quint32 localHeaderOffset = 0;
        QByteArray centralHeader; // the entry's record in the directory, byte for byte

        bool isEncrypted() const { return flags & 0x0001; }
        // The name as the reader decodes it for display ...
        QString name() const;
        // ... and as it decodes it to look up the data.
        QString lookupName() const;
    };

    // Reads the directory of the archive at path. On failure error() tells why, in words fit
    // for a status line ("not a zip archive", "archive is damaged or incomplete").
    bool read(const QString &path);

    const QVector<Entry> &entries() const { return m_entries; }
    // Where the directory starts: everything before it is local headers and entry data.
    qint64 directoryOffset() const { return m_directoryOffset; }
    QString error() const { return m_error; }

private:
    bool fail(const QString &error);

    QVector<Entry> m_entries;
    qint64 m_directoryOffset = 0;
    QString m_error;
};
