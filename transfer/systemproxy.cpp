#include "transfer/systemproxy.h"

QList<QNetworkProxy> SystemProxy::queryProxy(const QNetworkProxyQuery &query)
{
    return systemProxyForQuery(query);
}
