#pragma once

#include <QJsonObject>
#include <QString>
#include <QVector>

// The library index: "tavro-modules.txt" in the library folder, one compact JSON module
// record per line, the program's only memory of what is installed.
namespace LibraryIndex {

struct Result
{
    bool ok = false;
    QString error; // the debug line that tells what went wrong; the caller writes it
};

// One line of the index: a record when the line holds a JSON object, otherwise nothing usable.
struct Line
{
    bool isRecord = false;
    QJsonObject record;
};

QString path(const QString &libraryFolder);

// Puts record into the index, replacing every line with the same "_id" (read as a string, so a
// missing or non-string "_id" counts as "") or appending it; lines that are not JSON objects
// are dropped. The index is replaced in one rename: it holds the old lines or the new ones.
// An index that exists but cannot be read is left as it is, and the record is not added.
Result merge(const QString &libraryFolder, const QJsonObject &record);

// Reads every line of the index, in order; ok is false when the file cannot be opened.
Result read(const QString &libraryFolder, QVector<Line> *lines);

} // namespace LibraryIndex
