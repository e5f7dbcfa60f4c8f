#pragma once

#include "library/libraryindex.h"

#include <QHash>
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
    int damagedFiles = 0; // installed files missing or cut short

    // Ticked for "Update Checked Modules": a new version, or damage that it repairs.
    bool flagged() const { return newVersion || damagedFiles > 0; }
    // The name, and below it the catalogue's version when that differs from the installed one
    // and the damage found.
    QString nameText() const;
};

// One row per index line, in file order, each compared with the catalogue's module list.
// catalogueIds, the "_id" of every catalogue record in order, spares reading them again;
// damaged gives the damaged files of modules by id.
QVector<LibraryRow> libraryRows(const QVector<LibraryIndex::Line> &lines,
                                const QJsonArray &catalogue,
                                const QStringList &catalogueIds = QStringList(),
                                const QHash<QString, int> &damaged = QHash<QString, int>());
