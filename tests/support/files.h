#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Files and folders as the tests set them up and compare them.

// Writes content to path, creating the folders above it; a file that cannot be written fails
// the running test.
void writeFile(const QString &path, const QByteArray &content);

// The whole content of a file, or "<unreadable>" when it cannot be opened.
QByteArray fileContent(const QString &path);

// Every entry below root, hidden ones included and links not followed, as relative path ->
// "folder", "file:" and its content, or "link:" and its target: equal snapshots are equal
// trees.
QMap<QString, QByteArray> snapshot(const QString &root);

// Relative path -> content of every file below root, hidden ones included, links left out.
QMap<QString, QByteArray> filesUnder(const QString &root);

// What a library folder holds, its index and start page left out, with links' targets below it
// made relative: equal for two installs of the same modules in different folders.
QMap<QString, QByteArray> libraryTree(const QString &folder);

// The bytes the stand-in service's log says it sent for path.
qint64 bytesSent(const QString &log, const QString &path);

// Bytes no compressor shrinks, as media are; other for every seed.
QByteArray media(quint32 seed, int size);
