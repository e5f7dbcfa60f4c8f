#include "worker/drivename.h"

#include <QCoreApplication>
#include <QStringList>

namespace DriveName {

QString problem(const QString &name)
{
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            return QCoreApplication::translate(
                "DriveName", "a thumb drive cannot hold a name with a control character");
        if (QStringLiteral(":*?\"<>|\\").contains(c))
            return QCoreApplication::translate("DriveName",
                                               "a thumb drive cannot hold a name with ") +
                   c;
    }
    if (name.endsWith(QLatin1Char('.')))
        return QCoreApplication::translate("DriveName",
                                           "a thumb drive cannot hold a name that ends in a dot");
    if (name.endsWith(QLatin1Char(' ')))
        return QCoreApplication::translate("DriveName",
                                           "a thumb drive cannot hold a name that ends in a blank");
    if (name.size() > 255)
        return QCoreApplication::translate(
            "DriveName", "a thumb drive cannot hold a name longer than 255 characters");
    if (isDeviceName(name))
        return QCoreApplication::translate("DriveName", "Windows keeps the name ") +
               name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper() +
               QCoreApplication::translate("DriveName", " for a device");
    return QString();
}

bool isDeviceName(const QString &name)
{
    static const QStringList devices = {
        QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),
        QStringLiteral("NUL"),  QStringLiteral("COM1"), QStringLiteral("COM2"),
        QStringLiteral("COM3"), QStringLiteral("COM4"), QStringLiteral("COM5"),
        QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
        QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"),
        QStringLiteral("LPT3"), QStringLiteral("LPT4"), QStringLiteral("LPT5"),
        QStringLiteral("LPT6"), QStringLiteral("LPT7"), QStringLiteral("LPT8"),
        QStringLiteral("LPT9")};
    return devices.contains(name.section(QLatin1Char('.'), 0, 0).trimmed(), Qt::CaseInsensitive);
}

QString onDrive(const QString &name)
{
    QString upper = name;
    // Letter by letter, never a whole-string mapping: "ß" stays one letter, as it does on FAT,
    // and a surrogate half is left as it is, since the drive's table covers single units only.
    for (QChar &c : upper)
        c = c.toUpper();
    return upper;
}

bool sameOnDrive(const QString &a, const QString &b)
{
    return a.size() == b.size() && onDrive(a) == onDrive(b);
}

bool comesBefore(const QString &a, const QString &b)
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

} // namespace DriveName
