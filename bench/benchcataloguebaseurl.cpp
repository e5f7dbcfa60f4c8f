#include "benchcataloguebaseurl.h"

#include "transfer/cataloguebaseurl.h"

#include <QMutex>

namespace {
QMutex urlLock;
bool urlSet = false;
QString currentUrl;
} // namespace

void setBenchCatalogueBaseUrl(const QString &url)
{
    QMutexLocker locker(&urlLock);
    currentUrl = url;
    urlSet = true;
}

// Read on the worker thread while the benchmark's own thread may set it.
QString catalogueBaseUrl()
{
    QMutexLocker locker(&urlLock);
    if (!urlSet) {
        currentUrl = qEnvironmentVariable("CORVELLE_BENCH_CATALOGUE_URL",
                                          QStringLiteral("http://127.0.0.1:9"));
        urlSet = true;
    }
    return currentUrl;
}
