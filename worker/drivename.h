#pragma once

#include <QString>
#include <QtGlobal>

// What a thumb drive can hold. Most drives are FAT32 and are read on Windows: the copy judges
// every name and size by those rules, whatever drive it writes to, so that the library the
// user carries away is the same everywhere.
namespace DriveName {

// Why the drive cannot hold a file or folder of this name, as a phrase that follows "Cannot
// copy x: ", or an empty string when it can.
QString problem(const QString &name);

// Whether Windows takes the name for a device (CON, NUL, COM1 ...), whatever its extension:
// such a file cannot be made there, and opening it reaches the device.
bool isDeviceName(const QString &name);

// The name as the drive compares it: FAT and Windows upper-case every UTF-16 unit on its own,
// one letter to one, and compare the results exactly. Unicode case folding is another rule:
// dotless "ı" folds to itself, yet FAT makes it "I", as it does "i".
QString onDrive(const QString &name);

// Names the drive takes for one (they differ only in case, as the drive sees case).
bool sameOnDrive(const QString &a, const QString &b);

// The order in which the copy takes a folder's entries: by name ignoring case, and names that
// differ only in case always in the same order, whatever order the file system lists them in.
bool comesBefore(const QString &a, const QString &b);

// A FAT32 file is at most 4 GiB less one byte long.
constexpr qint64 largestFile = Q_INT64_C(0xFFFFFFFF);

} // namespace DriveName
