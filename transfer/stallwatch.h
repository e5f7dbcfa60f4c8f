#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QNetworkReply;

// Aborts a reply that receives nothing for the stall time-out; every byte starts the wait again,
// so a slow transfer is never cut. Lives as the reply's child.
class StallWatch : public QObject
{
    Q_OBJECT

public:
    explicit StallWatch(QNetworkReply *reply);

    bool stalled() const { return m_stalled; }

private:
    void check();

    QNetworkReply *const m_reply;
    const int m_timeoutMs;
    QElapsedTimer m_sinceByte;
    QTimer m_timer;
    bool m_stalled = false;
};
