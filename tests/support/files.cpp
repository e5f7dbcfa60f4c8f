#include "support/files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
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
