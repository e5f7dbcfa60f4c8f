#pragma once

#include <QString>
#include <QtGlobal>

// What a thumb drive can hold. Most are FAT32 and read on Windows: the copy judges every name
// and size by those rules, whatever drive it writes to.
namespace DriveName {

// Why the drive cannot hold a file or folder of this name, as a phrase that follows "Cannot
// copy x: ", or an empty string when it can.
QString problem(const QString &name);

// Whether Windows takes the name for a device (CON, NUL, COM1 ...), whatever its extension:
// such a file cannot be made there, and opening it reaches the device.
bool isDeviceName(const QString &name);

// The name as the drive compares it: FAT upper-cases every UTF-16 unit on its own, so dotless
// "ı" becomes "I", as "i" does, where Unicode case folding keeps it apart.
QString onDrive(const QString &name);

// The order in which the copy takes a folder's entries: ignoring case, then by case, whatever
// order the file system lists them in.
bool comesBefore(const QString &a, const QString &b);

// A FAT32 file is at most 4 GiB less one byte long.
constexpr qint64 largestFile = Q_INT64_C(0xFFFFFFFF);

} // namespace DriveName
