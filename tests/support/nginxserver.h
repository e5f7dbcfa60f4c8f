#pragma once

#include "support/childprocess.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// nginx from the system's packages, run as an ordinary process on a loopback port, serving a
// folder with the catalogue's own configuration (catalogue-service/nginx-catalogue.conf). Its
// configuration, pid, logs and temporary files all stay in a folder of its own; it needs no
// root and leaves nothing behind.
class NginxServer
{
public:
    NginxServer();
    ~NginxServer();

    // Empty when nginx can run here, otherwise why not.
    QString problem() const { return m_problem; }
    // "http://127.0.0.1:PORT", the same across restarts.
    QString baseUrl() const;

    // Serves root; serverLines join the server block before the catalogue's configuration
    // (directives such as limit_rate, and locations of the test's own). Returns once nginx
    // listens; false, with its error log as a warning, when it could not start.
    bool start(const QString &root, const QString &serverLines = QString());
    // Ends it at once: the transfers under way are cut, as when a server goes down.
    void stop();

    // Every request answered so far, one line each, as "GET /archives/m.zip 206 2048
    // range=bytes=2048-": the path as asked, the status, the body's bytes sent, and the Range
    // asked for ("-" for none). A request cut short by stop() leaves no line.
    QStringList accessLog();

private:
    QString configuration(const QString &root, const QString &serverLines) const;
    QString path(const QString &name) const { return m_prefix.filePath(name); }

    QTemporaryDir m_prefix;
    QString m_program;
    QString m_problem;
    // Temporary-file directives of the modules this nginx was built with.
    QStringList m_tempPaths;
    int m_port = 0;
    ChildProcess m_process;
};
