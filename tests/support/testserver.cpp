#include "support/testserver.h"

#include <httplib.h>

#include <QMap>
#include <QTcpServer>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct TestServer::Private
{
    httplib::Server server;
    std::thread thread;
    int port = 0;
    mutable std::mutex lock;
    std::condition_variable released;
    bool stopping = false;
    QMap<QString, Answer> answers;
    QStringList requests;

    // Sleeps for ms, or until the server stops; returns false when it stopped.
    bool pause(int ms)
    {
        std::unique_lock<std::mutex> guard(lock);
        return !released.wait_for(guard, std::chrono::milliseconds(ms),
                                  [this] { return stopping; });
    }
};

TestServer::TestServer() : d(new Private)
{
    d->server.new_task_queue = [] { return new httplib::ThreadPool(8); };
    // One request per connection: stopping the server then never waits for idle keep-alives.
    d->server.set_keep_alive_max_count(1);
    d->server.Get(".*", [this](const httplib::Request &request, httplib::Response &response) {
        Answer answer;
        bool known = false;
        {
            std::lock_guard<std::mutex> guard(d->lock);
            const QString path = QString::fromStdString(request.target);
            d->requests.append(path);
            const QString decoded = QString::fromStdString(request.path);
            if (d->answers.contains(path)) {
                answer = d->answers.value(path);
                known = true;
            } else if (d->answers.contains(decoded)) {
                answer = d->answers.value(decoded);
                known = true;
            }
        }
        if (!known) {
            response.status = 404;
            response.set_content("not found", "text/plain");
            return;
        }
        if (answer.hang) {
            std::unique_lock<std::mutex> guard(d->lock);
            d->released.wait(guard, [this] { return d->stopping; });
            response.status = 503;
            return;
        }
        if (answer.delayMs > 0 && !d->pause(answer.delayMs)) {
            response.status = 503;
            return;
        }
        response.status = answer.status;
        if (!answer.location.isEmpty())
            response.set_header("Location", answer.location.toStdString());
        const std::string type = answer.contentType.toStdString();
        const auto body = std::make_shared<QByteArray>(answer.body);
        if (answer.cutAfter >= 0 || answer.chunkSize > 0) {
            const size_t limit =
                answer.cutAfter >= 0 ? size_t(answer.cutAfter) : size_t(body->size());
            const size_t chunk = answer.chunkSize > 0 ? size_t(answer.chunkSize) : limit;
            const int pauseMs = answer.chunkDelayMs;
            response.set_content_provider(
                size_t(body->size()), type,
                [this, body, limit, chunk, pauseMs](size_t offset, size_t,
                                                    httplib::DataSink &sink) {
                    if (offset >= limit)
                        return false; // drop the connection with the body cut short
                    if (offset > 0 && pauseMs > 0 && !d->pause(pauseMs))
                        return false;
                    const size_t n = std::min(chunk, limit - offset);
                    sink.write(body->constData() + offset, n);
                    return true;
                });
        } else {
            response.set_content(body->constData(), size_t(body->size()), type);
        }
    });
    d->port = d->server.bind_to_any_port("127.0.0.1");
    d->thread = std::thread([this] { d->server.listen_after_bind(); });
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
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
}

void TestServer::setAnswer(const QString &path, const Answer &answer)
{
    std::lock_guard<std::mutex> guard(d->lock);
    d->answers.insert(path, answer);
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
    return QStringLiteral("http://127.0.0.1:%1").arg(d->port);
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

void TestServer::clearRequests()
{
    std::lock_guard<std::mutex> guard(d->lock);
    d->requests.clear();
}

int TestServer::unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
