#include "worker/singleentryarchive.h"

#include <cstring>

SingleEntryArchive::SingleEntryArchive(QFile *file, qint64 dataEnd)
    : m_file(file), m_dataEnd(dataEnd)
{
}

void SingleEntryArchive::setEntry(const QByteArray &centralHeader)
{
    m_tail = centralHeader;
    const auto put16 = [this](quint32 value) {
        m_tail.append(char(value & 0xFF)).append(char((value >> 8) & 0xFF));
    };
    const auto put32 = [&put16](quint32 value) {
        put16(value & 0xFFFF);
        put16(value >> 16);
    };
    put32(0x06054b50);
    put16(0); // this disk
    put16(0); // disk of the directory
    put16(1); // entries on this disk
    put16(1); // entries in all
    put32(quint32(centralHeader.size()));
    put32(quint32(m_dataEnd));
    put16(0); // comment length
}

qint64 SingleEntryArchive::readData(char *data, qint64 maxSize)
{
    qint64 done = 0;
    qint64 at = pos();
    if (at < m_dataEnd) {
        if (!m_file->seek(at))
            return -1;
        const qint64 got = m_file->read(data, qMin(maxSize, m_dataEnd - at));
        if (got < 0)
            return -1;
        done = got;
        at += got;
        if (at < m_dataEnd)
            return done;
    }
    const qint64 offset = at - m_dataEnd;
    const qint64 fromTail = qBound<qint64>(0, m_tail.size() - offset, maxSize - done);
    if (fromTail > 0)
        std::memcpy(data + done, m_tail.constData() + offset, size_t(fromTail));
    return done + fromTail;
}
