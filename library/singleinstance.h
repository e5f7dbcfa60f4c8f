#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// One client per library folder: two would delete each other's staging folders and write the
// same index. The first start holds a lock named after the folder and listens on a local socket
// of the same name; a later start finds the lock taken, asks the first through the socket to
// bring its window to the front, and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &libraryFolder, QObject *parent = nullptr);

    // True when this is the only client of the folder from now on; false when another one runs
    // (it has been asked to come to the front).
    bool claim();

signals:
    // A later start asked for the window.
    void activationRequested();

private:
    bool askRunningClient();

    const QString m_name;
    QLockFile m_lock;
    QLocalServer m_server;
};
