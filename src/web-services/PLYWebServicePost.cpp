#include "PLYWebServicePost.h"

#include "PLYWebServiceHost.h"
#include "PLYWebServicePostRevision.h"

#include <QStringDecoder>

void PLYWebServicePost::initFromJSON(const QVariantMap& json) {
    PLYWebServiceModelObject::initFromJSON(json);
    m_name = sanitiseJSONDisplayString(json, QStringLiteral("name"));
    m_live = boolFromJSON(json.value(QStringLiteral("live")));
    m_status = integerFromJSON(json.value(QStringLiteral("status")));
}

bool PLYWebServicePost::getObjectFromServerRequest(const PLYWebServiceCompletionBlock&) {
    qWarning("Use -getObjectFromServerRequest:forPostID: for Post Objects");
    return false;
}

bool PLYWebServicePost::getObjectFromServerRequest(const PLYWebServiceCompletionBlock& completion, const QString& postID) {
    if (!isUsablePathComponent(postID)) return false;
    const QUrl url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths(resourcePath() << postID);
    return fetch<PLYWebServicePost>(fetchRequest(url, QStringLiteral("PLYWebServicePost::getObjectFromServerRequest")),
                                    completion);
}

QUrl PLYWebServicePost::urlWithPaths(const QStringList& tail) const {
    return PLYWebServiceHost::currentHost()->serviceMeURLWithPaths(resourcePath() << identifierString() << tail);
}

void PLYWebServicePost::setPendingRevision(const std::shared_ptr<PLYWebServicePostRevision>& revision) {
    m_pendingRevision = revision;
}

void PLYWebServicePost::setLiveRevision(const std::shared_ptr<PLYWebServicePostRevision>& revision) {
    m_liveRevision = revision;
}

bool PLYWebServicePost::getPendingRevision(const PLYWebServiceCompletionBlock& completion) {
    return getRevision(true, completion);
}

bool PLYWebServicePost::getLiveRevision(const PLYWebServiceCompletionBlock& completion) {
    return getRevision(false, completion);
}

bool PLYWebServicePost::getRevision(bool pending, const PLYWebServiceCompletionBlock& completion) {
    if (!hasIdentifier()) return false;
    Request request;
    request.url = urlWithPaths({pending ? QStringLiteral("pending-revision") : QStringLiteral("live-revision")});
    auto self = std::static_pointer_cast<PLYWebServicePost>(shared_from_this());
    return send(request, [self, pending, completion](const Response& response) {
        auto& slot = pending ? self->m_pendingRevision : self->m_liveRevision;
        if (response.transportError) {
            complete(completion, false, {}, std::nullopt, response.transportError);
        } else if (response.isGood() && !dataOf(response)) {
            // A 2xx without a revision object names no revision: taking it for one would
            // invent a revision that nobody ever builds.
            slot.reset();
            complete(completion, false);
        } else if (response.isGood()) {
            auto revision = std::make_shared<PLYWebServicePostRevision>();
            revision->initFromJSON(*dataOf(response));
            revision->setPost(self);
            slot = revision;
            complete(completion, true, wrap(revision));
        } else {
            slot.reset();
            complete(completion, false, {}, PLYServiceError::serviceErrorWithDictionary(response.body));
        }
    });
}

bool PLYWebServicePost::cleanUpPost(const PLYWebServiceCompletionBlock& completion) {
    if (!hasIdentifier()) return false;
    Request request;
    request.method = "POST";
    request.url = urlWithPaths({QStringLiteral("clean")});
    request.jsonBody = QVariantMap{{QStringLiteral("ok"), QString(QLatin1String(""))}};
    auto self = std::static_pointer_cast<PLYWebServicePost>(shared_from_this());
    return send(request, [self, completion](const Response& response) {
        finish(response, completion, [&](const Response& r) {
            if (boolFromJSON(r.body.toMap().value(QStringLiteral("deep_purge")))) return QVariant();
            self->m_pendingRevision.reset();
            return wrap(self);
        });
    });
}

bool PLYWebServicePost::getLinkStub(const PLYWebServiceCompletionBlock& completion) {
    if (!hasIdentifier()) return false;
    Request request;
    request.url = urlWithPaths({QStringLiteral("link-stub")});
    return send(request, [completion](const Response& response) {
        finish(response, completion, [](const Response& r) {
            QStringDecoder decoder(QStringDecoder::Utf8);
            const QString text = decoder.decode(r.data);
            return decoder.hasError() ? QVariant() : QVariant(text);
        });
    });
}

bool PLYWebServicePost::getLinkDestination(const PLYWebServiceCompletionBlock& completion) {
    if (!hasIdentifier()) return false;
    Request request;
    request.url = urlWithPaths({QStringLiteral("link-destination")});
    return send(request, [completion](const Response& response) {
        finish(response, completion, [](const Response& r) {
            const QString link = sanitiseJSONString(r.body.toMap().value(QStringLiteral("link")));
            return link.isNull() ? QVariant() : QVariant(link);
        });
    });
}
