#pragma once

#include "worker/zipdirectory.h"

#include <QByteArray>
#include <QFile>
#include <QScopedPointer>
#include <QString>

class SingleEntryArchive;

// Hands out the uncompressed data of one entry at a time, through the zip reader. The reader
// finds an entry by comparing its name with every name before it, so unpacking an archive
// through one reader costs time in the square of its entries (seconds for a few thousand).
// Here the reader is given a view of the archive whose directory lists the wanted entry alone.
class ZipEntryReader
{
public:
    explicit ZipEntryReader(const QString &archivePath);
    ~ZipEntryReader();

    // directory must have been read from the same archive.
    bool open(const ZipDirectory &directory);
    // The entry's data as the reader gives it: empty or short when the reader cannot unpack it.
    QByteArray data(const ZipDirectory::Entry &entry);

private:
    QFile m_file;
    QScopedPointer<SingleEntryArchive> m_view;
};
