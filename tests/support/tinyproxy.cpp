#include "support/tinyproxy.h"

#include "support/testserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

TinyProxy::TinyProxy() : m_folder(QDir::tempPath() + QStringLiteral("/corvelle-proxy-XXXXXX"))
{
    m_program = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"));
    if (m_program.isEmpty()) {
        m_program = QStandardPaths::findExecutable(QStringLiteral("tinyproxy"),
                                                   {QStringLiteral("/usr/sbin")});
    }
    if (m_program.isEmpty())
        m_problem = QStringLiteral("tinyproxy is not installed (scripts/setup-deps installs it)");
}

TinyProxy::~TinyProxy()
{
    m_process.stop();
}

bool TinyProxy::start(const QString &user, const QString &password)
{
    if (!m_problem.isEmpty())
        return false;
    m_port = TestServer::unusedPort();
    const QString configuration = m_folder.filePath(QStringLiteral("tinyproxy.conf"));
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString text =
        QStringLiteral("Port %1\nListen 127.0.0.1\nAllow 127.0.0.1\nLogLevel Info\n").arg(m_port);
    if (!user.isEmpty())
        text += QStringLiteral("BasicAuth %1 %2\n").arg(user, password);
    file.write(text.toUtf8());
    file.close();
    // In the foreground it writes its log to its output.
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(m_program, {QStringLiteral("-d"), QStringLiteral("-c"), configuration});
    const QDeadlineTimer deadline(10000);
    while (!log().contains(QLatin1String("Accepting connections"))) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning) {
            qWarning().noquote() << "tinyproxy did not start:" << log();
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

QString TinyProxy::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QStringList TinyProxy::requests()
{
    QStringList lines;
    static const QRegularExpression request(
        QStringLiteral("Request \\(file descriptor \\d+\\): (.*)$"),
        QRegularExpression::MultilineOption);
    auto match = request.globalMatch(log());
    while (match.hasNext())
        lines << match.next().captured(1).trimmed();
    return lines;
}

QString TinyProxy::log()
{
    m_log += QString::fromLocal8Bit(m_process.readAll());
    return m_log;
}
