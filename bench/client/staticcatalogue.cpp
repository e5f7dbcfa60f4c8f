#include "client/staticcatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

StaticCatalogue::~StaticCatalogue()
{
    m_server.stop();
    if (m_thread.joinable())
        m_thread.join();
}

bool StaticCatalogue::load(const QString &routesFile, QString *error)
{
    QFile routes(routesFile);
    if (!routes.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1").arg(routesFile);
        return false;
    }
    const QDir folder = QFileInfo(routesFile).dir();
    for (const QByteArray &line : routes.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 2)
            continue;
        QFile file(folder.filePath(QString::fromUtf8(parts.at(1))));
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("cannot read %1").arg(file.fileName());
            return false;
        }
        m_bodies[parts.at(0).toStdString()] = file.readAll().toStdString();
    }
    return true;
}

QString StaticCatalogue::start()
{
    m_server.Get(".*", [this](const httplib::Request &request, httplib::Response &response) {
        const auto found = m_bodies.find(request.path);
        if (found == m_bodies.end()) {
            response.status = 404;
            return;
        }
        // A type the server does not gzip: the answer arrives as it was written, and the time
        // measured is the client's, not the server's compressor's.
        response.set_content(found->second, "application/json; charset=utf-8");
    });
    const int port = m_server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return QString();
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

QByteArray StaticCatalogue::body(const QString &path) const
{
    const auto found = m_bodies.find(path.toStdString());
    return found == m_bodies.end() ? QByteArray() : QByteArray::fromStdString(found->second);
}
