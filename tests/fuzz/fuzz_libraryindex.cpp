// The library index merge: the input's first line is the record to merge, the rest the index
// as it stood. Whatever the index held, the merge keeps every other module's record, in order,
// and holds the new record in place of the old.

#include "library/libraryindex.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        abort();
}

// A record as it reads back after the index has stored it.
QJsonObject stored(const QJsonObject &record)
{
    return QJsonDocument::fromJson(QJsonDocument(record).toJson(QJsonDocument::Compact)).object();
}

QString idOf(const QJsonObject &record)
{
    return record.value(QLatin1String("_id")).toString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir library;
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    const int feed = input.indexOf('\n');
    const QJsonObject record = QJsonDocument::fromJson(input.left(feed)).object();
    QFile index(LibraryIndex::path(library.path()));
    require(index.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray before = feed < 0 ? QByteArray() : input.mid(feed + 1);
    require(index.write(before) == before.size());
    index.close();

    QVector<LibraryIndex::Line> oldLines;
    require(LibraryIndex::read(library.path(), &oldLines).ok);
    require(LibraryIndex::merge(library.path(), record).ok);
    QVector<LibraryIndex::Line> newLines;
    require(LibraryIndex::read(library.path(), &newLines).ok);

    const QString id = idOf(record);
    QVector<QJsonObject> expected;
    bool replaced = false;
    for (const LibraryIndex::Line &line : qAsConst(oldLines)) {
        if (!line.isRecord)
            continue;
        const bool same = idOf(line.record) == id;
        expected.append(stored(same ? record : line.record));
        replaced = replaced || same;
    }
    if (!replaced)
        expected.append(stored(record));
    require(newLines.size() == expected.size());
    for (int i = 0; i < newLines.size(); ++i)
        require(newLines.at(i).isRecord && newLines.at(i).record == expected.at(i));
    return 0;
}
