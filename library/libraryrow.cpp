#include "library/libraryrow.h"

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
            installed.insert(line.record.value(QStringLiteral("_id")).toString());
    }
    const VersionCheck check(catalogue, installed, catalogueIds);
    QVector<LibraryRow> rows;
    rows.reserve(lines.size());
    for (const LibraryIndex::Line &line : lines) {
        LibraryRow row;
        if (line.isRecord) {
            const QJsonObject &record = line.record;
            row.isRecord = true;
            row.id = record.value(QStringLiteral("_id")).toString();
            row.name = record.value(QStringLiteral("name")).toString();
            row.version = record.value(QStringLiteral("version")).toString();
            row.size = record.value(QStringLiteral("packageSize")).toString();
            row.newVersion = check.differs(row.id, row.version, &row.catalogueVersion);
            row.damagedFiles = damaged.value(row.id);
        }
        rows.append(row);
    }
    return rows;
}
