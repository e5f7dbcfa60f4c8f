#include "archive/stagedinstall.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

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

void StagedInstall::removeAlso(const QVector<InstallRecord::File> &staleFiles,
                               const QSet<QString> &newFolders)
{
    m_staleFiles = staleFiles;
    m_newFolders = newFolders;
}

bool StagedInstall::run()
{
    m_steps.clear();
    m_error.clear();
    m_folderNames.clear();
    if (removeStale() && moveChildren(QString()))
        return true;
    undo();
    return false;
}

bool StagedInstall::removeStale()
{
    QSet<QString> emptied;
    for (const InstallRecord::File &stale : qAsConst(m_staleFiles)) {
        if (!removeStaleFile(stale))
            return false;
        for (QString folder = stale.path.section(QLatin1Char('/'), 0, -2); !folder.isEmpty();
             folder = folder.section(QLatin1Char('/'), 0, -2)) {
            if (!m_newFolders.contains(folder))
                emptied.insert(folder);
        }
    }
    // The deepest first, so that a folder holding only emptied folders goes too. A folder the
    // user put a file into stays, and so does its file.
    QStringList folders = emptied.values();
    std::sort(folders.begin(), folders.end(), [](const QString &a, const QString &b) {
        return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/'));
    });
    for (const QString &folder : qAsConst(folders)) {
        const QString target = joined(m_destination, folder);
        if (isRealFolder(QFileInfo(target)) && QDir().rmdir(target))
            m_steps.append(Step{target, QString(), true, true});
    }
    return true;
}

bool StagedInstall::removeStaleFile(const InstallRecord::File &stale)
{
    const QString &relativePath = stale.path;
    const QString folder = relativePath.section(QLatin1Char('/'), 0, -2);
    const QString name = relativePath.section(QLatin1Char('/'), -1);
    auto names = m_folderNames.find(folder);
    if (names == m_folderNames.end()) {
        // Only a folder of the library itself, never one reached through a link: the record
        // is a file on disk and names nothing outside.
        const QString path = joined(m_destination, folder);
        const QString canonicalBase = QFileInfo(m_destination).canonicalFilePath();
        const bool inside = !canonicalBase.isEmpty() &&
                            QFileInfo(path).canonicalFilePath() == joined(canonicalBase, folder);
        const QStringList listed =
            inside ? QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                          QDir::System)
                   : QStringList();
        names = m_folderNames.insert(folder, QSet<QString>(listed.begin(), listed.end()));
    }
    // Compared exactly, as the folder lists it: where names ignore case, "Guide.html" of the
    // old version may be "guide.html" of the new one, which must stay.
    const QString target = joined(m_destination, relativePath);
    const QFileInfo existing(target);
    if (!names->contains(name) ||
        (stale.link ? !existing.isSymLink() : existing.isSymLink() || !existing.isFile()))
        return true;
    const QString setAside =
        m_setAsideFolder + QLatin1Char('/') + QString::number(m_setAsideCount++);
    if (!QFile::rename(target, setAside)) {
        m_error = QStringLiteral("%1 could not be removed").arg(relativePath);
        return false;
    }
    names->remove(name);
    m_steps.append(Step{target, setAside, false, true});
    return true;
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

    Step step{target, QString(), stagedFolder};
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
        if (step.removed) {
            const bool back = step.isFolder ? QDir().mkdir(step.target)
                                            : QFile::rename(step.setAside, step.target);
            if (!back)
                qDebug().noquote()
                    << "Could not put back" << step.target << "after a failed unpack";
            continue;
        }
        // A folder that moved in whole came from the archive, all of it.
        const bool removed =
            step.isFolder ? QDir(step.target).removeRecursively() : QFile::remove(step.target);
        const bool restored = step.setAside.isEmpty() || QFile::rename(step.setAside, step.target);
        if (!removed || !restored)
            qDebug().noquote() << "Could not restore" << step.target << "after a failed unpack";
    }
    m_steps.clear();
}
