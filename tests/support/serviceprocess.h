#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The stand-in catalogue service, run as its own process on a free loopback port with the
// options given; stopped with SIGTERM when it goes out of scope.
class ServiceProcess
{
public:
    explicit ServiceProcess(const QStringList &arguments = {});
    ~ServiceProcess();
    // "http://127.0.0.1:PORT"; empty when the service did not start.
    QString url() const { return m_url; }
    QProcess &process() { return m_process; }
    // Everything it has written to its standard error so far: its log, one line a request.
    QString errors();

private:
    QProcess m_process;
    QString m_url;
    QString m_errors;
};
