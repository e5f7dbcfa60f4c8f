#pragma once

#include <QByteArray>
#include <QVector>

// HTTP's byte ranges: the Range header that asks for parts of a resource, the Content-Range
// that says which part an answer holds, the If-Range validators that make sure the parts are
// of one version, and the multipart/byteranges type of an answer that holds several parts.
// This is the asking end's half, for downloads that resume or fetch pieces of an archive; the
// stand-in catalogue service keeps the answering half.
namespace HttpRanges {

extern const QByteArray bytesUnit;
// A non-negative decimal number of at most 18 digits, which always fits in a qint64.
bool parseNumber(const QByteArray &text, qint64 *value);
// Whether text starts with the unit "bytes" (in any case) and then separator.
bool startsWithUnit(const QByteArray &text, char separator);

// A range as a Range header asks for it: bytes first to last, both included, or from first to
// the end when last is negative; or, when tail is not negative, the last tail bytes.
struct Wanted
{
    qint64 first = 0;
    qint64 last = -1;
    qint64 tail = -1;

    static Wanted from(qint64 first) { return {first, -1, -1}; }
    static Wanted span(qint64 first, qint64 last) { return {first, last, -1}; }
    static Wanted lastBytes(qint64 length) { return {0, -1, length}; }
    bool operator==(const Wanted &other) const
    {
        return first == other.first && last == other.last && tail == other.tail;
    }
};

// Bytes first to last of a resource, both included.
struct Span
{
    qint64 first = 0;
    qint64 last = -1;

    qint64 length() const { return last - first + 1; }
    bool operator==(const Span &other) const { return first == other.first && last == other.last; }
};

// What a Content-Range header says.
struct ContentRange
{
    bool valid = false;
    // "bytes */1234", sent with 416 when no range could be satisfied.
    bool unsatisfied = false;
    Span span;
    // The whole resource's length; -1 when the server does not know it ("*").
    qint64 total = -1;
};

// "bytes=0-99,200-,-500".
QByteArray rangeHeader(const QVector<Wanted> &ranges);

ContentRange parseContentRange(const QByteArray &header);

// An entity tag that can serve as a validator of the bytes themselves; empty for a weak one
// ("W/..."), which only says two versions mean the same, and for anything not a quoted tag.
QByteArray strongEtag(const QByteArray &etag);

// The boundary of a "multipart/byteranges; boundary=..." content type; empty for another type.
QByteArray multipartBoundary(const QByteArray &contentType);

} // namespace HttpRanges
