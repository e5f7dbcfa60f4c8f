#include "catalogueserver.h"

#include "archiveanswer.h"
#include "catalogue.h"
#include "serverranges.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>

#include <sys/socket.h>

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

CatalogueServer::CatalogueServer(const Catalogue &catalogue, const std::string &host,
                                 const ServiceFaults &faults)
    : m_catalogue(catalogue), m_faults(faults), m_host(host)
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
    {
        const std::lock_guard<std::mutex> lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
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
    // An answer's headers and body go out as separate writes; without this, the body of a
    // short answer waits for the client's delayed acknowledgement of the headers (some 40 ms),
    // as it never does from web servers, which all set it.
    m_server.set_tcp_nodelay(true);
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
        // A streamed archive is logged once it has gone, with the bytes that actually went.
        if (!response.content_provider_)
            log(request.method, request.path, request.get_header_value("Range"), response.status,
                {qint64(response.body.size()), -1});
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

namespace {

// "Sun, 06 Nov 1994 08:49:37 GMT".
QByteArray httpDate(const QDateTime &time)
{
    return QLocale::c()
        .toString(time.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
        .toLatin1();
}

} // namespace

void CatalogueServer::sendArchive(const httplib::Request &request, httplib::Response &response)
{
    // The library would cut the body by the request's ranges on its own, and not always as HTTP
    // says (nothing for a range beyond the end, no length in its multipart headers); the
    // answer below decides instead.
    const_cast<httplib::Request &>(request).ranges.clear();
    const QString path = m_catalogue.archiveFile(QString::fromStdString(request.path));
    if (path.isEmpty()) {
        response.status = 404;
        return;
    }
    // The version is the file's size and time, or, to show a changed archive, a new one at
    // every request.
    const QFileInfo file(path);
    const int changes = m_faults.changeValidator ? ++m_archiveRequests : 0;
    QByteArray tag = QByteArray::number(file.size(), 16) + '-' +
                     QByteArray::number(file.lastModified().toMSecsSinceEpoch(), 16);
    if (changes > 0)
        tag += '-' + QByteArray::number(changes);
    const ArchiveAnswer::Version version{'"' + tag + '"',
                                         httpDate(file.lastModified().addSecs(changes))};
    // A client that holds what it knows of one version asks for that version alone.
    if (request.has_header("If-Match") &&
        !HttpRanges::ifMatchHolds(QByteArray::fromStdString(request.get_header_value("If-Match")),
                                  version.etag)) {
        response.status = 412;
        return;
    }
    const auto answer = std::make_shared<ArchiveAnswer>(
        path, version, QByteArray::fromStdString(request.get_header_value("Range")),
        QByteArray::fromStdString(request.get_header_value("If-Range")), !m_faults.ignoreRanges,
        m_faults.corruptRanges);
    if (!answer->isOpen()) {
        response.status = 404;
        return;
    }
    response.status = answer->status();
    response.set_header("Accept-Ranges", "bytes");
    response.set_header("ETag", version.etag.toStdString());
    response.set_header("Last-Modified", version.lastModified.toStdString());
    if (!answer->contentRange().isEmpty())
        response.set_header("Content-Range", answer->contentRange().toStdString());
    if (answer->length() == 0)
        return;
    const auto transfer = std::make_shared<Transfer>();
    response.set_content_provider(
        size_t(answer->length()), answer->contentType().toStdString(),
        [this, answer, transfer](size_t offset, size_t, httplib::DataSink &sink) {
            return sendPart(*answer, offset, sink, *transfer);
        },
        [this, method = request.method, path = request.path,
         range = request.get_header_value("Range"), status = response.status,
         transfer](bool) { log(method, path, range, status, *transfer); });
}

bool CatalogueServer::sendPart(ArchiveAnswer &answer, size_t offset, httplib::DataSink &sink,
                               Transfer &transfer)
{
    const qint64 at = qint64(offset);
    if (m_faults.stallAfter >= 0 && at >= m_faults.stallAfter) {
        // Quiet, with the connection open, until the client gives up (the library's check of
        // the socket sees it closed) or the service stops.
        QElapsedTimer quiet;
        quiet.start();
        while (sink.is_writable()) {
            std::unique_lock<std::mutex> lock(m_stopMutex);
            if (m_stopped.wait_for(lock, std::chrono::milliseconds(100),
                                   [this] { return m_stopping; }))
                break;
        }
        transfer.stalledMs = quiet.elapsed();
        return false;
    }
    if (m_faults.cutAfter >= 0 && at >= m_faults.cutAfter)
        return false; // the connection closes with the body cut short
    qint64 most = 256 * 1024;
    for (const qint64 fault : {m_faults.stallAfter, m_faults.cutAfter}) {
        if (fault >= 0)
            most = qMin(most, fault - at);
    }
    const QByteArray bytes = answer.read(at, most);
    if (bytes.isEmpty() || !sink.write(bytes.constData(), size_t(bytes.size())))
        return false;
    transfer.sent += bytes.size();
    return true;
}

void CatalogueServer::log(const std::string &method, std::string path, std::string range,
                          int status, const Transfer &transfer)
{
    // A decoded path may hold line breaks, and a Range anything; the log keeps one request per
    // line, in fields separated by blanks.
    for (char &c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    for (char &c : range) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
            c = '?';
    }
    const std::lock_guard<std::mutex> lock(m_logMutex);
    std::cerr << method << ' ' << path << ' ' << status << ' ' << transfer.sent;
    if (!range.empty())
        std::cerr << " range=" << range;
    if (transfer.stalledMs >= 0)
        std::cerr << " stalled=" << transfer.stalledMs << "ms";
    std::cerr << std::endl;
}
