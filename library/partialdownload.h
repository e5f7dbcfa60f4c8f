#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The body of a module's download that did not finish, kept in the library folder for the next
// download of the same module: ".<id>.zip.part" holds the bytes received so far and
// ".<id>.zip.part.info" the link they came from and what identifies their version, so that the
// next download asks only for the rest, and only of the same version.
class PartialDownload
{
public:
    // What identifies one version of a body: its strong ETag, else its Last-Modified date, and
    // its whole length.
    struct Version
    {
        QByteArray etag;
        QByteArray lastModified;
        qint64 length = -1;

        // What If-Range carries; empty when nothing identifies the version, and then a part of
        // it can never be continued.
        QByteArray validator() const { return etag.isEmpty() ? lastModified : etag; }
        // Whether an answer of this version continues bytes held of version held: the same
        // length and validators, where the answer names them.
        bool continues(const Version &held) const;
    };

    PartialDownload(const QString &libraryFolder, const QString &moduleId);

    QString bodyPath() const { return m_bodyPath; }
    QString infoPath() const { return m_infoPath; }
    // Where an update of the module puts together the archive of its changes.
    QString changesPath() const;

    // The bytes held of link's body, and their version into *version; 0 when there is nothing
    // that can be continued: no part, no info, an info of another link or without a validator,
    // or a part not shorter than its version.
    qint64 heldFor(const QString &link, Version *version) const;
    // Records what the part holds, replacing the info in one rename.
    bool writeInfo(const QString &link, const Version &version) const;
    // Removes the part and its info.
    void remove() const;

    // Removes every part in libraryFolder, with its info, and every archive of changes, that
    // was last written before notAfter: a download nobody finished within a week is not worth
    // its disk space.
    static void removeStale(const QString &libraryFolder, const QDateTime &notAfter);

private:
    QString m_bodyPath;
    QString m_infoPath;
};
