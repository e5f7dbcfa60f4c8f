#pragma once

#include <QByteArray>
#include <QString>

// Reads a file as the drive holds it, not as the system's cache remembers writing it: a drive
// that lost the bytes would otherwise read back whole. The one place that calls the system.
class UncachedFile
{
public:
    explicit UncachedFile(const QString &path);
    ~UncachedFile();
    UncachedFile(const UncachedFile &) = delete;
    UncachedFile &operator=(const UncachedFile &) = delete;

    // Writes out what the system still holds of the file, then opens it past its cache.
    bool open();
    // The next block, valid until the next call; returns its size, 0 at the end, -1 on failure.
    qint64 read(const char **block);
    QString errorString() const { return m_error; }

    // Unbuffered reads must be whole sectors into aligned memory.
    static constexpr int blockSize = 128 * 1024;

private:
    QString m_path;
    QString m_error;
    QByteArray m_buffer;
    char *m_block = nullptr;
    qintptr m_handle = -1;
};
