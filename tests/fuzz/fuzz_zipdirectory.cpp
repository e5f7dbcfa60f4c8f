// The zip directory reader, given an archive whole and given its tail only, as a download by
// ranges gives it; every directory it accepts must agree with the bytes it came from.

#include "archive/zipdirectory.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        abort();
}

void checkDirectory(const ZipDirectory &directory, const QByteArray &archive)
{
    const qint64 size = archive.size();
    require(directory.archiveStart() >= 0 &&
            directory.archiveStart() <= directory.directoryStart() &&
            directory.directoryStart() <= size);
    for (const ZipDirectory::Entry &entry : directory.entries()) {
        require(entry.localHeaderOffset >= directory.archiveStart() &&
                entry.localHeaderOffset < directory.directoryStart());
        require(entry.compressedSize <=
                quint64(directory.directoryStart() - entry.localHeaderOffset));
        entry.kind();
        const QByteArray fixed =
            archive.mid(int(entry.localHeaderOffset), ZipDirectory::localHeaderFixedSize);
        const qint64 headerSize = ZipDirectory::localHeaderSize(fixed);
        if (headerSize >= 0 && entry.localHeaderOffset + headerSize <= size) {
            QString problem;
            if (!ZipDirectory::matchesLocalHeader(
                    entry, archive.mid(int(entry.localHeaderOffset), int(headerSize)), &problem))
                require(!problem.isEmpty());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray archive(reinterpret_cast<const char *>(data), int(size));
    ZipDirectory directory;
    // From the last quarter of the archive on, reaching back as far as the reader asks.
    qint64 start = qint64(size) * 3 / 4;
    for (int round = 0; round < 8; ++round) {
        const ZipDirectory::Outcome outcome =
            directory.parse(archive.mid(int(start)), start, qint64(size));
        if (outcome == ZipDirectory::Outcome::Read)
            checkDirectory(directory, archive);
        if (outcome != ZipDirectory::Outcome::NeedsEarlierBytes)
            return 0;
        // It asks for earlier bytes only, and never for bytes before the archive.
        require(directory.neededStart() >= 0 && directory.neededStart() < start);
        start = directory.neededStart();
    }
    abort(); // it kept asking for more
}
