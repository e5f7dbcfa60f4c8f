#pragma once

#include <QJsonArray>
#include <QString>

#include <httplib.h>

#include <mutex>
#include <string>

class Catalogue;

// Serves one loaded catalogue over HTTP: the record arrays under "/api/..." and the module
// archives at their download paths. Every request is logged to stderr in one line.
class CatalogueServer
{
public:
    CatalogueServer(const Catalogue &catalogue, const std::string &host);

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
    void sendArchive(const httplib::Request &request, httplib::Response &response) const;
    void log(const httplib::Request &request, const httplib::Response &response);

    const Catalogue &m_catalogue;
    httplib::Server m_server;
    std::string m_host;
    int m_port = -1;
    std::mutex m_logMutex;
};
