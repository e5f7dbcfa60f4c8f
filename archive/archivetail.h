#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class ZipArchiveFile;

// One version of the archive at a link, as its ETag or date and length name it, with its last
// bytes from tailStart on, which hold its directory: what an update by ranges reads first. A
// module keeps the tail of the archive it was installed from beside its record (".<module
// id>.directory"), so that a repair of that version fetches its damaged entries alone; its ETag,
// sent as If-Match, makes sure that the link still holds that archive.
//
// The files are untrusted: read() takes only a tail that agrees with itself, and whoever uses
// its directory parses it as any other.
struct ArchiveTail
{
    QString link;
    QByteArray etag;
    QByteArray lastModified;
    qint64 total = -1;
    qint64 tailStart = 0;
    QByteArray tail; // empty when only the version is known

    QByteArray validator() const { return etag.isEmpty() ? lastModified : etag; }

    // Where the tail of moduleId's installed archive is kept in libraryFolder.
    static QString pathFor(const QString &libraryFolder, const QString &moduleId);
    // Where a download leaves the version of the archive it saved, for the unpacking to keep.
    static QString pendingPathFor(const QString &archivePath);
    // After the archive at archivePath, as archive read it, was installed in libraryFolder: the
    // version its download left beside it becomes the module's kept tail, read from the archive
    // itself when the download brought none. An archive that came otherwise leaves the module
    // none, since the one kept before names another version.
    static void keepAfterInstall(const QString &archivePath, const ZipArchiveFile &archive,
                                 const QString &libraryFolder);

    QJsonObject toJson() const;
    // False when fields hold no version, or a tail of another length than the version's.
    bool fromJson(const QJsonObject &fields);
    // fields, when given, receives the whole file, for a reader that keeps more in it.
    bool read(const QString &path, QJsonObject *fields = nullptr);
    // Replaces the file in one rename, with the fields of more beside the tail's; false for a
    // tail too large to be worth keeping.
    bool write(const QString &path, const QJsonObject &more = {}) const;
};
