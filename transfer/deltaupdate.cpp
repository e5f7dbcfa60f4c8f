#include "transfer/deltaupdate.h"

#include "archive/archivepath.h"
#include "browse/catalogrecord.h"
#include "library/libraryindex.h"
#include "transfer/compactarchive.h"

#include <QDebug>
#include <QUrl>

namespace {

// The first request asks for this much of the archive's end: the end record and the
// directory of a module of a hundred pages or so. An archive no larger comes whole.
constexpr qint64 firstTailSize = 16 * 1024;
// The directory's end records may point back this many times before it is given up.
constexpr int directoryRounds = 4;
// Answers that end short of their ranges without a fault, before the update is given up.
constexpr int shortAnswerLimit = 3;
// Ranges closer than this are asked as one: the bytes between cost less than another part of
// an answer, or, where each range needs a request of its own, than another round trip.
constexpr qint64 partGap = 8 * 1024;
constexpr qint64 requestGap = 64 * 1024;
// Servers limit the ranges of one request (Apache to 200) and the length of its headers.
constexpr int rangesPerRequest = 64;
// What an answer of several ranges may hold after its last one, an epilogue that says nothing.
constexpr qint64 epilogueLimit = 64 * 1024;

using Kind = ZipDirectory::Kind;

} // namespace

bool DeltaUpdate::worthTrying(const QString &libraryFolder, const QString &moduleId,
                              const QString &link, QString *installedVersion)
{
    const QString scheme = QUrl(link, QUrl::TolerantMode).scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    QVector<LibraryIndex::Line> lines;
    if (!LibraryIndex::read(libraryFolder, &lines).ok)
        return false;
    for (const LibraryIndex::Line &line : qAsConst(lines)) {
        const CatalogRecord record(line.record);
        if (line.isRecord && record.id() == moduleId) {
            *installedVersion = record.version();
            return true;
        }
    }
    return false;
}

DeltaUpdate::DeltaUpdate(const QString &libraryFolder, const QString &archivePath,
                         const QString &workPath, const QString &link)
    : m_libraryFolder(libraryFolder), m_archivePath(archivePath), m_workPath(workPath),
      m_link(link), m_work(workPath)
{
}

DeltaUpdate::~DeltaUpdate()
{
    m_work.close();
    if (m_kept)
        return;
    if (m_phase != Phase::Done)
        QFile::remove(m_workPath);
    QFile::remove(statePath());
}

bool DeltaUpdate::resume()
{
    if (!QFile::exists(statePath()))
        return false;
    auto state = std::make_unique<DeltaState>();
    if (!state->read(statePath(), m_link) || !QFile::exists(m_workPath)) {
        // Of another link, or not written by us: the update starts afresh and replaces it.
        qDebug().noquote() << "Not going on with the update recorded in" << statePath()
                           << ": it is not one of" << m_link;
        return false;
    }
    if (!takeUp(state->archive)) {
        qDebug().noquote() << "Not going on with the update recorded in" << statePath()
                           << ": its directory cannot be read";
        return false;
    }
    m_fetched = m_tail.size();
    m_resumed = std::move(state);
    return true;
}

bool DeltaUpdate::reuseKeptTail()
{
    const QString path =
        ArchiveTail::pathFor(m_libraryFolder, InstallRecord::moduleIdOf(m_archivePath));
    ArchiveTail kept;
    // Only an ETag can ask for that archive and no other.
    if (!kept.read(path) || kept.link != m_link || kept.etag.isEmpty() || kept.tail.isEmpty())
        return false;
    if (!takeUp(kept)) {
        qDebug().noquote() << "The directory kept in" << path << "cannot be read";
        return false;
    }
    m_reusesKeptTail = true;
    return true;
}

bool DeltaUpdate::takeUp(const ArchiveTail &archive)
{
    if (m_directory.parse(archive.tail, archive.tailStart, archive.total) !=
            ZipDirectory::Outcome::Read ||
        m_directory.entries().isEmpty()) {
        m_directory = ZipDirectory();
        return false;
    }
    m_etag = archive.etag;
    m_lastModified = archive.lastModified;
    m_validator = archive.validator();
    m_total = archive.total;
    m_tail = archive.tail;
    m_tailStart = archive.tailStart;
    m_entryCount = m_directory.entries().size();
    m_phase = Phase::Comparing;
    return true;
}

ArchiveTail DeltaUpdate::version() const
{
    return {m_link, m_etag, m_lastModified, m_total, m_tailStart, m_tail};
}

void DeltaUpdate::keep()
{
    if (m_phase != Phase::Fetching || !m_compact || !m_work.flush())
        return;
    const DeltaState state{version(), m_wanted, m_compact->held(), m_fetched};
    m_kept = state.write(statePath());
}

QVector<HttpRanges::Wanted> DeltaUpdate::nextRanges()
{
    m_askedSeveral = false;
    switch (m_phase) {
    case Phase::Tail:
    case Phase::Directory:
        // Once an answer has named the archive's length, the end is asked for by its place,
        // from the first byte not held yet: bytes of a cut answer are kept.
        if (m_phase == Phase::Tail && m_total < 0)
            return {HttpRanges::Wanted::lastBytes(firstTailSize)};
        return {HttpRanges::Wanted::span(m_incomingStart + m_incoming.size(),
                                         m_incomingStart + m_incomingSize - 1)};
    case Phase::Fetching: {
        const QVector<HttpRanges::Span> spans =
            CompactArchive::joined(m_compact->missing(), m_oneAtATime ? requestGap : partGap);
        QVector<HttpRanges::Wanted> ranges;
        for (const HttpRanges::Span &span : spans) {
            if (ranges.size() == (m_oneAtATime ? 1 : rangesPerRequest))
                break;
            ranges.append(HttpRanges::Wanted::span(span.first, span.last));
        }
        m_askedSeveral = ranges.size() > 1;
        return ranges;
    }
    default:
        break;
    }
    return {};
}

bool DeltaUpdate::answerStarted(const QByteArray &contentRange, const QByteArray &contentType,
                                const QByteArray &etag, const QByteArray &lastModified)
{
    m_parts.reset();
    m_singleAt = -1;
    m_answerBrought = 0;
    m_epilogue = 0;
    const QByteArray tag = HttpRanges::strongEtag(etag);
    const QByteArray date = lastModified.trimmed();
    const QByteArray boundary = HttpRanges::multipartBoundary(contentType);
    const HttpRanges::ContentRange range = HttpRanges::parseContentRange(contentRange);
    if (boundary.isEmpty() && (!range.valid || range.unsatisfied || range.total < 0))
        return stop(QStringLiteral("an answer names no range of the archive"));

    const bool first = m_total < 0;
    if (first) {
        // The first answer names the version every later one must be.
        if (!boundary.isEmpty())
            return stop(QStringLiteral("the first answer names no length of the archive"));
        m_validator = tag.isEmpty() ? date : tag;
        if (m_validator.isEmpty())
            return stop(QStringLiteral("the catalogue names no version of the archive"));
        m_etag = tag;
        m_lastModified = date;
        m_total = range.total;
    } else if ((!tag.isEmpty() && !m_etag.isEmpty() && tag != m_etag) ||
               (!date.isEmpty() && !m_lastModified.isEmpty() && date != m_lastModified) ||
               (boundary.isEmpty() && range.total != m_total)) {
        return stop(QStringLiteral("the archive changed during the update"));
    }

    if (m_phase == Phase::Tail && first) {
        // Only the end of the archive, no longer than asked.
        if (range.span.last != m_total - 1 || range.span.length() > firstTailSize)
            return stop(QStringLiteral("the catalogue answered other bytes than the end asked"));
        m_incomingStart = range.span.first;
        m_incomingSize = range.span.length();
    }
    // A server that answers several ranges with one has them asked one at a time.
    if (m_askedSeveral && boundary.isEmpty())
        m_oneAtATime = true;
    if (boundary.isEmpty()) {
        m_single = range.span;
        m_singleAt = range.span.first;
    } else {
        m_parts = std::make_unique<ByteRangeReader>(boundary);
    }
    return true;
}

bool DeltaUpdate::isSameVersion(const QByteArray &etag, const QByteArray &lastModified) const
{
    if (!m_etag.isEmpty())
        return HttpRanges::strongEtag(etag) == m_etag;
    return !m_lastModified.isEmpty() && lastModified.trimmed() == m_lastModified;
}

bool DeltaUpdate::takesOneRangeAtATime(const QByteArray &etag, const QByteArray &lastModified)
{
    if (!m_askedSeveral || !isSameVersion(etag, lastModified))
        return false;
    m_oneAtATime = true;
    return true;
}

QString DeltaUpdate::wholeArchiveReason(const QByteArray &etag,
                                        const QByteArray &lastModified) const
{
    if (m_total >= 0 && !isSameVersion(etag, lastModified))
        return QStringLiteral("the archive changed during the update");
    return QStringLiteral("the catalogue sends no ranges");
}

bool DeltaUpdate::receive(const QByteArray &chunk)
{
    QVector<ByteRangeReader::Piece> pieces;
    if (m_parts) {
        if (m_parts->finished() && (m_epilogue += chunk.size()) > epilogueLimit)
            return stop(QStringLiteral("an answer goes on after its last range"));
        if (!m_parts->read(chunk, &pieces))
            return stop(QStringLiteral("an answer of several ranges is malformed"));
    } else if (m_singleAt >= 0) {
        if (chunk.size() > m_single.last + 1 - m_singleAt)
            return stop(QStringLiteral("an answer holds more bytes than its range"));
        pieces.append({m_singleAt, chunk, m_total});
        m_singleAt += chunk.size();
    }
    for (const ByteRangeReader::Piece &piece : qAsConst(pieces)) {
        if (!take(piece))
            return false;
    }
    return true;
}

bool DeltaUpdate::take(const ByteRangeReader::Piece &piece)
{
    if (piece.total >= 0 && piece.total != m_total)
        return stop(QStringLiteral("the archive changed during the update"));
    m_fetched += piece.bytes.size();
    if (m_phase == Phase::Fetching) {
        const qint64 fresh = m_compact->place(piece.offset, piece.bytes, &m_work);
        if (fresh < 0)
            return stop(QStringLiteral("the archive of the changes cannot be written: ") +
                        m_work.errorString());
        m_answerBrought += fresh;
        return true;
    }
    // The end asked for arrives in order; anything else is passed over.
    const qint64 at = m_incomingStart + m_incoming.size();
    const qint64 end = qMin(piece.offset + piece.bytes.size(), m_incomingStart + m_incomingSize);
    if (piece.offset <= at && end > at) {
        m_incoming.append(piece.bytes.constData() + (at - piece.offset), int(end - at));
        m_answerBrought += end - at;
    }
    return true;
}

DeltaUpdate::Next DeltaUpdate::answerEnded()
{
    if (m_answerBrought == 0)
        return fallBack(QStringLiteral("the catalogue does not answer the ranges asked"));
    const bool cut = (m_parts && !m_parts->finished()) ||
                     (!m_parts && m_singleAt >= 0 && m_singleAt <= m_single.last);
    // An answer that ends without a fault but short of what was asked (a length that
    // disagrees with its ranges, other bytes than asked, a connection closed early) is asked
    // again; only a few in a row that bring nothing new.
    const auto askAgain = [this] {
        if (m_answerBrought > 0)
            m_shortAnswers = 0;
        return ++m_shortAnswers > shortAnswerLimit
                   ? fallBack(QStringLiteral("the catalogue keeps ending its answers short"))
                   : Next::Request;
    };
    switch (m_phase) {
    case Phase::Tail:
    case Phase::Directory:
        // What is missing is asked for again; the end comes whole or not at all.
        if (cut || m_incoming.size() < m_incomingSize)
            return askAgain();
        m_tail = m_phase == Phase::Tail ? m_incoming : m_incoming + m_tail;
        m_tailStart = m_incomingStart;
        m_incoming.clear();
        // An archive shorter than what was asked came whole.
        if (m_tailStart == 0)
            return saveWhole();
        return readDirectory();
    case Phase::Fetching:
        // Ranges still missing are asked for next; fetched bytes are kept across answers.
        if (!m_compact->missing().isEmpty())
            return cut ? askAgain() : Next::Request;
        return finishFetching();
    default:
        break;
    }
    return fallBack(QStringLiteral("an answer came that was not asked for"));
}

DeltaUpdate::Next DeltaUpdate::finishFetching()
{
    m_work.flush();
    if (!m_compact->finish(&m_work) || !m_work.flush())
        return fallBack(QStringLiteral("the archive of the changes cannot be written: ") +
                        m_work.errorString());
    m_work.close();
    m_phase = Phase::Checking;
    return Next::Check;
}

DeltaUpdate::Next DeltaUpdate::readDirectory()
{
    switch (m_directory.parse(m_tail, m_tailStart, m_total)) {
    case ZipDirectory::Outcome::Read:
        m_entryCount = m_directory.entries().size();
        if (m_entryCount == 0)
            return fallBack(QStringLiteral("the archive holds no entries"));
        m_phase = Phase::Comparing;
        return Next::Compare;
    case ZipDirectory::Outcome::NeedsEarlierBytes: {
        const qint64 start = m_directory.neededStart();
        if (++m_rounds > directoryRounds || start >= m_tailStart)
            return fallBack(QStringLiteral("its directory cannot be found"));
        if (m_fetched + (m_tailStart - start) > m_total / 2)
            return fallBack(QStringLiteral("its directory is most of the archive"));
        m_phase = Phase::Directory;
        m_incomingStart = start;
        m_incomingSize = m_tailStart - start;
        return Next::Request;
    }
    default:
        break;
    }
    return fallBack(QStringLiteral("its directory cannot be read: ") + m_directory.problem());
}

InstalledComparison DeltaUpdate::comparison() const
{
    InstalledComparison comparison;
    comparison.archivePath = m_archivePath;
    comparison.libraryFolder = m_libraryFolder;
    comparison.directory = m_directory;
    comparison.changedLimit = m_total / 2 - m_fetched;
    return comparison;
}

DeltaUpdate::Next DeltaUpdate::compared(const InstalledComparison &answer)
{
    if (m_phase != Phase::Comparing)
        return fallBack(QStringLiteral("a comparison came that was not asked for"));
    if (!answer.refusal.isEmpty())
        return fallBack(QStringLiteral("unpacking it would fail: ") + answer.refusal);
    if (answer.tooMuch)
        return fallBack(QStringLiteral("most of it changed"));

    // Folders and links cost next to nothing, and unpacking them is what makes the tree the
    // whole archive's: a folder where a link stood, a link's new target.
    const QVector<ZipDirectory::Entry> &entries = m_directory.entries();
    QVector<int> wanted = answer.changed;
    int smallest = -1;
    for (int i = 0; i < entries.size(); ++i) {
        const Kind kind = entries.at(i).kind();
        if (kind == Kind::Folder || kind == Kind::Link)
            wanted.append(i);
        else if (smallest < 0 || entries.at(i).compressedSize < entries.at(smallest).compressedSize)
            smallest = i;
    }
    // An archive of no entries is no archive: one file unpacks again as it is.
    if (wanted.isEmpty() && smallest >= 0)
        wanted.append(smallest);
    m_compact = std::make_unique<CompactArchive>(m_directory, m_tail, m_tailStart, wanted);
    if (!m_compact->isValid())
        return fallBack(QStringLiteral("its entries overlap"));
    m_wanted = wanted;
    // An earlier download's bytes serve only the same entries; the archive of the changes
    // holds them at their places.
    const bool goesOn = m_resumed && m_resumed->wanted == wanted;
    if (goesOn) {
        m_compact->restore(m_resumed->held);
        m_fetched = qMax(m_fetched, m_resumed->fetched);
    }
    m_resumed.reset();
    qint64 toFetch = 0;
    for (const HttpRanges::Span &span : CompactArchive::joined(m_compact->missing(), partGap))
        toFetch += span.length();
    if (m_fetched + toFetch > m_total / 2)
        return fallBack(QStringLiteral("%1 of its %2 bytes changed").arg(toFetch).arg(m_total));
    if (!m_work.open(goesOn ? QIODevice::ReadWrite : QIODevice::ReadWrite | QIODevice::Truncate))
        return fallBack(QStringLiteral("the archive of the changes cannot be written: ") +
                        m_work.errorString());
    // The records went into the compact archive; the end is kept only in case the download
    // fails and a later one goes on with it.
    m_record = InstallRecord::fromDirectory(m_directory);
    m_directory = ZipDirectory();
    m_needed = m_fetched + toFetch;
    m_phase = Phase::Fetching;
    return m_compact->missing().isEmpty() ? finishFetching() : Next::Request;
}

DeltaUpdate::Next DeltaUpdate::checked(const QString &problem)
{
    if (m_phase != Phase::Checking)
        return fallBack(QStringLiteral("a check came that was not asked for"));
    if (!problem.isEmpty())
        return fallBack(QStringLiteral("the changes came damaged: ") + problem);
    // Without the record the extraction would take the changes for the whole version.
    if (!m_record.write(InstallRecord::pendingPathFor(m_archivePath)))
        return fallBack(QStringLiteral("the record of its files cannot be written"));
    return save() ? Next::Saved
                  : fallBack(QStringLiteral("the archive of the changes cannot be saved"));
}

DeltaUpdate::Next DeltaUpdate::saveWhole()
{
    if (!m_work.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        m_work.write(m_tail) != m_tail.size() || !m_work.flush())
        return fallBack(QStringLiteral("the archive cannot be written: ") + m_work.errorString());
    m_work.close();
    QFile::remove(InstallRecord::pendingPathFor(m_archivePath));
    return save() ? Next::Saved : fallBack(QStringLiteral("the archive cannot be saved"));
}

bool DeltaUpdate::save()
{
    // The archive's version and directory, for the module to keep once it is installed.
    const QString pending = ArchiveTail::pendingPathFor(m_archivePath);
    if (!version().write(pending))
        QFile::remove(pending);
    m_tail = QByteArray();
    if (!ArchivePath::putInPlace(m_workPath, m_archivePath))
        return false;
    QFile::remove(statePath());
    m_phase = Phase::Done;
    return true;
}

QString DeltaUpdate::summary() const
{
    if (!m_compact)
        return QStringLiteral("the whole archive, %1 bytes, came with the end asked for")
            .arg(m_total);
    return QStringLiteral("updated by ranges: fetched %1 of %2 entries, %3 of %4 bytes%5")
        .arg(m_compact->entryCount())
        .arg(m_entryCount)
        .arg(m_fetched)
        .arg(m_total)
        .arg(m_reusesKeptTail ? QStringLiteral(", with the directory kept at installation")
                              : QString());
}
