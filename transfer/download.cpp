#include "transfer/download.h"

#include "archive/archivepath.h"
#include "archive/archivetail.h"
#include "archive/diskspace.h"
#include "archive/installrecord.h"
#include "transfer/httpranges.h"
#include "transfer/networkfailure.h"
#include "transfer/networktiming.h"
#include "transfer/stallwatch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

// The reply holds at most this much of the body before it waits for us to read it.
constexpr qint64 readBufferSize = 1024 * 1024;
// A part nobody has continued for this long is not worth its disk space.
constexpr int partLifeDays = 7;

QString noSpace()
{
    return QCoreApplication::translate("Download", "there is not enough free space on the disk");
}

} // namespace

Download::Download(const QJsonObject &record, const QString &libraryFolder)
    : m_record(record), m_libraryFolder(libraryFolder),
      m_archivePath(ArchivePath::forModule(libraryFolder, moduleId())),
      m_partial(libraryFolder, moduleId())
{
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &Download::request);
}

Download::~Download()
{
    // The reply goes with us and aborts its transfer; what arrived stays in the part, for the
    // next download of the module.
    if (m_reply)
        m_reply->disconnect(this);
    if (m_delta)
        m_delta->keep();
}

void Download::start(QNetworkAccessManager *network, const QString &link)
{
    m_network = network;
    m_link = link;
    PartialDownload::removeStale(m_libraryFolder,
                                 QDateTime::currentDateTime().addDays(-partLifeDays));
    // A part kept for resuming is nearer the whole archive than any update could be.
    PartialDownload::Version held;
    QString installedVersion;
    if (m_partial.heldFor(m_link, &held) == 0 &&
        DeltaUpdate::worthTrying(m_libraryFolder, moduleId(), m_link, &installedVersion))
        startUpdate();
    // An update that an earlier download left half done goes on from what it fetched; a repair
    // of the version installed starts from the directory kept at its installation. Either way
    // the worker compares the installed files first.
    if (m_delta && (m_delta->resume() || (installedVersion == CatalogRecord(m_record).version() &&
                                          m_delta->reuseKeptTail()))) {
        emit wantsComparison(m_delta->comparison());
        return;
    }
    request();
}

void Download::stop()
{
    if (m_outcome != Outcome::Running)
        return;
    m_pause.stop();
    dropReply();
    m_body.close();
    // An update keeps nothing: the next one compares the installed files again.
    PartialDownload::Version held;
    const qint64 bytes = m_delta ? 0 : m_partial.heldFor(m_link, &held);
    if (bytes > 0 && held.length > 0)
        m_stoppedAt = int(bytes * 100 / held.length);
    else if (!m_delta)
        m_partial.remove();
    m_reason = QStringLiteral("it was stopped");
    m_error = m_reason;
    end(Outcome::Stopped);
}

bool Download::openBody()
{
    m_held = m_partial.heldFor(m_link, &m_heldVersion);
    // Whatever lies there cannot be continued.
    if (m_held == 0)
        m_partial.remove();
    m_body.setFileName(m_partial.bodyPath());
    if (m_body.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return true;
    m_reason = tr("the library folder cannot be written");
    m_error = m_body.errorString();
    return false;
}

void Download::request()
{
    m_answer = Answer::Awaited;
    m_retryable = true;
    m_reason.clear();
    m_error.clear();
    // No redirect is followed: the archive must come from the link itself.
    QNetworkRequest request(QUrl(m_link, QUrl::TolerantMode));
    // Ranges count the bytes as stored; an answer compressed on the way would count others.
    request.setRawHeader("Accept-Encoding", "identity");
    if (m_delta) {
        request.setRawHeader("Range", HttpRanges::rangeHeader(m_delta->nextRanges()));
        if (!m_delta->validator().isEmpty())
            request.setRawHeader("If-Range", m_delta->validator());
        // Ranges placed by a directory kept from before are of that archive only: a server
        // that holds another sends nothing rather than the whole of it.
        if (m_delta->reusesKeptTail())
            request.setRawHeader("If-Match", m_delta->validator());
    } else if (!openBody()) {
        // Reported once control is back in the event loop, as every other end is.
        QMetaObject::invokeMethod(
            this, [this] { end(Outcome::FileUnavailable); }, Qt::QueuedConnection);
        return;
    } else if (m_held > 0) {
        request.setRawHeader("Range", HttpRanges::rangeHeader({HttpRanges::Wanted::from(m_held)}));
        request.setRawHeader("If-Range", m_heldVersion.validator());
    }
    m_reply = m_network->get(request);
    m_reply->setParent(this);
    m_reply->setReadBufferSize(readBufferSize);
    m_watch = new StallWatch(m_reply);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &Download::answerStarted);
    connect(m_reply, &QNetworkReply::readyRead, this, &Download::receive);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &Download::reportProgress);
    connect(m_reply, &QNetworkReply::finished, this, &Download::transferEnded);
}

void Download::answerStarted()
{
    // Called for every block too, in case the head's signal has not come yet: once the answer
    // is judged, it costs nothing more.
    if (m_answer != Answer::Awaited)
        return;
    const QVariant statusAttribute = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid())
        return;
    const int status = statusAttribute.toInt();
    if (m_delta && rangesStarted(status))
        return;
    PartialDownload::Version offered;
    offered.etag = HttpRanges::strongEtag(m_reply->rawHeader("ETag"));
    offered.lastModified = m_reply->rawHeader("Last-Modified");
    const QVariant announced = m_reply->header(QNetworkRequest::ContentLengthHeader);
    const qint64 length = announced.isValid() ? announced.toLongLong() : -1;

    if (m_held > 0 && (status == 206 || status == 416)) {
        const HttpRanges::ContentRange range =
            HttpRanges::parseContentRange(m_reply->rawHeader("Content-Range"));
        offered.length = range.total;
        // Only the rest of the same version, to its end, continues the part.
        if (status == 416 || !range.valid || range.unsatisfied || range.span.first != m_held ||
            range.span.last != range.total - 1 || !offered.continues(m_heldVersion)) {
            // The bytes held belong to another version.
            dropReply();
            m_body.close();
            m_partial.remove();
            request();
            return;
        }
        if (!fitsOnDisk(range.span.length())) {
            refuse(noSpace(), QStringLiteral("%1 more bytes announced").arg(range.span.length()));
            return;
        }
        m_answer = Answer::Continues;
        m_offset = m_held;
        m_version = m_heldVersion;
        return;
    }
    if (status < 200 || status >= 300 || status == 206) {
        // An error page or a redirect is not an archive; it is read and dropped.
        m_answer = Answer::Refused;
        m_reason = NetworkFailure::statusReason(status);
        m_error = QStringLiteral("HTTP status %1").arg(status);
        m_retryable = false;
        return;
    }
    // The whole body, from its first byte: nothing was held, or the server cannot give ranges,
    // or the version held is not the one at the link any more.
    if (!fitsOnDisk(length - m_body.size())) {
        refuse(noSpace(), QStringLiteral("%1 bytes announced").arg(length));
        return;
    }
    m_body.resize(0);
    m_answer = Answer::Whole;
    m_offset = 0;
    offered.length = length;
    m_version = offered;
    // Without a validator and a length, nothing received can ever be continued.
    if (offered.validator().isEmpty() || length < 0 || !m_partial.writeInfo(m_link, offered))
        QFile::remove(m_partial.infoPath());
}

bool Download::rangesStarted(int status)
{
    const QByteArray etag = m_reply->rawHeader("ETag");
    const QByteArray lastModified = m_reply->rawHeader("Last-Modified");
    if (status == 206) {
        if (!m_delta->answerStarted(m_reply->rawHeader("Content-Range"),
                                    m_reply->rawHeader("Content-Type"), etag, lastModified)) {
            fallBack();
            return true;
        }
        m_answer = Answer::Ranges;
        return true;
    }
    if (status == 412 && m_delta->reusesKeptTail()) {
        // The link holds another archive than the one installed, under the same version: the
        // update reads its directory instead.
        startUpdate();
        dropReply();
        request();
        return true;
    }
    if (status == 200 && m_delta->takesOneRangeAtATime(etag, lastModified)) {
        // Rather than the whole archive, the ranges one at a time.
        dropReply();
        request();
        return true;
    }
    if (status == 416) {
        // The archive is shorter than the ranges asked, so it is another one now.
        dropUpdate(QStringLiteral("the archive changed during the update"));
        dropReply();
        request();
        return true;
    }
    if (status < 200 || status >= 300)
        return false; // ends the download as it would end any other
    // The server sends the whole archive: ranges are not for it, or the archive changed. It
    // is taken as it comes, rather than asked for again.
    dropUpdate(m_delta->wholeArchiveReason(etag, lastModified));
    if (!openBody()) {
        refuse(m_reason, m_error);
        return true;
    }
    return false;
}

void Download::startUpdate()
{
    m_delta = std::make_unique<DeltaUpdate>(m_libraryFolder, m_archivePath, m_partial.changesPath(),
                                            m_link);
}

void Download::fallBack()
{
    dropUpdate(m_delta->reason());
    dropReply();
    // The whole archive is a download of its own, with its own retries.
    m_retry = 0;
    m_receivedBytes = false;
    request();
}

void Download::dropUpdate(const QString &reason)
{
    m_updateSummary = QStringLiteral("fetching the whole archive: ") + reason;
    m_delta.reset();
}

void Download::dropReply()
{
    if (!m_reply)
        return;
    // Deleting the reply ends its transfer.
    m_reply->disconnect(this);
    m_reply->deleteLater();
    m_reply = nullptr;
}

void Download::goOn(DeltaUpdate::Next next)
{
    switch (next) {
    case DeltaUpdate::Next::Request:
        if (m_delta->needed() > 0)
            emit progress(m_delta->fetched(), qMax(m_delta->needed(), m_delta->fetched()));
        request();
        return;
    case DeltaUpdate::Next::Compare:
        emit wantsComparison(m_delta->comparison());
        return;
    case DeltaUpdate::Next::Check:
        emit wantsCheck(m_delta->workPath());
        return;
    case DeltaUpdate::Next::Saved:
        m_updateSummary = m_delta->summary();
        end(Outcome::Saved);
        return;
    case DeltaUpdate::Next::FallBack:
        fallBack();
        return;
    }
}

void Download::comparisonArrived(const InstalledComparison &comparison)
{
    if (m_delta && !m_reply)
        goOn(m_delta->compared(comparison));
}

void Download::checkArrived(const QString &problem)
{
    if (m_delta && !m_reply)
        goOn(m_delta->checked(problem));
}

void Download::receive()
{
    QNetworkReply *reply = m_reply;
    answerStarted();
    if (reply != m_reply)
        return;
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(readBufferSize);
        if (chunk.isEmpty())
            break;
        if (m_answer == Answer::Ranges) {
            if (!m_delta->receive(chunk)) {
                fallBack();
                return;
            }
            m_receivedBytes = true;
            if (m_delta->needed() > 0)
                emit progress(m_delta->fetched(), qMax(m_delta->needed(), m_delta->fetched()));
            continue;
        }
        if (m_answer != Answer::Whole && m_answer != Answer::Continues)
            continue;
        if (m_body.write(chunk) != chunk.size()) {
            // No half-written archive stays behind a disk that is full or failing.
            const QString error = m_body.errorString();
            m_body.close();
            m_partial.remove();
            refuse(fitsOnDisk(chunk.size())
                       ? tr("the archive could not be written in the library folder")
                       : noSpace(),
                   error);
            continue;
        }
        m_receivedBytes = true;
    }
}

void Download::reportProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (m_answer == Answer::Whole || m_answer == Answer::Continues)
        emit progress(m_offset + bytesReceived, bytesTotal < 0 ? -1 : m_offset + bytesTotal);
}

void Download::refuse(const QString &reason, const QString &error)
{
    m_reason = reason;
    m_error = error;
    m_retryable = false;
    m_answer = Answer::Refused;
    // Fetching the rest would only cost time and disk; the transfer ends once control is back
    // in the event loop.
    QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

bool Download::fitsOnDisk(qint64 bytes) const
{
    if (bytes <= 0)
        return true;
    const qint64 free = DiskSpace::available(m_libraryFolder);
    return free < 0 || bytes <= free;
}

void Download::transferEnded()
{
    QNetworkReply *reply = m_reply;
    receive();
    // The answer was given up while it was read, and another request has gone out.
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();
    m_body.close();

    if (m_answer == Answer::Ranges && reply->error() == QNetworkReply::NoError) {
        goOn(m_delta->answerEnded());
        return;
    }

    const bool complete =
        reply->error() == QNetworkReply::NoError &&
        (m_version.length < 0 || QFileInfo(m_partial.bodyPath()).size() == m_version.length);
    if ((m_answer == Answer::Whole || m_answer == Answer::Continues) && complete) {
        end(save() ? Outcome::Saved : Outcome::Failed);
        return;
    }
    if (m_reason.isEmpty()) {
        m_reason = NetworkFailure::reason(reply, m_watch->stalled(), &m_retryable);
        m_error = reply->error() == QNetworkReply::NoError
                      ? QStringLiteral("the body ended before its announced length")
                      : reply->errorString();
    }
    // An update's answer that brought bytes it lacked was getting somewhere, however soon it
    // was cut: only answers in a row that bring nothing new use up the retries.
    if (m_answer == Answer::Ranges && m_delta && m_delta->answerBrought() > 0)
        m_retry = 0;
    // Only a transfer that was getting somewhere is worth trying again at once.
    if (m_retryable && m_receivedBytes && m_retry < retries) {
        const int pause = NetworkTiming::retryPause(m_retry++);
        emit retrying(m_reason, m_retry, retries, pause);
        m_pause.start(pause);
        return;
    }
    // What an update fetched stays, as a part does, for the next download to go on with.
    if (m_delta)
        m_delta->keep();
    PartialDownload::Version held;
    if (m_partial.heldFor(m_link, &held) == 0)
        m_partial.remove();
    end(Outcome::Failed);
}

bool Download::save()
{
    // A whole archive lists its files itself; a record left by an update by ranges that was
    // never unpacked belongs to another archive. Its version is kept with its directory once
    // it is installed.
    QFile::remove(InstallRecord::pendingPathFor(m_archivePath));
    const QString version = ArchiveTail::pendingPathFor(m_archivePath);
    if (!ArchiveTail{m_link, m_version.etag, m_version.lastModified, m_version.length, 0, {}}.write(
            version))
        QFile::remove(version);
    if (!ArchivePath::putInPlace(m_partial.bodyPath(), m_archivePath)) {
        m_reason = tr("the archive could not be saved in the library folder");
        m_error = QStringLiteral("cannot rename %1 to %2").arg(m_partial.bodyPath(), m_archivePath);
        m_partial.remove();
        return false;
    }
    QFile::remove(m_partial.infoPath());
    return true;
}

void Download::end(Outcome outcome)
{
    m_delta.reset();
    m_outcome = outcome;
    emit finished();
}
