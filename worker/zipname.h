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

// An entry flagged as UTF-8 is read as UTF-8, any other as code page 437, the code page of
// the DOS machines zip was born on, unless it was made on Unix and is valid UTF-8: zip tools
// on Unix store the bytes of the file name as they are, and for decades those have been UTF-8.
// unicodePath is the UTF-8 name an Info-ZIP Unicode path field gives, when there is one that
// belongs to this name; it wins over the rest.
Decoded decode(const QByteArray &raw, bool utf8Flag, int hostSystem,
               const QByteArray &unicodePath = QByteArray());

QString fromCp437(const QByteArray &raw);

// The bytes read as UTF-8; readable when they are well-formed (no overlong forms, no
// surrogates, no sequence cut short).
Decoded fromUtf8(const QByteArray &bytes);

} // namespace ZipName
