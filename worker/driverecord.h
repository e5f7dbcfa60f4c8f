#pragma once

#include <QHash>
#include <QString>

// What the library copy wrote on a drive, kept on the drive in the folder it copied to: one
// line per file, "<size> <CRC-32 in 8 hex digits> <path below that folder>", as the library
// records what an archive installed. A later copy tells by it a file it wrote, still as it
// wrote it, from one someone else put there.
class DriveRecord
{
public:
    struct Copy
    {
        qint64 size = 0;
        quint32 crc = 0;
    };

    // The record's name in the drive folder.
    static inline const QString fileName = QStringLiteral(".tavro-copy.files");

    // Reads the record of folder; lines that are not a record of a file below it are skipped.
    void load(const QString &folder);
    // Writes the record into folder, replacing it at once, when it differs from what load()
    // found there; an empty record that was never written is not written either.
    bool save(const QString &folder);

    const QHash<QString, Copy> &copies() const { return m_copies; }
    bool contains(const QString &path) const { return m_copies.contains(path); }
    Copy copy(const QString &path) const { return m_copies.value(path); }
    void insert(const QString &path, Copy copy) { m_copies.insert(path, copy); }
    void remove(const QString &path) { m_copies.remove(path); }

private:
    QByteArray text() const;

    QHash<QString, Copy> m_copies;
    QByteArray m_loaded;
    bool m_existed = false;
};
