#include "PLYWebServiceModelObject.h"

#include "PLYDispatch.h"
#include "PLYJSONSerialization.h"
#include "PLYLog.h"
#include "PLYTextLimits.h"
#include "PLYWebServiceHost.h"
#include "PelloryServices.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

namespace {

struct LoggerSlot {
    std::mutex mutex;
    PLYWebServiceModelObject::PayloadLogger logger;
};

LoggerSlot& loggerSlot() {
    static LoggerSlot slot;
    return slot;
}

// Whole bodies would flood the logs: the payload line shows the start of one.
QString bodyText(const QVariant& body) { return PLYJSONSerialization::logText(body); }

}  // namespace

// ---- Fields and JSON mapping ----

void PLYWebServiceModelObject::initFromJSON(const QVariantMap& json) {
    const QVariant identifier = json.value(QStringLiteral("id"));
    m_identifier = (identifier.isValid() && !PLYJSONSerialization::isNull(identifier)) ? identifier : QVariant();
    m_creationDate = dateFromJSON(json.value(QStringLiteral("created_at")));
    m_updatedDate = dateFromJSON(json.value(QStringLiteral("updated_at")));
}

void PLYWebServiceModelObject::subclassShouldImplement(const char* function) {
    // The base's operations exist to be replaced; reaching one is a programming slip.
    qWarning("Subclass should implement: %s", function);
}

bool PLYWebServiceModelObject::getObjectFromServerRequest(const PLYWebServiceCompletionBlock&) {
    subclassShouldImplement(Q_FUNC_INFO);
    return false;
}

QVariantMap PLYWebServiceModelObject::dictionary() const {
    return {{QStringLiteral("id"), m_identifier}};
}

QStringList PLYWebServiceModelObject::resourcePath() {
    subclassShouldImplement(Q_FUNC_INFO);
    return {};
}

bool PLYWebServiceModelObject::updateObjectWithDictionary(const QVariantMap&, const PLYWebServiceCompletionBlock&) {
    subclassShouldImplement(Q_FUNC_INFO);
    return false;
}

QString PLYWebServiceModelObject::identifierString() const {
    return m_identifier.isValid() ? m_identifier.toString() : QString();
}

bool PLYWebServiceModelObject::hasIdentifier() const { return isUsablePathComponent(identifierString()); }

bool PLYWebServiceModelObject::isUsablePathComponent(const QString& text) {
    // Identifiers become path components of requests (a DELETE among them): one that reaches
    // another resource must never be sent.
    if (text.isEmpty() || text == QLatin1String(".") || text == QLatin1String("..")) return false;
    for (const QChar c : text)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('?') || c == QLatin1Char('#') ||
            c == QLatin1Char('%') || c.unicode() < 0x20)
            return false;
    return true;
}

QString PLYWebServiceModelObject::sanitiseJSONString(const QVariant& value) {
    if (!value.isValid() || PLYJSONSerialization::isNull(value)) return {};
    return value.toString();
}

QString PLYWebServiceModelObject::boundedDisplayText(const QString& text, const QString& key, bool keepLineBreaks) {
    const QString bounded = PLYTextLimits::truncatedToLength(PLYTextLimits::withoutControlCharacters(text, keepLineBreaks),
                                                             MaxDisplayFieldLength);
    if (text.size() > MaxDisplayFieldLength)
        PLY_LOG_WARN(QStringLiteral("The service sent \"%1\" of %2 characters; only the first %3 are kept")
                         .arg(key)
                         .arg(text.size())
                         .arg(bounded.size()));
    return bounded;
}

QString PLYWebServiceModelObject::sanitiseJSONDisplayString(const QVariantMap& json, const QString& key) {
    const QVariant value = json.value(key);
    if (!value.isValid() || PLYJSONSerialization::isNull(value)) return {};
    return boundedDisplayText(value.toString(), key);
}

QVariantList PLYWebServiceModelObject::sanitiseJSONDisplayList(const QVariantMap& json, const QString& key) {
    const QVariantList list = sanitiseJSONArray(json.value(key));
    if (list.size() > MaxDisplayListLength)
        PLY_LOG_WARN(QStringLiteral("The service sent %1 entries in \"%2\"; only the first %3 are kept")
                         .arg(list.size())
                         .arg(key)
                         .arg(MaxDisplayListLength));
    QVariantList bounded;
    for (const QVariant& entry : list.mid(0, MaxDisplayListLength))
        bounded.append(entry.typeId() == QMetaType::QString ? QVariant(boundedDisplayText(entry.toString(), key)) : entry);
    return bounded;
}

QVariantList PLYWebServiceModelObject::sanitiseJSONArray(const QVariant& value) {
    if (!value.isValid() || PLYJSONSerialization::isNull(value)) return {};
    return value.toList();
}

QVariantMap PLYWebServiceModelObject::sanitiseJSONDictionary(const QVariant& value) {
    if (!value.isValid() || PLYJSONSerialization::isNull(value)) return {};
    return value.toMap();
}

bool PLYWebServiceModelObject::boolFromJSON(const QVariant& value) {
    if (!value.isValid() || PLYJSONSerialization::isNull(value)) return false;
    return value.toBool();
}

qint64 PLYWebServiceModelObject::integerFromJSON(const QVariant& value) {
    if (!value.isValid() || PLYJSONSerialization::isNull(value)) return 0;
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::QString) {
        // Out-of-range numbers are clamped, not converted into undefined values.
        bool ok = false;
        const double number = value.typeId() == QMetaType::Double ? value.toDouble() : value.toString().toDouble(&ok);
        if (value.typeId() == QMetaType::QString && !ok) return 0;
        if (std::isnan(number)) return 0;
        if (number >= 9223372036854775807.0) return std::numeric_limits<qint64>::max();
        if (number <= -9223372036854775808.0) return std::numeric_limits<qint64>::min();
        return qint64(number);
    }
    if (value.typeId() == QMetaType::ULongLong && value.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
        return std::numeric_limits<qint64>::max();
    return value.toLongLong();
}

QDateTime PLYWebServiceModelObject::dateFromJSON(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return {};
    static const QRegularExpression format(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(Z|[+-]\\d{2}:?\\d{2})$"));
    const QRegularExpressionMatch m = format.match(value.toString());
    if (!m.hasMatch()) return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid()) return {};
    int offset = 0;
    const QString zone = m.captured(7);
    if (zone != QLatin1String("Z")) {
        const QString digits = zone.mid(1).remove(QLatin1Char(':'));
        offset = (digits.left(2).toInt() * 60 + digits.mid(2, 2).toInt()) * 60;
        if (zone.startsWith(QLatin1Char('-'))) offset = -offset;
    }
    return QDateTime(date, time, Qt::OffsetFromUTC, offset).toUTC();
}

QString PLYWebServiceModelObject::stringFromDate(const QDateTime& date) {
    if (!date.isValid()) return {};
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) + QStringLiteral("Z");
}

QVariant PLYWebServiceModelObject::wrap(const PLYWebServiceModelObjectPtr& object) {
    if (!object) return {};
    return QVariant::fromValue(object);
}

// ---- Requests ----

bool PLYWebServiceModelObject::Response::isGood() const {
    return !transportError && PelloryServices::isCodeGood(status);
}

bool PLYWebServiceModelObject::send(const Request& request, ResponseHandler handler) {
    QNetworkRequest networkRequest;
    if (request.authenticated) {
        const QString token = PLYWebServiceHost::currentHost()->jwt();
        if (token.isEmpty()) return false;
        networkRequest = PelloryServices::requestWithAuthentication(token, request.url);
    } else {
        networkRequest = QNetworkRequest(request.url);
        networkRequest.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    }
    QByteArray body;
    if (request.jsonBody)
        body = PLYJSONSerialization::dataWithJSONObject(
            *request.jsonBody, request.prettyBody ? PLYJSONSerialization::WritingPrettyPrinted : 0);

    auto start = [networkRequest, body, request, handler = std::move(handler)]() {
        QNetworkAccessManager* manager = PelloryServices::sharedNetworkAccessManager();
        QNetworkReply* reply = request.jsonBody ? manager->sendCustomRequest(networkRequest, request.method, body)
                                                : manager->sendCustomRequest(networkRequest, request.method);
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, request, handler]() {
            reply->deleteLater();
            Response response;
            PLYError transport = PelloryServices::transportErrorForReply(reply);
            // These requests are never aborted here: a cancelled one ran out of time.
            if (transport.code == PelloryServices::URLErrorCancelled)
                transport = PLYError(transport.domain, PelloryServices::URLErrorTimedOut,
                                     QStringLiteral("The request timed out."), {}, transport.userInfo);
            if (!transport.isNull()) response.transportError = transport;
            response.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            // A failed or refused answer is never read out or parsed.
            response.data = PelloryServices::bodyOfReply(reply, transport);
            const QVariant parsed = PLYJSONSerialization::JSONObjectWithData(
                response.data.isEmpty() ? QByteArray() : response.data, PLYJSONSerialization::ReadingAllowFragments);
            if (parsed.typeId() == QMetaType::QVariantMap) response.body = parsed;
            response.description = QStringLiteral("<%1 %2> status %3")
                                       .arg(QString::fromLatin1(request.method),
                                            request.url.toString(QUrl::RemoveUserInfo))
                                       .arg(response.status);
            if (response.transportError)
                response.description += QStringLiteral(" error %1 (%2)")
                                            .arg(response.transportError->code)
                                            .arg(response.transportError->description);
            if (request.logPayload) logPayloadResponse(request.caller, response.description, response.body);
            if (handler) handler(response);
        });
    };
    // The access manager lives on the main thread; requests are started there.
    if (PLYDispatch::isMainThread()) start();
    else PLYDispatch::mainAsync(std::move(start));
    return true;
}

void PLYWebServiceModelObject::complete(const PLYWebServiceCompletionBlock& completion, bool success,
                                        const QVariant& object, const std::optional<PLYServiceError>& serviceError,
                                        const std::optional<PLYError>& transportError) {
    if (!completion) return;
    PLYDispatch::mainAsync([completion, success, object, serviceError, transportError]() {
        completion(success, object, serviceError, transportError);
    });
}

void PLYWebServiceModelObject::finish(const Response& response, const PLYWebServiceCompletionBlock& completion,
                                      const std::function<QVariant(const Response&)>& result) {
    if (response.transportError) {
        complete(completion, false, {}, std::nullopt, response.transportError);
    } else if (response.isGood()) {
        complete(completion, true, result ? result(response) : QVariant());
    } else {
        complete(completion, false, {}, PLYServiceError::serviceErrorWithDictionary(response.body));
    }
}

std::optional<QVariantMap> PLYWebServiceModelObject::dataOf(const Response& response) {
    const QVariant data = response.body.toMap().value(QStringLiteral("data"));
    if (data.typeId() != QMetaType::QVariantMap) return std::nullopt;
    return data.toMap();
}

PLYWebServiceModelObject::Request PLYWebServiceModelObject::fetchRequest(const QUrl& url, const QString& caller) {
    Request request;
    request.method = "GET";
    request.url = url;
    request.logPayload = true;
    request.caller = caller;
    return request;
}

PLYWebServiceModelObject::Request PLYWebServiceModelObject::writeRequest(const QByteArray& method, const QUrl& url,
                                                                         const QString& resource,
                                                                         const QVariant& payload, bool pretty) {
    Request request;
    request.method = method;
    request.url = url;
    request.jsonBody = QVariantMap{{resource, payload}};
    request.prettyBody = pretty;
    return request;
}

bool PLYWebServiceModelObject::sendUpdate(Request request, const PLYWebServiceCompletionBlock& completion,
                                          std::function<void(const QVariantMap&)> apply) {
    // The update holds its receiver until it completes.
    PLYWebServiceModelObjectPtr self = weak_from_this().lock();
    if (!self) {
        // Nothing would keep the receiver alive until the answer comes back.
        qWarning("An update needs a model object made with std::make_shared; nothing was sent");
        return false;
    }
    PLYWebServiceModelObject* raw = this;
    return send(request, [self, raw, completion, apply = std::move(apply)](const Response& response) {
        finish(response, completion, [&](const Response& r) {
            // A 2xx without "data" says nothing about the resource: keep what we have.
            if (const auto data = dataOf(r)) {
                apply(*data);
                raw->m_updatedDate = dateFromJSON(data->value(QStringLiteral("updated_at")));
            }
            return wrap(self);
        });
    });
}

// ---- Payload log ----

void PLYWebServiceModelObject::setPayloadLogger(PayloadLogger logger) {
    std::lock_guard lock(loggerSlot().mutex);
    loggerSlot().logger = std::move(logger);
}

QString PLYWebServiceModelObject::payloadLogLine(const QString& caller, const QString& response, const QVariant& body) {
    return QStringLiteral("Payload Reponse for:`%1`\n\tResp: %2\n\t:Data: %3").arg(caller, response, bodyText(body));
}

void PLYWebServiceModelObject::logPayloadResponse(const QString& caller, const QString& response, const QVariant& body) {
    PayloadLogger logger;
    {
        std::lock_guard lock(loggerSlot().mutex);
        logger = loggerSlot().logger;
    }
    if (logger) logger(caller, response, body);
    else PLY_LOG_INFO(payloadLogLine(caller, response, body));
}
