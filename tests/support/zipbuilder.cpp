#include "support/zipbuilder.h"

#include <QFile>

#include <zlib.h>

namespace {

const quint32 escape32 = 0xFFFFFFFFu;

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

void put64(QByteArray &out, quint64 value)
{
    put32(out, quint32(value));
    put32(out, quint32(value >> 32));
}

quint32 clip(quint64 value, bool zip64)
{
    return zip64 ? escape32 : quint32(value);
}

// Raw deflate data, as zip holds it, ended by flush.
QByteArray deflateRaw(const QByteArray &data, int flush)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))) + 16, Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, flush);
    out.resize(int(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// An entry as it is written: its data packed, its checksum and sizes.
struct Packed
{
    QByteArray data;
    quint16 method = 0;
    quint32 crc = 0;
    quint64 size = 0;
    bool zip64 = false;
};

Packed pack(const ZipBuilder::Entry &entry)
{
    Packed packed;
    packed.method = entry.deflate ? 8 : entry.method;
    if (!entry.packed.isNull()) {
        packed.data = entry.packed;
        packed.crc = entry.crc.value_or(ZipBuilder::crc32(entry.data));
        packed.size = quint64(entry.data.size());
    } else {
        packed.data = entry.deflate ? ZipBuilder::deflated(entry.data) : entry.data;
        packed.crc = ZipBuilder::crc32(entry.data);
        packed.size = quint64(entry.data.size());
    }
    packed.size = entry.size.value_or(packed.size);
    packed.crc ^= entry.wrongCrc ? 0x5A5A5A5Au : 0u;
    packed.zip64 =
        entry.zip64 || packed.size >= escape32 || quint64(packed.data.size()) >= escape32;
    return packed;
}

// The fields that a local header and its directory record both hold, in the same order: from
// the version needed to extract up to the length of the name.
void putSharedFields(QByteArray &out, const ZipBuilder::Entry &entry, const Packed &packed,
                     bool inDescriptor, const QByteArray &name)
{
    const quint32 dosTime = (6u << 11) | (30u << 5);                  // 06:30:00
    const quint32 dosDate = ((2024u - 1980u) << 9) | (3u << 5) | 15u; // 15 March 2024
    put16(out, entry.versionNeeded);
    put16(out, entry.flags | (entry.descriptor ? 0x0008 : 0));
    put16(out, packed.method);
    put16(out, dosTime);
    put16(out, dosDate);
    put32(out, inDescriptor ? 0 : packed.crc);
    put32(out, inDescriptor ? 0 : clip(quint64(packed.data.size()), packed.zip64));
    put32(out, inDescriptor ? 0 : clip(packed.size, packed.zip64));
    put16(out, quint32(name.size()));
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

ZipBuilder &ZipBuilder::setStub(const QByteArray &stub, bool adjustOffsets)
{
    m_stub = stub;
    m_adjustOffsets = adjustOffsets;
    return *this;
}

ZipBuilder &ZipBuilder::setZip64(bool zip64)
{
    m_zip64 = zip64;
    return *this;
}

ZipBuilder &ZipBuilder::setRecordedCount(int count)
{
    m_recordedCount = count;
    return *this;
}

quint32 ZipBuilder::crc32(const QByteArray &data)
{
    return quint32(
        ::crc32_z(0, reinterpret_cast<const Bytef *>(data.constData()), size_t(data.size())));
}

QByteArray ZipBuilder::deflated(const QByteArray &data)
{
    return deflateRaw(data, Z_FINISH);
}

QByteArray ZipBuilder::deflatedZeros(quint64 count)
{
    // Blocks flushed to a byte boundary, each unpacking to zeros whatever came before it,
    // repeat; a final empty block ends the data.
    const int chunk = 64 << 20;
    QByteArray out = deflateRaw(QByteArray(chunk, '\0'), Z_SYNC_FLUSH).repeated(int(count / chunk));
    if (count % chunk)
        out += deflateRaw(QByteArray(int(count % chunk), '\0'), Z_SYNC_FLUSH);
    return out + QByteArray("\x03\x00", 2);
}

quint32 ZipBuilder::crcOfZeros(quint64 count)
{
    const int chunk = 1 << 20;
    const quint32 chunkCrc = crc32(QByteArray(chunk, '\0'));
    uLong crc = crc32(QByteArray(int(count % chunk), '\0'));
    for (quint64 i = 0; i < count / chunk; ++i)
        crc = crc32_combine64(crc, chunkCrc, chunk);
    return quint32(crc);
}

QByteArray ZipBuilder::archive() const
{
    const quint64 shift = m_adjustOffsets ? quint64(m_stub.size()) : 0;
    QByteArray out;
    QByteArray directory;
    QVector<quint64> offsets;
    for (const Entry &entry : m_entries) {
        const bool shared = entry.sharesDataOf >= 0;
        const Entry &owner = shared ? m_entries.at(entry.sharesDataOf) : entry;
        const Packed packed = pack(owner);
        const quint64 offset =
            shared ? offsets.at(entry.sharesDataOf) : quint64(out.size()) + shift;
        offsets.append(offset);
        const bool zip64 = packed.zip64 || offset >= escape32;

        if (!shared) {
            const QByteArray localName = entry.localName.isNull() ? entry.name : entry.localName;
            QByteArray localExtra;
            if (packed.zip64) {
                put16(localExtra, 0x0001);
                put16(localExtra, 16);
                put64(localExtra, packed.size);
                put64(localExtra, quint64(packed.data.size()));
            }
            put32(out, 0x04034b50);
            putSharedFields(out, entry, packed, entry.descriptor, localName);
            put16(out, quint32(localExtra.size()));
            out += localName + localExtra + packed.data;
            if (entry.descriptor) {
                put32(out, 0x08074b50);
                put32(out, packed.crc);
                if (packed.zip64) {
                    put64(out, quint64(packed.data.size()));
                    put64(out, packed.size);
                } else {
                    put32(out, quint32(packed.data.size()));
                    put32(out, quint32(packed.size));
                }
            }
        }

        Packed recorded = packed;
        recorded.zip64 = zip64;
        QByteArray extra;
        if (zip64) {
            put16(extra, 0x0001);
            put16(extra, 24);
            put64(extra, packed.size);
            put64(extra, quint64(packed.data.size()));
            put64(extra, offset);
        }
        extra += entry.extra;
        put32(directory, 0x02014b50);
        put16(directory, (quint32(entry.hostSystem) << 8) | 45);
        putSharedFields(directory, entry, recorded, false, entry.name);
        put16(directory, quint32(extra.size()));
        put16(directory, 0); // comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        const bool isDirectory = (entry.unixMode & 0170000) == 0040000;
        put32(directory,
              entry.hostSystem == 3 ? entry.unixMode << 16 : (isDirectory ? 0x10 : 0x20));
        put32(directory, clip(offset, zip64));
        directory += entry.name + extra;
    }

    const quint64 directoryOffset = quint64(out.size()) + shift;
    out += directory;
    const quint32 count = quint32(m_recordedCount >= 0 ? m_recordedCount : m_entries.size());
    if (m_zip64) {
        const quint64 recordOffset = quint64(out.size()) + shift;
        put32(out, 0x06064b50);
        put64(out, 44);
        put16(out, 45);
        put16(out, 45);
        put32(out, 0);
        put32(out, 0);
        put64(out, count);
        put64(out, count);
        put64(out, quint64(directory.size()));
        put64(out, directoryOffset);
        put32(out, 0x07064b50);
        put32(out, 0);
        put64(out, recordOffset);
        put32(out, 1);
    }
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, m_zip64 ? 0xFFFF : count);
    put16(out, m_zip64 ? 0xFFFF : count);
    put32(out, m_zip64 ? escape32 : quint32(directory.size()));
    put32(out, m_zip64 ? escape32 : quint32(directoryOffset));
    put16(out, 0);
    return m_stub + out;
}

bool ZipBuilder::save(const QString &path) const
{
    QFile file(path);
    const QByteArray bytes = archive();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
