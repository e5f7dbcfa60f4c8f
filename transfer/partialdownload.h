#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The body of a download that did not finish: ".<id>.zip.part" holds the bytes received and
// ".<id>.zip.part.info" their link and version, so that the next download of the module asks
// only for the rest, and only of the same version.
class PartialDownload
{
public:
    // What identifies one version of a body: its ETag or Last-Modified date, and its length.
    struct Version
    {
        QByteArray etag;
        QByteArray lastModified;
        qint64 length = -1;

        // What If-Range carries; empty when a part of it can never be continued.
        QByteArray validator() const { return etag.isEmpty() ? lastModified : etag; }
        // The same length, and the same validators where this answer names them.
        bool continues(const Version &held) const;
    };

    PartialDownload(const QString &libraryFolder, const QString &moduleId);

    QString bodyPath() const { return m_bodyPath; }
    QString infoPath() const { return m_infoPath; }
    // Where an update of the module puts together the archive of its changes.
    QString changesPath() const { return m_bodyPath + ".changes"; }

    // The bytes held of link's body, and their version into *version; 0 when nothing can be
    // continued.
    qint64 heldFor(const QString &link, Version *version) const;
    // Replaces the info in one rename.
    bool writeInfo(const QString &link, const Version &version) const;
    void remove() const;

    // Removes every part, with its info, and every archive of changes last written before
    // notAfter: a download nobody finished within a week is not worth its disk space.
    static void removeStale(const QString &libraryFolder, const QDateTime &notAfter);

private:
    QString m_bodyPath;
    QString m_infoPath;
};
