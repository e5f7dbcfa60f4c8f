#include "worker/zipentryreader.h"

#include "worker/singleentryarchive.h"

#include <QtGui/private/qzipreader_p.h>

ZipEntryReader::ZipEntryReader(const QString &archivePath) : m_file(archivePath) {}

ZipEntryReader::~ZipEntryReader() = default;

bool ZipEntryReader::open(const ZipDirectory &directory)
{
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    m_view.reset(new SingleEntryArchive(&m_file, directory.directoryOffset()));
    return true;
}

QByteArray ZipEntryReader::data(const ZipDirectory::Entry &entry)
{
    m_view->setEntry(entry.centralHeader);
    // The reader closes the device when it is done with it; opening puts it at the start,
    // where the reader expects it.
    if (!m_view->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QByteArray();
    const QZipReader reader(m_view.data());
    return reader.fileData(entry.lookupName());
}
