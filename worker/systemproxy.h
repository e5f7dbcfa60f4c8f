#pragma once

#include <QNetworkProxyFactory>

class QNetworkAccessManager;

// The proxies the system names for each request: http_proxy, https_proxy and no_proxy on
// Linux, the system settings on Windows. Unlike the application-wide setting, which Qt skips
// for loopback addresses, this follows them for every address, as curl does; no_proxy exempts.
class SystemProxy : public QNetworkProxyFactory
{
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override;

    // Makes network ask the system for every request; network owns the factory.
    static void use(QNetworkAccessManager *network);
};
