#include "library/uncachedfile.h"

#include <QFile>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
// Unbuffered reads on Windows need sector-aligned memory; a page covers every sector size.
constexpr qintptr alignment = 4096;
} // namespace

UncachedFile::UncachedFile(const QString &path) : m_path(path)
{
    m_buffer.resize(blockSize + int(alignment));
    const auto start = reinterpret_cast<quintptr>(m_buffer.data());
    m_block = m_buffer.data() + (alignment - qintptr(start % alignment)) % alignment;
}

#if defined(Q_OS_WIN)

UncachedFile::~UncachedFile()
{
    if (m_handle != -1)
        CloseHandle(HANDLE(m_handle));
}

bool UncachedFile::open()
{
    const auto name = reinterpret_cast<const wchar_t *>(m_path.utf16());
    // Bytes still in the cache go to the drive first, or the read would not see them at all.
    const HANDLE writer = CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(writer);
        CloseHandle(writer);
    }
    const HANDLE reader = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (reader == INVALID_HANDLE_VALUE) {
        m_error = qt_error_string(int(GetLastError()));
        return false;
    }
    m_handle = qintptr(reader);
    return true;
}

qint64 UncachedFile::read(const char **block)
{
    DWORD got = 0;
    if (!ReadFile(HANDLE(m_handle), m_block, DWORD(blockSize), &got, nullptr)) {
        m_error = qt_error_string(int(GetLastError()));
        return -1;
    }
    *block = m_block;
    return qint64(got);
}

#else

UncachedFile::~UncachedFile()
{
    if (m_handle != -1)
        ::close(int(m_handle));
}

bool UncachedFile::open()
{
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_error = qt_error_string(errno);
        return false;
    }
    m_handle = fd;
    // Only pages the drive has taken can be dropped; a read then has to ask the drive.
#if defined(Q_OS_LINUX)
    int failure = ::fdatasync(fd) != 0 ? errno : 0;
    if (!failure)
        failure = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
#elif defined(F_NOCACHE)
    const int failure = ::fsync(fd) != 0 || ::fcntl(fd, F_NOCACHE, 1) != 0 ? errno : 0;
#else
    const int failure = ::fsync(fd) != 0 ? errno : 0;
#endif
    if (failure)
        m_error = qt_error_string(failure);
    return !failure;
}

qint64 UncachedFile::read(const char **block)
{
    qint64 got;
    do
        got = ::read(int(m_handle), m_block, blockSize);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        m_error = qt_error_string(errno);
    *block = m_block;
    return got;
}

#endif
