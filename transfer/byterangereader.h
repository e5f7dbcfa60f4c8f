#pragma once

#include <QByteArray>
#include <QVector>

// Reads a multipart/byteranges body as it arrives into the bytes of each range and their place.
// A part's length comes from its Content-Range: its bytes are never searched for the boundary.
class ByteRangeReader
{
public:
    struct Piece
    {
        qint64 offset = 0; // where the bytes stand in the resource
        QByteArray bytes;
        qint64 total = -1; // the resource's length, as the part's header gives it; -1 unknown
    };

    explicit ByteRangeReader(const QByteArray &boundary) : m_delimiter("--" + boundary) {}

    // Appends the pieces that chunk completes; false once the body is found malformed.
    bool read(const QByteArray &chunk, QVector<Piece> *pieces);
    // Whether the closing delimiter has been read: a body that ends before it was cut short.
    bool finished() const { return m_state == State::Finished; }

private:
    enum class State { Preamble, AfterBytes, Delimiter, Headers, Bytes, Finished, Failed };

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
