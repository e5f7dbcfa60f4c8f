#include "transfer/byterangereader.h"

#include "transfer/httpranges.h"

namespace {
// Delimiters and part headers are a few lines of text; more than this is no byteranges body.
constexpr int lineBytesLimit = 64 * 1024;
} // namespace

bool ByteRangeReader::read(const QByteArray &chunk, QVector<Piece> *pieces)
{
    const QByteArray data = m_pending.isEmpty() ? chunk : m_pending + chunk;
    m_pending.clear();
    int at = 0;
    while (at < data.size() && m_state != State::Failed && m_state != State::Finished) {
        if (m_state == State::Bytes) {
            const int length = int(qMin<qint64>(m_left, data.size() - at));
            pieces->append({m_offset, data.mid(at, length), m_total});
            at += length;
            m_offset += length;
            m_left -= length;
            if (m_left == 0)
                m_state = State::AfterBytes;
            continue;
        }
        const int lineEnd = data.indexOf("\r\n", at);
        if (lineEnd < 0) {
            m_pending = data.mid(at);
            if (m_lineBytes + m_pending.size() > lineBytesLimit)
                return fail();
            break;
        }
        m_lineBytes += lineEnd + 2 - at;
        const QByteArray line = data.mid(at, lineEnd - at);
        at = lineEnd + 2;
        if (m_lineBytes > lineBytesLimit || !readLine(line))
            return fail();
    }
    return m_state != State::Failed;
}

bool ByteRangeReader::readLine(const QByteArray &line)
{
    // Spaces and tabs may pad a delimiter line.
    const QByteArray delimiter = line.trimmed();
    switch (m_state) {
    case State::Preamble:
        // Lines before the first delimiter are a preamble, which says nothing.
        if (delimiter == m_delimiter)
            m_state = State::Headers;
        else if (delimiter == m_delimiter + "--")
            return false; // a body without any part
        return true;
    case State::AfterBytes:
        // The line break that ends a part's bytes belongs to the delimiter after them.
        if (!line.isEmpty())
            return false;
        m_state = State::Delimiter;
        return true;
    case State::Delimiter:
        if (delimiter == m_delimiter + "--")
            m_state = State::Finished;
        else if (delimiter == m_delimiter)
            m_state = State::Headers;
        else
            return false;
        return true;
    case State::Headers: {
        if (line.isEmpty()) {
            if (!m_hasRange)
                return false;
            m_hasRange = false;
            m_state = State::Bytes;
            return true;
        }
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "content-range") {
            const HttpRanges::ContentRange range =
                HttpRanges::parseContentRange(line.mid(colon + 1));
            if (!range.valid || range.unsatisfied)
                return false;
            m_offset = range.span.first;
            m_left = range.span.length();
            m_total = range.total;
            m_hasRange = true;
        }
        return true;
    }
    case State::Bytes:
    case State::Finished:
    case State::Failed:
        break;
    }
    return false;
}

bool ByteRangeReader::fail()
{
    m_state = State::Failed;
    m_pending.clear();
    return false;
}
