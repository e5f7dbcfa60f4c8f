#pragma once

#include <QHash>
#include <QString>

// What the library copy wrote in a drive folder, one line per file: "<size> <CRC-32 in 8 hex
// digits> <path below that folder>". A later copy tells by it a file it wrote, still as it
// wrote it, from one someone else put there.
class DriveRecord
{
public:
    struct Copy
    {
        qint64 size = 0;
        quint32 crc = 0;
    };

    static inline const QString fileName = QStringLiteral(".tavro-copy.files");

    // Lines that are not a record of a file below folder are skipped.
    void load(const QString &folder);
    // Replaces the record in folder when it differs from what load() found; an empty record
    // that was never written is not written either.
    bool save(const QString &folder);

    const QHash<QString, Copy> &copies() const { return m_copies; }
    Copy copy(const QString &path) const { return m_copies.value(path); }
    void insert(const QString &path, Copy copy) { m_copies.insert(path, copy); }
    void remove(const QString &path) { m_copies.remove(path); }

private:
    QByteArray text() const;

    QHash<QString, Copy> m_copies;
    QByteArray m_loaded;
    bool m_existed = false;
};
