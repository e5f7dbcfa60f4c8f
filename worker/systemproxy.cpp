#include "worker/systemproxy.h"

#include <QNetworkAccessManager>

QList<QNetworkProxy> SystemProxy::queryProxy(const QNetworkProxyQuery &query)
{
    return systemProxyForQuery(query);
}

void SystemProxy::use(QNetworkAccessManager *network)
{
    network->setProxyFactory(new SystemProxy);
}
