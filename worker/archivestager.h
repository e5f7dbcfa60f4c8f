#pragma once

#include "worker/zipdirectory.h"

#include <QDateTime>
#include <QFile>
#include <QSet>
#include <QString>
#include <QVector>
#include <QtGui/private/qzipreader_p.h>

class ZipEntryReader;

// Judges every entry of an archive, then writes them all into a staging folder. Nothing is
// written unless every entry passed: one entry that would land outside the destination (see
// EntryPath), is of a kind the reader cannot unpack, or came out damaged refuses the archive.
class ArchiveStager
{
public:
    ArchiveStager(ZipEntryReader &reader, const QString &destination);

    // infos is the zip reader's listing of the archive whose directory is given.
    bool plan(const ZipDirectory &directory, const QVector<QZipReader::FileInfo> &infos);
    // Writes the planned entries below tree; false at the first entry that fails.
    bool stage(const QString &tree);
    // Why plan() or stage() failed, in words fit for a status line.
    QString error() const { return m_error; }

private:
    struct Entry
    {
        enum Kind { Folder, File, Link };
        Kind kind = File;
        QString path; // below the destination
        QString name; // as the archive names it, for messages
        const ZipDirectory::Entry *raw = nullptr;
        QFile::Permissions permissions;
        QDateTime modified;
        QString linkTarget;
    };

    bool fail(const QString &error);
    bool planEntry(const ZipDirectory::Entry &raw, const QZipReader::FileInfo &info);
    bool makeFolder(const QString &tree, const QString &path);
    bool writeFile(const QString &tree, const Entry &entry);

    ZipEntryReader &m_reader;
    const QString m_destination;
    QVector<Entry> m_entries;
    QSet<QString> m_folders;
    QString m_error;
};
