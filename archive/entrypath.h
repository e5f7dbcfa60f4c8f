#pragma once

#include <QString>

#include <optional>

// Judges the paths an archive asks for. Archives are untrusted: no entry may land, and no link
// may point, outside the folder it is unpacked into, nor on the files the client keeps there.
// "\" counts as a separator throughout, as it does on Windows.
namespace EntryPath {

// Names of the client's own files in the library folder: the library index, the start page; the
// staging folders of extractions start with stagingPrefix; a partial download is "." + module id +
// partSuffix, with its record's name after that; what a module installed is "." + module id +
// recordSuffix, and the directory of the archive it came from "." + module id + directorySuffix.
inline const QString indexName = QStringLiteral("tavro-modules.txt");
inline const QString startPageName = QStringLiteral("Start Here.html");
inline const QString stagingPrefix = QStringLiteral(".unpack-");
inline const QString partSuffix = QStringLiteral(".zip.part");
inline const QString recordSuffix = QStringLiteral(".files");
inline const QString directorySuffix = QStringLiteral(".directory");

// A module's hidden file of the kind suffix names in libraryFolder, and the one a download leaves
// beside the archive at archivePath for its unpacking to take.
QString moduleFile(const QString &libraryFolder, const QString &moduleId, const QString &suffix);
QString pendingFile(const QString &archivePath, const QString &suffix);

// The path below the destination that an entry name stands for, in "a/b/c" form with empty
// and "." parts dropped: empty for the destination itself ("./"), nothing when the name is
// absolute, starts with a drive ("C:"), holds a ".." part (or any part of dots and spaces
// only, which Windows may read as one), a NUL, a ":" (a Windows file stream) or a part that
// Windows takes for a device ("con.html", "NUL").
std::optional<QString> relative(const QString &name);

// Whether a link at linkPath (as relative() gives it) pointing at target stays below the
// destination. ".." may only lead the target: after a named part it would climb out of that
// part, which may itself be a link leading elsewhere.
bool linkStaysInside(const QString &linkPath, const QString &target);

// Whether path (as relative() gives it) lies at or below one of the client's own files at the
// top of the library folder, compared ignoring case: the library index, the start page, the
// archive being unpacked (archiveName, empty when it lies elsewhere), the unpacking's staging
// folders, the partial downloads, the install records and kept directories.
bool isClientFile(const QString &path, const QString &archiveName);

} // namespace EntryPath
