#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace FolderSizes {

// A link found, whatever it points to: an archive's link is whole when it is there.
constexpr qint64 link = -2;

// The sizes of the named files of folder, in the order of names: link for a link, -1 for a
// name that is no file there, or for every name when the folder is gone. Qt
// finds a file's size by its whole path, which on a library of a hundred thousand files costs
// as much again as the sizes themselves: where the system allows, each is asked relative to
// the folder, opened once.
QVector<qint64> of(const QString &folder, const QStringList &names);

} // namespace FolderSizes
