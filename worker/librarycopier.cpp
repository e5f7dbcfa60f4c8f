#include "worker/librarycopier.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <utility>

namespace {
// Large blocks keep the copy of thousands of files close to what the system's own copy takes.
constexpr int blockSize = 1024 * 1024;
// Hidden entries stay behind; files and folders are listed mixed, by name, ignoring case.
constexpr QDir::Filters entryFilter =
    QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot;
constexpr QDir::SortFlags entryOrder = QDir::Name | QDir::IgnoreCase;

// The permissions stored with the file for its owner, its group and others. Asking for the
// current user's as well would cost three access checks per file.
QFile::Permissions storedPermissions(const QFileInfo &file)
{
    QFile::Permissions stored;
    for (const QFile::Permission permission :
         {QFile::ReadOwner, QFile::WriteOwner, QFile::ExeOwner, QFile::ReadGroup, QFile::WriteGroup,
          QFile::ExeGroup, QFile::ReadOther, QFile::WriteOther, QFile::ExeOther}) {
        if (file.permission(permission))
            stored |= permission;
    }
    return stored;
}
} // namespace

LibraryCopier::LibraryCopier(std::function<void(const QString &)> log) : m_log(std::move(log)) {}

bool LibraryCopier::copyRecursively(const QString &source, const QString &target)
{
    m_walk.clear();
    m_targetRoot.clear();
    return copyEntry(QFileInfo(source), target);
}

bool LibraryCopier::copyEntry(const QFileInfo &source, const QString &target)
{
    return source.isDir() ? copyFolder(source, target) : copyFile(source, target);
}

bool LibraryCopier::copyFolder(const QFileInfo &source, const QString &target)
{
    const bool isRoot = m_walk.isEmpty();
    const QFileInfo existing(target);
    // Whatever a link on the drive points to lies outside the folder the user chose.
    if (!isRoot && existing.isSymLink()) {
        qDebug() << "Not copying into" << target << "- it is a link on the drive";
        return false;
    }
    if (existing.isDir()) {
        log(QStringLiteral("Module Folder already exists: ") + target);
    } else {
        if (!QDir().mkdir(target))
            qDebug() << "Could not create the folder" << target;
        log(QStringLiteral("Creating Module Folder: ") + target);
    }
    if (isRoot)
        m_targetRoot = QFileInfo(target).canonicalFilePath();

    m_walk.append(source.canonicalFilePath());
    const QFileInfoList entries = QDir(source.filePath()).entryInfoList(entryFilter, entryOrder);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (entry.isDir()) {
            const QString canonical = entry.canonicalFilePath();
            if (m_walk.contains(canonical) || canonical == m_targetRoot) {
                qDebug() << "Not copying" << entry.filePath()
                         << "- it leads back into the folders being copied";
                continue;
            }
        }
        const QString entryTarget = target + QLatin1Char('/') + name;
        log(QStringLiteral("Copying ") + name + QStringLiteral(" to ") + entryTarget);
        copyEntry(entry, entryTarget);
    }
    m_walk.removeLast();
    return true;
}

bool LibraryCopier::copyFile(const QFileInfo &source, const QString &target)
{
    if (!source.isFile()) {
        qDebug() << "Not copying" << source.filePath() << "- it is neither a folder nor a file";
        return false;
    }
    const QFileInfo existing(target);
    if (existing.isSymLink()) {
        qDebug() << "Not replacing" << target << "- it is a link on the drive";
        return false;
    }
    if (existing.exists()) {
        if (!existing.isFile()) {
            qDebug() << "Not replacing" << target << "- it is not a file";
            return false;
        }
        if (isUpToDate(source, existing))
            return true;
    }
    return writeCopy(source, target, existing.exists());
}

bool LibraryCopier::isUpToDate(const QFileInfo &source, const QFileInfo &target) const
{
    if (target.size() != source.size())
        return false;
    // Equal local times compare as they are; working out how far apart two times are costs
    // time-zone look-ups that would take most of a copy in which nothing has changed.
    const QDateTime sourceTime = source.lastModified();
    const QDateTime targetTime = target.lastModified();
    return sourceTime == targetTime || qAbs(sourceTime.msecsTo(targetTime)) <= timeToleranceMs;
}

bool LibraryCopier::writeCopy(const QFileInfo &source, const QString &target, bool replacing)
{
    QFile in(source.filePath());
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qDebug() << "Could not read" << source.filePath() << in.errorString();
        return false;
    }
    // Written beside the target under a name of its own and renamed into place only when
    // complete; a copy that fails on the way is removed with the object.
    QTemporaryFile out(target + QStringLiteral(".XXXXXX"));
    if (!out.open()) {
        qDebug() << "Could not write" << target << out.errorString();
        return false;
    }
    if (m_buffer.isEmpty())
        m_buffer.resize(blockSize);
    for (;;) {
        const qint64 got = in.read(m_buffer.data(), m_buffer.size());
        if (got < 0) {
            qDebug() << "Could not read" << source.filePath() << in.errorString();
            return false;
        }
        if (got == 0)
            break;
        if (out.write(m_buffer.constData(), got) != got) {
            qDebug() << "Could not write" << target << out.errorString();
            return false;
        }
    }
    if (!out.flush()) {
        qDebug() << "Could not write" << target << out.errorString();
        return false;
    }
    // Without the library file's time the next copy could not tell the file is unchanged.
    if (!out.setFileTime(source.lastModified(), QFileDevice::FileModificationTime))
        qDebug() << "Could not set the modification time of" << target << out.errorString();
    // A temporary file is private to its owner; the copy is as readable as the library's file.
    out.setPermissions(storedPermissions(source));
    // A rename never replaces a file, so the old copy goes first.
    if (replacing && !QFile::remove(target)) {
        qDebug() << "Could not replace" << target;
        return false;
    }
    if (!out.rename(target)) {
        qDebug() << "Could not write" << target << out.errorString();
        return false;
    }
    // The renamed file is the copy now, not a temporary file to clean away.
    out.setAutoRemove(false);
    return true;
}

void LibraryCopier::log(const QString &line) const
{
    if (m_log)
        m_log(line);
}
