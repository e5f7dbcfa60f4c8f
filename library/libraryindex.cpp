#include "library/libraryindex.h"

#include "archive/entrypath.h"
#include "browse/catalogrecord.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonValue>
#include <QSaveFile>

#include <cstring>

namespace LibraryIndex {

namespace {

const QString createError = QStringLiteral("Error creating file");
const QString temporaryError = QStringLiteral("Error creating temporary file.");
const QString writeError = QStringLiteral("Error writing file");

Line parseLine(const char *begin, const char *end)
{
    // A line counts up to its first NUL byte, read as UTF-8 (invalid sequences become U+FFFD).
    const char *nul = static_cast<const char *>(memchr(begin, '\0', size_t(end - begin)));
    const QByteArray text = QString::fromUtf8(begin, int((nul ? nul : end) - begin)).toUtf8();
    const QJsonDocument document = QJsonDocument::fromJson(text);
    // A document that is not an object gives an empty one.
    return Line{document.isObject(), document.object()};
}

QByteArray lineOf(const QJsonObject &record)
{
    return QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

QString path(const QString &libraryFolder)
{
    return libraryFolder + QLatin1Char('/') + EntryPath::indexName;
}

// The whole file in one read, split at line feeds; a carriage return before a line feed
// belongs to the line end, so files written on Windows read the same.
Result read(const QString &libraryFolder, QVector<Line> *lines)
{
    lines->clear();
    QFile file(path(libraryFolder));
    if (!file.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("Error opening file")};
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {false, QStringLiteral("Error reading file")};

    const char *at = content.constData();
    const char *const end = at + content.size();
    lines->reserve(int(content.count('\n')) + 1);
    while (at < end) {
        const char *feed = static_cast<const char *>(memchr(at, '\n', size_t(end - at)));
        const char *lineEnd = feed ? feed : end;
        const char *textEnd = (feed && lineEnd > at && lineEnd[-1] == '\r') ? lineEnd - 1 : lineEnd;
        lines->append(parseLine(at, textEnd));
        at = feed ? feed + 1 : end;
    }
    return {true, QString()};
}

Result merge(const QString &libraryFolder, const QJsonObject &record)
{
    const QString filePath = path(libraryFolder);
    const bool exists = QFile::exists(filePath);

    // An index that is there but cannot be read keeps its lines: writing the new record alone
    // would drop every other installed module from the library.
    QVector<Line> lines;
    const Result reading = exists ? read(libraryFolder, &lines) : Result{true, QString()};
    if (!reading.ok)
        return reading;

    // The new content goes to a temporary file beside the index and replaces it by a rename,
    // so a crash or a full disk leaves either the old index or the new one, never a part.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return {false, exists ? temporaryError : createError};

    const QString id = CatalogRecord(record).id();
    const QByteArray recordLine = lineOf(record);
    QByteArray content;
    bool found = false;
    for (const Line &line : qAsConst(lines)) {
        if (!line.isRecord)
            continue;
        if (CatalogRecord(line.record).id() == id) {
            content += recordLine;
            found = true;
        } else {
            content += lineOf(line.record);
        }
    }
    if (!found)
        content += recordLine;

    if (file.write(content) != content.size() || !file.commit())
        return {false, exists ? writeError : createError};
    return {true, QString()};
}

} // namespace LibraryIndex
