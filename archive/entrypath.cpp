#include "archive/entrypath.h"

#include "archive/drivename.h"

#include <QFileInfo>
#include <QStringList>
#include <QVector>

namespace {

QString withSlashes(const QString &path)
{
    return QString(path).replace(QLatin1Char('\\'), QLatin1Char('/'));
}

bool isAbsoluteOrDrive(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')))
        return true;
    if (path.size() < 2 || path.at(1) != QLatin1Char(':'))
        return false;
    const QChar drive = path.at(0).toLower();
    return drive >= QLatin1Char('a') && drive <= QLatin1Char('z');
}

bool isDotsAndSpaces(const QStringRef &part)
{
    for (const QChar c : part) {
        if (c != QLatin1Char('.') && c != QLatin1Char(' '))
            return false;
    }
    return true;
}

// The parts between slashes, without empty and "." parts.
QVector<QStringRef> partsOf(const QString &path)
{
    QVector<QStringRef> parts;
    int start = 0;
    while (start <= path.size()) {
        int slash = path.indexOf(QLatin1Char('/'), start);
        if (slash < 0)
            slash = path.size();
        const QStringRef part = path.midRef(start, slash - start);
        if (!part.isEmpty() && part != QLatin1String("."))
            parts.append(part);
        start = slash + 1;
    }
    return parts;
}

} // namespace

namespace EntryPath {

std::optional<QString> relative(const QString &name)
{
    const QString path = withSlashes(name);
    if (path.contains(QChar(0)) || isAbsoluteOrDrive(path))
        return std::nullopt;
    QStringList kept;
    for (const QStringRef &part : partsOf(path)) {
        // On Windows "a:b" writes into a hidden stream of the file "a", and "con.html" or
        // "nul" opens a device instead of a file.
        if (isDotsAndSpaces(part) || part.contains(QLatin1Char(':')) ||
            DriveName::isDeviceName(part.toString()))
            return std::nullopt;
        kept.append(part.toString());
    }
    return kept.join(QLatin1Char('/'));
}

bool linkStaysInside(const QString &linkPath, const QString &target)
{
    const QString path = withSlashes(target);
    if (path.isEmpty() || path.contains(QChar(0)) || isAbsoluteOrDrive(path))
        return false;
    int depth = linkPath.count(QLatin1Char('/')); // folders between the destination and the link
    bool named = false;
    for (const QStringRef &part : partsOf(path)) {
        if (part == QLatin1String("..")) {
            if (named || depth == 0)
                return false;
            --depth;
        } else if (isDotsAndSpaces(part)) {
            return false;
        } else {
            named = true;
        }
    }
    return true;
}

QString moduleFile(const QString &libraryFolder, const QString &moduleId, const QString &suffix)
{
    return libraryFolder + QStringLiteral("/.") + moduleId + suffix;
}

QString pendingFile(const QString &archivePath, const QString &suffix)
{
    const QFileInfo archive(archivePath);
    return moduleFile(archive.path(), archive.fileName(), suffix);
}

bool isClientFile(const QString &path, const QString &archiveName)
{
    // Windows drops trailing dots and spaces from a name, so "index.txt. " is "index.txt".
    QString top = path.section(QLatin1Char('/'), 0, 0);
    while (top.endsWith(QLatin1Char('.')) || top.endsWith(QLatin1Char(' ')))
        top.chop(1);
    const auto is = [&top](const QString &name) {
        return !name.isEmpty() && top.compare(name, Qt::CaseInsensitive) == 0;
    };
    return is(indexName) || is(archiveName) || is(startPageName) ||
           top.startsWith(stagingPrefix, Qt::CaseInsensitive) ||
           (top.startsWith(QLatin1Char('.')) &&
            (top.contains(partSuffix, Qt::CaseInsensitive) ||
             top.endsWith(recordSuffix, Qt::CaseInsensitive) ||
             top.endsWith(directorySuffix, Qt::CaseInsensitive)));
}

} // namespace EntryPath
