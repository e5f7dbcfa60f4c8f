// The archive an update puts together from ranges of another: whatever the other archive and
// whatever bytes arrive, nothing is written outside the room laid out; and from a sound archive
// and its own bytes it makes an archive whose directory says of every entry wanted what the
// other's said, with each local record where the directory points.

#include "archive/crc32.h"
#include "archive/zipdirectory.h"
#include "transfer/compactarchive.h"

#include <QBuffer>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <numeric>

namespace {

void require(bool condition)
{
    if (!condition)
        abort();
}

// Whether every entry's local header and data end before the next entry starts, as in any
// archive that unpacks.
bool isSound(const ZipDirectory &directory, const QByteArray &archive, const QVector<int> &order)
{
    const QVector<ZipDirectory::Entry> &entries = directory.entries();
    for (int i = 0; i < order.size(); ++i) {
        const ZipDirectory::Entry &entry = entries.at(order.at(i));
        const qint64 end = i + 1 < order.size() ? entries.at(order.at(i + 1)).localHeaderOffset
                                                : directory.directoryStart();
        const qint64 header = ZipDirectory::localHeaderSize(
            archive.mid(int(entry.localHeaderOffset), ZipDirectory::localHeaderFixedSize));
        if (header < 0 || quint64(end - entry.localHeaderOffset - header) < entry.compressedSize ||
            entry.localHeaderOffset + header > end)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray archive(reinterpret_cast<const char *>(data), int(size));
    ZipDirectory directory;
    if (directory.parse(archive, 0, archive.size()) != ZipDirectory::Outcome::Read)
        return 0;
    const QVector<ZipDirectory::Entry> &entries = directory.entries();

    // Which entries are wanted, and in what pieces their bytes come, follows from the input.
    const quint32 pick = Crc32::of(archive);
    QVector<int> wanted;
    for (int i = 0; i < entries.size(); ++i) {
        if ((pick >> (i % 31)) & 1)
            wanted.append(i);
    }
    CompactArchive compact(directory, archive, 0, wanted);
    if (!compact.isValid())
        return 0;
    qint64 previousEnd = -1;
    for (const HttpRanges::Span &span : compact.needed()) {
        require(span.first > previousEnd && span.first <= span.last &&
                span.first >= directory.archiveStart() && span.last < directory.directoryStart());
        previousEnd = span.last + 1;
    }
    for (const qint64 gap : {qint64(0), qint64(pick % 5000)}) {
        const QVector<HttpRanges::Span> joined = CompactArchive::joined(compact.missing(), gap);
        for (const HttpRanges::Span &span : compact.missing())
            require(std::any_of(joined.cbegin(), joined.cend(), [&span](const auto &range) {
                return range.first <= span.first && span.last <= range.last;
            }));
    }

    QBuffer out;
    out.open(QIODevice::ReadWrite);
    // Bytes that belong to nothing, then every byte needed, in pieces, in either order.
    require(compact.place(-7, archive.left(12), &out) >= 0);
    require(compact.place(archive.size() + 3, "stray", &out) == 0);
    const qint64 step = 1 + pick % 4093;
    QVector<qint64> starts;
    for (const HttpRanges::Span &span : compact.missing()) {
        for (qint64 at = span.first; at <= span.last; at += step)
            starts.append(at);
    }
    if (pick & 0x80000000u)
        std::reverse(starts.begin(), starts.end());
    for (const qint64 at : qAsConst(starts))
        require(compact.place(at, archive.mid(int(at), int(step)), &out) >= 0);
    require(compact.missing().isEmpty());
    require(compact.finish(&out));

    QVector<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&entries](int a, int b) {
        return entries.at(a).localHeaderOffset < entries.at(b).localHeaderOffset;
    });
    if (!isSound(directory, archive, order))
        return 0;
    const QByteArray made = out.data();
    ZipDirectory madeDirectory;
    require(madeDirectory.parse(made, 0, made.size()) == ZipDirectory::Outcome::Read);
    require(madeDirectory.entries().size() == compact.entryCount());
    int next = 0;
    for (const int index : qAsConst(order)) {
        if (!wanted.contains(index))
            continue;
        const ZipDirectory::Entry &was = entries.at(index);
        const ZipDirectory::Entry &is = madeDirectory.entries().at(next++);
        require(is.rawName == was.rawName && is.crc == was.crc && is.size == was.size &&
                is.compressedSize == was.compressedSize && is.method == was.method &&
                is.flags == was.flags && is.externalAttributes == was.externalAttributes);
        const qint64 header = ZipDirectory::localHeaderSize(
            archive.mid(int(was.localHeaderOffset), ZipDirectory::localHeaderFixedSize));
        require(made.mid(int(is.localHeaderOffset), int(header)) ==
                archive.mid(int(was.localHeaderOffset), int(header)));
    }
    return 0;
}
