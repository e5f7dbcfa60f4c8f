#include "library/libraryrow.h"

#include "browse/catalogrecord.h"
#include "library/versioncheck.h"

#include <QCoreApplication>

QString LibraryRow::nameText() const
{
    QString text = name;
    if (newVersion)
        text += QCoreApplication::translate("LibraryRow", "\nNew Version Available: ") +
                catalogueVersion;
    if (damagedFiles == 1)
        text += QCoreApplication::translate("LibraryRow", "\n1 file damaged");
    else if (damagedFiles > 1)
        text += QCoreApplication::translate("LibraryRow", "\n%1 files damaged").arg(damagedFiles);
    return text;
}

QVector<LibraryRow> libraryRows(const QVector<LibraryIndex::Line> &lines,
                                const QJsonArray &catalogue, const QStringList &catalogueIds,
                                const QHash<QString, int> &damaged)
{
    QSet<QString> installed;
    installed.reserve(lines.size());
    for (const LibraryIndex::Line &line : lines) {
        if (line.isRecord)
            installed.insert(CatalogRecord(line.record).id());
    }
    const VersionCheck check(catalogue, installed, catalogueIds);
    QVector<LibraryRow> rows;
    rows.reserve(lines.size());
    for (const LibraryIndex::Line &line : lines) {
        LibraryRow row;
        if (line.isRecord) {
            const CatalogRecord record(line.record);
            row.isRecord = true;
            row.id = record.id();
            row.name = record.name();
            row.version = record.version();
            row.size = record.packageSize();
            row.newVersion = check.differs(row.id, row.version, &row.catalogueVersion);
            row.damagedFiles = damaged.value(row.id);
        }
        rows.append(row);
    }
    return rows;
}
