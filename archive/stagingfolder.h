#pragma once

#include <QLockFile>
#include <QScopedPointer>
#include <QString>

// A hidden folder in the library folder that an extraction unpacks into, removed with this
// object. A lock file beside it (its name + ".lock") tells a folder another running client
// fills from one a client left behind; it is never judged stale by age, since an extraction of
// a large module on a slow disk may take minutes.
class StagingFolder
{
public:
    explicit StagingFolder(const QString &destination);
    ~StagingFolder();

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

    // Removes the staging folders and locks in destination that no running client holds.
    static void removeLeftovers(const QString &destination);

private:
    QString m_path;
    QScopedPointer<QLockFile> m_lock;
};
