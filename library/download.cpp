#include "library/download.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
// The reply holds at most this much of the body before it waits for us to read it.
constexpr qint64 readBufferSize = 1024 * 1024;
} // namespace

Download::Download(int kind, const QJsonObject &record, const QString &archivePath, QObject *parent)
    : QObject(parent), m_kind(kind), m_record(record), m_archivePath(archivePath),
      m_archive(archivePath)
{
}

Download::~Download()
{
    if (m_reply) {
        // Nobody waits for this transfer any more; a partial archive is discarded with
        // m_archive, which was never committed.
        m_reply->disconnect(this);
        if (!m_reply->isFinished())
            m_reply->abort();
    }
}

QString Download::moduleId() const
{
    return m_record.value(QStringLiteral("_id")).toString();
}

void Download::start(QNetworkAccessManager *network, const QString &link)
{
    // The body is written to a temporary file beside the archive path and renamed into
    // place only on success, so the worker never meets a partial archive.
    m_archiveOpen = m_archive.open(QIODevice::WriteOnly);
    if (!m_archiveOpen)
        m_error = m_archive.errorString();

    // No redirect is followed: the archive must come from the link itself.
    m_reply = network->get(QNetworkRequest(QUrl(link, QUrl::TolerantMode)));
    m_reply->setParent(this);
    m_reply->setReadBufferSize(readBufferSize);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &Download::progress);
    connect(m_reply, &QNetworkReply::readyRead, this, &Download::receive);
    connect(m_reply, &QNetworkReply::finished, this, &Download::complete);

    // With nowhere to put the body there is no point in fetching it; the transfer ends as
    // soon as control returns to the event loop.
    if (!m_archiveOpen)
        QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

bool Download::answerAccepted() const
{
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.toInt();
    return status.isValid() && code >= 200 && code < 300;
}

void Download::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    m_discarding = true;
}

void Download::receive()
{
    while (m_reply->bytesAvailable() > 0) {
        const QByteArray chunk = m_reply->read(readBufferSize);
        if (chunk.isEmpty())
            break;
        if (!m_archiveOpen || m_discarding)
            continue;
        // An error page or a redirect is not an archive; it is read and dropped.
        if (!answerAccepted()) {
            m_discarding = true;
            continue;
        }
        if (m_archive.write(chunk) != chunk.size()) {
            fail(QStringLiteral("cannot write the archive: ") + m_archive.errorString());
            // Fetching the rest would only fill the disk further.
            QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    }
}

void Download::complete()
{
    receive();
    if (!m_archiveOpen) {
        m_outcome = Outcome::FileUnavailable;
    } else {
        const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (m_reply->error() != QNetworkReply::NoError)
            fail(m_reply->errorString());
        else if (!status.isValid())
            fail(QStringLiteral("no HTTP status in the answer"));
        else if (!answerAccepted())
            fail(QStringLiteral("HTTP status %1").arg(status.toInt()));

        if (!m_discarding && m_archive.commit()) {
            m_outcome = Outcome::Saved;
        } else {
            if (!m_discarding)
                fail(QStringLiteral("cannot save the archive: ") + m_archive.errorString());
            // Removes the temporary file; nothing ever appears at the archive path.
            m_archive.cancelWriting();
            m_archive.commit();
            m_outcome = Outcome::Failed;
        }
    }
    emit finished();
}
