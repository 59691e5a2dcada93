#pragma once

#include "PLYError.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

// HTTP helpers shared by every request to the publishing service.
class PelloryServices {
public:
    // Domain of transport failures; their codes are the URL-loading codes below.
    static constexpr const char* URLErrorDomain = "PLYURLErrorDomain";
    static constexpr qint64 URLErrorUnknown = -1;
    static constexpr qint64 URLErrorCancelled = -999;
    static constexpr qint64 URLErrorBadURL = -1000;
    static constexpr qint64 URLErrorTimedOut = -1001;
    static constexpr qint64 URLErrorCannotFindHost = -1003;
    static constexpr qint64 URLErrorCannotConnectToHost = -1004;
    static constexpr qint64 URLErrorNetworkConnectionLost = -1005;
    static constexpr qint64 URLErrorDNSLookupFailed = -1006;
    static constexpr qint64 URLErrorResourceUnavailable = -1008;
    static constexpr qint64 URLErrorNotConnectedToInternet = -1009;
    static constexpr qint64 URLErrorBadServerResponse = -1011;
    static constexpr qint64 URLErrorDataLengthExceedsMaximum = -1103;
    static constexpr qint64 URLErrorSecureConnectionFailed = -1200;

    // A request for `url` with "Content-Type: application/json" and "Authorization: Bearer <token>".
    // The method is chosen when it is sent (GET unless the caller says otherwise).
    static QNetworkRequest requestWithAuthentication(const QString& token, const QUrl& url);

    static bool isCodeGood(int statusCode) { return statusCode >= 200 && statusCode < 300; }

    // The URL-loading code that a Qt network error stands for.
    static qint64 urlErrorCodeForNetworkError(QNetworkReply::NetworkError error);
    // Whether the failure means the machine lost its way to the internet or the host.
    static bool isLossOfInternet(QNetworkReply::NetworkError error);
    static bool isLossOfInternet(const PLYError& error);

    // The transport failure of a finished reply, or a null error when a whole HTTP response
    // arrived. A reply whose transfer broke, stalled past the time-out or grew past the size
    // bound is a transport failure whatever its status line said.
    static PLYError transportErrorForReply(const QNetworkReply* reply);

    // The one access manager of the web-service client; it lives on the main thread.
    static QNetworkAccessManager* sharedNetworkAccessManager();
    // Deletes it, and the thread it keeps, while the application object still exists: left to go
    // with the application, its thread may still deliver an event to the half-destroyed
    // application and crash the process at exit. A later call of sharedNetworkAccessManager()
    // makes a fresh one.
    static void shutdownSharedNetworkAccessManager();
    // A request that receives nothing for this long fails (60 s, as the platform's default), so
    // that a service that accepts a connection and never answers cannot hold a caller forever.
    static void setRequestTimeout(double seconds);
    static double requestTimeout();
    // A response body larger than this is refused (the transfer is ended and the reply fails
    // with URLErrorDataLengthExceedsMaximum): the service's answers are small JSON documents,
    // and an endless or huge one must not fill the memory. 16 MiB unless set.
    static void setMaximumResponseBodySize(qint64 bytes);
    static qint64 maximumResponseBodySize();
    // The body of a finished reply, to be parsed: empty when `transportError` is set (the
    // exchange failed, or the answer was refused past the size bound), so that nothing of such
    // an answer is ever read out or parsed.
    static QByteArray bodyOfReply(QNetworkReply* reply, const PLYError& transportError);
};
