#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

// One client per library folder: two would delete each other's staging folders. The first
// start holds a lock named after the folder and listens on a local socket of that name; a later
// start asks it through the socket to come to the front, and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &libraryFolder, QObject *parent = nullptr);

    // False when another client runs (it has been asked to come to the front).
    bool claim();

signals:
    void activationRequested();

private:
    bool askRunningClient();

    const QString m_name;
    QLockFile m_lock;
    QLocalServer m_server;
};
