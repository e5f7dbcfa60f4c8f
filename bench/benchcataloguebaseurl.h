#pragma once

#include <QString>

// Points the window's catalogue requests at a server the benchmark started itself. Until this
// is called the address comes from CORVELLE_BENCH_CATALOGUE_URL.
void setBenchCatalogueBaseUrl(const QString &url);
