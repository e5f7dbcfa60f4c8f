#include "worker/zipentryreader.h"

#include <QIODevice>
#include <QtGui/private/qzipreader_p.h>

#include <cstring>

// The archive as the zip reader sees it: the local headers and data of the real file, then a
// directory that lists one entry only, then the end record that points at that directory.
class SingleEntryArchive : public QIODevice
{
public:
    SingleEntryArchive(QFile *file, qint64 dataEnd) : m_file(file), m_dataEnd(dataEnd) {}

    void setEntry(const QByteArray &centralHeader)
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

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_dataEnd + m_tail.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
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

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile *m_file;
    const qint64 m_dataEnd;
    QByteArray m_tail;
};

ZipEntryReader::ZipEntryReader(const QString &archivePath) : m_file(archivePath) {}

ZipEntryReader::~ZipEntryReader() = default;

bool ZipEntryReader::open(const ZipDirectory &directory)
{
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    m_view.reset(new SingleEntryArchive(&m_file, directory.directoryOffset()));
    return true;
}

QByteArray ZipEntryReader::data(const ZipDirectory::Entry &entry)
{
    m_view->setEntry(entry.centralHeader);
    // The reader closes the device when it is done with it; opening puts it at the start,
    // where the reader expects it.
    if (!m_view->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    const QZipReader reader(m_view.data());
    return reader.fileData(entry.lookupName());
}
