#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <functional>

// Copies the library folder to a drive folder, reporting every step as one line.
//
// A repeated copy brings the drive up to date: a file on the drive is replaced when its size or
// modification time differs from the library's, and files that exist only on the drive stay.
// Copied files keep the library file's modification time, so unchanged files are skipped the
// next time. Each file is written under a temporary name and renamed into place, so an
// interrupted copy never leaves a half-written file under the real name.
class LibraryCopier
{
public:
    explicit LibraryCopier(std::function<void(const QString &)> log);

    // Copies the folder or file at source to target. For a folder, returns true once the walk
    // is done, whatever failed inside it; for a file, whether the drive now holds its copy.
    bool copyRecursively(const QString &source, const QString &target);

    // FAT drives keep modification times to two seconds only.
    static constexpr qint64 timeToleranceMs = 2000;

private:
    bool copyEntry(const QFileInfo &source, const QString &target);
    bool copyFolder(const QFileInfo &source, const QString &target);
    bool copyFile(const QFileInfo &source, const QString &target);
    bool isUpToDate(const QFileInfo &source, const QFileInfo &target) const;
    // replacing: an outdated copy stands at target and is replaced.
    bool writeCopy(const QFileInfo &source, const QString &target, bool replacing);
    void log(const QString &line) const;

    std::function<void(const QString &)> m_log;
    // One block buffer for every file of the walk.
    QByteArray m_buffer;
    // Canonical paths of the library folders being walked, outermost first, and of the drive
    // folder the walk writes into: a folder that leads back into either (a link to a parent,
    // a drive folder chosen inside the library) would otherwise be copied without end.
    QStringList m_walk;
    QString m_targetRoot;
};
