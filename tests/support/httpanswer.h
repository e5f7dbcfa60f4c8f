#pragma once

#include <QByteArray>
#include <QMap>
#include <QNetworkReply>
#include <QString>

class QNetworkAccessManager;

// An HTTP answer as a test reads it whole.
struct HttpAnswer
{
    int status = 0;
    QByteArray body;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    // By lower-case name.
    QMap<QByteArray, QByteArray> headers;
};

// GETs url and waits for the whole answer (at most 30 s); timeoutMs > 0 gives up a transfer
// that receives nothing for that long. Without an encoding it asks the way the client's
// catalogue requests do (compressed answers accepted).
HttpAnswer httpGet(QNetworkAccessManager *network, const QString &url,
                   const QByteArray &encoding = {},
                   const QMap<QByteArray, QByteArray> &headers = {}, int timeoutMs = 0);

// The parts of a resource of size bytes that an answer to a ranged request holds, read by the
// client's own range code: "first-last" pairs in the order sent, separated by commas, with
// "end" for the resource's last byte, and "" for none (416). 200 holds the whole resource; 206 one
// part (its Content-Range) or several (a multipart/byteranges body). "malformed" when the parts
// cannot be read. Into *placed goes the resource as the parts show it: their bytes at their place,
// '.' elsewhere.
QString partsOf(const HttpAnswer &answer, qint64 size, QByteArray *placed);
// The resource as the given parts of it show it, as partsOf places them.
QByteArray placedParts(const QByteArray &resource, const QString &parts);
