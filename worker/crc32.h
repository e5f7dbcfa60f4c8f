#pragma once

#include <QByteArray>
#include <QtGlobal>

// The CRC-32 that zip archives record for every entry, so that an entry whose data came out
// damaged is never installed as if it were whole.
quint32 zipCrc32(const QByteArray &data);
