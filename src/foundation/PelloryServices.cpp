#include "PelloryServices.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>
#include <atomic>

namespace {
// Marks a reply that the time-out ended.
constexpr const char* kTimedOutProperty = "PLYTimedOut";
}  // namespace

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
    if (reply->property(kTimedOutProperty).toBool()) {
        info.insert(QStringLiteral("url"), reply->url().toString(QUrl::RemoveQuery));
        return PLYError(QString::fromLatin1(URLErrorDomain), URLErrorTimedOut, QStringLiteral("The request timed out."), {}, info);
    }
    info.insert(QStringLiteral("networkError"), int(reply->error()));
    info.insert(QStringLiteral("url"), reply->url().toString(QUrl::RemoveQuery));
    return PLYError(QString::fromLatin1(URLErrorDomain), urlErrorCodeForNetworkError(reply->error()),
                    reply->errorString(), {}, info);
}

namespace {

std::atomic<int>& requestTimeoutMs() {
    static std::atomic<int> ms{60000};
    return ms;
}

QPointer<QNetworkAccessManager>& sharedManagerSlot() {
    static QPointer<QNetworkAccessManager> manager;
    return manager;
}

// Fails a request that receives or sends nothing for the time-out, as a time-out (which the
// session reads as a lost connection) rather than as a cancellation.
class TimingOutAccessManager : public QNetworkAccessManager {
public:
    using QNetworkAccessManager::QNetworkAccessManager;

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request, QIODevice* outgoingData) override {
        QNetworkReply* reply = QNetworkAccessManager::createRequest(operation, request, outgoingData);
        auto* timer = new QTimer(reply);
        timer->setSingleShot(true);
        timer->setInterval(requestTimeoutMs());
        QObject::connect(timer, &QTimer::timeout, reply, [reply] {
            reply->setProperty(kTimedOutProperty, true);
            reply->abort();
        });
        auto progressed = [timer](qint64 bytes, qint64) {
            if (bytes > 0) timer->start();
        };
        QObject::connect(reply, &QNetworkReply::downloadProgress, timer, progressed);
        QObject::connect(reply, &QNetworkReply::uploadProgress, timer, progressed);
        QObject::connect(reply, &QNetworkReply::finished, timer, &QTimer::stop);
        timer->start();
        return reply;
    }
};

}  // namespace

QNetworkAccessManager* PelloryServices::sharedNetworkAccessManager() {
    QPointer<QNetworkAccessManager>& manager = sharedManagerSlot();
    if (!manager) {
        manager = new TimingOutAccessManager(QCoreApplication::instance());
        if (QCoreApplication::instance()) manager->moveToThread(QCoreApplication::instance()->thread());
    }
    return manager;
}

void PelloryServices::setRequestTimeout(double seconds) {
    // Requests already running keep theirs; the next ones take the new time-out.
    requestTimeoutMs() = qMax(1, int(seconds * 1000));
}

double PelloryServices::requestTimeout() { return requestTimeoutMs() / 1000.0; }
