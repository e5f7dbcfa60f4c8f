#pragma once

#include <QString>
#include <QVector>

namespace Report {

void value(const char *name, double value);
void values(const char *name, const QVector<double> &values);
// Says why the case failed, with the program's last debug lines; returns the exit code 1.
int fail(const QString &why);

} // namespace Report
