#include "packagesize.h"

#include <cmath>

QString formatPackageSize(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("0 MB");
    const double megabytes = double(bytes) / 1000000.0;
    int decimals = 2;
    while (decimals < 6 && megabytes < std::pow(10.0, 1 - decimals))
        ++decimals;
    return QString::number(megabytes, 'f', decimals) + QStringLiteral(" MB");
}
