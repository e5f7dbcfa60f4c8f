#pragma once

#include <QString>

// Points the catalogue requests of this test program at a server of its own.
void setCatalogueBaseUrl(const QString &url);
