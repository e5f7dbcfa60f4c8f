#pragma once

#include <QByteArray>
#include <QString>

#include <httplib.h>

#include <map>
#include <string>
#include <thread>

// Serves catalogue answers prepared beforehand, from memory, on 127.0.0.1: the module list
// then arrives as fast as the loopback carries it, and the time measured is the client's.
class StaticCatalogue
{
public:
    ~StaticCatalogue();

    // Reads the routes file: one "path<TAB>file" a line, the file relative to the routes file.
    bool load(const QString &routesFile, QString *error);
    // Starts serving on a free port; returns the root URL, or an empty string.
    QString start();
    QByteArray body(const QString &path) const;

private:
    std::map<std::string, std::string> m_bodies;
    httplib::Server m_server;
    std::thread m_thread;
};
