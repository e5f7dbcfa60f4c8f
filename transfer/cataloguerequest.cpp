#include "transfer/cataloguerequest.h"

#include "transfer/networkfailure.h"
#include "transfer/networktiming.h"
#include "transfer/stallwatch.h"

#include <QDebug>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <utility>

CatalogueRequest::CatalogueRequest(QNetworkAccessManager *network, const QUrl &url, int retries,
                                   QObject *parent)
    : QObject(parent), m_network(network), m_url(url), m_retries(retries)
{
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &CatalogueRequest::start);
}

CatalogueRequest::~CatalogueRequest()
{
    // Nobody waits for the answer any more.
    dropReply();
}

void CatalogueRequest::start()
{
    m_reply = m_network->get(QNetworkRequest(m_url));
    m_reply->setParent(this);
    m_watch = new StallWatch(m_reply);
    connect(m_reply, &QNetworkReply::finished, this, &CatalogueRequest::transferEnded);
}

void CatalogueRequest::supersede()
{
    m_superseded = true;
    m_pause.stop();
    dropReply();
    emit answered(QJsonArray());
}

void CatalogueRequest::dropReply()
{
    if (!m_reply)
        return;
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

void CatalogueRequest::transferEnded()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    reply->deleteLater();

    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << "Failure"
                 << (m_watch->stalled() ? QStringLiteral("nothing received for %1 ms")
                                              .arg(NetworkTiming::stallTimeout())
                                        : reply->errorString());
        bool retryable = true;
        const QString reason = NetworkFailure::reason(reply, m_watch->stalled(), &retryable);
        if (m_retry < m_retries) {
            const int pause = NetworkTiming::retryPause(m_retry++);
            emit failed(reason, pause);
            m_pause.start(pause);
            return;
        }
        emit failed(reason, -1);
        emit answered(QJsonArray());
        return;
    }
    // The body counts up to its first NUL byte, as text.
    const QByteArray body = reply->readAll();
    emit answered(
        QJsonDocument::fromJson(
            QString::fromUtf8(body.constData(), qstrnlen(body.constData(), body.size())).toUtf8())
            .array());
}
