#pragma once

#include <QJsonArray>
#include <QString>

#include <httplib.h>

#include <atomic>
#include <chrono>
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
    bool corruptRanges = false;   // change a byte of every range that stops short of the end
};

// Serves one loaded catalogue over HTTP: the record arrays under "/api/..." and the module
// archives at their download paths, whole or in the byte ranges asked for. Every request is
// logged to stderr in one line: method, path, status, the bytes of the body actually sent,
// the Range asked for, if any, and how long a stalled answer waited for its client to leave.
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
    // What went out for one request: the bytes of the body, and how long it stalled (in ms)
    // until its client gave up, if it did.
    struct Transfer
    {
        qint64 sent = 0;
        qint64 stalledMs = -1;
    };
    // Sends the next stretch of an archive's body from offset, noting it in transfer; false
    // when the body ends here.
    bool sendPart(ArchiveAnswer &answer, size_t offset, httplib::DataSink &sink,
                  Transfer &transfer);
    void log(const std::string &method, std::string path, std::string range, int status,
             const Transfer &transfer);

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
