#pragma once

#include <QByteArray>
#include <QtGlobal>

// The CRC-32 that zip archives record for every entry, computed as the entry streams by, so
// that an entry whose data came out damaged is never installed as if it were whole.
class Crc32
{
public:
    void update(const char *data, qint64 size);
    quint32 value() const { return ~m_register; }

    static quint32 of(const QByteArray &data);

private:
    quint32 m_register = 0xFFFFFFFFu;
};
