#include "PLYWebServicePostRevision.h"

#include "PLYJSONSerialization.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePublishRevision.h"

void PLYWebServicePostRevision::initFromJSON(const QVariantMap& json) {
    PLYWebServiceModelObject::initFromJSON(json);
    m_status = integerFromJSON(json.value(QStringLiteral("status")));
    m_blobHash = sanitiseJSONString(json.value(QStringLiteral("blob_hash")));
    m_seoTitle = sanitiseJSONDisplayString(json, QStringLiteral("seo_title"));
    m_meta = sanitiseJSONDisplayString(json, QStringLiteral("meta"));
    m_keywords = sanitiseJSONArray(json.value(QStringLiteral("keywords")));
    m_requiredImgRefs = sanitiseJSONDictionary(json.value(QStringLiteral("required_ref_ids")));
    const QVariant pending = json.value(QStringLiteral("pending"));
    m_pendingImages.clear();
    if (!pending.isValid() || PLYJSONSerialization::isNull(pending)) {
        m_pendingImages = m_requiredImgRefs.keys();
    } else {
        // Entries that name no image (null, objects, empty text) cannot be uploaded.
        for (const QVariant& ref : sanitiseJSONArray(pending)) {
            const QString text = sanitiseJSONString(ref);
            if (!text.isEmpty() && !m_pendingImages.contains(text)) m_pendingImages << text;
        }
    }
}

bool PLYWebServicePostRevision::getObjectFromServerRequest(const PLYWebServiceCompletionBlock&) {
    qWarning("Use -getObjectFromServerRequest:forPostID:postRevisionID: for PostRevision Objects");
    return false;
}

std::shared_ptr<PLYWebServicePublishRevision> PLYWebServicePostRevision::publishRevision() const {
    std::lock_guard lock(m_publishMutex);
    return m_publishRevision;
}

void PLYWebServicePostRevision::setPublishRevision(const std::shared_ptr<PLYWebServicePublishRevision>& revision) {
    std::lock_guard lock(m_publishMutex);
    m_publishRevision = revision;
}

bool PLYWebServicePostRevision::getPublishRevision(const PLYWebServiceCompletionBlock& completion) {
    const auto owner = post();
    if (!owner || !owner->hasIdentifier() || !hasIdentifier()) return false;
    auto self = std::static_pointer_cast<PLYWebServicePostRevision>(shared_from_this());
    return PLYWebServicePublishRevision::getObjectFromServerRequest(
        [self, completion](bool success, const QVariant& object, const std::optional<PLYServiceError>& serviceError,
                           const std::optional<PLYError>& transportError) {
            auto publish = success ? unwrap<PLYWebServicePublishRevision>(object) : nullptr;
            if (publish) publish->setPostRevision(self);
            self->setPublishRevision(publish);
            complete(completion, success, object, serviceError, transportError);
        },
        owner->identifierString(), identifierString());
}
