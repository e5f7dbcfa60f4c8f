#pragma once

#include "archive/zipdirectory.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>

class ArchiveReader;

// Judges every entry of an archive, then writes them all into a staging folder. Nothing is
// written unless every entry passed: one entry that would land outside the destination or on
// the client's own files (see EntryPath), that another entry's name equals ignoring case, that
// is of a kind or format that cannot be unpacked, or that does not fit on the disk refuses the
// archive. Data that comes out other than the directory promised (longer, shorter, another
// checksum) refuses it while it is being staged.
class ArchiveStager
{
    Q_DECLARE_TR_FUNCTIONS(ArchiveStager)

public:
    struct Entry
    {
        int index = 0; // in the archive's directory
        QString path;  // below the destination; empty for the destination itself
        QFile::Permissions permissions;
        QString linkTarget;
    };

    // directory has been read from archivePath, which may lie in destination; fileOrder lists
    // its entries in the order their data stand in the file.
    ArchiveStager(const ZipDirectory &directory, const QVector<int> &fileOrder,
                  const QString &archivePath, const QString &destination);

    // Judges every entry by its directory record alone: its name, kind and format, and its
    // place beside the others. Needs nothing of the archive but its directory.
    bool judge();
    // judge(), and then the links' targets and the room on the disk.
    bool plan();
    // The entries judge() passed, in the order of fileOrder, as they would be installed.
    const QVector<Entry> &entries() const { return m_entries; }
    // Writes the planned entries below tree, streaming each file's data; false at the first
    // entry that fails.
    bool stage(const QString &tree);
    // Reads every judged entry as stage() would, checking its data against its record, and
    // writes nothing.
    bool check();

    // Why plan() or stage() failed, in words for the user; problem() adds the details for the
    // debug output.
    QString error() const { return m_error; }
    QString problem() const { return m_problem; }

private:
    struct Claim
    {
        QString path; // as the archive spells it
        bool folder = false;
    };

    bool fail(const QString &error, const QString &problem = QString());
    bool damaged(const QString &problem);
    const ZipDirectory::Entry &record(const Entry &entry) const;
    bool planEntry(int index);
    bool claim(const QString &path, bool folder, const QString &name);
    bool readLinkTargets();
    bool fitsOnDisk();
    bool makeFolder(const QString &tree, const QString &path);
    bool writeFile(const QString &tree, const Entry &entry, ArchiveReader &reader);
    // Fails with the reason a write to file failed: a full disk, or another fault.
    bool writeFailed(const Entry &entry, const QFile &file);
    // Streams the entry's data into file (nowhere when null), checking it on the way.
    bool streamData(const Entry &entry, ArchiveReader &reader, QFile *file);
    // Moves reader to the entry's data; false when the archive reads otherwise.
    bool nextEntry(ArchiveReader &reader, const Entry &entry);
    bool noMoreEntries(ArchiveReader &reader);
    bool linkTargetIntact(const ZipDirectory::Entry &raw, const QByteArray &target);

    const ZipDirectory &m_directory;
    const QVector<int> m_fileOrder;
    const QString m_archivePath;
    const QString m_destination;
    QString m_archiveName;          // empty when the archive lies outside the destination
    QVector<Entry> m_entries;       // in the order their data stand in the archive
    QHash<QString, Claim> m_claims; // by path folded to one case
    QSet<QString> m_madeFolders;
    QString m_error;
    QString m_problem;
};
