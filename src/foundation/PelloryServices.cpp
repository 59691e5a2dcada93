#include "PelloryServices.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>

QNetworkRequest PelloryServices::requestWithAuthentication(const QString& token, const QUrl& url) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("Authorization", QStringLiteral("Bearer %1").arg(token).toUtf8());
    return request;
}

qint64 PelloryServices::urlErrorCodeForNetworkError(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::NoError:
        return 0;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return URLErrorTimedOut;
    case QNetworkReply::HostNotFoundError:
        return URLErrorCannotFindHost;
    case QNetworkReply::ProxyNotFoundError:
        return URLErrorDNSLookupFailed;
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::ProxyConnectionRefusedError:
        return URLErrorCannotConnectToHost;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return URLErrorNetworkConnectionLost;
    case QNetworkReply::BackgroundRequestNotAllowedError:
        return URLErrorResourceUnavailable;
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return URLErrorNotConnectedToInternet;
    case QNetworkReply::OperationCanceledError:
        return URLErrorCancelled;
    case QNetworkReply::SslHandshakeFailedError:
        return URLErrorSecureConnectionFailed;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::ProtocolInvalidOperationError:
        return URLErrorBadURL;
    case QNetworkReply::ProtocolFailure:
        return URLErrorBadServerResponse;
    default:
        return URLErrorUnknown;
    }
}

bool PelloryServices::isLossOfInternet(QNetworkReply::NetworkError error) {
    return isLossOfInternet(PLYError(QString::fromLatin1(URLErrorDomain), urlErrorCodeForNetworkError(error)));
}

bool PelloryServices::isLossOfInternet(const PLYError& error) {
    if (error.domain != QLatin1String(URLErrorDomain)) return false;
    switch (error.code) {
    case URLErrorNotConnectedToInternet:
    case URLErrorResourceUnavailable:
    case URLErrorDNSLookupFailed:
    case URLErrorNetworkConnectionLost:
    case URLErrorCannotConnectToHost:
    case URLErrorCannotFindHost:
    case URLErrorTimedOut:
        return true;
    default:
        return false;
    }
}

PLYError PelloryServices::transportErrorForReply(const QNetworkReply* reply) {
    if (!reply) return PLYError(QString::fromLatin1(URLErrorDomain), URLErrorUnknown, QStringLiteral("No reply"));
    // An HTTP status means the exchange itself worked; the status is the caller's business.
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid()) return {};
    if (reply->error() == QNetworkReply::NoError) return {};
    QVariantMap info;
    info.insert(QStringLiteral("networkError"), int(reply->error()));
    info.insert(QStringLiteral("url"), reply->url().toString(QUrl::RemoveQuery));
    return PLYError(QString::fromLatin1(URLErrorDomain), urlErrorCodeForNetworkError(reply->error()),
                    reply->errorString(), {}, info);
}

QNetworkAccessManager* PelloryServices::sharedNetworkAccessManager() {
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        manager = new QNetworkAccessManager(QCoreApplication::instance());
        if (QCoreApplication::instance()) manager->moveToThread(QCoreApplication::instance()->thread());
    }
    return manager;
}
