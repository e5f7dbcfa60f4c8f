#include "library/foldersizes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FolderSizes {

#ifdef Q_OS_UNIX

QVector<qint64> of(const QString &folder, const QStringList &names)
{
    QVector<qint64> sizes(names.size(), -1);
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return sizes;
    for (int i = 0; i < names.size(); ++i) {
        struct stat status;
        if (::fstatat(fd, QFile::encodeName(names.at(i)).constData(), &status,
                      AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(status.st_mode))
            sizes[i] = qint64(status.st_size);
        else if (S_ISLNK(status.st_mode))
            sizes[i] = link;
    }
    ::close(fd);
    return sizes;
}

#else

// Windows lists each file with its size, and compares names as the record spells them: one
// listing of the folder serves every name.
QVector<qint64> of(const QString &folder, const QStringList &names)
{
    QHash<QString, qint64> listed;
    const QFileInfoList files = QDir(folder).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    listed.reserve(files.size());
    for (const QFileInfo &file : files)
        listed.insert(file.fileName(), file.isSymLink() ? link : file.size());
    QVector<qint64> sizes;
    sizes.reserve(names.size());
    for (const QString &name : names)
        sizes.append(listed.value(name, -1));
    return sizes;
}

#endif

} // namespace FolderSizes
