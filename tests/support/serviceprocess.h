#pragma once

#include "support/childprocess.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// The stand-in catalogue service run as a process of its own on a free loopback port; stopped
// with SIGTERM when it goes out of scope.
class ServiceProcess
{
public:
    explicit ServiceProcess(const QStringList &arguments = {});
    ~ServiceProcess();

    // "http://127.0.0.1:PORT"; empty when it did not start listening.
    QString url() const { return m_url; }
    QProcess &process() { return m_process; }
    // What it wrote to stderr so far: its request log and its messages.
    QString errors();
    // The service program built beside the tests.
    static QString program();

private:
    ChildProcess m_process;
    QString m_url;
    QString m_errors;
};
