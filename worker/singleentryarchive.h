#pragma once

#include <QByteArray>
#include <QFile>
#include <QIODevice>

// The archive as the zip reader sees it: the local headers and data of the real file, then a
// directory that lists one entry only, then the end record that points at that directory.
class SingleEntryArchive : public QIODevice
{
public:
    // dataEnd: where the real directory starts, that is, where the entries' data ends.
    SingleEntryArchive(QFile *file, qint64 dataEnd);

    // centralHeader: the entry's record in the real directory, byte for byte.
    void setEntry(const QByteArray &centralHeader);

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_dataEnd + m_tail.size(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile *m_file;
    const qint64 m_dataEnd;
    QByteArray m_tail; // the directory of one entry and the end record
};
