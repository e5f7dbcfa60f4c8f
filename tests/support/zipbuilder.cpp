#include "support/zipbuilder.h"

#include <QFile>

namespace {

void put16(QByteArray &out, quint32 value)
{
    out.append(char(value & 0xFF));
    out.append(char((value >> 8) & 0xFF));
}

void put32(QByteArray &out, quint32 value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// The fields that a local header and its central directory record both hold, in the same
// order: from the version needed to extract up to the length of the name.
void putSharedFields(QByteArray &out, const ZipBuilder::Entry &entry, quint32 crc)
{
    const quint32 dosTime = (6u << 11) | (30u << 5);                  // 06:30:00
    const quint32 dosDate = ((2024u - 1980u) << 9) | (3u << 5) | 15u; // 15 March 2024
    const quint32 size = quint32(entry.data.size());
    put16(out, entry.versionNeeded);
    put16(out, entry.flags);
    put16(out, entry.method);
    put16(out, dosTime);
    put16(out, dosDate);
    put32(out, crc);
    put32(out, size); // stored: the compressed size is the size
    put32(out, size);
    put16(out, quint32(entry.name.size()));
}

} // namespace

ZipBuilder &ZipBuilder::addFile(const QByteArray &name, const QByteArray &data, quint32 mode)
{
    Entry entry;
    entry.name = name;
    entry.data = data;
    entry.unixMode = 0100000 | mode;
    return addEntry(entry);
}

ZipBuilder &ZipBuilder::addDirectory(const QByteArray &name, quint32 mode)
{
    Entry entry;
    entry.name = name.endsWith('/') ? name : name + '/';
    entry.unixMode = 0040000 | mode;
    return addEntry(entry);
}

ZipBuilder &ZipBuilder::addSymLink(const QByteArray &name, const QByteArray &target)
{
    Entry entry;
    entry.name = name;
    entry.data = target;
    entry.unixMode = 0120777;
    return addEntry(entry);
}

ZipBuilder &ZipBuilder::addEntry(const Entry &entry)
{
    m_entries.append(entry);
    return *this;
}

quint32 ZipBuilder::crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

QByteArray ZipBuilder::archive() const
{
    QByteArray out;
    QByteArray directory;
    for (const Entry &entry : m_entries) {
        const quint32 crc = crc32(entry.data) ^ (entry.wrongCrc ? 0x5A5A5A5Au : 0u);
        const quint32 offset = quint32(out.size());

        put32(out, 0x04034b50);
        putSharedFields(out, entry, crc);
        put16(out, 0);
        out += entry.name;
        out += entry.data;

        put32(directory, 0x02014b50);
        put16(directory, (quint32(entry.hostSystem) << 8) | 20);
        putSharedFields(directory, entry, crc);
        put16(directory, 0); // extra field
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        const bool isDirectory = (entry.unixMode & 0170000) == 0040000;
        put32(directory,
              entry.hostSystem == 3 ? entry.unixMode << 16 : (isDirectory ? 0x10 : 0x20));
        put32(directory, offset);
        directory += entry.name;
    }

    const quint32 directoryOffset = quint32(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint32(m_entries.size()));
    put16(out, quint32(m_entries.size()));
    put32(out, quint32(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

bool ZipBuilder::save(const QString &path) const
{
    QFile file(path);
    const QByteArray bytes = archive();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
