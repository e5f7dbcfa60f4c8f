#include "archiveanswer.h"

#include <QUuid>

ArchiveAnswer::ArchiveAnswer(const QString &path, const Version &version,
                             const QByteArray &rangeHeader, const QByteArray &ifRange,
                             bool honourRanges)
    : m_file(path)
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
        return m_file.read(count);
    }
    return QByteArray();
}
