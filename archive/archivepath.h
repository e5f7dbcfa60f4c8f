#pragma once

#include <QString>

// Where a downloaded module archive waits in the library folder until the worker unpacks it.
namespace ArchivePath {

QString forModule(const QString &libraryFolder, const QString &moduleId);

// Whether the id names a file directly inside the library folder: no separator, drive or
// stream marker, relative step or Windows device name.
bool isSafeModuleId(const QString &moduleId);

// Whether two ids name the same archive file on a file system that ignores case.
bool sameArchive(const QString &moduleId, const QString &otherId);

// Moves a finished archive from file to archivePath, in place of anything there.
bool putInPlace(const QString &file, const QString &archivePath);

} // namespace ArchivePath
