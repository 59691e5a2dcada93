#pragma once

#include "PLYWebServiceModelObject.h"

#include <memory>

class PLYWebServicePostRevision;

// How a post revision went out to the blog site, and whether the site took it.
class PLYWebServicePublishRevision : public PLYWebServiceModelObject {
public:
    void initFromJSON(const QVariantMap& json) override;
    static QStringList resourcePath() { return {QStringLiteral("publishrevision")}; }
    // Publish revisions are fetched by post and revision; the plain fetch is refused.
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion);
    // GET posts/<post id>/postrevisions/<revision id>/publishrevision: (YES, a new one).
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion, const QString& postID,
                                           const QString& postRevisionID);

    qint64 status() const { return m_status; }
    void setStatus(qint64 status) { m_status = status; }
    bool successful() const { return m_successful; }
    void setSuccessful(bool successful) { m_successful = successful; }
    bool autoPublish() const { return m_autoPublish; }
    QString category() const { return m_category; }
    QVariantList tags() const { return m_tags; }

    std::shared_ptr<PLYWebServicePostRevision> postRevision() const { return m_postRevision.lock(); }
    void setPostRevision(const std::shared_ptr<PLYWebServicePostRevision>& revision) { m_postRevision = revision; }

private:
    qint64 m_status = 0;
    bool m_successful = false;
    bool m_autoPublish = false;
    QString m_category;
    QVariantList m_tags;
    std::weak_ptr<PLYWebServicePostRevision> m_postRevision;
};
