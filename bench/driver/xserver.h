#pragma once

#include <QProcess>
#include <QString>

// An X server of the bench's own, for the runs that show their window on a display: Xvfb on
// the first free display number, ended with the object.
class XServer
{
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer &) = delete;
    XServer &operator=(const XServer &) = delete;

    // False, with the reason in *problem, when no server could be started.
    bool start(QString *problem);
    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};
