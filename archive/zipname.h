#pragma once

#include <QByteArray>
#include <QString>

// How a zip entry's name, stored as bytes, becomes text.
namespace ZipName {

struct Decoded
{
    QString text;
    bool readable = true; // false when the name claims UTF-8 but is not
};

// An entry flagged as UTF-8 is read as UTF-8, any other as code page 437 (DOS's) unless it was
// made on Unix and is valid UTF-8, as Unix zip tools store the bytes of the name as they are.
// unicodePath, the name of an Info-ZIP Unicode path field that belongs to it, wins over both.
Decoded decode(const QByteArray &raw, bool utf8Flag, int hostSystem,
               const QByteArray &unicodePath = QByteArray());

// Readable when the bytes are well-formed UTF-8 (no overlong forms, surrogates or cut sequence).
Decoded fromUtf8(const QByteArray &bytes);

} // namespace ZipName
