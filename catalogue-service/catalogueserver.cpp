#include "catalogueserver.h"

#include "catalogue.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <sys/socket.h>

#include <fstream>
#include <iostream>
#include <memory>

namespace {

void sendArray(httplib::Response &response, const QJsonArray &array)
{
    response.set_content(QJsonDocument(array).toJson(QJsonDocument::Compact).toStdString(),
                         "application/json");
}

void sendFiltered(httplib::Response &response, const std::optional<QJsonArray> &modules)
{
    if (modules)
        sendArray(response, *modules);
    else
        response.status = 404;
}

bool isWildcard(const std::string &host)
{
    return host.empty() || host == "0.0.0.0" || host == "::";
}

} // namespace

CatalogueServer::CatalogueServer(const Catalogue &catalogue, const std::string &host)
    : m_catalogue(catalogue), m_host(host)
{
    route();
}

int CatalogueServer::bind(int port)
{
    if (port == 0)
        m_port = m_server.bind_to_any_port(m_host);
    else
        m_port = m_server.bind_to_port(m_host, port) ? port : -1;
    return m_port;
}

bool CatalogueServer::listen()
{
    return m_server.listen_after_bind();
}

void CatalogueServer::stop()
{
    m_server.stop();
}

QString CatalogueServer::rootUrl() const
{
    const QString host = QString::fromStdString(m_host);
    const QString shown =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return QStringLiteral("http://%1:%2").arg(shown).arg(m_port);
}

void CatalogueServer::route()
{
    // The library's default also sets SO_REUSEPORT, which would let a second service share a
    // port that is already taken instead of reporting it.
    m_server.set_socket_options([](socket_t socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // Stopping waits for idle keep-alive connections to time out; keep that wait short.
    m_server.set_keep_alive_timeout(1);
    m_server.Get("/api/topics", [this](const httplib::Request &, httplib::Response &response) {
        sendArray(response, m_catalogue.topics());
    });
    m_server.Get("/api/letters", [this](const httplib::Request &, httplib::Response &response) {
        sendArray(response, m_catalogue.letters());
    });
    m_server.Get("/api/articles", [this](const httplib::Request &, httplib::Response &response) {
        sendArray(response, m_catalogue.articles());
    });
    m_server.Get("/api/modules",
                 [this](const httplib::Request &request, httplib::Response &response) {
                     sendArray(response, m_catalogue.modules(linkBase(request)));
                 });
    m_server.Get(R"(/api/modules/topic/([^/]+))",
                 [this](const httplib::Request &request, httplib::Response &response) {
                     const QString id = QString::fromStdString(request.matches[1]);
                     sendFiltered(response, m_catalogue.modulesOfTopic(id, linkBase(request)));
                 });
    m_server.Get(R"(/api/modules/letter/([^/]+))",
                 [this](const httplib::Request &request, httplib::Response &response) {
                     const QString id = QString::fromStdString(request.matches[1]);
                     sendFiltered(response, m_catalogue.modulesOfLetter(id, linkBase(request)));
                 });
    m_server.Get(R"(/archives/.+)",
                 [this](const httplib::Request &request, httplib::Response &response) {
                     sendArchive(request, response);
                 });
    m_server.set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.body.empty() && response.status == 404)
            response.set_content("Not Found\n", "text/plain");
    });
    m_server.set_logger([this](const httplib::Request &request, const httplib::Response &response) {
        log(request, response);
    });
}

// Links must work for the client that asked: a server bound to every interface names itself
// the way the client addressed it.
QString CatalogueServer::linkBase(const httplib::Request &request) const
{
    if (!isWildcard(m_host))
        return rootUrl();
    static const QRegularExpression hostPattern(
        QStringLiteral("^([A-Za-z0-9.-]+|\\[[0-9A-Fa-f:.]+\\])(:[0-9]{1,5})?$"));
    const QString asked = QString::fromStdString(request.get_header_value("Host"));
    if (hostPattern.match(asked).hasMatch())
        return QStringLiteral("http://") + asked;
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void CatalogueServer::sendArchive(const httplib::Request &request,
                                  httplib::Response &response) const
{
    const QString path = m_catalogue.archiveFile(QString::fromStdString(request.path));
    auto file = std::make_shared<std::ifstream>();
    if (!path.isEmpty())
        file->open(path.toStdString(), std::ios::binary | std::ios::ate);
    if (!file->is_open()) {
        response.status = 404;
        return;
    }
    const auto size = static_cast<size_t>(file->tellg());
    response.set_content_provider(
        size, "application/zip", [file](size_t offset, size_t length, httplib::DataSink &sink) {
            char buffer[64 * 1024];
            file->seekg(static_cast<std::streamoff>(offset));
            file->read(buffer, static_cast<std::streamsize>(std::min(length, sizeof buffer)));
            const std::streamsize got = file->gcount();
            if (got <= 0)
                return false;
            sink.write(buffer, static_cast<size_t>(got));
            return true;
        });
}

void CatalogueServer::log(const httplib::Request &request, const httplib::Response &response)
{
    // Archives are streamed, so their body stays empty and the length is the one announced.
    const size_t bytes = response.body.empty() ? response.content_length_ : response.body.size();
    // A decoded path may hold line breaks; the log keeps one request per line.
    std::string path = request.path;
    for (char &c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    const std::lock_guard<std::mutex> lock(m_logMutex);
    std::cerr << request.method << ' ' << path << ' ' << response.status << ' ' << bytes
              << std::endl;
}
