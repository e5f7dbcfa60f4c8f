#include "support/testcataloguebaseurl.h"

#include "transfer/cataloguebaseurl.h"

#include <QMutex>

namespace {
QMutex urlLock;
QString currentUrl = QStringLiteral("http://127.0.0.1:9");
} // namespace

void setCatalogueBaseUrl(const QString &url)
{
    QMutexLocker locker(&urlLock);
    currentUrl = url;
}

// The worker thread reads the address while the test thread may change it.
QString catalogueBaseUrl()
{
    QMutexLocker locker(&urlLock);
    return currentUrl;
}
