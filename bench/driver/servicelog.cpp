#include "driver/servicelog.h"

#include <QByteArray>
#include <QFile>
#include <QList>

ServiceSent archiveSent(const QString &log, const QString &moduleId)
{
    ServiceSent sent;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return sent;
    const QByteArray path = "/archives/" + moduleId.toUtf8() + ".zip";
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 4 || fields.at(0) != "GET" || fields.at(1) != path)
            continue;
        sent.bytes += fields.at(3).toLongLong();
        ++sent.requests;
        for (const QByteArray &field : fields.mid(4)) {
            if (field.startsWith("stalled=") && field.endsWith("ms"))
                sent.stalledMs << field.mid(8, field.size() - 10).toDouble();
        }
    }
    return sent;
}
