#include "PLYWebServicePostPublisher.h"

#include "PLYAlertPresenter.h"
#include "PLYCoreManager.h"
#include "PLYDispatch.h"
#include "PLYImageCompleteness.h"
#include "PLYImageManager.h"
#include "PLYJSONSerialization.h"
#include "PLYLayoutManager.h"
#include "PLYLayoutSerialization.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYPostManager.h"
#include "PLYRichTextDocument.h"
#include "PLYSourceImage.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServicePost.h"
#include "PLYWebServicePostPublisherServices.h"
#include "PLYWebServicePostRevision.h"
#include "PLYWebServicePublishRevision.h"
#include "PLYWebServicePublisher.h"
#include "PelloryServices.h"

#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

constexpr int DefaultBuildPollMs = 20000;
constexpr int DefaultFetchRetryMs = 20000;
constexpr int DefaultUploadRetryMs = 1000;
int g_buildPollMs = DefaultBuildPollMs;
int g_fetchRetryMs = DefaultFetchRetryMs;
int g_uploadRetryMs = DefaultUploadRetryMs;

constexpr const char* ServiceIdle = "IDLE";
constexpr const char* ServiceNotVerified = "NOT_VERIFIED";
constexpr qint64 PublisherRPCUnavailable = 6;

QString S(const char* text) { return QString::fromLatin1(text); }

using Response = PLYWebServiceModelObject::Response;
using Request = PLYWebServiceModelObject::Request;

}  // namespace

// ---- Set-up ----

const QStringList& PLYWebServicePostPublisher::serviceUnavailableStates() {
    // A client too old for the service cannot publish either.
    static const QStringList states{
        QStringLiteral("NO_INTERNET"),          QStringLiteral("CHECKING_CONNECTION"),
        QStringLiteral("SERVER_CONNECTION"),    QStringLiteral("CHECKING_SERVER_VERSION"),
        QStringLiteral("ATTEMPTING_LOGIN"),     QStringLiteral("NOT_AUTHD"),
        QStringLiteral("NO_ACCOUNT"),           QStringLiteral("CREATING_ACCOUNT"),
        QStringLiteral("ACCOUNT_PENDING_DELETION"), QStringLiteral("ACCOUNT_LOCKED"),
        QStringLiteral("NOT_VERIFIED"),         QStringLiteral("OUT_OF_DATE_VERSION")};
    return states;
}

void PLYWebServicePostPublisher::setBuildPollIntervalForTesting(int ms) { g_buildPollMs = ms < 0 ? DefaultBuildPollMs : ms; }
void PLYWebServicePostPublisher::setFetchRetryIntervalForTesting(int ms) { g_fetchRetryMs = ms < 0 ? DefaultFetchRetryMs : ms; }
void PLYWebServicePostPublisher::setUploadRetryDelayForTesting(int ms) { g_uploadRetryMs = ms < 0 ? DefaultUploadRetryMs : ms; }

PLYWebServicePostPublisher::PLYWebServicePostPublisher(std::shared_ptr<PLYPersistantPost> post)
    : m_localPost(std::move(post)) {
    m_fetchRetryTimer.setSingleShot(true);
    m_buildPollTimer.setSingleShot(true);
    QObject::connect(&m_fetchRetryTimer, &QTimer::timeout, [this] { fetchRemoteState(m_fetchGeneration); });
    QObject::connect(&m_buildPollTimer, &QTimer::timeout, [this] {
        if (inState(StateServerBuilding)) checkServerCompletedBuild(true);
    });
}

PLYWebServicePostPublisher::~PLYWebServicePostPublisher() {
    for (const auto& tokens : std::as_const(m_stateObservers))
        for (const PLYNotificationCenter::Token token : tokens) PLYNotificationCenter::defaultCenter().removeObserver(token);
    if (auto s = services()) s->removeServiceStateObserver(this);
    invalidateUploadSession();
}

std::shared_ptr<PLYWebServicePostPublisher> PLYWebServicePostPublisher::initWithPost(
    const std::shared_ptr<PLYPersistantPost>& post) {
    if (!post) return nullptr;
    std::shared_ptr<PLYWebServicePostPublisher> publisher(new PLYWebServicePostPublisher(post));
    publisher->buildStateMachine();
    publisher->startObserving();
    publisher->m_stateMachine->activate();
    return publisher;
}

std::shared_ptr<PLYWebServicePostPublisherServices> PLYWebServicePostPublisher::services() const {
    return PLYWebServicePostPublisherServices::shared();
}

void PLYWebServicePostPublisher::buildStateMachine() {
    m_stateMachine = PLYFiniteStateMachine::initWithName(QStringLiteral("Post_Publisher_for_%1").arg(m_localPost->name()));
    const auto state = [](const char* name) { return PLYFiniteState::stateWithName(S(name)); };
    const auto fetching = state(StateFetchingInfo), updateAvailable = state(StateUpdateAvailable),
               notPublished = state(StateNotPublished), waiting = state(StateWaitingForService), idle = state(StateIdle),
               creating = state(StateCreatingPost), created = state(StateCreatedPost),
               uploading = state(StateUploadingImages), updatingPost = state(StateUpdatingPost),
               updated = state(StateUpdatedPost), building = state(StateServerBuilding),
               cancelling = state(StateCancelling), incomplete = state(StateUploadIncomplete);
    const QList<PLYFiniteStatePtr> all{fetching, updateAvailable, notPublished, waiting, idle, creating,
                                       created, uploading, updatingPost, updated, building, cancelling, incomplete};
    m_stateMachine->addStates(all);

    const auto event = [this](const char* name, const QList<PLYFiniteStatePtr>& from, const PLYFiniteStatePtr& to) {
        m_stateMachine->addEvent(PLYFiniteEvent::eventWithName(S(name), from, to));
    };
    event(EventServiceChanged, all, waiting);
    event(EventRefresh, {updateAvailable, idle, notPublished, cancelling}, fetching);
    event(EventServiceRestored, {waiting}, fetching);
    event(EventLayoutChangedAvailable, {fetching, idle}, updateAvailable);
    event(EventLayoutChangedNotAvailable, {updateAvailable}, idle);
    event(EventNoRemotePost, {fetching}, notPublished);
    // From UPLOAD_INCOMPLETE too: the service may build after all (the images arrived).
    event(EventRemotePostUpToDate, {fetching, building, created, uploading, incomplete}, idle);
    event(EventCreateRemotePost, {notPublished, idle, creating}, creating);
    event(EventBailRemotePostManipulate, {creating, updatingPost}, fetching);
    event(EventRemotePostCreated, {creating}, created);
    // From UPDATING_POST too, so that the update road can go on after a blog error.
    // From IDLE too: an up-to-date post whose blog category or draft choice changed.
    event(EventUpdateRemotePost, {updateAvailable, idle, updatingPost}, updatingPost);
    event(EventContinueUpdatingRemotePost, {fetching}, updated);
    event(EventUpdatedRemotePost, {updatingPost}, updated);
    event(EventUploadImages, {updated, created, uploading}, uploading);
    event(EventWaitingForServer, {uploading, created, updated}, building);
    // Also while waiting for the build and after an incomplete upload: the user can always
    // leave a road that the service does not finish.
    event(EventCancelProcess, {creating, created, uploading, updatingPost, updated, building, incomplete}, cancelling);
    event(EventUploadIncomplete, {uploading, building}, incomplete);
    event(EventRetryUpload, {incomplete}, uploading);

    // Hooks hold the publisher weakly: the machine belongs to it.
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    const auto hook = [weak](auto body) {
        return [weak, body](const PLYFiniteStatePtr&, const PLYFiniteTransitionPtr& transition) {
            auto self = weak.lock();
            if (self && !self->m_detached) body(*self, transition);
        };
    };
    fetching->setDidEnterStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr&) {
        self.m_fetchRetryTimer.stop();
        self.fetchRemoteState(++self.m_fetchGeneration);
    }));
    idle->setDidEnterStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr& t) {
        // Just built: read the remote post once more.
        if (t && t->event()->name() == S(EventRemotePostUpToDate) && t->sourceState()->name() != S(StateFetchingInfo))
            self.fire(S(EventRefresh));
    }));
    creating->setDidEnterStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr& t) {
        self.sendPostRequest(true, t ? t->userInfo() : QVariantMap());
    }));
    updatingPost->setDidEnterStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr& t) {
        self.sendPostRequest(false, t ? t->userInfo() : QVariantMap());
    }));
    const auto after = hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr& t) { self.afterCreateOrUpdate(t); });
    created->setDidEnterStateBlock(after);
    updated->setDidEnterStateBlock(after);
    uploading->setDidEnterStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr& t) {
        if (t && t->sourceState()->name() == S(StateUploadingImages)) return;
        if (t && t->event()->name() == S(EventRetryUpload)) self.retryUpload();
        else self.startUpload(self.pendingRevision());
    }));
    uploading->setDidExitStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr& t) {
        // Leaving the upload (cancel, build, loss of service) ends its batch: requests still
        // running finish unheard, nothing more is sent or retried.
        if (t && t->destinationState()->name() != S(StateUploadingImages)) self.endUploadBatch();
    }));
    building->setDidEnterStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr&) {
        self.m_stalledBuildChecks = 0;
        self.checkServerCompletedBuild(true);
    }));
    building->setDidExitStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr&) {
        self.m_buildPollTimer.stop();
    }));
    cancelling->setDidEnterStateBlock(hook([](PLYWebServicePostPublisher& self, const PLYFiniteTransitionPtr&) {
        self.enterCancelling();
    }));

    const auto s = services();
    const bool unavailable = s && serviceUnavailableStates().contains(s->serviceStateName());
    m_stateMachine->setInitialState(unavailable ? waiting : fetching);
}

void PLYWebServicePostPublisher::startObserving() {
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    if (auto s = services()) {
        s->addServiceStateObserver(this, [weak](const PLYNotification& n) {
            if (auto self = weak.lock()) self->webServiceManagerStateChangeNotification(n);
        });
    }
    if (PLYCoreManager* core = PLYCoreManager::globalManager()) {
        if (auto postManager = core->postManagerForPostID(m_localPost->identifier())) {
            if (auto layoutManager = postManager->layoutManager()) {
                m_layoutManagerObject = layoutManager.get();
                m_observers.add(S(PLYLayoutManager::LayoutDidChangeNotification), m_layoutManagerObject,
                                [weak](const PLYNotification& n) {
                                    if (auto self = weak.lock()) self->layoutChanged(n);
                                });
            }
        }
    }
    m_observers.add(S(PLYCoreManager::PostsWereUpdatedNotification), nullptr, [weak](const PLYNotification&) {
        auto self = weak.lock();
        if (self && !self->m_detached && !self->postStillInStore()) self->detach();
    });
}

bool PLYWebServicePostPublisher::postStillInStore() const {
    const auto store = PLYCoreManager::persistantStore();
    if (!store) return true;
    for (const auto& account : store->accounts())
        if (account->postForIdentifier(m_localPost->identifier())) return true;
    return false;
}

void PLYWebServicePostPublisher::detach() {
    if (m_detached) return;
    PLY_LOG_INFO(QStringLiteral("Publisher of post '%1' detached: the post was deleted").arg(m_localPost->name()));
    invalidateUploadSession();
    m_detached = true;
    ++m_fetchGeneration;
    m_fetchRetryTimer.stop();
    m_buildPollTimer.stop();
    m_observers.clear();
    if (auto s = services()) s->removeServiceStateObserver(this);
}

// ---- Reading ----

void PLYWebServicePostPublisher::addStateChangeNotificationHandler(const void* owner, PLYNotificationCenter::Handler handler) {
    if (!m_stateMachine) return;
    m_stateObservers[owner] << PLYNotificationCenter::defaultCenter().addObserver(
        S(PLYFiniteStateMachine::DidChangeStateNotification), m_stateMachine.get(), std::move(handler), owner);
}

void PLYWebServicePostPublisher::removeStateChangeNotificationHandler(const void* owner) {
    if (!m_stateMachine) return;
    for (const PLYNotificationCenter::Token token : m_stateObservers.take(owner))
        PLYNotificationCenter::defaultCenter().removeObserver(token);
}

PLYFiniteStatePtr PLYWebServicePostPublisher::currentState() const {
    return m_stateMachine ? m_stateMachine->currentState() : nullptr;
}

QString PLYWebServicePostPublisher::currentStateName() const {
    const auto state = currentState();
    return state ? state->name() : QString();
}

bool PLYWebServicePostPublisher::inState(const char* name) const { return m_stateMachine && m_stateMachine->isInState(S(name)); }

std::shared_ptr<PLYWebServicePostRevision> PLYWebServicePostPublisher::pendingRevision() const {
    return m_publishingPost ? m_publishingPost->pendingRevision() : nullptr;
}

std::shared_ptr<PLYWebServicePostRevision> PLYWebServicePostPublisher::liveRevision() const {
    return m_publishingPost ? m_publishingPost->liveRevision() : nullptr;
}

std::shared_ptr<PLYWebServicePublishRevision> PLYWebServicePostPublisher::pendingPublishRevision() const {
    const auto revision = pendingRevision();
    return revision ? revision->publishRevision() : nullptr;
}

std::shared_ptr<PLYWebServicePublishRevision> PLYWebServicePostPublisher::livePublishRevision() const {
    const auto revision = liveRevision();
    return revision ? revision->publishRevision() : nullptr;
}

bool PLYWebServicePostPublisher::updating() const {
    static const QStringList states{S(StateCreatingPost), S(StateCreatedPost), S(StateUploadingImages),
                                    S(StateUpdatingPost), S(StateServerBuilding)};
    return states.contains(currentStateName());
}

bool PLYWebServicePostPublisher::fire(const QString& event, const QVariantMap& userInfo) {
    if (m_detached || !m_stateMachine) return false;
    return m_stateMachine->fireEvent(event, userInfo);
}

namespace {
// The layout as the post's layout manager holds it, else as the post holds it. A link the file
// keeps from older versions that is not a web or mail address goes out as plain words.
QString layoutBlob(const std::shared_ptr<PLYPersistantPost>& post) {
    PLYLayout published = post->constLayout();
    if (PLYCoreManager* core = PLYCoreManager::globalManager())
        if (auto manager = core->postManagerForPostID(post->identifier()))
            if (auto layoutManager = manager->layoutManager())
                if (PLYLayout* layout = layoutManager->representedLayout()) published = *layout;
    PLYRichTextDocument::dropLinksNotAllowed(&published);
    return PLYLayoutSerialization::base64(published);
}
}  // namespace

bool PLYWebServicePostPublisher::isPublishedBlobBehindCurrent() const {
    const auto live = liveRevision();
    if (!live) return false;
    return layoutBlob(m_localPost) != live->blobHash();
}

// ---- Observations ----

void PLYWebServicePostPublisher::layoutChanged(const PLYNotification&) {
    if (m_detached) return;
    if (inState(StateUploadIncomplete)) {
        // The upload waits for images of a layout that is no more (a broken block removed):
        // drop it, so that the post can be published afresh from what the layout is now.
        PLY_LOG_INFO(QStringLiteral("The layout of '%1' changed after an incomplete upload; the upload is dropped")
                         .arg(m_localPost->name()));
        fire(S(EventCancelProcess));
        return;
    }
    if (!(inState(StateIdle) || inState(StateUpdateAvailable))) return;
    fire(S(isPublishedBlobBehindCurrent() ? EventLayoutChangedAvailable : EventLayoutChangedNotAvailable));
}

void PLYWebServicePostPublisher::webServiceManagerStateChangeNotification(const PLYNotification&) {
    const auto s = services();
    if (m_detached || !s) return;
    const QString service = s->serviceStateName();
    if (inState(StateWaitingForService)) {
        if (service == S(ServiceIdle)) fire(S(EventServiceRestored));
    } else if (serviceUnavailableStates().contains(service)) {
        if (inState(StateUploadingImages)) invalidateUploadSession();
        fire(S(EventServiceChanged));
    } else if (service == S(ServiceIdle)) {
        // While cancelling, the clean-up's own answer reads the post again: read earlier, the
        // post could be found half cleaned (its pending revision gone, the post not yet) and
        // taken for an up-to-date one that the service is about to remove.
        if (!inState(StateCancelling)) fire(S(EventRefresh));
    }
}

void PLYWebServicePostPublisher::registerForChannel() {
    const auto s = services();
    if (s && m_publishingPost && m_publishingPost->hasIdentifier())
        s->addMessageDelegate(shared_from_this(), m_publishingPost->identifier());
}

void PLYWebServicePostPublisher::forgetRemotePost() {
    PLY_LOG_INFO(QStringLiteral("Remote post of '%1' is gone").arg(m_localPost->name()));
    m_localPost->setRemoteIdentifier(QString());
    savePost();
    m_publishingPost.reset();
}

void PLYWebServicePostPublisher::savePost() {
    if (m_detached) return;
    PLYError error;
    if (!m_localPost->save(&error))
        PLY_LOG_ERROR(QStringLiteral("Could not save post '%1': %2").arg(m_localPost->name(), error.description));
}

// ---- Gathering the remote state ----

bool PLYWebServicePostPublisher::fetchIsCurrent(quint64 generation) const {
    return !m_detached && generation == m_fetchGeneration && inState(StateFetchingInfo);
}

void PLYWebServicePostPublisher::retryFetchLater(quint64 generation) {
    if (fetchIsCurrent(generation)) m_fetchRetryTimer.start(g_fetchRetryMs);
}

void PLYWebServicePostPublisher::fetchRemoteState(quint64 generation) {
    if (!fetchIsCurrent(generation)) return;
    const QString remote = m_localPost->remoteIdentifier();
    if (remote.isEmpty()) {
        fire(S(EventNoRemotePost));
        return;
    }
    if (!PLYWebServiceModelObject::isUsablePathComponent(remote)) {
        // Kept as it is in the post's file, but never sent as part of an address.
        PLY_LOG_ERROR(QStringLiteral("Post '%1' has an unusable remote identifier; it counts as not published")
                          .arg(m_localPost->name()));
        fire(S(EventNoRemotePost));
        return;
    }
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    const bool sent = PLYWebServicePost::getObjectFromServerRequest(
        [weak, generation](bool ok, const QVariant& object, const std::optional<PLYServiceError>& serviceError,
                           const std::optional<PLYError>& transportError) {
            auto self = weak.lock();
            if (!self || !self->fetchIsCurrent(generation)) return;
            if (ok) {
                const auto post = PLYWebServiceModelObject::unwrap<PLYWebServicePost>(object);
                if (!post) return self->retryFetchLater(generation);
                self->m_publishingPost = post;
                // A build resumed after a restart must still hear "revision_active".
                self->registerForChannel();
                self->fetchRevision(generation, true, post);
            } else if (serviceError && serviceError->code() == PLYServiceError::CodePostGone) {
                self->forgetRemotePost();
                self->fire(S(EventNoRemotePost));
            } else {
                // A passing failure of the service (a 5xx, an expired token being renewed)
                // is read again later instead of leaving the post fetching for ever.
                if (serviceError)
                    PLY_LOG_WARN(QStringLiteral("Reading the remote post of '%1' failed: %2")
                                     .arg(self->m_localPost->name(), serviceError->description()));
                else if (transportError)
                    PLY_LOG_WARN(QStringLiteral("Reading the remote post of '%1' failed: %2")
                                     .arg(self->m_localPost->name(), transportError->description));
                self->retryFetchLater(generation);
            }
        },
        remote);
    if (!sent) retryFetchLater(generation);
}

void PLYWebServicePostPublisher::restartGather() {
    if (!inState(StateFetchingInfo) || m_detached) return;
    m_fetchRetryTimer.stop();
    fetchRemoteState(++m_fetchGeneration);
}

void PLYWebServicePostPublisher::fetchRevision(quint64 generation, bool pending,
                                               const std::shared_ptr<PLYWebServicePost>& post) {
    // The gathering reads the post it fetched, never whatever the publisher holds meanwhile.
    if (!post) return restartGather();
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    auto next = [weak, generation, pending, post] {
        auto self = weak.lock();
        if (!self || !self->fetchIsCurrent(generation)) return;
        if (pending) self->fetchRevision(generation, false, post);
        else self->decideAfterFetch(generation);
    };
    auto completion = [weak, generation, next](bool ok, const QVariant& object, const std::optional<PLYServiceError>&,
                                               const std::optional<PLYError>& transportError) {
        auto self = weak.lock();
        if (!self || !self->fetchIsCurrent(generation)) return;
        if (transportError) return self->retryFetchLater(generation);
        // Any other failure means there is no such revision.
        const auto revision = ok ? PLYWebServiceModelObject::unwrap<PLYWebServicePostRevision>(object) : nullptr;
        if (!revision || !revision->getPublishRevision([next](bool, const QVariant&, const std::optional<PLYServiceError>&,
                                                              const std::optional<PLYError>&) { next(); }))
            next();
    };
    const bool sent = pending ? post->getPendingRevision(completion) : post->getLiveRevision(completion);
    if (!sent) retryFetchLater(generation);
}

void PLYWebServicePostPublisher::decideAfterFetch(quint64 generation) {
    if (!fetchIsCurrent(generation)) return;
    if (pendingRevision()) fire(S(EventContinueUpdatingRemotePost));
    else if (isPublishedBlobBehindCurrent()) fire(S(EventLayoutChangedAvailable));
    else fire(S(EventRemotePostUpToDate));
}

// ---- Entry ----

QVariantMap PLYWebServicePostPublisher::createPostRevisionPayload() const {
    QVariantMap payload;
    payload.insert(QStringLiteral("blob"), layoutBlob(m_localPost));
    if (!m_localPost->seoTitle().isNull()) payload.insert(QStringLiteral("seo_title"), m_localPost->seoTitle());
    payload.insert(QStringLiteral("keywords"), QVariant(m_localPost->focusKeywords().value_or(QStringList())));
    if (!m_localPost->metaDescription().isNull()) payload.insert(QStringLiteral("meta"), m_localPost->metaDescription());
    return payload;
}

QVariantMap PLYWebServicePostPublisher::createPublishRevisionPayload(const QString& category, bool autoPublish) const {
    QVariantMap payload{{QStringLiteral("auto_publish"), autoPublish}};
    if (!category.isNull()) payload.insert(QStringLiteral("category"), category);
    return payload;
}

QVariantMap PLYWebServicePostPublisher::entryUserInfo(bool create, bool publish, const QString& category,
                                                      bool autoPublish) const {
    QVariantMap info;
    if (create) info.insert(QStringLiteral("name"), m_localPost->name());
    info.insert(QStringLiteral("post_revision"), createPostRevisionPayload());
    info.insert(QStringLiteral("publish"), publish);
    if (publish) info.insert(QStringLiteral("publish_revision"), createPublishRevisionPayload(category, autoPublish));
    return info;
}

bool PLYWebServicePostPublisher::entryGuardPasses(bool publish, const QString& category, bool autoPublish) {
    const auto s = services();
    if (!s) {
        PLY_LOG_ERROR(QStringLiteral("No web service session to publish through"));
        return false;
    }
    if (s->accountHost().isEmpty()) {
        std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
        s->presentAccountDetails(false, false, [weak, publish, category, autoPublish](bool completed) {
            // Only a completed window starts again, with the choices the user made.
            if (!completed) return;
            PLYDispatch::mainAsync([weak, publish, category, autoPublish] {
                auto self = weak.lock();
                if (!self) return;
                // Without a blog there was nothing to choose when the user clicked; a blog set
                // up in the window just now is where this post was meant to go, in the category
                // and with the draft setting chosen there.
                const auto services = self->services();
                const auto blog = services && !publish ? services->publisherDefaults() : std::nullopt;
                if (blog && services->publisherStatus().value_or(-1) == 0)
                    self->createOrUpdatePublishedPostPublish(true, blog->category, blog->autoPublish);
                else
                    self->createOrUpdatePublishedPostPublish(publish, category, autoPublish);
            });
        });
        return false;
    }
    if (const QList<UnusableImage> unusable = unusableLayoutImages(); !unusable.isEmpty()) {
        QStringList lines;
        for (const UnusableImage& image : unusable) lines << QStringLiteral("%1: %2").arg(image.name, image.reason);
        PLYAlertRequest alert;
        alert.style = PLYAlertRequest::Style::Informational;
        alert.messageText = QStringLiteral("Missing Images");
        alert.informativeText = QStringLiteral("Some of the images in your blog cannot be located. Either re-link them in "
                                               "your watch folder, or remove them from the block to publish") +
                                QStringLiteral("\n\n") + lines.join(QLatin1Char('\n'));
        alert.buttonTitles = {QStringLiteral("Ok")};
        PLY_LOG_WARN(QStringLiteral("Post '%1' cannot be published: %2").arg(m_localPost->name(), lines.join(QStringLiteral("; "))));
        if (auto presenter = PLYAlertPresenter::shared()) presenter->runModal(alert);
        return false;
    }
    return true;
}

namespace {

// Why the export of a known image cannot be sent, as the alert and the incomplete upload say it.
QString unsendableReason(PLYImageManager* images, const QString& identifier) {
    return images->isFailed(identifier) ? QStringLiteral("the file is empty, unreadable or not an image")
                                        : QStringLiteral("it has no export rendition");
}

}  // namespace

QList<PLYWebServicePostPublisher::UnusableImage> PLYWebServicePostPublisher::unusableLayoutImages() const {
    QList<UnusableImage> unusable;
    const auto store = PLYCoreManager::persistantStore();
    PLYImageManager* images = PLYCoreManager::imageManager();
    if (!store || !images) return unusable;
    for (const QString& ref : m_localPost->layoutImageIdentifiers()) {
        const auto image = store->imageForIdentifier(ref);
        // An image the library never knew draws nothing and is not asked for by the service.
        if (!image) continue;
        const QString name = image->fileName();
        QString reason;
        if (image->fileDeleted()) reason = QStringLiteral("the file cannot be found");
        else if (images->isFailed(ref)) reason = unsendableReason(images, ref);
        else if (const QString incomplete = PLYImageCompleteness::whyIncomplete(image->path()); !incomplete.isEmpty())
            reason = incomplete;
        else if (QFileInfo(images->exportPathForIdentifier(ref)).size() > 0) continue;
        else if (images->isPending(ref)) reason = QStringLiteral("it is still being prepared");
        else reason = unsendableReason(images, ref);
        unusable.append({ref, name.isEmpty() ? ref : name, reason});
    }
    return unusable;
}

bool PLYWebServicePostPublisher::createOrUpdatePublishedPost() {
    return createOrUpdatePublishedPostPublish(false, QString(), false);
}

bool PLYWebServicePostPublisher::createOrUpdatePublishedPostWithPublishCategory(const QString& category, bool autoPublish) {
    return createOrUpdatePublishedPostPublish(true, category, autoPublish);
}

bool PLYWebServicePostPublisher::createOrUpdatePublishedPostPublish(bool publish, const QString& category, bool autoPublish) {
    const QString stateDescription = currentState() ? currentState()->description() : QString();
    // A request already under way is never sent a second time from here.
    if (!m_detached && !updating()) {
        for (const bool create : {true, false}) {
            if (!m_stateMachine->canFireEvent(S(create ? EventCreateRemotePost : EventUpdateRemotePost))) continue;
            // A post already on the service gets a new revision (a changed blog choice of an
            // up-to-date post included), never a second remote post.
            if (create && m_publishingPost && m_publishingPost->hasIdentifier() &&
                m_stateMachine->canFireEvent(S(EventUpdateRemotePost)))
                continue;
            if (!entryGuardPasses(publish, category, autoPublish)) {
                PLY_LOG_INFO(QStringLiteral("Tried to %1 post while in state: %2")
                                 .arg(create ? QStringLiteral("create") : QStringLiteral("update"), stateDescription));
                return false;
            }
            PLY_LOG_INFO(QStringLiteral("Preparing Post Creation for %1").arg(m_stateMachine->name()));
            return fire(S(create ? EventCreateRemotePost : EventUpdateRemotePost),
                        entryUserInfo(create, publish, category, autoPublish));
        }
    }
    const auto s = services();
    if (!m_detached && s && s->serviceStateName() == S(ServiceNotVerified)) {
        std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
        s->presentEmailVerify([weak, publish, category, autoPublish](bool verified) {
            if (!verified) return;
            if (auto self = weak.lock()) self->createOrUpdatePublishedPostPublish(publish, category, autoPublish);
        });
    }
    PLY_LOG_INFO(QStringLiteral("Tried to create post while in state: %1").arg(stateDescription));
    return false;
}

// ---- Create and update ----

void PLYWebServicePostPublisher::sendPostRequest(bool create, const QVariantMap& body) {
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    Request request;
    request.method = "POST";
    if (create) {
        request.url = host->serviceMeURLWithPaths(PLYWebServicePost::resourcePath());
    } else {
        if (!m_publishingPost || !m_publishingPost->hasIdentifier()) {
            PLYDispatch::mainAsync([weak = weak_from_this()] {
                if (auto self = weak.lock()) self->fire(S(EventBailRemotePostManipulate));
            });
            return;
        }
        request.url = host->serviceMeURLWithPaths(PLYWebServicePost::resourcePath() << m_publishingPost->identifierString()
                                                  << PLYWebServicePostRevision::resourcePath().value(0));
    }
    request.jsonBody = body;
    request.logPayload = true;
    request.caller = create ? QStringLiteral("PLYWebServicePostPublisher::createPost")
                            : QStringLiteral("PLYWebServicePostPublisher::updatePost");
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    // Each request is matched with its own answer: after a cancel and a new publication, the
    // first answer must not be taken for the second.
    const quint64 generation = ++m_postRequestGeneration;
    const bool sent = PLYWebServiceModelObject::send(request, [weak, create, body, generation](const Response& response) {
        auto self = weak.lock();
        if (!self || self->m_detached) return;
        const char* expected = create ? StateCreatingPost : StateUpdatingPost;
        if (generation != self->m_postRequestGeneration || !self->inState(expected)) {
            PLY_LOG_INFO(QStringLiteral("A stale %1 answer for '%2' is dropped")
                             .arg(create ? QStringLiteral("create") : QStringLiteral("update"), self->m_localPost->name()));
            // The road moved on meanwhile (cancel, loss of service, a newer request). A post
            // created for it would be left behind on the service: clean it away.
            if (create && response.isGood()) {
                auto orphan = std::make_shared<PLYWebServicePost>();
                orphan->initFromJSON(response.body.toMap().value(QStringLiteral("post")).toMap());
                orphan->cleanUpPost(nullptr);
            }
            return;
        }
        if (response.transportError) {
            PLY_LOG_WARN(QStringLiteral("Post request failed: %1").arg(response.transportError->description));
            self->fire(S(EventBailRemotePostManipulate));
        } else if (response.isGood()) {
            self->takePostResponse(create, response.body.toMap());
        } else {
            self->handlePostError(PLYServiceError::serviceErrorWithDictionary(response.body),
                                  S(create ? EventCreateRemotePost : EventUpdateRemotePost), body);
        }
    });
    if (!sent) PLY_LOG_WARN(QStringLiteral("No token: the post request for '%1' was not sent").arg(m_localPost->name()));
}

void PLYWebServicePostPublisher::takePostResponse(bool create, const QVariantMap& body) {
    if (create) {
        auto post = std::make_shared<PLYWebServicePost>();
        post->initFromJSON(PLYWebServiceModelObject::sanitiseJSONDictionary(body.value(QStringLiteral("post"))));
        if (!post->hasIdentifier()) {
            // Nothing could ever address this post again: do not go on as if it were published.
            PLY_LOG_ERROR(QStringLiteral("The service created a post for '%1' without a usable identifier")
                              .arg(m_localPost->name()));
            fire(S(EventBailRemotePostManipulate));
            return;
        }
        m_publishingPost = post;
        m_localPost->setRemoteIdentifier(post->identifierString());
        savePost();
    }
    if (!m_publishingPost) {
        fire(S(EventBailRemotePostManipulate));
        return;
    }
    auto revision = std::make_shared<PLYWebServicePostRevision>();
    revision->initFromJSON(PLYWebServiceModelObject::sanitiseJSONDictionary(body.value(QStringLiteral("post_revision"))));
    revision->setPost(m_publishingPost);
    const QVariant publishJSON = body.value(QStringLiteral("publish_revision"));
    if (publishJSON.isValid() && !PLYJSONSerialization::isNull(publishJSON)) {
        auto publish = std::make_shared<PLYWebServicePublishRevision>();
        publish->initFromJSON(PLYWebServiceModelObject::sanitiseJSONDictionary(publishJSON));
        publish->setPostRevision(revision);
        revision->setPublishRevision(publish);
    }
    m_publishingPost->setPendingRevision(revision);
    registerForChannel();
    fire(S(create ? EventRemotePostCreated : EventUpdatedRemotePost));
}

QVariantMap PLYWebServicePostPublisher::withoutPublishing(const QVariantMap& userInfo) {
    QVariantMap copy = userInfo;
    copy.remove(QStringLiteral("publish_revision"));
    copy.insert(QStringLiteral("publish"), false);
    return copy;
}

void PLYWebServicePostPublisher::continueAfterAccountDetails(bool completed, const QString& continueEvent,
                                                             const QVariantMap& userInfo) {
    if (completed) fire(continueEvent, userInfo);
    else fire(S(EventBailRemotePostManipulate));
}

void PLYWebServicePostPublisher::handlePostError(const PLYServiceError& error, const QString& continueEvent,
                                                 const QVariantMap& userInfo) {
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    // The road continues only where the error was met: a window or an alert runs a nested event
    // loop, in which the service may be lost, the upload cancelled or a new request sent.
    const QString raisedIn = currentStateName();
    const quint64 request = m_postRequestGeneration;
    const auto stillThere = [weak, raisedIn, request] {
        auto self = weak.lock();
        return self && !self->m_detached && self->currentStateName() == raisedIn &&
               self->m_postRequestGeneration == request;
    };
    PLYDispatch::mainAsync([weak, error, continueEvent, userInfo, stillThere] {
        auto self = weak.lock();
        if (!self || !stillThere()) return;
        PLY_LOG_WARN(QStringLiteral("Post request refused: %1").arg(error.description()));
        const auto s = self->services();
        if (error.code() != PLYServiceError::CodePublisherFailed || !s) {
            self->fire(S(EventBailRemotePostManipulate));
            return;
        }
        const auto openSettings = [weak, continueEvent, stillThere](const QVariantMap& info) {
            if (auto services = PLYWebServicePostPublisherServices::shared())
                services->presentAccountDetails(false, true, [weak, continueEvent, info, stillThere](bool completed) {
                    auto me = weak.lock();
                    if (me && stillThere()) me->continueAfterAccountDetails(completed, continueEvent, info);
                });
        };
        if (s->publisherStatus() == PublisherRPCUnavailable) {
            openSettings(withoutPublishing(userInfo));
            return;
        }
        PLYAlertRequest alert;
        alert.style = PLYAlertRequest::Style::Critical;
        alert.messageText = QStringLiteral("Wordpress Issue");
        const qint64 status = PLYWebServiceModelObject::integerFromJSON(error.info().value(QStringLiteral("status")));
        alert.informativeText =
            QStringLiteral("There is an issue with your Worpress settings: '%1'. Check your Wordpress settings to fix "
                           "this issue, or %2 using manual mode.")
                .arg(PLYWebServicePublisher::errorStringForStatus(status),
                     self->liveRevision() ? QStringLiteral("update") : QStringLiteral("publish"));
        alert.buttonTitles = {QStringLiteral("Continue manually"), QStringLiteral("Open Wordpress setttings")};
        const auto presenter = PLYAlertPresenter::shared();
        const qint64 answer = presenter ? presenter->runModal(alert) : PLYAlertPresenter::FirstButtonReturn;
        if (!stillThere()) {
            PLY_LOG_INFO(QStringLiteral("The publisher of '%1' moved on while the alert showed; nothing continues")
                             .arg(self->m_localPost->name()));
            return;
        }
        if (answer == PLYAlertPresenter::FirstButtonReturn) self->fire(continueEvent, withoutPublishing(userInfo));
        else openSettings(userInfo);
    });
}

// ---- After create or update ----

void PLYWebServicePostPublisher::afterCreateOrUpdate(const PLYFiniteTransitionPtr& transition) {
    if (transition && transition->sourceState()->name() == S(StateCreatingPost))
        if (auto s = services()) s->refreshInfo();
    const auto pending = pendingRevision();
    if (pending && !pending->pendingImages().isEmpty()) {
        const bool resumed = transition && transition->event()->name() == S(EventContinueUpdatingRemotePost);
        if (resumed && !unusableLayoutImages().isEmpty()) fire(S(EventCancelProcess));
        else fire(S(EventUploadImages));
    } else {
        fire(S(EventWaitingForServer));
    }
}

// ---- Upload ----

void PLYWebServicePostPublisher::startUpload(const std::shared_ptr<PLYWebServicePostRevision>& revision) {
    ++m_uploadBatch;
    m_uploadActive = true;
    m_uploadQueue.clear();
    m_uploadAttempts.clear();
    m_uploadNames.clear();
    m_uploadRetriesScheduled = 0;
    m_uploadRevisionIdValue = revision ? revision->identifier() : QVariant();
    if (revision)
        for (const QString& ref : revision->pendingImages())
            if (!m_uploadQueue.contains(ref)) m_uploadQueue << ref;
    m_imageUploadRequired = m_uploadQueue.size();
    m_imageUploadCount = 0;
    m_imageUploadFailed = 0;
    m_failedImages.clear();
    m_failedReasons.clear();
    PLY_LOG_INFO(QStringLiteral("Image Upload Session for post: `%1`: %2 images")
                     .arg(m_localPost->name())
                     .arg(m_imageUploadRequired));
    pumpUploads();
    checkImageUploadStatus();
}

void PLYWebServicePostPublisher::retryUpload() {
    // Only what the service still lacks goes again: ask it first.
    ++m_uploadBatch;
    m_uploadActive = true;
    m_uploadQueue.clear();
    m_uploadReplies.clear();
    const quint64 batch = m_uploadBatch;
    const QStringList failedBefore = m_failedImages;
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    const auto post = m_publishingPost;
    const bool sent = post && post->getPendingRevision([weak, batch, failedBefore](bool ok, const QVariant& object,
                                                                                   const std::optional<PLYServiceError>& serviceError,
                                                                                   const std::optional<PLYError>& transport) {
        auto self = weak.lock();
        if (!self || self->m_detached || batch != self->m_uploadBatch || !self->inState(StateUploadingImages)) return;
        const auto revision = ok ? PLYWebServiceModelObject::unwrap<PLYWebServicePostRevision>(object) : nullptr;
        if (transport || (serviceError && serviceError->code() == PLYServiceError::CodeRefreshToken)) {
            PLY_LOG_WARN(QStringLiteral("Could not ask which images the service lacks for '%1'").arg(self->m_localPost->name()));
            self->uploadIncomplete(failedBefore);
        } else if (revision && !revision->pendingImages().isEmpty()) {
            self->startUpload(revision);
        } else {
            // Nothing is pending any more (or no revision waits): the build decides.
            self->endUploadBatch();
            self->fire(S(EventWaitingForServer));
        }
    });
    if (!sent) uploadIncomplete(failedBefore);
}

void PLYWebServicePostPublisher::imageFailed(const QString& identifier, const QString& reason) {
    ++m_imageUploadFailed;
    m_failedImages << identifier;
    m_failedReasons.insert(identifier, reason);
}

QStringList PLYWebServicePostPublisher::failedImageDescriptions() const {
    QStringList descriptions;
    const auto store = PLYCoreManager::persistantStore();
    for (const QString& id : m_failedImages) {
        // The file's own name is the one the user knows; the export name when the library lost it.
        QString name;
        if (store)
            if (const auto image = store->imageForIdentifier(id)) name = image->fileName();
        if (name.isEmpty()) name = m_uploadNames.value(id);
        const QString reason = m_failedReasons.value(id, QStringLiteral("the service still waits for it"));
        descriptions << QStringLiteral("%1 (%2)").arg(name.isEmpty() ? id : name, reason);
    }
    return descriptions;
}

void PLYWebServicePostPublisher::uploadIncomplete(const QStringList& failed) {
    for (const QString& id : m_failedReasons.keys())
        if (!failed.contains(id)) m_failedReasons.remove(id);
    m_failedImages = failed;
    m_imageUploadFailed = failed.size();
    PLY_LOG_WARN(QStringLiteral("%1 of %2 images of post '%3' did not reach the service")
                     .arg(m_imageUploadFailed)
                     .arg(m_imageUploadRequired)
                     .arg(m_localPost->name()));
    const QVariantMap info{{S(ProgressRequiredKey), m_imageUploadRequired},
                           {S(ProgressUploadedKey), m_imageUploadCount},
                           {S(ProgressFailedKey), m_imageUploadFailed}};
    endUploadBatch();
    fire(S(EventUploadIncomplete), info);
}

void PLYWebServicePostPublisher::pumpUploads() {
    while (m_uploadActive && !m_uploadQueue.isEmpty() && m_uploadReplies.size() < MaxConcurrentUploads)
        pushImage(m_uploadQueue.takeFirst());
}

void PLYWebServicePostPublisher::pushImage(const QString& identifier) {
    const auto store = PLYCoreManager::persistantStore();
    const auto image = store ? store->imageForIdentifier(identifier) : nullptr;
    const QByteArray bytes = image ? PLYCoreManager::imageManager()->exportDataForIdentifier(identifier) : QByteArray();
    if (!image || bytes.isEmpty()) {
        // Never send an empty image: the service would keep waiting for it all the same.
        const QString reason = !image ? QStringLiteral("the library does not know it")
                                      : unsendableReason(PLYCoreManager::imageManager(), identifier);
        PLY_LOG_WARN(QStringLiteral("Image %1 cannot be uploaded: %2").arg(identifier, reason));
        if (image) m_uploadNames.insert(identifier, image->fileName());
        imageFailed(identifier, reason);
        return;
    }
    const QStringList keywords = m_localPost->focusKeywordsForImage(identifier);
    const QString name = image->exportNameWithFocusKeywords(keywords);
    m_uploadNames.insert(identifier, name);
    const QString token = PLYWebServiceHost::currentHost()->jwt();
    if (token.isEmpty()) {
        PLY_LOG_WARN(QStringLiteral("Image failed: %1 error: not signed in").arg(name));
        imageFailed(identifier, QStringLiteral("not signed in"));
        return;
    }
    const QVariantMap imageBody{{QStringLiteral("post_revision_id"), m_uploadRevisionIdValue},
                                {QStringLiteral("ref_id"), identifier},
                                {QStringLiteral("name"), name},
                                {QStringLiteral("keywords"), QVariant(keywords)},
                                {QStringLiteral("blob"), QString::fromLatin1(bytes.toBase64())}};
    const QByteArray body = PLYJSONSerialization::dataWithJSONObject(QVariantMap{{QStringLiteral("image"), imageBody}},
                                                                     PLYJSONSerialization::WritingPrettyPrinted);
    QNetworkRequest request = PelloryServices::requestWithAuthentication(
        token, PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({QStringLiteral("images")}));
    QNetworkReply* reply = PelloryServices::sharedNetworkAccessManager()->post(request, body);
    m_uploadReplies.insert(reply);
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    const quint64 batch = m_uploadBatch;
    QObject::connect(reply, &QNetworkReply::finished, reply, [weak, reply, identifier, batch] {
        reply->deleteLater();
        if (auto self = weak.lock()) self->uploadFinished(reply, identifier, batch);
    });
}

void PLYWebServicePostPublisher::uploadFinished(QNetworkReply* reply, const QString& identifier, quint64 batch) {
    // Completions of an ended or replaced batch (ours aborted, or left running) change nothing.
    if (!m_uploadReplies.remove(reply) || batch != m_uploadBatch || !m_uploadActive || m_detached) return;
    const PLYError transport = PelloryServices::transportErrorForReply(reply);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray data = PelloryServices::bodyOfReply(reply, transport);
    const QVariant parsed = PLYJSONSerialization::JSONObjectWithData(data, PLYJSONSerialization::ReadingAllowFragments);
    PLYWebServiceModelObject::logPayloadResponse(QStringLiteral("PLYWebServicePostPublisher::pushImage"),
                                                 QStringLiteral("<POST %1> status %2")
                                                     .arg(reply->url().toString(QUrl::RemoveUserInfo))
                                                     .arg(status),
                                                 parsed);
    const QString name = m_uploadNames.value(identifier, identifier);
    if (!transport.isNull()) {
        PLY_LOG_WARN(QStringLiteral("Image failed: %1 error: %2").arg(name, transport.description));
        const int attempts = m_uploadAttempts.value(identifier);
        if (!PelloryServices::isLossOfInternet(transport) && attempts < MaxUploadRetries) {
            m_uploadAttempts.insert(identifier, attempts + 1);
            ++m_uploadRetriesScheduled;
            std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
            QTimer::singleShot(g_uploadRetryMs * (1 << attempts), [weak, identifier, batch] {
                auto self = weak.lock();
                if (!self || batch != self->m_uploadBatch || !self->m_uploadActive) return;
                --self->m_uploadRetriesScheduled;
                self->m_uploadQueue.prepend(identifier);
                self->pumpUploads();
                self->checkImageUploadStatus();
            });
        } else {
            imageFailed(identifier, transport.description);
        }
    } else if (PelloryServices::isCodeGood(status)) {
        PLY_LOG_INFO(QStringLiteral("Uploaded image: %1").arg(identifier));
        ++m_imageUploadCount;
        fire(S(EventUploadImages), {{S(ProgressRequiredKey), m_imageUploadRequired},
                                    {S(ProgressUploadedKey), m_imageUploadCount}});
    } else {
        PLY_LOG_WARN(QStringLiteral("Image failed: %1 error: refused with status %2").arg(name).arg(status));
        imageFailed(identifier, QStringLiteral("refused by the service, status %1").arg(status));
    }
    pumpUploads();
    checkImageUploadStatus();
}

void PLYWebServicePostPublisher::checkImageUploadStatus() {
    if (!m_uploadActive || !m_uploadQueue.isEmpty() || !m_uploadReplies.isEmpty() || m_uploadRetriesScheduled > 0) return;
    if (!inState(StateUploadingImages)) return;
    // The service never builds while images are pending: the user decides what follows.
    if (m_imageUploadFailed > 0) return uploadIncomplete(m_failedImages);
    const QVariantMap info{{S(ProgressRequiredKey), m_imageUploadRequired},
                           {S(ProgressUploadedKey), m_imageUploadCount},
                           {S(ProgressFailedKey), m_imageUploadFailed}};
    endUploadBatch();
    fire(S(EventWaitingForServer), info);
}

void PLYWebServicePostPublisher::endUploadBatch() {
    if (!m_uploadActive) return;
    m_uploadActive = false;
    ++m_uploadBatch;
    m_uploadQueue.clear();
    m_uploadReplies.clear();
    m_uploadRetriesScheduled = 0;
}

void PLYWebServicePostPublisher::invalidateUploadSession() {
    const QSet<QNetworkReply*> replies = m_uploadReplies;
    endUploadBatch();
    m_uploadReplies.clear();
    for (QNetworkReply* reply : replies) reply->abort();
}

// ---- Build ----

bool PLYWebServicePostPublisher::isWaitingForBuild() const {
    return inState(StateServerBuilding) || inState(StateCreatedPost) || inState(StateUploadingImages) ||
           inState(StateUploadIncomplete);
}

void PLYWebServicePostPublisher::checkServerCompletedBuild(bool keepPolling) {
    if (m_detached) return;
    if (!isWaitingForBuild()) {
        // Only a publisher waiting for a build may take the fetched post in; elsewhere the
        // news goes through the normal road, so that a gathering is never decided on a post
        // replaced under it.
        if (keepPolling) return;
        if (inState(StateFetchingInfo)) restartGather();
        else if (m_stateMachine->canFireEvent(S(EventRefresh))) fire(S(EventRefresh));
        return;
    }
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    const QString remote = m_localPost->remoteIdentifier();
    // Whether the answer still concerns a publisher waiting for this post's build.
    const auto current = [weak, remote] {
        auto self = weak.lock();
        return self && !self->m_detached && self->isWaitingForBuild() && self->m_localPost->remoteIdentifier() == remote;
    };
    const auto again = [weak, keepPolling] {
        auto self = weak.lock();
        // One poll at a time, and only while waiting for the build.
        if (self && keepPolling && !self->m_detached && self->inState(StateServerBuilding))
            self->m_buildPollTimer.start(g_buildPollMs);
    };
    const auto decide = [weak, again, current](const std::shared_ptr<PLYWebServicePost>& post) {
        auto self = weak.lock();
        if (!self || !current()) return;
        const auto live = post->liveRevision();
        const auto pending = post->pendingRevision();
        const bool done = post->status() == 0 && !pending && (!live || live->status() == 0);
        if (done) return void(self->fire(S(EventRemotePostUpToDate)));
        // The service builds only once it has every image: a wait for images that nobody is
        // uploading ends after a few checks, and the user decides.
        if (pending && !pending->pendingImages().isEmpty() && self->inState(StateServerBuilding) &&
            ++self->m_stalledBuildChecks >= MaxStalledBuildChecks) {
            PLY_LOG_WARN(QStringLiteral("The build of '%1' waits for %2 images that are not being uploaded")
                             .arg(self->m_localPost->name())
                             .arg(pending->pendingImages().size()));
            return self->uploadIncomplete(pending->pendingImages());
        }
        again();
    };
    const bool sent = PLYWebServicePost::getObjectFromServerRequest(
        [weak, again, decide, current](bool ok, const QVariant& object, const std::optional<PLYServiceError>& serviceError,
                                       const std::optional<PLYError>&) {
            auto self = weak.lock();
            if (!self || !current()) return;
            if (serviceError && serviceError->code() == PLYServiceError::CodePostGone &&
                self->inState(StateServerBuilding)) {
                // Deleted elsewhere while building: nothing will ever be built. Leaving the
                // build re-reads the post, which then finds it unpublished.
                self->forgetRemotePost();
                self->fire(S(EventRemotePostUpToDate));
                return;
            }
            const auto post = ok ? PLYWebServiceModelObject::unwrap<PLYWebServicePost>(object) : nullptr;
            if (!post) return again();
            self->m_publishingPost = post;
            const bool pendingSent = post->getPendingRevision([post, again, decide](bool, const QVariant&,
                                                                                   const std::optional<PLYServiceError>&,
                                                                                   const std::optional<PLYError>& transport) {
                if (transport) return again();
                const bool liveSent = post->getLiveRevision([post, again, decide](bool, const QVariant&,
                                                                                  const std::optional<PLYServiceError>&,
                                                                                  const std::optional<PLYError>& t) {
                    if (t) again();
                    else decide(post);
                });
                if (!liveSent) again();
            });
            if (!pendingSent) again();
        },
        remote);
    if (!sent) again();
}

void PLYWebServicePostPublisher::webServiceHostDidRecieveEvent(PLYWebServiceHost*, const QString& event,
                                                               const QVariantMap& message) {
    PLY_LOG_INFO(QStringLiteral("POST PUBLISHER '%1' GOT EVENT: %2 MESSAGE: %3")
                     .arg(m_localPost->name(), event, PLYJSONSerialization::logText(message, PLYJSONSerialization::LogTextLimit, false)));
    if (m_detached) return;
    if (event == QLatin1String("revision_active")) checkServerCompletedBuild(false);
}

// ---- Cancel and delete ----

bool PLYWebServicePostPublisher::canCancelPublishing() const {
    return !m_detached && m_stateMachine && m_stateMachine->canFireEvent(S(EventCancelProcess));
}

bool PLYWebServicePostPublisher::cancelPublishing() {
    if (canCancelPublishing()) {
        PLY_LOG_INFO(QStringLiteral("Preparing Post Cancel for %1").arg(m_stateMachine->name()));
        return fire(S(EventCancelProcess));
    }
    PLY_LOG_INFO(QStringLiteral("Tried to cancel operation while in state: %1")
                     .arg(currentState() ? currentState()->description() : QString()));
    return false;
}

bool PLYWebServicePostPublisher::canRetryFailedImages() const {
    return !m_detached && m_stateMachine && m_stateMachine->canFireEvent(S(EventRetryUpload));
}

bool PLYWebServicePostPublisher::retryFailedImages() {
    if (canRetryFailedImages()) {
        PLY_LOG_INFO(QStringLiteral("Retrying the upload of %1 images for %2").arg(m_imageUploadFailed).arg(m_stateMachine->name()));
        return fire(S(EventRetryUpload));
    }
    PLY_LOG_INFO(QStringLiteral("Tried to retry the upload while in state: %1")
                     .arg(currentState() ? currentState()->description() : QString()));
    return false;
}

void PLYWebServicePostPublisher::enterCancelling() {
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    const auto refresh = [weak](bool, const QVariant&, const std::optional<PLYServiceError>&, const std::optional<PLYError>&) {
        if (auto self = weak.lock()) self->fire(S(EventRefresh));
    };
    if (!m_publishingPost || !m_publishingPost->cleanUpPost(refresh)) fire(S(EventRefresh));
    if (auto s = services()) s->refreshInfo();
}

void PLYWebServicePostPublisher::afterRemoteDeleted() {
    // Whatever was being read or waited for concerned the deleted post.
    ++m_fetchGeneration;
    m_fetchRetryTimer.stop();
    m_buildPollTimer.stop();
    if (m_detached) return;
    if (inState(StateFetchingInfo)) restartGather();
    else if (m_stateMachine->canFireEvent(S(EventCancelProcess))) fire(S(EventCancelProcess));
    else fire(S(EventRefresh));
}

bool PLYWebServicePostPublisher::deletePost(const PLYWebServiceCompletionBlock& completion) {
    const QString remote = m_localPost->remoteIdentifier();
    if (m_detached || remote.isEmpty()) return false;
    if (!PLYWebServiceModelObject::isUsablePathComponent(remote)) {
        // It can address nothing on the service, so nothing there can be deleted by it; keeping
        // it would make the post impossible to delete at all.
        PLY_LOG_WARN(QStringLiteral("Post '%1' has an unusable remote identifier; it is forgotten").arg(m_localPost->name()));
        forgetRemotePost();
        afterRemoteDeleted();
        PLYWebServiceModelObject::complete(completion, true);
        return true;
    }
    if (PLYWebServiceHost::currentHost()->jwt().isEmpty()) return false;
    // A request or an upload under way would recreate what the delete removes.
    static const QStringList busy{S(StateCreatingPost), S(StateCreatedPost), S(StateUploadingImages),
                                  S(StateUpdatingPost), S(StateUpdatedPost)};
    if (busy.contains(currentStateName())) {
        PLY_LOG_INFO(QStringLiteral("Tried to delete post while in state: %1").arg(currentState()->description()));
        return false;
    }
    Request request;
    request.method = "DELETE";
    request.url = PLYWebServiceHost::currentHost()->serviceMeURLWithPaths(PLYWebServicePost::resourcePath() << remote);
    std::weak_ptr<PLYWebServicePostPublisher> weak = weak_from_this();
    return PLYWebServiceModelObject::send(request, [weak, completion, remote](const Response& response) {
        auto self = weak.lock();
        if (response.transportError) {
            PLY_LOG_ERROR(QStringLiteral("deleted post details: %1").arg(response.transportError->description));
            if (completion) completion(false, {}, std::nullopt, response.transportError);
            return;
        }
        PLY_LOG_INFO(QStringLiteral("deleted published post"));
        const PLYServiceError error(response.body);
        // A post the service no longer has is as deleted as one it just removed.
        const bool gone = response.isGood() || error.code() == PLYServiceError::CodePostGone;
        const bool ours = self && !self->m_detached && self->m_localPost->remoteIdentifier() == remote;
        if (gone && ours) self->forgetRemotePost();
        // The completion runs first: when it deletes the local post, this publisher is detached
        // before it would read the remote post again.
        if (completion) completion(gone, {}, gone ? std::nullopt : std::optional<PLYServiceError>(error), std::nullopt);
        if (!self || self->m_detached) return;
        if (auto s = self->services()) s->refreshInfo();
        if (gone && ours) self->afterRemoteDeleted();
        else self->fire(S(EventRefresh));
    });
}
