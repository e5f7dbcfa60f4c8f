#include "worker/stagedinstall.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString joined(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || name.isEmpty())
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

bool isRealFolder(const QFileInfo &info)
{
    return info.isDir() && !info.isSymLink();
}

} // namespace

StagedInstall::StagedInstall(const QString &stagedTree, const QString &destination,
                             const QString &setAsideFolder)
    : m_stagedTree(stagedTree), m_destination(destination), m_setAsideFolder(setAsideFolder)
{
}

bool StagedInstall::run()
{
    m_steps.clear();
    m_error.clear();
    if (moveChildren(QString()))
        return true;
    undo();
    return false;
}

bool StagedInstall::moveChildren(const QString &relativeFolder)
{
    // Sorted, so that a failing archive always fails at the same step.
    const QFileInfoList children =
        QDir(joined(m_stagedTree, relativeFolder))
            .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                           QDir::Name);
    for (const QFileInfo &child : children) {
        if (!moveOne(child, joined(relativeFolder, child.fileName())))
            return false;
    }
    return true;
}

bool StagedInstall::moveOne(const QFileInfo &staged, const QString &relativePath)
{
    const QString target = joined(m_destination, relativePath);
    const QFileInfo existing(target);
    // A dangling link does not "exist", but it is there and must not be written through.
    const bool present = existing.exists() || existing.isSymLink();
    const bool stagedFolder = isRealFolder(staged);

    if (present && isRealFolder(existing)) {
        if (stagedFolder)
            return moveChildren(relativePath);
        // Replacing a folder with a file would throw away whatever else the folder holds ...
        m_error = tr("a folder stands where the archive has a file: %1").arg(relativePath);
        return false;
    }
    if (present && stagedFolder && !existing.isSymLink()) {
        // ... and replacing a file with a folder would throw away the file, which may be the
        // user's own. A link is only a pointer, made by an earlier archive.
        m_error = tr("a file stands where the archive has a folder: %1").arg(relativePath);
        return false;
    }

    Step step;
    step.target = target;
    step.isFolder = stagedFolder;
    if (present) {
        // Set the old one aside rather than delete it, so that a later failure can put it back.
        // Renames never follow a link at their end, so nothing is written through one.
        step.setAside = m_setAsideFolder + QLatin1Char('/') + QString::number(m_setAsideCount++);
        if (!QFile::rename(target, step.setAside)) {
            m_error = tr("%1 could not be replaced").arg(relativePath);
            return false;
        }
    }
    if (!QFile::rename(staged.filePath(), target)) {
        if (!step.setAside.isEmpty())
            QFile::rename(step.setAside, target);
        m_error = tr("%1 could not be moved into the library").arg(relativePath);
        return false;
    }
    m_steps.append(step);
    return true;
}

void StagedInstall::undo()
{
    for (int i = m_steps.size() - 1; i >= 0; --i) {
        const Step &step = m_steps.at(i);
        // A folder that moved in whole came from the archive, all of it.
        const bool removed =
            step.isFolder ? QDir(step.target).removeRecursively() : QFile::remove(step.target);
        const bool restored = step.setAside.isEmpty() || QFile::rename(step.setAside, step.target);
        if (!removed || !restored)
            qDebug().noquote() << "Could not restore" << step.target << "after a failed unpack";
    }
    m_steps.clear();
}
