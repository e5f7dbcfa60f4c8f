#include "driver/treecompare.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

QString compareFiles(const QString &expected, const QString &actual)
{
    QFile a(expected), b(actual);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1 or %2").arg(expected, actual);
    if (a.size() != b.size())
        return QStringLiteral("%1 has %2 bytes instead of %3")
            .arg(actual)
            .arg(b.size())
            .arg(a.size());
    const qint64 block = 4 << 20;
    for (qint64 offset = 0; offset < a.size(); offset += block) {
        if (a.read(block) != b.read(block))
            return QStringLiteral("%1 differs from %2 within bytes %3 to %4")
                .arg(actual, expected)
                .arg(offset)
                .arg(offset + block);
    }
    return QString();
}

} // namespace

QStringList treeEntries(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    const int prefix = folder.size() + 1;
    while (it.hasNext())
        entries << it.next().mid(prefix);
    entries.sort();
    return entries;
}

QString compareTrees(const QString &expected, const QString &actual, const QStringList &ignore)
{
    QStringList want = treeEntries(expected), have = treeEntries(actual);
    for (const QString &left : ignore) {
        want.removeAll(left);
        have.removeAll(left);
    }
    // The client keeps its own files at the top of a library: a record of what each module
    // installed, the directory of the archive it came from, and the start page.
    const QRegularExpression clientFile(
        QStringLiteral("^(\\.[^/]*\\.(files|directory)|Start Here\\.html)$"));
    for (QStringList *entries : {&want, &have}) {
        entries->erase(std::remove_if(entries->begin(), entries->end(),
                                      [&](const QString &entry) {
                                          return clientFile.match(entry).hasMatch();
                                      }),
                       entries->end());
    }
    if (want != have) {
        for (const QString &entry : qAsConst(want)) {
            if (!have.contains(entry))
                return QStringLiteral("%1 is missing from %2").arg(entry, actual);
        }
        for (const QString &entry : qAsConst(have)) {
            if (!want.contains(entry))
                return QStringLiteral("%1 should not be in %2").arg(entry, actual);
        }
    }
    for (const QString &entry : qAsConst(want)) {
        const QFileInfo a(expected + QLatin1Char('/') + entry),
            b(actual + QLatin1Char('/') + entry);
        if (a.isSymLink() != b.isSymLink() || a.isDir() != b.isDir())
            return QStringLiteral("%1 is not the same kind of entry in %2").arg(entry, actual);
        if (a.isFile() && !a.isSymLink()) {
            const QString difference = compareFiles(a.filePath(), b.filePath());
            if (!difference.isEmpty())
                return difference;
        }
    }
    return QString();
}
