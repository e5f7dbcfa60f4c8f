#pragma once

#include <QString>

// Where a downloaded module archive waits in the library folder until the worker unpacks it.
namespace ArchivePath {

// The library folder, "/", the module's id and ".zip".
QString forModule(const QString &libraryFolder, const QString &moduleId);

// An id names a file directly inside the library folder only when it carries no folder
// separator and no drive or stream marker, is not a relative step ("." or "..") and is not
// one of the device names Windows reserves whatever the extension.
bool isSafeModuleId(const QString &moduleId);

// Whether two module ids name the same archive file. Desktop file systems commonly ignore
// case, so ids that differ only in case would still overwrite each other's archive.
bool sameArchive(const QString &moduleId, const QString &otherId);

// Moves a finished archive from file to archivePath, in place of anything there.
bool putInPlace(const QString &file, const QString &archivePath);

} // namespace ArchivePath
