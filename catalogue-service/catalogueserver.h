#pragma once

#include <QJsonArray>
#include <QString>

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

class ArchiveAnswer;
class Catalogue;

// Faults the service shows on every module archive it sends, for tests and the benchmark.
struct ServiceFaults
{
    qint64 cutAfter = -1;         // close the connection after this many bytes of the body
    qint64 stallAfter = -1;       // send this many bytes of the body, then nothing until stopped
    bool ignoreRanges = false;    // answer every request with the whole archive (200)
    bool changeValidator = false; // give every request a version of the archive of its own
};

// Serves one loaded catalogue over HTTP: the record arrays under "/api/..." and the module
// archives at their download paths, whole or in the byte ranges asked for. Every request is
// logged to stderr in one line: method, path, status, the bytes of the body actually sent,
// and the Range asked for, if any.
class CatalogueServer
{
public:
    CatalogueServer(const Catalogue &catalogue, const std::string &host,
                    const ServiceFaults &faults = ServiceFaults());

    // Binds to the port (0 picks a free one); returns the port bound, or -1.
    int bind(int port);
    // Serves until stop() is called; false when serving could not start.
    bool listen();
    void stop();

    // "http://host:port" as clients reach this server.
    QString rootUrl() const;

private:
    void route();
    QString linkBase(const httplib::Request &request) const;
    void sendArchive(const httplib::Request &request, httplib::Response &response);
    // Sends the next stretch of an archive's body from offset, counting the bytes that went
    // into *sent; false when the body ends here.
    bool sendPart(const std::shared_ptr<ArchiveAnswer> &answer, size_t offset,
                  httplib::DataSink &sink, const std::shared_ptr<qint64> &sent);
    void log(const std::string &method, std::string path, std::string range, int status,
             size_t bytes);

    const Catalogue &m_catalogue;
    const ServiceFaults m_faults;
    httplib::Server m_server;
    std::string m_host;
    int m_port = -1;
    std::mutex m_logMutex;
    std::atomic<int> m_archiveRequests{0};
    // Releases the answers that stall when the service stops.
    std::mutex m_stopMutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
};
