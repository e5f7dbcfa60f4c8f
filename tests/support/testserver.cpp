#include "support/testserver.h"

#include "catalogue-service/serverranges.h"

#include <httplib.h>

#include <QMap>
#include <QTcpServer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct TestServer::Private
{
    std::unique_ptr<httplib::Server> server;
    bool tls = false;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::condition_variable released;
    bool stopping = false;
    QMap<QString, QList<Answer>> answers;
    QMap<QString, int> answered;
    QStringList requests;
    QList<QByteArray> ranges;

    // Sleeps for ms, or until the server stops; returns false when it stopped.
    bool pause(int ms)
    {
        std::unique_lock<std::mutex> guard(lock);
        return !released.wait_for(guard, std::chrono::milliseconds(ms),
                                  [this] { return stopping; });
    }

    // The answer for a request's path, taking the next of a sequence; false for unknown paths.
    bool take(const httplib::Request &request, Answer *answer)
    {
        std::lock_guard<std::mutex> guard(lock);
        const QString path = QString::fromStdString(request.target);
        requests.append(path);
        ranges.append(QByteArray::fromStdString(request.get_header_value("Range")));
        for (const QString &key : {path, QString::fromStdString(request.path)}) {
            if (answers.contains(key)) {
                const QList<Answer> &sequence = answers[key];
                *answer = sequence.at(qMin(answered[key]++, sequence.size() - 1));
                return true;
            }
        }
        return false;
    }

    void serve(const httplib::Request &request, httplib::Response &response);
};

namespace {

// The part of body the request's Range asks for, with the status that goes with it; the
// whole body when there is no Range or If-Range names another version; nothing, with 412, when
// If-Match names another version.
int applyRanges(const httplib::Request &request, const TestServer::Answer &answer,
                httplib::Response &response, QByteArray *body)
{
    if (answer.status == 200 && request.has_header("If-Match") &&
        !HttpRanges::ifMatchHolds(QByteArray::fromStdString(request.get_header_value("If-Match")),
                                  answer.etag)) {
        body->clear();
        return 412;
    }
    if (!answer.ranges || !request.has_header("Range"))
        return answer.status;
    if (request.has_header("If-Range") &&
        !HttpRanges::ifRangeMatches(QByteArray::fromStdString(request.get_header_value("If-Range")),
                                    answer.etag, answer.lastModified))
        return answer.status;
    const auto wanted =
        HttpRanges::parseRangeHeader(QByteArray::fromStdString(request.get_header_value("Range")));
    if (!wanted)
        return answer.status;
    const QVector<HttpRanges::Span> spans = HttpRanges::resolve(*wanted, body->size());
    if (spans.isEmpty()) {
        response.set_header("Content-Range",
                            HttpRanges::unsatisfiedRange(body->size()).toStdString());
        body->clear();
        return 416;
    }
    // One range is all the client asks for.
    const HttpRanges::Span span = spans.first();
    response.set_header("Content-Range",
                        HttpRanges::contentRange(span, body->size()).toStdString());
    *body = body->mid(int(span.first), int(span.length()));
    return 206;
}

} // namespace

void TestServer::Private::serve(const httplib::Request &request, httplib::Response &response)
{
    // The library would cut the body by the request's ranges itself; the answers decide.
    const_cast<httplib::Request &>(request).ranges.clear();
    Answer answer;
    if (!take(request, &answer)) {
        response.status = 404;
        response.set_content("not found", "text/plain");
        return;
    }
    if (answer.hang) {
        std::unique_lock<std::mutex> guard(lock);
        released.wait(guard, [this] { return stopping; });
        response.status = 503;
        return;
    }
    if (answer.delayMs > 0 && !pause(answer.delayMs)) {
        response.status = 503;
        return;
    }
    if (!answer.location.isEmpty())
        response.set_header("Location", answer.location.toStdString());
    if (!answer.etag.isEmpty())
        response.set_header("ETag", answer.etag.toStdString());
    if (!answer.lastModified.isEmpty())
        response.set_header("Last-Modified", answer.lastModified.toStdString());
    if (answer.ranges)
        response.set_header("Accept-Ranges", "bytes");
    const auto body = std::make_shared<QByteArray>(answer.body);
    response.status = applyRanges(request, answer, response, body.get());
    const std::string type = answer.contentType.toStdString();
    if (answer.cutAfter < 0 && answer.stallAfter < 0 && answer.chunkSize <= 0 &&
        answer.announced < 0) {
        response.set_content(body->constData(), size_t(body->size()), type);
        return;
    }
    const size_t size = size_t(body->size());
    const size_t cut = answer.cutAfter >= 0 ? qMin(size_t(answer.cutAfter), size) : size;
    const size_t stall = answer.stallAfter >= 0 ? size_t(answer.stallAfter) : size;
    const size_t chunk = answer.chunkSize > 0 ? size_t(answer.chunkSize) : size;
    const int pauseMs = answer.chunkDelayMs;
    response.set_content_provider(
        answer.announced >= 0 ? size_t(answer.announced) : size, type,
        [this, body, cut, stall, chunk, pauseMs](size_t offset, size_t, httplib::DataSink &sink) {
            if (offset >= stall) {
                // Quiet, with the connection open, until the client gives up or we stop.
                while (sink.is_writable() && pause(50)) {
                }
                return false;
            }
            if (offset >= cut)
                return false; // drop the connection with the body cut short
            if (offset > 0 && pauseMs > 0 && !pause(pauseMs))
                return false;
            const size_t n = std::min({chunk, cut - offset, stall - offset});
            return sink.write(body->constData() + offset, n);
        });
}

TestServer::TestServer(const QString &certificate, const QString &key) : d(new Private)
{
    d->tls = !certificate.isEmpty();
    if (d->tls)
        d->server = std::make_unique<httplib::SSLServer>(certificate.toLocal8Bit().constData(),
                                                         key.toLocal8Bit().constData());
    else
        d->server = std::make_unique<httplib::Server>();
    d->server->new_task_queue = [] { return new httplib::ThreadPool(8); };
    // One request per connection: stopping the server then never waits for idle keep-alives.
    d->server->set_keep_alive_max_count(1);
    d->server->Get(".*", [this](const httplib::Request &request, httplib::Response &response) {
        d->serve(request, response);
    });
    d->port = d->server->bind_to_any_port("127.0.0.1");
    d->thread = std::thread([this] { d->server->listen_after_bind(); });
}

TestServer::~TestServer()
{
    stop();
}

void TestServer::stop()
{
    {
        std::lock_guard<std::mutex> guard(d->lock);
        d->stopping = true;
    }
    d->released.notify_all();
    d->server->stop();
    if (d->thread.joinable())
        d->thread.join();
}

void TestServer::setAnswer(const QString &path, const Answer &answer)
{
    setAnswers(path, {answer});
}

void TestServer::setAnswers(const QString &path, const QList<Answer> &answers)
{
    std::lock_guard<std::mutex> guard(d->lock);
    d->answers.insert(path, answers);
    d->answered.remove(path);
}

void TestServer::setJson(const QString &path, const QByteArray &json, int status)
{
    Answer answer;
    answer.body = json;
    answer.status = status;
    setAnswer(path, answer);
}

QString TestServer::baseUrl() const
{
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(d->tls ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(d->port);
}

int TestServer::port() const
{
    return d->port;
}

QStringList TestServer::requests() const
{
    std::lock_guard<std::mutex> guard(d->lock);
    return d->requests;
}

QList<QByteArray> TestServer::rangesAsked(const QString &path) const
{
    std::lock_guard<std::mutex> guard(d->lock);
    QList<QByteArray> ranges;
    for (int i = 0; i < d->requests.size(); ++i) {
        if (d->requests.at(i) == path)
            ranges << d->ranges.at(i);
    }
    return ranges;
}

void TestServer::clearRequests()
{
    std::lock_guard<std::mutex> guard(d->lock);
    d->requests.clear();
    d->ranges.clear();
}

int TestServer::unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
