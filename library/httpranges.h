#pragma once

#include <QByteArray>
#include <QVector>

#include <optional>

// HTTP's byte ranges: the Range header that asks for parts of a resource, the Content-Range
// that says which part an answer holds, the If-Range validators that make sure the parts are
// of one version, and the multipart/byteranges type of an answer that holds several parts.
// Both ends use it: downloads that resume or fetch pieces of an archive, and the stand-in
// catalogue service that answers them.
namespace HttpRanges {

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
// The ranges of a Range header; nothing when it is not a well-formed set of byte ranges, which a
// server then ignores.
std::optional<QVector<Wanted>> parseRangeHeader(const QByteArray &header);
// The parts of a resource of size bytes that ranges ask for, in the order asked, each cut at
// the resource's end. A range that starts at or beyond the end is left out; none left means the
// request cannot be satisfied (416).
QVector<Span> resolve(const QVector<Wanted> &ranges, qint64 size);

// "bytes 0-99/1234".
QByteArray contentRange(const Span &span, qint64 total);
// "bytes */1234".
QByteArray unsatisfiedRange(qint64 total);
ContentRange parseContentRange(const QByteArray &header);

// An entity tag that can serve as a validator of the bytes themselves; empty for a weak one
// ("W/..."), which only says two versions mean the same, and for anything not a quoted tag.
QByteArray strongEtag(const QByteArray &etag);
// Whether an If-Range value (an entity tag or a date) names the version described by etag and
// lastModified; only then does a server answer the ranges rather than the whole resource.
bool ifRangeMatches(const QByteArray &ifRange, const QByteArray &etag,
                    const QByteArray &lastModified);

// The boundary of a "multipart/byteranges; boundary=..." content type; empty for another type.
QByteArray multipartBoundary(const QByteArray &contentType);
// What stands in a multipart/byteranges body before the bytes of each part, and at its end.
QByteArray partHeader(const QByteArray &boundary, const QByteArray &contentType, const Span &span,
                      qint64 total);
QByteArray closingDelimiter(const QByteArray &boundary);

} // namespace HttpRanges
