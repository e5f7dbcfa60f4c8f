#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

// An HTTP server on 127.0.0.1 with canned answers per path and faults on demand. It runs on a
// thread of its own and records the path of every request it receives.
class TestServer
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0;      // wait this long before answering
        bool hang = false;    // never answer (until the server stops)
        int cutAfter = -1;    // announce the whole body but close after this many bytes
        int chunkSize = 0;    // send the body in chunks of this size ...
        int chunkDelayMs = 0; // ... with this pause between them
        QByteArray location;  // a Location header, for redirects
    };

    TestServer();
    ~TestServer();

    // The answer for an exact path ("/api/topics"); unknown paths get 404.
    void setAnswer(const QString &path, const Answer &answer);
    void setJson(const QString &path, const QByteArray &json, int status = 200);
    QString baseUrl() const;
    int port() const;
    // Paths received so far, in order of arrival (percent-encoding kept as sent).
    QStringList requests() const;
    void clearRequests();
    // Releases every hanging request and stops listening.
    void stop();

    // A loopback port on which nothing listens.
    static int unusedPort();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
