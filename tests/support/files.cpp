#include "support/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtTest>

namespace {
const QByteArray filePrefix = "file:";
} // namespace

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QMap<QString, QByteArray> snapshot(const QString &root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = QDir(root).relativeFilePath(path);
        if (info.isSymLink())
            entries.insert(relative, "link:" + info.symLinkTarget().toUtf8());
        else if (info.isDir())
            entries.insert(relative, "folder");
        else
            entries.insert(relative, filePrefix + fileContent(path));
    }
    return entries;
}

QMap<QString, QByteArray> filesUnder(const QString &root)
{
    QMap<QString, QByteArray> files;
    const QMap<QString, QByteArray> entries = snapshot(root);
    for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
        if (entry.value().startsWith(filePrefix))
            files.insert(entry.key(), entry.value().mid(filePrefix.size()));
    }
    return files;
}

QMap<QString, QByteArray> libraryTree(const QString &folder)
{
    QMap<QString, QByteArray> tree = snapshot(folder);
    tree.remove(QStringLiteral("tavro-modules.txt"));
    tree.remove(QStringLiteral("Start Here.html"));
    // The directory a download keeps, which an archive unpacked from a file leaves none of.
    const QRegularExpression kept(QStringLiteral("^\\.[^/]*\\.directory$"));
    for (const QString &name : tree.keys().filter(kept))
        tree.remove(name);
    for (QByteArray &value : tree)
        value.replace("link:" + QFile::encodeName(folder) + '/', "link:");
    return tree;
}

qint64 bytesSent(const QString &log, const QString &path)
{
    qint64 bytes = 0;
    for (const QString &line : log.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(' '));
        if (fields.size() >= 4 && fields.at(0) == QLatin1String("GET") && fields.at(1) == path)
            bytes += fields.at(3).toLongLong();
    }
    return bytes;
}

QByteArray media(quint32 seed, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed + 7;
    for (char &c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    return bytes;
}
