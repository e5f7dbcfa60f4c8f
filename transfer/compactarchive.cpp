#include "transfer/compactarchive.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace {

using Format = ZipDirectory;
const quint16 escape16 = Format::escape16;
const quint32 escape32 = Format::escape32;
const quint16 zip64Version = 45;
// Where a directory record keeps its local header's offset, when no zip64 field does.
const int recordOffsetField = 42;

} // namespace

CompactArchive::CompactArchive(const ZipDirectory &directory, const QByteArray &tail,
                               qint64 tailStart, const QVector<int> &entries)
{
    const QVector<ZipDirectory::Entry> &all = directory.entries();
    QVector<bool> wanted(all.size(), false);
    for (const int index : entries) {
        if (index < 0 || index >= all.size())
            return;
        wanted[index] = true;
    }
    const QVector<int> order = directory.fileOrder();
    for (int i = 0; i < order.size(); ++i) {
        const ZipDirectory::Entry &entry = all.at(order.at(i));
        // An entry's record runs up to the next entry, or to the directory after the last.
        const qint64 end = i + 1 < order.size() ? all.at(order.at(i + 1)).localHeaderOffset
                                                : directory.directoryStart();
        if (end <= entry.localHeaderOffset)
            return;
        if (!wanted.at(order.at(i)))
            continue;
        const qint64 recordAt = entry.recordOffset - tailStart;
        if (recordAt < 0 || entry.recordSize < ZipDirectory::centralHeaderSize ||
            recordAt > tail.size() - entry.recordSize)
            return;
        Slot slot;
        slot.first = entry.localHeaderOffset;
        slot.end = end;
        slot.at = m_dataSize;
        slot.record = tail.mid(int(recordAt), entry.recordSize);
        if (entry.zip64OffsetAt >= 0) {
            const qint64 field = entry.zip64OffsetAt - entry.recordOffset;
            if (field < ZipDirectory::centralHeaderSize || field > entry.recordSize - 8)
                return;
            slot.zip64OffsetAt = int(field);
        } else if (slot.at >= escape32) {
            return;
        }
        m_dataSize += end - entry.localHeaderOffset;
        m_slots.append(slot);
    }
    m_valid = true;
}

QVector<HttpRanges::Span> CompactArchive::needed() const
{
    QVector<HttpRanges::Span> spans;
    for (const Slot &slot : m_slots) {
        if (!spans.isEmpty() && spans.last().last + 1 == slot.first)
            spans.last().last = slot.end - 1;
        else
            spans.append({slot.first, slot.end - 1});
    }
    return spans;
}

QVector<HttpRanges::Span> CompactArchive::missing() const
{
    QVector<HttpRanges::Span> spans;
    for (const HttpRanges::Span &span : needed()) {
        qint64 at = span.first;
        auto held = m_held.upperBound(at);
        if (held != m_held.cbegin())
            at = qMax(at, std::prev(held).value());
        for (; held != m_held.cend() && held.key() <= span.last; ++held) {
            if (held.key() > at)
                spans.append({at, held.key() - 1});
            at = qMax(at, held.value());
        }
        if (at <= span.last)
            spans.append({at, span.last});
    }
    return spans;
}

qint64 CompactArchive::place(qint64 offset, const QByteArray &bytes, QIODevice *out)
{
    if (!m_valid || offset < 0 || bytes.isEmpty())
        return 0;
    const qint64 pieceEnd = offset + bytes.size();
    auto slot = std::upper_bound(m_slots.cbegin(), m_slots.cend(), offset,
                                 [](qint64 at, const Slot &s) { return at < s.end; });
    qint64 fresh = 0;
    for (; slot != m_slots.cend() && slot->first < pieceEnd; ++slot) {
        const qint64 from = qMax(offset, slot->first);
        const qint64 to = qMin(pieceEnd, slot->end);
        if (!out->seek(slot->at + (from - slot->first)) ||
            out->write(bytes.constData() + (from - offset), to - from) != to - from)
            return -1;
        fresh += hold(from, to);
    }
    return fresh;
}

QVector<HttpRanges::Span> CompactArchive::held() const
{
    QVector<HttpRanges::Span> spans;
    for (auto held = m_held.cbegin(); held != m_held.cend(); ++held)
        spans.append({held.key(), held.value() - 1});
    return spans;
}

qint64 CompactArchive::restore(const QVector<HttpRanges::Span> &held)
{
    qint64 taken = 0;
    for (const HttpRanges::Span &span : needed()) {
        for (const HttpRanges::Span &piece : held) {
            const qint64 from = qMax(span.first, piece.first);
            const qint64 to = qMin(span.last, piece.last) + 1;
            if (m_valid && from < to)
                taken += hold(from, to);
        }
    }
    return taken;
}

qint64 CompactArchive::hold(qint64 from, qint64 to)
{
    // Stretches that overlap or touch [from, to) become one.
    auto held = m_held.upperBound(from);
    if (held != m_held.begin() && std::prev(held).value() >= from)
        --held;
    qint64 covered = 0;
    qint64 start = from, end = to;
    while (held != m_held.end() && held.key() <= to) {
        covered += qMax<qint64>(0, qMin(to, held.value()) - qMax(from, held.key()));
        start = qMin(start, held.key());
        end = qMax(end, held.value());
        held = m_held.erase(held);
    }
    m_held.insert(start, end);
    return (to - from) - covered;
}

bool CompactArchive::finish(QIODevice *out) const
{
    if (!m_valid || !missing().isEmpty())
        return false;
    QByteArray tail;
    for (const Slot &slot : m_slots) {
        // The record's offset field, or its zip64 twin; both lie inside the record, as checked
        // when the slot was made.
        const bool wide = slot.zip64OffsetAt >= 0;
        QByteArray offset(wide ? 8 : 4, Qt::Uninitialized);
        if (wide)
            qToLittleEndian(quint64(slot.at), offset.data());
        else
            qToLittleEndian(quint32(slot.at), offset.data());
        tail += QByteArray(slot.record)
                    .replace(wide ? slot.zip64OffsetAt : recordOffsetField, offset.size(), offset);
    }
    const quint64 count = quint64(m_slots.size());
    const quint64 directorySize = quint64(tail.size());
    const quint64 directoryOffset = quint64(m_dataSize);
    const bool zip64 =
        count >= escape16 || directorySize >= escape32 || directoryOffset >= escape32;
    QDataStream stream(&tail, QIODevice::Append);
    stream.setByteOrder(QDataStream::LittleEndian);
    // The zip64 end record and its locator, then the end record, all of one disk.
    if (zip64)
        stream << Format::zip64EndSignature << quint64(Format::zip64EndRecordSize - 12)
               << zip64Version << zip64Version << quint32(0) << quint32(0) << count << count
               << directorySize << directoryOffset << Format::zip64LocatorSignature << quint32(0)
               << directoryOffset + directorySize << quint32(1);
    const quint16 entries = zip64 ? escape16 : quint16(count);
    stream << Format::endSignature << quint16(0) << quint16(0) << entries << entries
           << quint32(zip64 ? escape32 : directorySize)
           << quint32(zip64 ? escape32 : directoryOffset) << quint16(0); // no comment
    return out->seek(m_dataSize) && out->write(tail) == tail.size();
}

QVector<HttpRanges::Span> CompactArchive::joined(const QVector<HttpRanges::Span> &spans, qint64 gap)
{
    QVector<HttpRanges::Span> ranges;
    for (const HttpRanges::Span &span : spans) {
        if (!ranges.isEmpty() && span.first - ranges.last().last - 1 <= gap)
            ranges.last().last = qMax(ranges.last().last, span.last);
        else
            ranges.append(span);
    }
    return ranges;
}
