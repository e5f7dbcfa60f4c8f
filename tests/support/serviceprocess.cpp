#include "support/serviceprocess.h"

ServiceProcess::ServiceProcess(const QStringList &arguments)
{
    m_process.start(QStringLiteral(CATALOGUE_SERVICE_BIN), QStringList{"--port", "0"} + arguments);
    m_process.setReadChannel(QProcess::StandardOutput);
    while (m_process.waitForReadyRead(30000) || m_process.canReadLine()) {
        if (!m_process.canReadLine())
            continue;
        const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
        if (line.startsWith(QLatin1String("listening on "))) {
            m_url = line.mid(int(qstrlen("listening on ")));
            break;
        }
    }
}

ServiceProcess::~ServiceProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        m_process.waitForFinished(30000);
    }
}

QString ServiceProcess::errors()
{
    m_errors += QString::fromUtf8(m_process.readAllStandardError());
    return m_errors;
}
