#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QNetworkReply;

// Aborts a reply that receives nothing for the stall time-out. Every byte that arrives starts
// the wait again, so a slow transfer that keeps receiving is never cut; only one whose other
// end has gone quiet is. Lives as the reply's child and goes with it.
class StallWatch : public QObject
{
    Q_OBJECT

public:
    explicit StallWatch(QNetworkReply *reply);

    // Whether the reply was aborted for going quiet.
    bool stalled() const { return m_stalled; }

private:
    void check();

    QNetworkReply *const m_reply;
    const int m_timeoutMs;
    QElapsedTimer m_sinceByte;
    QTimer m_timer;
    bool m_stalled = false;
};
