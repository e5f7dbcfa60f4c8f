#pragma once

#include <QByteArray>
#include <QString>

// Reads a file as the drive holds it, not as the system's cache remembers writing it: a drive
// that lost or changed the bytes would otherwise read back whole. The one place with calls to
// the operating system, one branch for each.
class UncachedFile
{
public:
    explicit UncachedFile(const QString &path);
    ~UncachedFile();
    UncachedFile(const UncachedFile &) = delete;
    UncachedFile &operator=(const UncachedFile &) = delete;

    // Writes out what the system still holds of the file, then opens it for reading past its
    // cache where the platform allows it.
    bool open();
    // The next block of the file in *block, valid until the next call; returns its size, 0 at
    // the end of the file and -1 on a failure.
    qint64 read(const char **block);
    QString errorString() const { return m_error; }

    // Blocks are as large as this; unbuffered reads must be whole sectors into aligned memory.
    static constexpr int blockSize = 128 * 1024;

private:
    QString m_path;
    QString m_error;
    QByteArray m_buffer;
    char *m_block = nullptr;
    qintptr m_handle = -1;
};
