#include "archive/drivename.h"

#include <QCoreApplication>

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
    // Every name of every copied file passes here, so the common case (a longer name) costs no
    // allocation: CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9, before any extension.
    const int dot = name.indexOf(QLatin1Char('.'));
    const QStringRef base = name.leftRef(dot < 0 ? name.size() : dot).trimmed();
    if (base.size() == 3)
        return QStringList{"CON", "PRN", "AUX", "NUL"}.contains(base.toString(),
                                                                Qt::CaseInsensitive);
    return base.size() == 4 && base.at(3) >= QLatin1Char('1') && base.at(3) <= QLatin1Char('9') &&
           (base.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ||
            base.startsWith(QLatin1String("LPT"), Qt::CaseInsensitive));
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

bool comesBefore(const QString &a, const QString &b)
{
    const int order = a.compare(b, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a < b;
}

} // namespace DriveName
