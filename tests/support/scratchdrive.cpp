#include "support/scratchdrive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {
// Runs a program to its end; false, with what it said in *said, when it failed.
bool run(const QString &program, const QStringList &arguments, QString *said)
{
    // The tools that make and mount file systems live in the system folders.
    QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            program, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (found.isEmpty()) {
        *said = program + QStringLiteral(" is not installed");
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(found, arguments);
    const bool ran = process.waitForFinished(60000) &&
                     process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ran)
        *said = program + QStringLiteral(" failed: ") +
                QString::fromLocal8Bit(process.readAll()).trimmed();
    return ran;
}
} // namespace

ScratchDrive::~ScratchDrive()
{
    QString said;
    // Lazily: the folder dialog may still be looking at the drive.
    if (!m_unmount.isEmpty() && !run(m_unmount.first(), m_unmount.mid(1) << path(), &said))
        qWarning("%s", qPrintable(said));
}

QString ScratchDrive::path() const
{
    return m_folder.path() + QStringLiteral("/drive");
}

bool ScratchDrive::mountFat32(qint64 bytes, QString *missing)
{
    if (!QFile::exists(QStringLiteral("/dev/fuse"))) {
        *missing = QStringLiteral("/dev/fuse is absent");
        return false;
    }
    const QString image = m_folder.path() + QStringLiteral("/fat32.img");
    QFile file(image);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(bytes)) {
        *missing = QStringLiteral("no room for the drive image");
        return false;
    }
    file.close();
    if (!QDir().mkpath(path()) ||
        !run(QStringLiteral("mkfs.vfat"), {QStringLiteral("-F"), QStringLiteral("32"), image},
             missing) ||
        !run(QStringLiteral("fusefat"),
             {QStringLiteral("-o"), QStringLiteral("rw+"), image, path()}, missing))
        return false;
    // fuse3 names it fusermount3.
    const bool fuse2 = !QStandardPaths::findExecutable(QStringLiteral("fusermount")).isEmpty();
    m_unmount = QStringList{fuse2 ? QStringLiteral("fusermount") : QStringLiteral("fusermount3"),
                            QStringLiteral("-u"), QStringLiteral("-z")};
    return true;
}

bool ScratchDrive::mountFake(qint64 bytes, const QStringList &fakeArguments, QString *missing)
{
    if (!QFile::exists(QStringLiteral("/dev/fuse"))) {
        *missing = QStringLiteral("/dev/fuse is absent");
        return false;
    }
    if (QStringLiteral(FAKE_DRIVE_BIN).isEmpty()) {
        *missing = QStringLiteral("the fake drive was not built (libfuse3-dev is missing)");
        return false;
    }
    // The program returns once the drive is mounted, and ends when it is unmounted.
    if (!QDir().mkpath(path()) ||
        !run(QStringLiteral(FAKE_DRIVE_BIN),
             QStringList{path(), QStringLiteral("--stores"), QString::number(bytes)} +
                 fakeArguments,
             missing))
        return false;
    m_unmount =
        QStringList{QStringLiteral("fusermount3"), QStringLiteral("-u"), QStringLiteral("-z")};
    return true;
}

bool ScratchDrive::mountTmpfs(qint64 bytes, QString *missing)
{
    if (!QDir().mkpath(path()) ||
        !run(QStringLiteral("mount"),
             {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
              QStringLiteral("size=%1").arg(bytes), QStringLiteral("tmpfs"), path()},
             missing))
        return false;
    m_unmount = QStringList{QStringLiteral("umount"), QStringLiteral("-l")};
    return true;
}
