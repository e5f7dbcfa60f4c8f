#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// An HTTP (or HTTPS) server on 127.0.0.1 with canned answers per path and faults on demand. It
// runs on a thread of its own and records every request it receives.
class TestServer
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "application/json";
        int delayMs = 0;       // wait this long before answering
        bool hang = false;     // never answer (until the server stops)
        int cutAfter = -1;     // announce the whole body but close after this many bytes
        int stallAfter = -1;   // send this many bytes of the body, then nothing more
        int chunkSize = 0;     // send the body in chunks of this size ...
        int chunkDelayMs = 0;  // ... with this pause between them
        qint64 announced = -1; // announce this length instead of the body's (then close)
        QByteArray location;   // a Location header, for redirects
        // Validators of the body, sent when set; with ranges, a request's Range and If-Range
        // are answered as HTTP says (206, or 416, or the whole body when If-Range differs).
        QByteArray etag;
        QByteArray lastModified;
        bool ranges = false;

        // An archive that answers byte ranges, as a catalogue's archives do.
        static Answer archive(const QByteArray &zip, const QByteArray &etag = "\"v1\"")
        {
            Answer answer;
            answer.body = zip;
            answer.contentType = "application/zip";
            answer.etag = etag;
            answer.ranges = true;
            return answer;
        }
    };

    // An HTTPS server when given a certificate and its key (PEM files).
    TestServer(const QString &certificate = QString(), const QString &key = QString());
    ~TestServer();

    // The answer for an exact path ("/api/topics"); unknown paths get 404.
    void setAnswer(const QString &path, const Answer &answer);
    // One answer per request, in turn; the last one answers every request after it.
    void setAnswers(const QString &path, const QList<Answer> &answers);
    void setJson(const QString &path, const QByteArray &json, int status = 200);
    QString baseUrl() const;
    int port() const;
    // Paths received so far, in order of arrival (percent-encoding kept as sent).
    QStringList requests() const;
    // The Range header of every request for path, in order of arrival; empty for a request
    // without.
    QList<QByteArray> rangesAsked(const QString &path) const;
    void clearRequests();
    // Releases every hanging request and stops listening.
    void stop();

    // A loopback port on which nothing listens.
    static int unusedPort();

private:
    struct Private;
    std::unique_ptr<Private> d;
};
