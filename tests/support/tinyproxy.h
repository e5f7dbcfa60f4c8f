#pragma once

#include "support/childprocess.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Debian's tinyproxy, run in the foreground on a free loopback port with a configuration of its
// own, as the proxy of a clinic or a school would stand between the client and the catalogue.
class TinyProxy
{
public:
    TinyProxy();
    ~TinyProxy();

    // Empty when tinyproxy can run here, otherwise why not.
    QString problem() const { return m_problem; }
    // With a user, the proxy answers 407 to every request without that user and password.
    // Returns once it accepts connections.
    bool start(const QString &user = QString(), const QString &password = QString());
    // "http://127.0.0.1:PORT", as http_proxy names it.
    QString url() const;
    // The request lines it received, "GET http://127.0.0.1:1234/api/topics HTTP/1.1".
    QStringList requests();

private:
    QString log();

    QTemporaryDir m_folder;
    QString m_program;
    QString m_problem;
    int m_port = 0;
    ChildProcess m_process;
    QString m_log;
};
