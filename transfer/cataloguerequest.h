#pragma once

#include <QJsonArray>
#include <QObject>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class StallWatch;

// A catalogue GET on the worker thread whose JSON array is answered exactly once, empty after
// a failure; given retries, it is sent again after growing pauses first.
class CatalogueRequest : public QObject
{
    Q_OBJECT

public:
    CatalogueRequest(QNetworkAccessManager *network, const QUrl &url, int retries, QObject *parent);
    ~CatalogueRequest() override;

    void start();
    // Answers at once with an empty array and gives up the transfer or the pause under way.
    void supersede();
    bool superseded() const { return m_superseded; }

signals:
    void answered(const QJsonArray &result);
    // A try failed, for reason (words for the user); the next follows in retryInMs, if not -1.
    void failed(const QString &reason, int retryInMs);

private:
    void transferEnded();
    void dropReply();

    QNetworkAccessManager *const m_network;
    const QUrl m_url;
    const int m_retries;
    int m_retry = 0;
    QNetworkReply *m_reply = nullptr;
    StallWatch *m_watch = nullptr;
    QTimer m_pause;
    bool m_superseded = false;
};
