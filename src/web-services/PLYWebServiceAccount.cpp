#include "PLYWebServiceAccount.h"

#include "PLYWebServiceHost.h"

namespace {
QUrl accountURL() {
    return PLYWebServiceHost::currentHost()->serviceMeURLWithPaths(
        PLYWebServiceAccount::resourcePath(), QVariantMap{{QStringLiteral("expand"), QStringLiteral("true")}});
}
}  // namespace

void PLYWebServiceAccount::initFromJSON(const QVariantMap& json) {
    PLYWebServiceModelObject::initFromJSON(json);
    takeFields(json);
    m_genericStatus = integerFromJSON(json.value(QStringLiteral("gen_status")));
}

void PLYWebServiceAccount::takeFields(const QVariantMap& json) {
    m_name = sanitiseJSONDisplayString(json, QStringLiteral("name"));
    m_host = sanitiseJSONDisplayString(json, QStringLiteral("host"));
    m_active = boolFromJSON(json.value(QStringLiteral("active")));
    m_status = integerFromJSON(json.value(QStringLiteral("status")));
}

bool PLYWebServiceAccount::getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion) {
    return fetch<PLYWebServiceAccount>(
        fetchRequest(accountURL(), QStringLiteral("PLYWebServiceAccount::getObjectFromServerRequest")), completion);
}

bool PLYWebServiceAccount::updateObjectWithDictionary(const QVariantMap& dictionary,
                                                      const PLYWebServiceCompletionBlock& completion) {
    return sendUpdate(writeRequest("PUT", accountURL(), QStringLiteral("account"), dictionary, true), completion, [this](const QVariantMap& data) { takeFields(data); });
}
