#include "PLYWebServicePublisher.h"

#include "PLYWebServiceHost.h"

namespace {
QUrl publisherURL() {
    return PLYWebServiceHost::currentHost()->serviceMeURLWithPaths(PLYWebServicePublisher::resourcePath());
}
}  // namespace

void PLYWebServicePublisher::initFromJSON(const QVariantMap& json) {
    PLYWebServiceModelObject::initFromJSON(json);
    takeUpdatedFields(json);
    m_type = integerFromJSON(json.value(QStringLiteral("type")));
    m_tags = sanitiseJSONDisplayList(json, QStringLiteral("tags"));
}

void PLYWebServicePublisher::takeUpdatedFields(const QVariantMap& json) {
    m_username = sanitiseJSONDisplayString(json, QStringLiteral("username"));
    m_status = integerFromJSON(json.value(QStringLiteral("status")));
    m_categories = sanitiseJSONDisplayList(json, QStringLiteral("categories"));
    m_defaultCategory = sanitiseJSONDisplayString(json, QStringLiteral("default_category"));
    m_autoPublish = boolFromJSON(json.value(QStringLiteral("auto_publish")));
}

bool PLYWebServicePublisher::getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion) {
    return fetch<PLYWebServicePublisher>(
        fetchRequest(publisherURL(), QStringLiteral("PLYWebServicePublisher::getObjectFromServerRequest")), completion);
}

bool PLYWebServicePublisher::updateObjectWithDictionary(const QVariantMap& dictionary,
                                                        const PLYWebServiceCompletionBlock& completion) {
    return sendUpdate(writeRequest("PUT", publisherURL(), QStringLiteral("publisher"), dictionary, false), completion, [this](const QVariantMap& data) { takeUpdatedFields(data); });
}

QString PLYWebServicePublisher::errorStringForStatus(qint64 status) {
    switch (status) {
    case 1: return QStringLiteral("The server could not process the request");
    case 2: return QStringLiteral("Wordpress was not responding");
    case 3: return QStringLiteral("Username is incorrect");
    case 4: return QStringLiteral("Password is incorrect");
    case 5: return QStringLiteral("Username or password is incorrect");
    case 6: return QStringLiteral("Wordpress RPC is not available");
    default: return QString(QLatin1String(""));
    }
}

QString PLYWebServicePublisher::typeName() const {
    return m_type == TypeWordpress ? QStringLiteral("Wordpress") : QString(QLatin1String(""));
}
