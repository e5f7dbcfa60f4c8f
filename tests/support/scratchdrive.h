#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real drive of its own for a test, mounted in a temporary folder and unmounted with the
// object: a FAT32 image through FUSE, as thumb drives come, or a small tmpfs, which reports
// its size as FUSE's FAT does not.
class ScratchDrive
{
public:
    ScratchDrive() = default;
    ~ScratchDrive();
    ScratchDrive(const ScratchDrive &) = delete;
    ScratchDrive &operator=(const ScratchDrive &) = delete;

    // False, with the reason in *missing, where the tools or the rights to mount are absent.
    bool mountFat32(qint64 bytes, QString *missing);
    bool mountTmpfs(qint64 bytes, QString *missing);
    // A drive of the tests' own (tests/fakedrive) that keeps bytes, claims, to its user,
    // the room of fakeArguments ("--claims", "--drops-after", "--flips" and their values).
    bool mountFake(qint64 bytes, const QStringList &fakeArguments, QString *missing);
    // Where the drive is mounted.
    QString path() const;

private:
    QTemporaryDir m_folder;
    QStringList m_unmount; // the command that unmounts it, the folder left out
};
