#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

// The CRC-32 that zip archives record for every entry, computed as the entry streams by, so
// that an entry whose data came out damaged is never installed as if it were whole.
class Crc32
{
public:
    void update(const char *data, qint64 size);
    quint32 value() const { return ~m_register; }

    static quint32 of(const QByteArray &data);
    // The CRC-32 of the file at path, read in blocks; working, when given, hears the bytes
    // still to go before each block. False when the file cannot be read.
    static bool ofFile(const QString &path, quint32 *crc,
                       const std::function<void(qint64 bytesToGo)> &working = {});

private:
    quint32 m_register = 0xFFFFFFFFu;
};
