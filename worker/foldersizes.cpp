#include "worker/foldersizes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace FolderSizes {

#ifdef Q_OS_UNIX

QHash<QString, qint64> of(const QString &folder)
{
    QHash<QString, qint64> sizes;
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return sizes;
    const int fd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        const char *name = entry->d_name;
        if (entry->d_type == DT_DIR ||
            (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))))
            continue;
        struct stat status;
        if (fstatat(fd, name, &status, 0) == 0 && S_ISREG(status.st_mode))
            sizes.insert(QFile::decodeName(name), qint64(status.st_size));
    }
    closedir(dir);
    return sizes;
}

#else

// Windows lists each file with its size: Qt's listing costs nothing more there.
QHash<QString, qint64> of(const QString &folder)
{
    QHash<QString, qint64> sizes;
    const QFileInfoList files = QDir(folder).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    sizes.reserve(files.size());
    for (const QFileInfo &file : files)
        sizes.insert(file.fileName(), file.size());
    return sizes;
}

#endif

} // namespace FolderSizes
