#pragma once

#include "archive/installedcomparison.h"
#include "archive/installrecord.h"
#include "archive/zipdirectory.h"
#include "transfer/byterangereader.h"
#include "transfer/deltastate.h"
#include "transfer/httpranges.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>

#include <memory>

class CompactArchive;

// An update of an installed module that fetches only what changed in its archive: ranged
// requests read the archive's directory, the worker compares it with the installed files, and
// only the changed entries' bytes are fetched, under the first answer's validator, into an
// archive of their own (CompactArchive) with every folder and link of the new one. Once the
// worker has checked it, that archive is unpacked as any download is; unchanged entries are not
// in it and stay installed as they are.
//
// Download makes the requests and hands it the answers. Whenever something is amiss it says to
// fall back, and Download fetches the whole archive instead; the installed module is untouched
// until an archive is unpacked in full.
class DeltaUpdate
{
public:
    enum class Next {
        Request,  // make a request for ranges()
        Compare,  // have the worker answer comparison()
        Check,    // have the worker check the archive at workPath()
        Saved,    // the archive stands at the archive path, ready to unpack
        FallBack, // fetch the whole archive instead; reason() says why
    };

    // True when the library index lists moduleId and link is an HTTP one; the version it lists
    // goes into installedVersion.
    static bool worthTrying(const QString &libraryFolder, const QString &moduleId,
                            const QString &link, QString *installedVersion);

    // workPath is where the archive of the changes is put together.
    DeltaUpdate(const QString &libraryFolder, const QString &archivePath, const QString &workPath,
                const QString &link);
    ~DeltaUpdate();

    // Takes up what a failed update of the link's archive fetched; the comparison comes next.
    bool resume();
    // Takes up the directory kept when the module was installed from the link's archive, which
    // the link holds still if the catalogue's version is the one installed; the comparison
    // comes next, and the first request asks for the changed entries under its version.
    bool reuseKeptTail();
    bool reusesKeptTail() const { return m_reusesKeptTail; }
    // The download fails: what has been fetched stays on disk for the next one to resume.
    void keep();

    // What the next request asks for, and its If-Range validator (empty for the first).
    QVector<HttpRanges::Wanted> nextRanges();
    QByteArray validator() const { return m_validator; }

    // A 206 answer began; false when it is another version of the archive, or no ranges of it.
    bool answerStarted(const QByteArray &contentRange, const QByteArray &contentType,
                       const QByteArray &etag, const QByteArray &lastModified);
    // A 200 answer of the version asked for, to a request for several ranges: the server is
    // asked for one range at a time from now on. False for any other 200 answer.
    bool takesOneRangeAtATime(const QByteArray &etag, const QByteArray &lastModified);
    QString wholeArchiveReason(const QByteArray &etag, const QByteArray &lastModified) const;
    // Bytes of the answer's body; false when they are not what its headers announced.
    bool receive(const QByteArray &chunk);
    Next answerEnded();

    InstalledComparison comparison() const;
    Next compared(const InstalledComparison &answer);
    QString workPath() const { return m_workPath; }
    // problem is empty when the worker's check of workPath() passed.
    Next checked(const QString &problem);

    // Bytes not held before that the answer brought: a cut answer that brought some was
    // getting somewhere.
    qint64 answerBrought() const { return m_answerBrought; }
    // Bytes of the archive received, and needed in all; needed is -1 until it is known.
    qint64 fetched() const { return m_fetched; }
    qint64 needed() const { return m_needed; }
    QString reason() const { return m_reason; }
    // What the update fetched, once Saved, for the debug output.
    QString summary() const;

private:
    enum class Phase { Tail, Directory, Comparing, Fetching, Checking, Done };

    bool isSameVersion(const QByteArray &etag, const QByteArray &lastModified) const;
    Next fallBack(const QString &reason)
    {
        m_reason = reason;
        return Next::FallBack;
    }
    bool stop(const QString &reason)
    {
        m_reason = reason;
        return false;
    }
    bool take(const ByteRangeReader::Piece &piece);
    bool takeUp(const ArchiveTail &archive);
    ArchiveTail version() const;
    Next readDirectory();
    Next saveWhole();
    Next finishFetching();
    QString statePath() const { return DeltaState::pathFor(m_workPath); }
    bool save();

    const QString m_libraryFolder;
    const QString m_archivePath;
    const QString m_workPath;
    const QString m_link;
    Phase m_phase = Phase::Tail;
    QString m_reason;

    // The archive's version, as the first answer names it.
    qint64 m_total = -1;
    QByteArray m_etag;
    QByteArray m_lastModified;
    QByteArray m_validator;

    // The archive's bytes from m_tailStart to its end, which hold its directory.
    QByteArray m_tail;
    qint64 m_tailStart = 0;
    // The bytes of the end the current request asks for, as far as they have arrived.
    QByteArray m_incoming;
    qint64 m_incomingStart = 0;
    qint64 m_incomingSize = 0;
    int m_rounds = 0;
    int m_shortAnswers = 0;
    ZipDirectory m_directory;
    int m_entryCount = 0;
    QVector<int> m_wanted;
    // What an earlier download had fetched, until the comparison tells whether it still serves.
    std::unique_ptr<DeltaState> m_resumed;
    bool m_kept = false;
    bool m_reusesKeptTail = false;
    // The files of the whole new version, which the archive of the changes does not list.
    InstallRecord m_record;

    std::unique_ptr<CompactArchive> m_compact;
    QFile m_work;
    bool m_oneAtATime = false;
    bool m_askedSeveral = false;

    // The answer being read: several parts, or one from m_singleAt to m_single.last.
    std::unique_ptr<ByteRangeReader> m_parts;
    HttpRanges::Span m_single;
    qint64 m_singleAt = -1;
    qint64 m_answerBrought = 0; // bytes still needed that the answer brought
    qint64 m_epilogue = 0;      // bytes after the last of several ranges

    qint64 m_fetched = 0;
    qint64 m_needed = -1;
};
