#include "support/serviceprocess.h"

ServiceProcess::ServiceProcess(const QStringList &arguments)
{
    m_process.start(program(), QStringList{"--port", "0"} + arguments);
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
    m_process.stop(30000);
}

QString ServiceProcess::errors()
{
    m_errors += QString::fromUtf8(m_process.readAllStandardError());
    return m_errors;
}

QString ServiceProcess::program()
{
    return QStringLiteral(CATALOGUE_SERVICE_BIN);
}
