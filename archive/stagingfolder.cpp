#include "archive/stagingfolder.h"

#include "archive/entrypath.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

namespace {

const QString lockSuffix = QStringLiteral(".lock");

QLockFile *lockFor(const QString &path)
{
    auto *lock = new QLockFile(path + lockSuffix);
    lock->setStaleLockTime(0);
    return lock;
}

void removeEntry(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    // A link is removed itself, never what it points at.
    const bool removed =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (!removed)
        qWarning().noquote() << "Could not remove the leftover staging folder" << path;
}

} // namespace

StagingFolder::StagingFolder(const QString &destination)
{
    // The lock is taken before the folder is made, so that no other client ever sees the
    // folder unheld. A few attempts cover the rare name already in use.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString path =
            destination + QLatin1Char('/') + EntryPath::stagingPrefix +
            QString::number(QRandomGenerator::global()->generate64(), 36).rightJustified(13, '0');
        QScopedPointer<QLockFile> lock(lockFor(path));
        if (!lock->tryLock(0))
            continue;
        // Held by us, a folder of that name is a leftover of a client that ended.
        removeEntry(path);
        if (!QDir().mkdir(path))
            return;
        m_path = path;
        m_lock.swap(lock);
        return;
    }
}

StagingFolder::~StagingFolder()
{
    if (m_path.isEmpty())
        return;
    if (!QDir(m_path).removeRecursively())
        qWarning().noquote() << "Could not remove the staging folder" << m_path;
}

void StagingFolder::removeLeftovers(const QString &destination)
{
    const QStringList names = QDir(destination)
                                  .entryList({EntryPath::stagingPrefix + QLatin1Char('*')},
                                             QDir::AllEntries | QDir::NoDotAndDotDot |
                                                 QDir::Hidden | QDir::System | QDir::CaseSensitive);
    QSet<QString> folders;
    for (const QString &name : names)
        folders.insert(name.endsWith(lockSuffix) ? name.chopped(lockSuffix.size()) : name);
    for (const QString &name : qAsConst(folders)) {
        const QString path = destination + QLatin1Char('/') + name;
        QScopedPointer<QLockFile> lock(lockFor(path));
        if (lock->tryLock(0))
            removeEntry(path); // then the lock goes with its holder
        else
            qDebug().noquote() << "Leaving the staging folder" << path
                               << "to the client that holds it";
    }
}
