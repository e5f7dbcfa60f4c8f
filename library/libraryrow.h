#pragma once

#include "library/libraryindex.h"

#include <QJsonArray>
#include <QString>
#include <QVector>

// What one row of the library table shows for one line of the library index.
struct LibraryRow
{
    bool isRecord = false; // a line that is not a JSON object gives an empty row
    QString id;
    QString name;
    QString version;
    QString size;
    bool newVersion = false; // the catalogue lists this module with another version
    QString catalogueVersion;

    // The name, and below it the catalogue's version when that differs from the installed one.
    QString nameText() const;
};

// One row per index line, in file order, each compared with the catalogue's module list.
// catalogueIds, the "_id" of every catalogue record in order, spares reading them again.
QVector<LibraryRow> libraryRows(const QVector<LibraryIndex::Line> &lines,
                                const QJsonArray &catalogue,
                                const QStringList &catalogueIds = QStringList());
