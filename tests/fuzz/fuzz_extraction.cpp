// The whole extraction of an archive into a library folder: it either installs, or refuses
// and leaves the library as it was; nothing ever lands outside the library.

#include "archive/archiveextractor.h"
#include "archive/ziparchivefile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        abort();
}

// Each run's writes stay small: archives declaring more than this are only read, not unpacked.
const quint64 maxUnpacked = 16 << 20;

QStringList everythingBelow(const QString &folder)
{
    QStringList paths;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    return paths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    const QString library = root.path() + QStringLiteral("/library");
    const QString archive = library + QStringLiteral("/mod.zip");
    QDir(library).removeRecursively();
    require(QDir().mkpath(library));
    QFile file(archive);
    require(file.open(QIODevice::WriteOnly) &&
            file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
    file.close();

    ZipArchiveFile read;
    if (read.read(archive)) {
        quint64 total = 0;
        for (const ZipDirectory::Entry &entry : read.directory().entries())
            total += qMin<quint64>(entry.size, maxUnpacked);
        if (total > maxUnpacked)
            return 0;
    }

    const JobResult result = extractArchive(archive, library);

    require(result.ok == result.error.isEmpty());
    require(QDir(root.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System) ==
            QStringList{QStringLiteral("library")});
    const QStringList written = everythingBelow(library);
    if (!result.ok) {
        require(written == QStringList{archive});
        return 0;
    }
    const QString inside = QFileInfo(library).canonicalFilePath() + QLatin1Char('/');
    for (const QString &path : written) {
        const QFileInfo info(path);
        require(!info.fileName().startsWith(QLatin1String(".unpack-")));
        if (info.isSymLink()) {
            const QString target = QDir::cleanPath(info.symLinkTarget());
            require(target + QLatin1Char('/') == inside || target.startsWith(inside));
        }
    }
    return 0;
}
