#pragma once

#include <QString>
#include <QStringList>

// Compares two folder trees entry by entry (names, kinds, sizes and every byte of every file).
// Returns an empty string when they are the same, otherwise the first difference found.
// Entries named in ignore (relative paths) are left out of the comparison on both sides.
QString compareTrees(const QString &expected, const QString &actual,
                     const QStringList &ignore = QStringList());

// The relative paths of every entry below folder, hidden ones included, sorted.
QStringList treeEntries(const QString &folder);
