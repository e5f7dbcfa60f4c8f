#pragma once

#include <QByteArray>
#include <QVector>

// Reads the body of a multipart/byteranges answer, which holds several ranges of one resource,
// as it arrives, and hands back the bytes of each range with their place in the resource. A
// part's length comes from its Content-Range, so the bytes themselves are never searched for
// the boundary.
class ByteRangeReader
{
public:
    struct Piece
    {
        qint64 offset = 0; // where the bytes stand in the resource
        QByteArray bytes;
        qint64 total = -1; // the resource's length, as the part's header gives it; -1 unknown
    };

    explicit ByteRangeReader(const QByteArray &boundary);

    // Appends the pieces that chunk completes; false once the body is found malformed, after
    // which nothing more is read.
    bool read(const QByteArray &chunk, QVector<Piece> *pieces);
    // Whether the closing delimiter has been read: a body that ends before it was cut short.
    bool finished() const { return m_state == State::Finished; }

private:
    enum class State { Preamble, AfterBytes, Delimiter, Headers, Bytes, Finished, Failed };

    // Takes the next line, without its line break, from data at *at; false while it has not
    // arrived whole.
    static bool takeLine(const QByteArray &data, int *at, QByteArray *line);
    bool readLine(const QByteArray &line);
    bool fail();

    const QByteArray m_delimiter;
    QByteArray m_pending; // the start of a line that has not arrived whole
    State m_state = State::Preamble;
    int m_lineBytes = 0; // read outside the parts' bytes, to bound what a hostile body costs
    qint64 m_offset = 0;
    qint64 m_left = 0;
    qint64 m_total = -1;
    bool m_hasRange = false;
};
