#include "PLYWebServicePublishRevision.h"

#include "PLYWebServiceHost.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePostRevision.h"

void PLYWebServicePublishRevision::initFromJSON(const QVariantMap& json) {
    PLYWebServiceModelObject::initFromJSON(json);
    m_status = integerFromJSON(json.value(QStringLiteral("status")));
    m_successful = boolFromJSON(json.value(QStringLiteral("successful")));
    m_autoPublish = boolFromJSON(json.value(QStringLiteral("auto_publish")));
    m_category = sanitiseJSONDisplayString(json, QStringLiteral("category"));
    m_tags = sanitiseJSONArray(json.value(QStringLiteral("tags")));
}

bool PLYWebServicePublishRevision::getObjectFromServerRequest(const PLYWebServiceCompletionBlock&) {
    qWarning("Use -getObjectFromServerRequest:forPostID:postRevisionID: for PublishRevision Objects");
    return false;
}

bool PLYWebServicePublishRevision::getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion,
                                                              const QString& postID, const QString& postRevisionID) {
    if (!isUsablePathComponent(postID) || !isUsablePathComponent(postRevisionID)) return false;
    const QUrl url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths(
        PLYWebServicePost::resourcePath() << postID << PLYWebServicePostRevision::resourcePath() << postRevisionID
                                          << resourcePath());
    return fetch<PLYWebServicePublishRevision>(
        fetchRequest(url, QStringLiteral("PLYWebServicePublishRevision::getObjectFromServerRequest")), completion);
}
