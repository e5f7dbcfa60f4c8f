#pragma once

#include "transfer/httpranges.h"

#include <optional>

// The answering end's half of HTTP's byte ranges: what a server reads from a Range or If-Range
// header and writes into its answer. The stand-in service and the tests' servers answer with it.
namespace HttpRanges {

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

// Whether an If-Range value (an entity tag or a date) names the version described by etag and
// lastModified; only then does a server answer the ranges rather than the whole resource.
bool ifRangeMatches(const QByteArray &ifRange, const QByteArray &etag,
                    const QByteArray &lastModified);

// Whether an If-Match value names the resource's entity tag, compared strongly, or is "*"; when
// it does not, a server answers 412 and sends nothing.
bool ifMatchHolds(const QByteArray &ifMatch, const QByteArray &etag);

// What stands in a multipart/byteranges body before the bytes of each part, and at its end.
QByteArray partHeader(const QByteArray &boundary, const QByteArray &contentType, const Span &span,
                      qint64 total);
QByteArray closingDelimiter(const QByteArray &boundary);

} // namespace HttpRanges
