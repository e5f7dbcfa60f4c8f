#pragma once

#include "serverranges.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>

// What the service sends for one request of a module archive: the whole file; the one range
// asked for; several ranges as a multipart/byteranges body; or nothing (416) when no range
// asked for lies within the file. Range and If-Range are answered as HTTP says.
class ArchiveAnswer
{
public:
    // What identifies the archive's version, for If-Range.
    struct Version
    {
        QByteArray etag;
        QByteArray lastModified;
    };

    // rangeHeader and ifRange as the request gave them, empty when it gave none; with
    // honourRanges false the whole file is sent whatever was asked. With corruptRanges (a test
    // fault) one byte in the middle of every range sent that stops short of the file's end is
    // changed.
    ArchiveAnswer(const QString &path, const Version &version, const QByteArray &rangeHeader,
                  const QByteArray &ifRange, bool honourRanges, bool corruptRanges = false);

    bool isOpen() const { return m_file.isOpen(); }
    int status() const { return m_status; }
    QByteArray contentType() const { return m_contentType; }
    // For one range, and for 416; empty otherwise.
    QByteArray contentRange() const { return m_contentRange; }
    qint64 length() const { return m_length; }
    // At most maxBytes of the body from offset on; empty at its end or when the file cannot be
    // read.
    QByteArray read(qint64 offset, qint64 maxBytes);

private:
    // A stretch of the body: text of our own (a part's header), or bytes of the file.
    struct Segment
    {
        qint64 start = 0; // where it begins in the body
        QByteArray text;
        qint64 fileOffset = 0;
        qint64 length = 0;
        qint64 corruptAt = -1; // the file's byte sent changed, for the test fault
    };
    void add(const QByteArray &text);
    void add(const HttpRanges::Span &span);

    QFile m_file;
    bool m_corruptRanges = false;
    int m_status = 200;
    QByteArray m_contentType = "application/zip";
    QByteArray m_contentRange;
    qint64 m_length = 0;
    QVector<Segment> m_segments;
};
