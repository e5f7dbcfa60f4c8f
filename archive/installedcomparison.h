#pragma once

#include "archive/zipdirectory.h"

#include <QMetaType>
#include <QString>
#include <QVector>

// Which entries of a module's new archive differ from what the library folder holds, asked of
// the worker before an update fetches anything. The archive's whole directory is judged first,
// by the rules unpacking applies: an update never installs what unpacking the whole archive
// would refuse. Then every file entry is compared with the installed file at its path: the same
// size, the same permissions and the same CRC-32 mean unchanged. A file whose size differs is
// never read.
struct InstalledComparison
{
    // Asked
    QString archivePath; // where the whole archive would be saved; it names the download too
    QString libraryFolder;
    ZipDirectory directory;
    // Once the changed entries' records come to more bytes than this, the rest is not compared;
    // negative for no limit.
    qint64 changedLimit = -1;

    // Answered
    QString refusal;      // why the archive would be refused; empty when it would not
    QVector<int> changed; // file entries whose installed file differs, by directory position
    bool tooMuch = false; // the comparison stopped at changedLimit
};
Q_DECLARE_METATYPE(InstalledComparison)

// Fills in the answer of comparison.
void compareWithInstalled(InstalledComparison *comparison);
