#include "library/librarycopier.h"

#include "archive/crc32.h"
#include "archive/diskspace.h"
#include "archive/drivename.h"
#include "library/uncachedfile.h"

#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
// Blocks of the size the system's own copy uses keep a copy of thousands of files as fast as
// it; and a USB 2 stick writes one in a few tens of milliseconds, so that lines waiting to be
// shown go out between blocks even on a slow drive.
constexpr int blockSize = 128 * 1024;
// Hidden entries stay behind.
constexpr QDir::Filters entryFilter =
    QDir::Dirs | QDir::Files | QDir::System | QDir::NoDotAndDotDot;

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

QString dataSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}
} // namespace

LibraryCopier::LibraryCopier(std::function<void(const QString &)> log,
                             std::function<void(qint64)> working)
    : m_log(log ? std::move(log) : [](const QString &) {}),
      m_working(working ? std::move(working) : [](qint64) {})
{
    m_buffer.resize(blockSize);
}

bool LibraryCopier::copyRecursively(const QString &source, const QString &target)
{
    m_walk.clear();
    m_steps.clear();
    m_written.clear();
    m_filesLeftOut = 0;
    const QFileInfo root(source);
    if (!root.isDir()) {
        QString problem;
        const Written written = copyFile(root, target, &problem);
        if (written == Written::Copied) {
            m_steps.append(Step{Step::File, root, target, QString()});
            m_written.append(0);
            checkCopies();
        } else if (written != Written::Unchanged) {
            qDebug().noquote() << "Not copying" << root.filePath() << "-" << problem;
            m_filesLeftOut = root.exists() ? 1 : 0;
            return false;
        }
        return m_filesLeftOut == 0;
    }

    m_target = target;
    m_targetRoot = QFileInfo(target).canonicalFilePath();
    planFolder(root, target, QString());
    if (!fitsOnDrive(target)) {
        m_filesLeftOut = filesIn(0, m_steps.size());
        return true;
    }
    m_record.load(target);
    // First, so that a folder the library turned into a file makes way for it.
    removeDropped(false);
    for (int at = 0; at < m_steps.size(); ++at) {
        const Step &step = m_steps.at(at);
        if (!step.line.isEmpty())
            m_log(step.line);
        if (step.kind == Step::Refused) {
            m_filesLeftOut += step.files;
        } else if (step.kind == Step::Folder) {
            if (!copyFolder(step, at == 0)) {
                m_filesLeftOut += filesIn(at + 1, step.end);
                at = step.end - 1;
            }
        } else {
            QString problem;
            const Written written = copyFile(step.source, step.target, &problem);
            if (written == Written::Copied) {
                m_written.append(at);
            } else if (written == Written::Unchanged) {
                claim(step);
            } else if (written == Written::Failed) {
                m_log(tr("Could not copy ") + step.source.fileName() + tr(" to ") + step.target +
                      tr(": ") + problem + QLatin1Char('.'));
                ++m_filesLeftOut;
            } else if (written == Written::DriveFull) {
                m_log(tr("The drive is full: ") + step.source.fileName() +
                      tr(" could not be copied to ") + step.target +
                      tr(", and the copy stops here."));
                m_filesLeftOut += filesIn(at, m_steps.size());
                break;
            }
        }
    }
    // Once more for pages renamed only in case, which stand beside their new name only now.
    removeDropped(true);
    checkCopies();
    m_record.save(target);
    return true;
}

void LibraryCopier::planFolder(const QFileInfo &source, const QString &target, const QString &line)
{
    const int at = m_steps.size();
    m_steps.append(Step{Step::Folder, source, target, line});
    m_walk.append(source.canonicalFilePath());
    planEntries(source, target);
    m_walk.removeLast();
    m_steps[at].end = m_steps.size();
}

void LibraryCopier::planEntries(const QFileInfo &folder, const QString &target)
{
    QFileInfoList entries = QDir(folder.filePath()).entryInfoList(entryFilter, QDir::NoSort);
    std::sort(entries.begin(), entries.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return DriveName::comesBefore(a.fileName(), b.fileName());
    });
    // The names already taken in this folder, as the drive compares them. The walk's order
    // ignores case as Unicode folds it, which need not put two names the drive takes for one
    // side by side.
    QHash<QString, QString> taken;
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
        QString refusal = DriveName::problem(name);
        const QString onDrive = DriveName::onDrive(name);
        if (refusal.isEmpty() && taken.contains(onDrive))
            refusal = tr("a thumb drive takes it for ") + taken.value(onDrive) +
                      tr(", as their names differ only in case");
        if (refusal.isEmpty() && !entry.isDir() && entry.size() > DriveName::largestFile)
            refusal = tr("it takes ") + dataSize(entry.size()) +
                      tr(", and a thumb drive cannot hold a file of 4 GB or more");
        if (!refusal.isEmpty()) {
            Step refused{Step::Refused, entry, entryTarget,
                         tr("Cannot copy ") + name + tr(" to ") + entryTarget + tr(": ") + refusal +
                             QLatin1Char('.')};
            if (entry.isDir()) {
                refused.files = 0;
                QDirIterator below(entry.filePath(), QDir::Files | QDir::System,
                                   QDirIterator::Subdirectories);
                for (; below.hasNext(); below.next())
                    ++refused.files;
            }
            m_steps.append(refused);
            continue;
        }
        taken.insert(onDrive, name);
        const QString line = tr("Copying ") + name + tr(" to ") + entryTarget;
        if (entry.isDir())
            planFolder(entry, entryTarget, line);
        else
            m_steps.append(Step{Step::File, entry, entryTarget, line});
    }
}

bool LibraryCopier::fitsOnDrive(const QString &target)
{
    // A drive that reports no size may hold anything as far as anyone can tell.
    const qint64 room = DiskSpace::available(QFileInfo(target).absolutePath());
    if (room < 0)
        return true;
    qint64 library = 0;
    for (const Step &step : qAsConst(m_steps))
        library += step.kind == Step::File ? step.source.size() : 0;
    if (library <= room)
        return true;
    // Copies on the drive already take their room, which the new ones take over.
    qint64 needed = 0;
    for (const Step &step : qAsConst(m_steps)) {
        if (step.kind != Step::File)
            continue;
        const QFileInfo existing(step.target);
        needed += step.source.size() - (existing.isFile() ? existing.size() : 0);
    }
    if (needed <= room)
        return true;
    m_log(tr("The drive has ") + dataSize(room) + tr(" free, and the library needs ") +
          dataSize(needed) + tr(" more: nothing was copied."));
    return false;
}

bool LibraryCopier::copyFolder(const Step &step, bool isRoot)
{
    const QFileInfo existing(step.target);
    // Whatever a link on the drive points to lies outside the folder the user chose.
    if (!isRoot && existing.isSymLink()) {
        m_log(tr("Could not copy ") + step.source.fileName() + tr(" to ") + step.target +
              tr(": a link stands in its place on the drive."));
        return false;
    }
    if (existing.isDir()) {
        m_log(tr("Module Folder already exists: ") + step.target);
        // A copy cut short leaves its file under a temporary name that nothing else removes;
        // the drive folder itself may hold what is not the copy's.
        QDir folder(step.target);
        const QStringList leftovers =
            isRoot ? QStringList()
                   : folder.entryList({temporaryPrefix + QStringLiteral("??????")},
                                      QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
        for (const QString &name : leftovers) {
            if (!folder.remove(name))
                qDebug() << "Could not remove" << folder.filePath(name)
                         << "left by an earlier copy";
        }
    } else {
        if (!QDir().mkdir(step.target))
            qDebug() << "Could not create the folder" << step.target;
        m_log(tr("Creating Module Folder: ") + step.target);
    }
    return true;
}

LibraryCopier::Written LibraryCopier::copyFile(const QFileInfo &source, const QString &target,
                                               QString *problem)
{
    if (!source.isFile()) {
        *problem = tr("it is neither a folder nor a file");
        return Written::Failed;
    }
    const QFileInfo existing(target);
    if (existing.isSymLink()) {
        *problem = tr("a link stands in its place on the drive");
        return Written::Failed;
    }
    if (existing.exists()) {
        if (!existing.isFile()) {
            *problem = tr("a folder of that name stands in its place on the drive");
            return Written::Failed;
        }
        if (isUpToDate(source, existing))
            return Written::Unchanged;
    }
    return writeCopy(source, target, existing.exists(), problem);
}

bool LibraryCopier::isUpToDate(const QFileInfo &source, const QFileInfo &target)
{
    if (target.size() != source.size())
        return false;
    // Equal local times compare as they are; working out how far apart two times are costs
    // time-zone look-ups that would take most of a copy in which nothing has changed.
    const QDateTime sourceTime = source.lastModified();
    const QDateTime targetTime = target.lastModified();
    if (sourceTime == targetTime || qAbs(sourceTime.msecsTo(targetTime)) <= timeToleranceMs)
        return true;
    // Some drives do not keep the time a copy is given (FUSE's FAT among them), and a module
    // unpacked again gives its unchanged files a new time: the bytes tell whether the copy is
    // the library's file. Where the drive keeps times, the copy then takes the library's, so
    // that the next copy need not read the two again.
    if (!hasSameBytes(source, target))
        return false;
    QFile copy(target.filePath());
    if (copy.open(QIODevice::ReadWrite))
        copy.setFileTime(sourceTime, QFileDevice::FileModificationTime);
    return true;
}

bool LibraryCopier::hasSameBytes(const QFileInfo &source, const QFileInfo &target)
{
    QFile ours(source.filePath());
    QFile theirs(target.filePath());
    if (!ours.open(QIODevice::ReadOnly | QIODevice::Unbuffered) ||
        !theirs.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    m_theirBuffer.resize(blockSize);
    for (qint64 done = 0;; done += blockSize) {
        m_working(source.size() - done);
        const qint64 got = ours.read(m_buffer.data(), blockSize);
        if (got < 0 || theirs.read(m_theirBuffer.data(), blockSize) != got)
            return false;
        if (got == 0)
            return true;
        if (std::memcmp(m_buffer.constData(), m_theirBuffer.constData(), size_t(got)) != 0)
            return false;
    }
}

LibraryCopier::Written LibraryCopier::writeCopy(const QFileInfo &source, const QString &target,
                                                bool replacing, QString *problem)
{
    const auto failed = [&](const QFileDevice &file, const QString &what) {
        qDebug().noquote() << "Could not copy" << source.filePath() << "to" << target << "-"
                           << file.errorString();
        *problem = what;
        return Written::Failed;
    };
    QFile in(source.filePath());
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return failed(in, tr("the library's file could not be read"));
    // Written beside the target under a short name of its own and renamed into place only when
    // complete; a copy that fails on the way is removed with the object. The target's own name
    // with a suffix could pass the 255 characters a FAT name may have.
    QTemporaryFile out(target.left(target.lastIndexOf(QLatin1Char('/')) + 1) + temporaryPrefix +
                       QStringLiteral("XXXXXX"));
    const QString notWritten = tr("the drive could not be written");
    if (!out.open())
        return failed(out, notWritten);
    // Once the file is open, a write fails mostly because the drive is full: then nothing more
    // can be copied. A drive with room left has failed for this file alone; one that reports no
    // size (some file systems do not) is taken to be full.
    const auto writeFailed = [&](qint64 written) {
        failed(out, notWritten);
        const qint64 free = DiskSpace::available(QFileInfo(target).absolutePath());
        return free < qMax<qint64>(source.size() - written, blockSize) ? Written::DriveFull
                                                                       : Written::Failed;
    };
    qint64 written = 0;
    for (;;) {
        m_working(source.size() - written);
        const qint64 got = in.read(m_buffer.data(), m_buffer.size());
        if (got < 0)
            return failed(in, tr("the library's file could not be read"));
        if (got == 0)
            break;
        if (out.write(m_buffer.constData(), got) != got)
            return writeFailed(written);
        written += got;
    }
    if (!out.flush())
        return writeFailed(written);
    if (!out.setFileTime(source.lastModified(), QFileDevice::FileModificationTime))
        qDebug() << "Could not set the modification time of" << target << out.errorString();
    // A temporary file is private to its owner; the copy is as readable as the library's file.
    out.setPermissions(storedPermissions(source));
    // A rename never replaces a file, so the old copy goes first.
    if (replacing && !QFile::remove(target)) {
        *problem = tr("its old copy on the drive could not be replaced");
        return Written::Failed;
    }
    if (!out.rename(target))
        return failed(out, notWritten);
    // The renamed file is the copy now, not a temporary file to clean away.
    out.setAutoRemove(false);
    return Written::Copied;
}

int LibraryCopier::filesIn(int from, int to) const
{
    int files = 0;
    for (int at = from; at < to; ++at) {
        const Step &step = m_steps.at(at);
        files += step.kind == Step::Folder ? 0 : step.files;
    }
    return files;
}

QString LibraryCopier::below(const QString &target) const
{
    return target.mid(m_target.size() + 1);
}

void LibraryCopier::claim(const Step &step)
{
    // A copy that stands as the library's file does is the library's file, whoever put it
    // there: the copy takes it over as its own, once.
    const QString path = below(step.target);
    DriveRecord::Copy copy{step.source.size()};
    if (m_record.copies().contains(path) && m_record.copy(path).size == copy.size)
        return;
    if (Crc32::ofFile(step.source.filePath(), &copy.crc, m_working))
        m_record.insert(path, copy);
}

bool LibraryCopier::isOurs(const QString &path, const DriveRecord::Copy &copy)
{
    const QFileInfo file(path);
    // A link on the drive, here or above, leads out of the folder the copy may touch.
    if (file.isSymLink() || !file.isFile() || file.size() != copy.size ||
        !file.canonicalFilePath().startsWith(m_targetRoot + QLatin1Char('/')))
        return false;
    quint32 crc = 0;
    return Crc32::ofFile(path, &crc, m_working) && crc == copy.crc;
}

void LibraryCopier::removeDropped(bool afterCopy)
{
    // Names as the drive compares them: a page renamed only in case is the same file there.
    QHash<QString, QString> files; // as the drive compares it -> as the library names it
    QSet<QString> folders;
    QSet<QString> modules;
    for (int at = 1; at < m_steps.size(); ++at) {
        const QString path = DriveName::onDrive(below(m_steps.at(at).target));
        if (m_steps.at(at).kind != Step::Folder) {
            files.insert(path, below(m_steps.at(at).target));
        } else {
            folders.insert(path);
            if (!path.contains(QLatin1Char('/')))
                modules.insert(path);
        }
    }
    QStringList recorded = m_record.copies().keys();
    std::sort(recorded.begin(), recorded.end());
    for (const QString &path : qAsConst(recorded)) {
        // Only inside the module folders the copy keeps: whatever else is on the drive, and
        // what someone changed since the copy wrote it, is not the copy's to remove.
        const QString key = DriveName::onDrive(path);
        const int slash = key.indexOf(QLatin1Char('/'));
        if (slash < 0 || !modules.contains(key.left(slash)))
            continue;
        if (files.contains(key) && !isCaseTwin(path, files.value(key))) {
            // Where the drive tells no case apart, the file now has the library's name.
            if (afterCopy && files.value(key) != path)
                m_record.remove(path);
            continue;
        }
        const QString onDrive = m_target + QLatin1Char('/') + path;
        if (!isOurs(onDrive, m_record.copy(path))) {
            m_record.remove(path);
            continue;
        }
        if (!QFile::remove(onDrive)) {
            qDebug() << "Could not remove" << onDrive << "which the library no longer has";
            continue;
        }
        m_record.remove(path);
        m_log(tr("Removing ") + path + tr(" from ") + m_target +
              tr(": the library no longer has it."));
        // Folders left empty go too, unless the library still has them.
        for (QString folder = path.left(path.lastIndexOf(QLatin1Char('/')));
             folder.contains(QLatin1Char('/')) && !folders.contains(DriveName::onDrive(folder)) &&
             QDir(m_target).rmdir(folder);
             folder = folder.left(folder.lastIndexOf(QLatin1Char('/')))) {
        }
    }
}

bool LibraryCopier::isCaseTwin(const QString &recorded, const QString &library) const
{
    // On a drive that tells case apart, a page renamed only in case stands beside the old one.
    if (recorded == library)
        return false;
    const QString folder = recorded.left(recorded.lastIndexOf(QLatin1Char('/')));
    const QStringList names = QDir(m_target + QLatin1Char('/') + folder).entryList(QDir::Files);
    return names.contains(recorded.section(QLatin1Char('/'), -1)) &&
           names.contains(library.section(QLatin1Char('/'), -1));
}

void LibraryCopier::checkCopies()
{
    if (m_written.isEmpty())
        return;
    m_log(tr("Checking the copy..."));
    QVector<int> differing = differingCopies();
    if (!differing.isEmpty()) {
        for (const int at : qAsConst(differing)) {
            const Step &step = m_steps.at(at);
            QString problem;
            if (writeCopy(step.source, step.target, QFileInfo::exists(step.target), &problem) !=
                Written::Copied)
                qDebug().noquote() << "Could not write" << step.target << "again -" << problem;
        }
        // All of them once more: a drive that wraps its writes around spoils earlier files
        // with every file written again.
        differing = differingCopies();
    }
    for (const int at : qAsConst(differing)) {
        const Step &step = m_steps.at(at);
        m_log(tr("Could not copy ") + step.source.fileName() + tr(" to ") + step.target +
              tr(": the drive gives back other bytes than were written."));
        // Left in place, the spoilt copy would pass for the library's file the next time.
        if (!QFile::remove(step.target))
            qDebug() << "Could not remove the spoilt copy" << step.target;
        m_record.remove(below(step.target));
        ++m_filesLeftOut;
    }
}

QVector<int> LibraryCopier::differingCopies()
{
    qint64 toGo = 0;
    for (const int at : qAsConst(m_written))
        toGo += m_steps.at(at).source.size();
    QVector<int> differing;
    for (const int at : qAsConst(m_written)) {
        const Step &step = m_steps.at(at);
        DriveRecord::Copy copy{step.source.size()};
        if (readsBack(step, toGo, &copy.crc))
            m_record.insert(below(step.target), copy);
        else
            differing.append(at);
        toGo -= copy.size;
    }
    return differing;
}

bool LibraryCopier::readsBack(const Step &step, qint64 toGo, quint32 *crc)
{
    UncachedFile copy(step.target);
    QFile ours(step.source.filePath());
    if (!copy.open() || !ours.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        qDebug().noquote() << "Could not read back" << step.target << "-" << copy.errorString()
                           << ours.errorString();
        return false;
    }
    if (m_buffer.size() < UncachedFile::blockSize)
        m_buffer.resize(UncachedFile::blockSize);
    Crc32 sum;
    qint64 done = 0;
    for (;;) {
        m_working(toGo - done);
        const char *block = nullptr;
        const qint64 got = copy.read(&block);
        if (got < 0 || ours.read(m_buffer.data(), got) != got)
            return false;
        if (got == 0)
            break;
        if (std::memcmp(m_buffer.constData(), block, size_t(got)) != 0) {
            qDebug().noquote() << "The drive gives back other bytes for" << step.target
                               << "from byte" << done;
            return false;
        }
        sum.update(block, got);
        done += got;
    }
    *crc = sum.value();
    return done == step.source.size() && ours.atEnd();
}
