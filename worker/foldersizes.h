#pragma once

#include <QHash>
#include <QString>

namespace FolderSizes {

// The files of folder (links to files included) by name, with their sizes, from one read of
// the folder; empty when it is gone or cannot be read. Qt's listing finds each file's size by
// its whole path, which on a library of a hundred thousand files costs as much again as the
// listing itself: where the system allows, each is asked relative to the folder instead.
QHash<QString, qint64> of(const QString &folder);

} // namespace FolderSizes
