#pragma once

#include "PLYError.h"
#include "PLYServiceError.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QNetworkRequest>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class PLYWebServiceModelObject;
using PLYWebServiceModelObjectPtr = std::shared_ptr<PLYWebServiceModelObject>;
Q_DECLARE_METATYPE(PLYWebServiceModelObjectPtr)

// The completion of every remote operation: success, the object (a model object wrapped with
// PLYWebServiceModelObject::wrap, a string, or an invalid QVariant for nothing), the service's
// error or nothing, the transport error or nothing. Always called on the main thread.
using PLYWebServiceCompletionBlock = std::function<void(bool success, const QVariant& object,
                                                        const std::optional<PLYServiceError>& serviceError,
                                                        const std::optional<PLYError>& transportError)>;

// A JSON resource of the publishing service under "/api/me", and the request pattern that
// every remote operation follows. Model objects are made with std::make_shared: an update
// keeps its receiver alive until it completes and hands it back as the result.
class PLYWebServiceModelObject : public std::enable_shared_from_this<PLYWebServiceModelObject> {
public:
    PLYWebServiceModelObject() = default;
    virtual ~PLYWebServiceModelObject() = default;
    PLYWebServiceModelObject(const PLYWebServiceModelObject&) = delete;
    PLYWebServiceModelObject& operator=(const PLYWebServiceModelObject&) = delete;

    // Reads "id", "created_at" and "updated_at"; resources read their own keys after calling it.
    virtual void initFromJSON(const QVariantMap& json);
    // Resources fetch themselves with their own class operation; the base has none.
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion);
    virtual QVariantMap dictionary() const;
    static QStringList resourcePath();
    virtual bool updateObjectWithDictionary(const QVariantMap& dictionary, const PLYWebServiceCompletionBlock& completion);

    // The identifier as the service sent it; its text form goes into addresses.
    QVariant identifier() const { return m_identifier; }
    QString identifierString() const;
    bool hasIdentifier() const;
    QDateTime creationDate() const { return m_creationDate; }
    QDateTime updatedDate() const { return m_updatedDate; }
    void setUpdatedDate(const QDateTime& date) { m_updatedDate = date; }

    // JSON null (and a missing value) becomes nothing; other values pass unchanged.
    static QString sanitiseJSONString(const QVariant& value);
    static QVariantList sanitiseJSONArray(const QVariant& value);
    static QVariantMap sanitiseJSONDictionary(const QVariant& value);
    // A text the program shows or keeps (names, titles, categories): as sanitiseJSONString, then
    // without control characters and cut to MaxDisplayFieldLength, with a warning naming `key`.
    // A service that sends megabytes in a name must not stall the interface or swell every save.
    static constexpr qsizetype MaxDisplayFieldLength = 1024;
    static QString sanitiseJSONDisplayString(const QVariantMap& json, const QString& key);
    // Any text of the service bounded the same way (line breaks kept when asked).
    static QString boundedDisplayText(const QString& text, const QString& key, bool keepLineBreaks = false);
    // A list of such texts, at most MaxDisplayListLength of them, each bounded as above.
    static constexpr qsizetype MaxDisplayListLength = 1000;
    static QVariantList sanitiseJSONDisplayList(const QVariantMap& json, const QString& key);
    static bool boolFromJSON(const QVariant& value);
    static qint64 integerFromJSON(const QVariant& value);
    // "yyyy-MM-dd'T'HH:mm:ssZ" (zone "Z", "+hhmm" or "+hh:mm"), read the same in every locale;
    // anything else is an invalid date.
    static QDateTime dateFromJSON(const QVariant& value);
    static QString stringFromDate(const QDateTime& date);

    // Results travel in completions as QVariants.
    static QVariant wrap(const PLYWebServiceModelObjectPtr& object);
    template <class T>
    static std::shared_ptr<T> unwrap(const QVariant& object) {
        return std::dynamic_pointer_cast<T>(object.value<PLYWebServiceModelObjectPtr>());
    }

    // ---- The request pattern, shared with the manager and the post publisher ----
    struct Request {
        QByteArray method = "GET";
        QUrl url;
        std::optional<QVariant> jsonBody;  // serialised with `prettyBody`
        bool prettyBody = true;
        bool authenticated = true;         // bearer token of the current host; refused without one
        bool logPayload = false;           // write the exchange through the payload logger
        QString caller;                    // names the operation in the payload log
    };
    struct Response {
        int status = 0;
        QByteArray data;
        QVariant body;  // the parsed JSON object, or invalid when there is none
        std::optional<PLYError> transportError;
        QString description;  // method, address and status, for logs
        bool isGood() const;
    };
    using ResponseHandler = std::function<void(const Response&)>;
    // Answers false, sending nothing, when the request needs a token and the current host has none.
    static bool send(const Request& request, ResponseHandler handler);
    // Whether `text` can stand as one component of a service address: not empty, no "/", "?",
    // "#", "%" or "\\", and neither "." nor "..". An identifier that fails addresses nothing.
    static bool isUsablePathComponent(const QString& text);
    // Runs the completion on the main thread later; a missing completion is skipped.
    static void complete(const PLYWebServiceCompletionBlock& completion, bool success, const QVariant& object = {},
                         const std::optional<PLYServiceError>& serviceError = std::nullopt,
                         const std::optional<PLYError>& transportError = std::nullopt);
    // Transport error -> (NO, -, -, error); 2xx -> (YES, result(), -, -); else (NO, -, service error, -).
    static void finish(const Response& response, const PLYWebServiceCompletionBlock& completion,
                       const std::function<QVariant(const Response&)>& result);

    // Where fetched payloads are logged: "Payload Reponse for:`%@`\n\tResp: %@\n\t:Data: %@".
    // The web-service manager installs its own; the default writes an information line.
    using PayloadLogger = std::function<void(const QString& caller, const QString& response, const QVariant& body)>;
    static void setPayloadLogger(PayloadLogger logger);
    static void logPayloadResponse(const QString& caller, const QString& response, const QVariant& body);
    static QString payloadLogLine(const QString& caller, const QString& response, const QVariant& body);

protected:
    // The body's "data" object, or nothing when the body has none.
    static std::optional<QVariantMap> dataOf(const Response& response);
    // Sends an update of this object; on 2xx `apply` takes "data" (when present) back in.
    bool sendUpdate(Request request, const PLYWebServiceCompletionBlock& completion,
                    std::function<void(const QVariantMap& data)> apply);
    // A logged GET of a resource.
    static Request fetchRequest(const QUrl& url, const QString& caller);
    // A write whose payload is wrapped under the resource's singular name: {"user": ...}.
    static Request writeRequest(const QByteArray& method, const QUrl& url, const QString& resource,
                                const QVariant& payload, bool pretty);
    // Fetches a resource and completes with a new T made from "data".
    template <class T>
    static bool fetch(Request request, const PLYWebServiceCompletionBlock& completion) {
        return send(request, [completion](const Response& response) {
            finish(response, completion, [](const Response& r) {
                auto object = std::make_shared<T>();
                object->initFromJSON(dataOf(r).value_or(QVariantMap()));
                return wrap(object);
            });
        });
    }
    static void subclassShouldImplement(const char* function);

private:
    QVariant m_identifier;
    QDateTime m_creationDate;
    QDateTime m_updatedDate;
};
