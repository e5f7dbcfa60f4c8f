#pragma once

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>

// The proxies the system names for each request: http_proxy, https_proxy and no_proxy on
// Linux, the system settings on Windows. Unlike the application-wide setting, which Qt skips
// for loopback addresses, this follows them for every address, as curl does; no_proxy exempts.
class SystemProxy : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override;

    static void use(QNetworkAccessManager *network) { network->setProxyFactory(new SystemProxy); }
};
