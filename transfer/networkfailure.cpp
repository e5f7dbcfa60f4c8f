#include "transfer/networkfailure.h"

#include <QCoreApplication>
#include <QNetworkReply>

namespace NetworkFailure {

QString reason(const QNetworkReply *reply, bool stalled, bool *retryable)
{
    *retryable = true;
    if (stalled)
        return QCoreApplication::translate("NetworkFailure", "the catalogue stopped answering");
    switch (reply->error()) {
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::NoError: // an answer shorter than it announced
        return QCoreApplication::translate("NetworkFailure", "the connection was cut");
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return QCoreApplication::translate("NetworkFailure", "the catalogue did not answer");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return QCoreApplication::translate("NetworkFailure", "the proxy did not answer");
    case QNetworkReply::ProxyAuthenticationRequiredError:
        *retryable = false;
        return statusReason(407);
    case QNetworkReply::SslHandshakeFailedError:
        *retryable = false;
        return QCoreApplication::translate("NetworkFailure",
                                           "the catalogue's certificate is not trusted");
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
        *retryable = false;
        return QCoreApplication::translate("NetworkFailure", "the download link is not valid");
    default:
        break;
    }
    *retryable = false;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400)
        return statusReason(status.toInt());
    return QCoreApplication::translate("NetworkFailure", "the transfer failed");
}

QString statusReason(int status)
{
    // Credentials are neither asked for nor kept: those in the proxy setting are used, if any.
    if (status == 407)
        return QCoreApplication::translate("NetworkFailure",
                                           "the proxy asks for a user name and password");
    return QCoreApplication::translate("NetworkFailure", "the catalogue answered %1").arg(status);
}

} // namespace NetworkFailure
