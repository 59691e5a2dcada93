#include "PelloryServices.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>
#include <atomic>

namespace {
// Marks a reply that the time-out ended.
constexpr const char* kTimedOutProperty = "PLYTimedOut";
// Marks a reply ended because its body grew past the size bound.
constexpr const char* kTooLargeProperty = "PLYTooLarge";
// The body's bytes that arrived, and the length the answer announced (-1 when none).
constexpr const char* kReceivedProperty = "PLYReceived";
constexpr const char* kAnnouncedProperty = "PLYAnnounced";
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
    QVariantMap info;
    info.insert(QStringLiteral("url"), reply->url().toString(QUrl::RemoveQuery));
    // An answer past the bound is refused, even where the transfer ended before the progress
    // that would have stopped it was seen.
    if (reply->property(kTooLargeProperty).toBool() || reply->bytesAvailable() > maximumResponseBodySize())
        return PLYError(QString::fromLatin1(URLErrorDomain), URLErrorDataLengthExceedsMaximum,
                        QStringLiteral("The response is larger than %1 bytes.").arg(maximumResponseBodySize()), {}, info);
    if (reply->property(kTimedOutProperty).toBool())
        return PLYError(QString::fromLatin1(URLErrorDomain), URLErrorTimedOut, QStringLiteral("The request timed out."), {}, info);
    const QNetworkReply::NetworkError error = reply->error();
    // A connection closed before the announced length arrived cut the body off, also where the
    // network layer reports no error for it.
    const qint64 announced = reply->property(kAnnouncedProperty).isValid() ? reply->property(kAnnouncedProperty).toLongLong() : -1;
    if (error == QNetworkReply::NoError && announced > 0 && reply->property(kReceivedProperty).toLongLong() < announced)
        return PLYError(QString::fromLatin1(URLErrorDomain), URLErrorNetworkConnectionLost,
                        QStringLiteral("The connection was lost before the whole answer arrived."), {}, info);
    if (error == QNetworkReply::NoError) return {};
    // Content (2xx codes of Qt) and server (4xx codes of Qt) errors describe an HTTP status that
    // arrived whole (404, 500...): the status is the caller's business. Network, proxy and
    // protocol errors mean the exchange itself failed, possibly after a status line (a cut or
    // stalled body), and nothing that arrived can be trusted.
    const bool statusError = (error >= QNetworkReply::ContentAccessDenied && error < QNetworkReply::ProtocolUnknownError) ||
                             error >= QNetworkReply::InternalServerError;
    const bool exchangeFailed = !statusError || !reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (!exchangeFailed) return {};
    info.insert(QStringLiteral("networkError"), int(error));
    return PLYError(QString::fromLatin1(URLErrorDomain), urlErrorCodeForNetworkError(error), reply->errorString(), {}, info);
}

namespace {

std::atomic<int>& requestTimeoutMs() {
    static std::atomic<int> ms{60000};
    return ms;
}

std::atomic<qint64>& maximumBodyBytes() {
    static std::atomic<qint64> bytes{16 * 1024 * 1024};
    return bytes;
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
        QObject::connect(reply, &QNetworkReply::downloadProgress, timer, [reply, progressed](qint64 received, qint64 total) {
            // The announced length or what has arrived already passes the bound: stop reading.
            const qint64 bound = maximumBodyBytes();
            if (received > bound || total > bound) {
                if (!reply->property(kTooLargeProperty).toBool()) {
                    reply->setProperty(kTooLargeProperty, true);
                    reply->abort();
                }
                return;
            }
            reply->setProperty(kReceivedProperty, received);
            reply->setProperty(kAnnouncedProperty, total);
            progressed(received, total);
        });
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

void PelloryServices::shutdownSharedNetworkAccessManager() { delete sharedManagerSlot().data(); }

void PelloryServices::setRequestTimeout(double seconds) {
    // Requests already running keep theirs; the next ones take the new time-out.
    requestTimeoutMs() = qMax(1, int(seconds * 1000));
}

double PelloryServices::requestTimeout() { return requestTimeoutMs() / 1000.0; }

void PelloryServices::setMaximumResponseBodySize(qint64 bytes) { maximumBodyBytes() = qMax<qint64>(1, bytes); }

QByteArray PelloryServices::bodyOfReply(QNetworkReply* reply, const PLYError& transportError) {
    if (!reply || !transportError.isNull()) return {};
    return reply->read(maximumResponseBodySize());
}

qint64 PelloryServices::maximumResponseBodySize() { return maximumBodyBytes(); }
