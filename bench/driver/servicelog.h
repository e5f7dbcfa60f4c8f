#pragma once

#include <QString>
#include <QVector>

// What the stand-in service's log says of the requests for a module's archive: the bytes of the
// bodies it sent, and the milliseconds its stalled answers stayed quiet until their client gave
// up.
struct ServiceSent
{
    qint64 bytes = 0;
    int requests = 0;
    QVector<double> stalledMs;
};

ServiceSent archiveSent(const QString &log, const QString &moduleId);
