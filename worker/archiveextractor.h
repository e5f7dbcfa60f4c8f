#pragma once

#include <QString>

struct ExtractResult
{
    bool ok = false;
    QString error;
};

// Unpacks the zip archive at archivePath into destination.
ExtractResult extractArchive(const QString &archivePath, const QString &destination);
