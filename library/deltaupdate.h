#pragma once

#include "library/byterangereader.h"
#include "library/deltastate.h"
#include "library/httpranges.h"
#include "worker/installedcomparison.h"
#include "worker/installrecord.h"
#include "worker/zipdirectory.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>

#include <memory>

class CompactArchive;

// An update of an installed module that fetches only what changed in its archive. A ranged
// request asks for the archive's end and reads its directory (a second one asks for the rest
// of the directory when it lies further back); the worker compares the directory with the
// installed files; then only the changed entries' bytes are asked for, in ranges under the
// first answer's validator, and written into an archive of their own (CompactArchive) with
// every folder and link of the new one. Once the worker has checked every entry in it, that
// archive takes the whole archive's place and is unpacked as any download is: the entries that
// did not change are simply not in it, and stay installed as they are.
//
// It makes no request itself: Download makes the requests it asks for and hands it the
// answers. Whenever something is amiss (the server gives no ranges, the archive changes on the
// way, the directory cannot be read or would be refused, an entry comes damaged, or most of
// the archive changed) it says to fall back, and Download fetches the whole archive instead;
// the installed module is untouched until an archive is unpacked in full.
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

    // Whether an update by ranges is worth trying for a download of moduleId from link: the
    // library index lists the module, and the link is an HTTP one.
    static bool worthTrying(const QString &libraryFolder, const QString &moduleId,
                            const QString &link);

    // workPath is where the archive of the changes is put together, beside archivePath.
    DeltaUpdate(const QString &libraryFolder, const QString &archivePath, const QString &workPath);
    ~DeltaUpdate();
    DeltaUpdate(const DeltaUpdate &) = delete;
    DeltaUpdate &operator=(const DeltaUpdate &) = delete;

    // Takes up what an earlier update of link's archive had fetched when its download failed;
    // false when there is nothing to take up. The worker's comparison comes next.
    bool resume(const QString &link);
    // The download fails: what has been fetched stays on disk for the next one to resume.
    void keep(const QString &link);

    // What the next request asks for, and the validator for its If-Range (empty for the first).
    QVector<HttpRanges::Wanted> nextRanges();
    QByteArray validator() const { return m_validator; }

    // A 206 answer to it began; false when it does not go on with the update: another version
    // of the archive, or no ranges of it.
    bool answerStarted(const QByteArray &contentRange, const QByteArray &contentType,
                       const QByteArray &etag, const QByteArray &lastModified);
    // A 200 answer to a request for several ranges, of the version asked for: the server gives
    // one range at a time only, and is asked so from now on. False for any other 200 answer,
    // which brings the whole archive.
    bool takesOneRangeAtATime(const QByteArray &etag, const QByteArray &lastModified);
    // Why a 200 answer brings the whole archive.
    QString wholeArchiveReason(const QByteArray &etag, const QByteArray &lastModified) const;
    // Bytes of the answer's body; false when they are not what its headers announced.
    bool receive(const QByteArray &chunk);
    // The answer arrived in full.
    Next answerEnded();

    InstalledComparison comparison() const;
    Next compared(const InstalledComparison &answer);
    QString workPath() const { return m_workPath; }
    // The worker's check of the archive at workPath(); problem is empty when it passed.
    Next checked(const QString &problem);

    // Bytes the answer being read brought that were not held before: a cut answer that
    // brought some was getting somewhere.
    qint64 answerBrought() const { return m_answerBrought; }
    // Bytes of the archive received, and needed in all; needed is -1 until it is known.
    qint64 fetched() const { return m_fetched; }
    qint64 needed() const { return m_needed; }
    // Why the update falls back.
    QString reason() const { return m_reason; }
    // What the update fetched, once Saved, in a few words for the debug output.
    QString summary() const;

private:
    enum class Phase { Tail, Directory, Comparing, Fetching, Checking, Done };

    // Whether an answer with these validators is positively of the version of the first.
    bool isSameVersion(const QByteArray &etag, const QByteArray &lastModified) const;
    Next fallBack(const QString &reason);
    bool stop(const QString &reason);
    bool take(const ByteRangeReader::Piece &piece);
    Next readDirectory();
    Next saveWhole();
    Next finishFetching();
    QString statePath() const;
    bool save();

    const QString m_libraryFolder;
    const QString m_archivePath;
    const QString m_workPath;
    Phase m_phase = Phase::Tail;
    QString m_reason;

    // The version of the archive, as the first answer names it.
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
