#include "archiveanswer.h"

#include <QUuid>

ArchiveAnswer::ArchiveAnswer(const QString &path, const Version &version,
                             const QByteArray &rangeHeader, const QByteArray &ifRange,
                             bool honourRanges, bool corruptRanges)
    : m_file(path), m_corruptRanges(corruptRanges)
{
    if (!m_file.open(QIODevice::ReadOnly))
        return;
    const qint64 size = m_file.size();
    const HttpRanges::Span whole{0, size - 1};
    // A Range the service cannot read, or one for a version that is not this one any more,
    // counts for nothing: the whole archive goes.
    std::optional<QVector<HttpRanges::Wanted>> wanted;
    if (honourRanges && !rangeHeader.isEmpty() &&
        (ifRange.isEmpty() ||
         HttpRanges::ifRangeMatches(ifRange, version.etag, version.lastModified)))
        wanted = HttpRanges::parseRangeHeader(rangeHeader);
    if (!wanted) {
        add(whole);
        return;
    }
    const QVector<HttpRanges::Span> spans = HttpRanges::resolve(*wanted, size);
    if (spans.isEmpty()) {
        m_status = 416;
        m_contentRange = HttpRanges::unsatisfiedRange(size);
        return;
    }
    m_status = 206;
    if (spans.size() == 1) {
        m_contentRange = HttpRanges::contentRange(spans.first(), size);
        add(spans.first());
        return;
    }
    const QByteArray boundary = QUuid::createUuid().toByteArray(QUuid::Id128);
    for (const HttpRanges::Span &span : spans) {
        add(HttpRanges::partHeader(boundary, m_contentType, span, size));
        add(span);
    }
    add(HttpRanges::closingDelimiter(boundary));
    m_contentType = "multipart/byteranges; boundary=" + boundary;
}

void ArchiveAnswer::add(const QByteArray &text)
{
    Segment segment;
    segment.start = m_length;
    segment.text = text;
    segment.length = text.size();
    m_segments.append(segment);
    m_length += segment.length;
}

void ArchiveAnswer::add(const HttpRanges::Span &span)
{
    Segment segment;
    segment.start = m_length;
    segment.fileOffset = span.first;
    segment.length = span.length();
    if (m_corruptRanges && m_status == 206 && span.last < m_file.size() - 1)
        segment.corruptAt = span.first + span.length() / 2;
    m_segments.append(segment);
    m_length += segment.length;
}

QByteArray ArchiveAnswer::read(qint64 offset, qint64 maxBytes)
{
    for (const Segment &segment : qAsConst(m_segments)) {
        const qint64 into = offset - segment.start;
        if (into < 0 || into >= segment.length)
            continue;
        const qint64 count = qMin(maxBytes, segment.length - into);
        if (!segment.text.isEmpty())
            return segment.text.mid(int(into), int(count));
        if (!m_file.seek(segment.fileOffset + into))
            return QByteArray();
        QByteArray bytes = m_file.read(count);
        const qint64 corrupt = segment.corruptAt - (segment.fileOffset + into);
        if (corrupt >= 0 && corrupt < bytes.size())
            bytes[int(corrupt)] = char(bytes.at(int(corrupt)) ^ 0x5A);
        return bytes;
    }
    return QByteArray();
}
