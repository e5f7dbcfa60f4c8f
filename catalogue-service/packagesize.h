#pragma once

#include <QString>

// Size of a module package as the catalogue shows it: megabytes of 1,000,000 bytes with a "."
// decimal point and a blank before the unit ("1.25 MB"). At least two decimals, and more for
// small packages so that two significant digits remain ("0.0042 MB" rather than "0.00 MB").
QString formatPackageSize(qint64 bytes);
