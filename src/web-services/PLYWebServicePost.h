#pragma once

#include "PLYWebServiceModelObject.h"

#include <atomic>
#include <memory>

class PLYWebServicePostRevision;

// A published post on the service. Its identifier is the local post's remote identifier; the
// pending revision is the layout last sent and still building, the live one what the blog shows.
class PLYWebServicePost : public PLYWebServiceModelObject {
public:
    void initFromJSON(const QVariantMap& json) override;
    static QStringList resourcePath() { return {QStringLiteral("posts")}; }

    // Posts are fetched by identifier only.
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion);
    // GET posts/<post id>: (YES, a new post) on 2xx.
    static bool getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion, const QString& postID);

    // GET posts/<id>/pending-revision (live-revision). A service error forgets the stored
    // revision, so that nobody takes a stale one for the current; a transport error keeps it.
    bool getPendingRevision(const PLYWebServiceCompletionBlock& completion);
    bool getLiveRevision(const PLYWebServiceCompletionBlock& completion);
    // POST posts/<id>/clean. "deep_purge" true: the service removed the post, (YES, nothing);
    // otherwise only the pending revision went: (YES, this post without it).
    bool cleanUpPost(const PLYWebServiceCompletionBlock& completion);
    // GET posts/<id>/link-stub: (YES, the body as UTF-8 text, nothing when it is not UTF-8).
    bool getLinkStub(const PLYWebServiceCompletionBlock& completion);
    // GET posts/<id>/link-destination: (YES, the body's "link").
    bool getLinkDestination(const PLYWebServiceCompletionBlock& completion);

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    bool live() const { return m_live; }
    void setLive(bool live) { m_live = live; }
    qint64 status() const { return m_status; }
    void setStatus(qint64 status) { m_status = status; }

    std::shared_ptr<PLYWebServicePostRevision> pendingRevision() const { return m_pendingRevision; }
    void setPendingRevision(const std::shared_ptr<PLYWebServicePostRevision>& revision);
    std::shared_ptr<PLYWebServicePostRevision> liveRevision() const { return m_liveRevision; }
    void setLiveRevision(const std::shared_ptr<PLYWebServicePostRevision>& revision);

private:
    bool getRevision(bool pending, const PLYWebServiceCompletionBlock& completion);
    QUrl urlWithPaths(const QStringList& tail) const;

    QString m_name;
    std::atomic<bool> m_live{false};
    std::atomic<qint64> m_status{0};
    std::shared_ptr<PLYWebServicePostRevision> m_pendingRevision;
    std::shared_ptr<PLYWebServicePostRevision> m_liveRevision;
};
