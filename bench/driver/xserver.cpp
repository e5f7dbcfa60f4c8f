#include "driver/xserver.h"

#include <QDeadlineTimer>

XServer::~XServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool XServer::start(QString *problem)
{
    // With -displayfd the server picks a free display itself and writes its number once it
    // accepts clients: no guessing at lock files, no polling for the socket.
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                     QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_process.waitForStarted(5000)) {
        *problem = QStringLiteral("Xvfb could not be started: %1").arg(m_process.errorString());
        return false;
    }
    QByteArray said;
    const QDeadlineTimer deadline(10000);
    while (!said.contains('\n') && m_process.waitForReadyRead(int(deadline.remainingTime())))
        said += m_process.readAllStandardOutput();
    bool isNumber = false;
    const int number = said.trimmed().toInt(&isNumber);
    if (!isNumber) {
        *problem = QStringLiteral("Xvfb gave no display number");
        return false;
    }
    m_display = QStringLiteral(":%1").arg(number);
    return true;
}
