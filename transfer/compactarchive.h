#pragma once

#include "archive/zipdirectory.h"
#include "transfer/httpranges.h"

#include <QByteArray>
#include <QMap>
#include <QVector>

class QIODevice;

// A zip archive made of some entries of another, for an update that fetches only what changed.
// Each entry's local record (up to where the next entry starts) is copied as its bytes arrive,
// in any order and pieces; the entries' own directory records follow, with only the local
// header's offset moved. So unpacking it checks every entry as unpacking the other would.
//
// The bytes that arrive are untrusted: whatever they are, nothing is written outside the room
// laid out for the entries, and wrong bytes make an archive that unpacking refuses as damaged.
class CompactArchive
{
public:
    // directory was read from tail, the other archive's bytes from tailStart to its end; entries
    // are positions in directory.entries().
    CompactArchive(const ZipDirectory &directory, const QByteArray &tail, qint64 tailStart,
                   const QVector<int> &entries);

    // False when two entries start at the same place, or a record lies outside tail.
    bool isValid() const { return m_valid; }
    int entryCount() const { return m_slots.size(); }
    // The bytes of the other archive that the entries need, in order, neighbours joined.
    QVector<HttpRanges::Span> needed() const;
    QVector<HttpRanges::Span> missing() const;

    // Writes the bytes of the other archive at offset that belong to the entries into out, at
    // their place. Returns how many were not held before, or -1 when out cannot be written.
    qint64 place(qint64 offset, const QByteArray &bytes, QIODevice *out);
    // What has arrived, as spans of the other archive; restore() takes back those an earlier
    // download placed in out, passing over what lies outside the entries, and says how many.
    QVector<HttpRanges::Span> held() const;
    qint64 restore(const QVector<HttpRanges::Span> &held);
    // Once nothing is missing: writes the directory and the end records after the entries.
    bool finish(QIODevice *out) const;

    // Bytes of other, joined across gaps no longer than gap, as few ranges as that allows.
    static QVector<HttpRanges::Span> joined(const QVector<HttpRanges::Span> &spans, qint64 gap);

private:
    // One entry's local record: bytes first to end (excluded) of the other archive, at at here.
    struct Slot
    {
        qint64 first = 0;
        qint64 end = 0;
        qint64 at = 0;
        QByteArray record;      // its directory record, as the other archive has it
        int zip64OffsetAt = -1; // where in record the zip64 field holds the offset
    };
    // Notes bytes from to end (excluded) as held; returns how many were not held before.
    qint64 hold(qint64 from, qint64 to);

    bool m_valid = false;
    QVector<Slot> m_slots; // in the order of the other archive
    qint64 m_dataSize = 0;
    // What has arrived, as offsets of the other archive: start -> end (excluded), disjoint.
    QMap<qint64, qint64> m_held;
};
