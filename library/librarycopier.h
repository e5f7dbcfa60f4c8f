#pragma once

#include "library/driverecord.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Copies the library folder to a drive folder, reporting every step as one line.
//
// A repeated copy brings the drive up to date: a file on the drive is replaced when its size or
// modification time differs from the library's; files that exist only on the drive stay,
// unless the copy wrote them itself (below).
// Copied files keep the library file's modification time, so unchanged files are skipped the
// next time. Each file is written under a temporary name and renamed into place, so an
// interrupted copy never leaves a half-written file under the real name.
//
// Drives lie: a counterfeit one wraps its writes over earlier files, a worn one gives back
// other bytes. Once everything is written, every file written is read back from the drive
// itself, past the system's cache, and compared with the library's; a file that differs is
// written once more, and left out when it still differs. The drive folder keeps a record of
// the files the copy wrote, so that a later copy removes, inside the module folders, those
// the library no longer has, and nothing it did not write.
//
// Names and sizes are judged as a FAT32 drive read on Windows needs them, on any drive: what
// such a drive cannot hold is left out with a line that says why. A library known to exceed
// the drive's free space is not copied at all, and a drive that fills up stops the copy.
class LibraryCopier
{
    Q_DECLARE_TR_FUNCTIONS(LibraryCopier)

public:
    // log gets every line for the user. working, when given, is called while a file is read
    // or written, before its first block and between blocks, with the bytes still to go: the
    // copy blocks its thread, so lines held back to travel together can go out only then.
    explicit LibraryCopier(std::function<void(const QString &)> log,
                           std::function<void(qint64 bytesToGo)> working = {});

    // Copies the folder or file at source to target. For a folder, returns true once the walk
    // is done, whatever failed inside it; for a file, whether the drive now holds its copy.
    bool copyRecursively(const QString &source, const QString &target);

    // The library's files that the last copy did not bring onto the drive.
    int filesLeftOut() const { return m_filesLeftOut; }

    // Files being written on the drive start with this name until they are complete.
    static inline const QString temporaryPrefix = QStringLiteral(".copy-");

    // FAT drives keep modification times to two seconds only.
    static constexpr qint64 timeToleranceMs = 2000;

private:
    // One entry of the library as the copy will treat it, in the order of the walk.
    struct Step
    {
        enum Kind { Folder, File, Refused };
        Kind kind = File;
        QFileInfo source;
        QString target;
        QString line;  // announces the step; empty for the drive folder itself
        int files = 1; // the library's files a refused step leaves out
        int end = 0;   // for a folder: the step after the last one inside it
    };
    // Copied: written in this copy; Unchanged: the drive's copy was the library's file already.
    enum class Written { Copied, Unchanged, Failed, DriveFull };

    void planFolder(const QFileInfo &source, const QString &target, const QString &line);
    void planEntries(const QFileInfo &folder, const QString &target);
    bool fitsOnDrive(const QString &target);
    bool copyFolder(const Step &step, bool isRoot);
    Written copyFile(const QFileInfo &source, const QString &target, QString *problem);
    bool isUpToDate(const QFileInfo &source, const QFileInfo &target);
    bool hasSameBytes(const QFileInfo &source, const QFileInfo &target);
    // replacing: an outdated copy stands at target and is replaced.
    Written writeCopy(const QFileInfo &source, const QString &target, bool replacing,
                      QString *problem);
    int filesIn(int from, int to) const;
    // The path of a target below the drive folder.
    QString below(const QString &target) const;
    // Enters a copy found up to date in the record.
    void claim(const Step &step);
    // Whether the file at path is still the copy the record names.
    bool isOurs(const QString &path, const DriveRecord::Copy &copy);
    // Removes from the module folders the files the copy wrote that the library no longer has;
    // afterCopy: the library's files have been written.
    void removeDropped(bool afterCopy);
    // Whether the drive holds both a recorded file and the library's file that differs from it
    // only in case (paths below the drive folder).
    bool isCaseTwin(const QString &recorded, const QString &library) const;
    // Reads back from the drive every file written in this copy, writes once more those that
    // came back otherwise, and counts those that still do among the files left out.
    void checkCopies();
    QVector<int> differingCopies();
    // Whether the drive gives back the library's bytes for the step's copy; *crc gets theirs.
    // toGo: the bytes still to read back, for working().
    bool readsBack(const Step &step, qint64 toGo, quint32 *crc);

    std::function<void(const QString &)> m_log;
    std::function<void(qint64)> m_working;
    // One block buffer for every file of the walk, and one for the drive's copy of a file
    // whose bytes are compared.
    QByteArray m_buffer;
    QByteArray m_theirBuffer;
    // Canonical paths of the library folders being walked, outermost first, and of the drive
    // folder the walk writes into: a folder that leads back into either (a link to a parent,
    // a drive folder chosen inside the library) would otherwise be copied without end.
    QStringList m_walk;
    QString m_targetRoot;
    QString m_target; // as given, which the steps' targets start with
    QVector<Step> m_steps;
    QVector<int> m_written; // the steps whose files this copy wrote
    DriveRecord m_record;
    int m_filesLeftOut = 0;
};
