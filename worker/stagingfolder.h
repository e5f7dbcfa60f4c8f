#pragma once

#include <QLockFile>
#include <QScopedPointer>
#include <QString>

// A hidden folder inside the library folder that an extraction unpacks into before it moves
// the tree into place, removed with this object. Each one is held by a lock file beside it
// (its name + ".lock") for as long as it is in use, so that a client which finds staging
// folders can tell those that another running client is filling from those that a client left
// behind when it ended half way. The lock records the process, which QLockFile checks for
// life on every system; an old lock is not judged stale by its age, since an extraction of a
// large module on a slow disk may take minutes.
class StagingFolder
{
public:
    explicit StagingFolder(const QString &destination);
    ~StagingFolder();
    StagingFolder(const StagingFolder &) = delete;
    StagingFolder &operator=(const StagingFolder &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    // Removes the staging folders in destination that no running client holds, and the locks
    // whose folder is gone.
    static void removeLeftovers(const QString &destination);

private:
    QString m_path;
    QScopedPointer<QLockFile> m_lock;
};
