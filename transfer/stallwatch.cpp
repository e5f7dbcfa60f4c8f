#include "transfer/stallwatch.h"

#include "transfer/networktiming.h"

#include <QNetworkReply>

StallWatch::StallWatch(QNetworkReply *reply)
    : QObject(reply), m_reply(reply), m_timeoutMs(NetworkTiming::stallTimeout())
{
    // A byte costs only a look at the clock; the timer wakes at most once per time-out and
    // then waits out what is left of it.
    const auto byteArrived = [this] { m_sinceByte.restart(); };
    connect(reply, &QNetworkReply::metaDataChanged, this, byteArrived);
    connect(reply, &QNetworkReply::downloadProgress, this, byteArrived);
    connect(reply, &QNetworkReply::finished, &m_timer, &QTimer::stop);
    connect(&m_timer, &QTimer::timeout, this, &StallWatch::check);
    m_timer.setSingleShot(true);
    m_sinceByte.start();
    m_timer.start(m_timeoutMs);
}

void StallWatch::check()
{
    const qint64 left = m_timeoutMs - m_sinceByte.elapsed();
    if (left > 0) {
        m_timer.start(int(left));
        return;
    }
    m_stalled = true;
    m_reply->abort();
}
