#pragma once

#include "PLYWebServiceModelObject.h"

#include <memory>
#include <mutex>

class PLYWebServicePost;
class PLYWebServicePublishRevision;

// One revision of a remote post: the layout it was built from (by hash), its SEO fields, the
// images its layout uses and those the service still lacks.
class PLYWebServicePostRevision : public PLYWebServiceModelObject {
public:
    void initFromJSON(const QVariantMap& json) override;
    static QStringList resourcePath() { return {QStringLiteral("postrevisions")}; }
    // Revisions come with their post; the plain fetch is refused.
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion);

    // Fetches this revision's publish revision (through its post's identifier) and keeps what
    // arrived: the new one on success, nothing on any failure. Answers NO without a post.
    bool getPublishRevision(const PLYWebServiceCompletionBlock& completion);

    qint64 status() const { return m_status; }
    void setStatus(qint64 status) { m_status = status; }
    QString blobHash() const { return m_blobHash; }
    void setBlobHash(const QString& hash) { m_blobHash = hash; }
    QString seoTitle() const { return m_seoTitle; }
    QString meta() const { return m_meta; }
    QVariantList keywords() const { return m_keywords; }
    QVariantMap requiredImgRefs() const { return m_requiredImgRefs; }
    // The identifiers whose image the service still needs; without "pending" in the JSON, the
    // keys of "required_ref_ids".
    QStringList pendingImages() const { return m_pendingImages; }
    void setPendingImages(const QStringList& images) { m_pendingImages = images; }

    std::shared_ptr<PLYWebServicePost> post() const { return m_post.lock(); }
    void setPost(const std::shared_ptr<PLYWebServicePost>& post) { m_post = post; }
    std::shared_ptr<PLYWebServicePublishRevision> publishRevision() const;
    void setPublishRevision(const std::shared_ptr<PLYWebServicePublishRevision>& revision);

private:
    qint64 m_status = 0;
    QString m_blobHash;
    QString m_seoTitle;
    QString m_meta;
    QVariantList m_keywords;
    QVariantMap m_requiredImgRefs;
    QStringList m_pendingImages;
    std::weak_ptr<PLYWebServicePost> m_post;
    mutable std::mutex m_publishMutex;
    std::shared_ptr<PLYWebServicePublishRevision> m_publishRevision;
};
