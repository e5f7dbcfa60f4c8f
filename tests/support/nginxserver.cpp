#include "support/nginxserver.h"

#include "support/files.h"
#include "support/testserver.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpSocket>

namespace {

const QByteArray markPath = "/.access-log-mark";

// Quoted for the configuration, which reads a blank as the end of a value.
QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

} // namespace

NginxServer::NginxServer() : m_prefix(QDir::tempPath() + QStringLiteral("/corvelle-nginx-XXXXXX"))
{
    // Ordinary users do not have the system folders in their PATH.
    m_program = QStandardPaths::findExecutable(QStringLiteral("nginx"));
    if (m_program.isEmpty()) {
        m_program = QStandardPaths::findExecutable(
            QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    }
    if (m_program.isEmpty()) {
        m_problem = QStringLiteral("nginx is not installed (scripts/setup-deps installs it)");
        return;
    }
    QProcess version;
    version.start(m_program, {QStringLiteral("-V")});
    if (!version.waitForFinished(10000) || version.exitCode() != 0) {
        m_problem = QStringLiteral("%1 -V did not answer").arg(m_program);
        return;
    }
    // Every module that can write temporary files wants a folder it may write to.
    const QString build = QString::fromLocal8Bit(version.readAllStandardError());
    m_tempPaths << QStringLiteral("client_body_temp_path");
    for (const char *module : {"proxy", "fastcgi", "uwsgi", "scgi"}) {
        if (!build.contains(QStringLiteral("--without-http_%1_module").arg(QLatin1String(module))))
            m_tempPaths << QStringLiteral("%1_temp_path").arg(QLatin1String(module));
    }
    m_port = TestServer::unusedPort();
}

NginxServer::~NginxServer()
{
    stop();
}

QString NginxServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QString NginxServer::configuration(const QString &root, const QString &serverLines) const
{
    QString text;
    // One process, which takes every signal itself and leaves no worker behind.
    text += QStringLiteral("master_process off;\n");
    text += QStringLiteral("pid %1;\n").arg(quoted(path(QStringLiteral("nginx.pid"))));
    text += QStringLiteral("lock_file %1;\n").arg(quoted(path(QStringLiteral("nginx.lock"))));
    text += QStringLiteral("error_log %1 notice;\n").arg(quoted(path(QStringLiteral("error.log"))));
    text += QStringLiteral("events { worker_connections 64; }\n");
    text += QStringLiteral("http {\n");
    text += QStringLiteral("    log_format ranges '$request_method $request_uri $status "
                           "$body_bytes_sent range=$http_range';\n");
    text += QStringLiteral("    access_log %1 ranges;\n")
                .arg(quoted(path(QStringLiteral("access.log"))));
    for (const QString &directive : m_tempPaths) {
        text += QStringLiteral("    %1 %2;\n")
                    .arg(directive, quoted(path(QStringLiteral("temp/") + directive)));
    }
    text += QStringLiteral("    server {\n");
    text += QStringLiteral("        listen 127.0.0.1:%1;\n").arg(m_port);
    text += QStringLiteral("        root %1;\n").arg(quoted(root));
    text += serverLines + QLatin1Char('\n');
    text +=
        QStringLiteral("        include %1;\n").arg(quoted(QStringLiteral(CATALOGUE_NGINX_CONF)));
    text += QStringLiteral("    }\n}\n");
    return text;
}

bool NginxServer::start(const QString &root, const QString &serverLines)
{
    if (!m_problem.isEmpty())
        return false;
    stop();
    const QString pidFile = path(QStringLiteral("nginx.pid"));
    QFile::remove(pidFile);
    QDir(m_prefix.path()).mkpath(QStringLiteral("temp"));
    const QString config = path(QStringLiteral("nginx.conf"));
    writeFile(config, configuration(root, serverLines).toUtf8());
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
    m_process.start(m_program,
                    {QStringLiteral("-p"), m_prefix.path() + QLatin1Char('/'), QStringLiteral("-e"),
                     path(QStringLiteral("error.log")), QStringLiteral("-c"), config,
                     QStringLiteral("-g"), QStringLiteral("daemon off;")});
    // nginx writes its pid once it listens, and not at all when it cannot.
    const QByteArray pid = QByteArray::number(m_process.processId());
    QDeadlineTimer deadline(20000);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (fileContent(pidFile).trimmed() == pid)
            return true;
        m_process.waitForFinished(20);
    }
    qWarning().noquote() << "nginx did not start:\n"
                         << fileContent(path(QStringLiteral("error.log")));
    stop();
    return false;
}

void NginxServer::stop()
{
    // SIGTERM ends nginx at once; SIGQUIT would wait for the transfers to finish.
    m_process.stop(10000);
}

QStringList NginxServer::accessLog()
{
    // nginx writes a request's line once its answer has gone, just before it closes the
    // connection, and one request at a time: once a request of ours is closed, every answer
    // the client has received is in the log.
    if (m_process.state() == QProcess::Running) {
        QTcpSocket mark;
        mark.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (mark.waitForConnected(5000)) {
            mark.write("GET " + markPath + " HTTP/1.0\r\n\r\n");
            while (mark.state() == QAbstractSocket::ConnectedState && mark.waitForReadyRead(5000))
                mark.readAll();
        }
    }
    QFile log(path(QStringLiteral("access.log")));
    if (!log.open(QIODevice::ReadOnly))
        return QStringList();
    QStringList lines;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (!line.isEmpty() && !line.contains(" " + markPath + " "))
            lines << QString::fromUtf8(line);
    }
    return lines;
}
