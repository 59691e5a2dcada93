#pragma once

#include "PLYFiniteStateMachine.h"
#include "PLYNotificationCenter.h"
#include "PLYServiceError.h"
#include "PLYWebServiceHostRealTimeDelegate.h"
#include "PLYWebServiceModelObject.h"
#include "PLYWebServicePostPublisherBase.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <memory>

class PLYPersistantPost;
class PLYWebServiceHost;
class PLYWebServicePost;
class PLYWebServicePostPublisherServices;
class PLYWebServicePostRevision;
class PLYWebServicePublishRevision;
class QNetworkReply;

// Follows one local post on the publishing service: whether it is published, whether the
// published layout is behind the local one, and the road of an upload (create or update the
// remote post, upload the images the service lacks, wait for the server's build). Everything
// runs on the main thread.
class PLYWebServicePostPublisher : public PLYWebServicePostPublisherBase,
                                   public PLYWebServiceHostRealTimeDelegate,
                                   public std::enable_shared_from_this<PLYWebServicePostPublisher> {
public:
    // States
    static constexpr const char* StateFetchingInfo = "FETCHING_INFO";
    static constexpr const char* StateUpdateAvailable = "UPDATE_AVAILABLE";
    static constexpr const char* StateNotPublished = "NOT_PUBLISHED";
    static constexpr const char* StateWaitingForService = "WAITING_FOR_SERVICE";
    static constexpr const char* StateIdle = "IDLE";
    static constexpr const char* StateCreatingPost = "CREATING_POST";
    static constexpr const char* StateCreatedPost = "CREATED_POST";
    static constexpr const char* StateUploadingImages = "UPLOADING_IMAGES";
    static constexpr const char* StateUpdatingPost = "UPDATING_POST";
    static constexpr const char* StateUpdatedPost = "UPDATED_POST";
    static constexpr const char* StateServerBuilding = "SERVER_BUILDING";
    static constexpr const char* StateCancelling = "CANCELLING";
    // The last upload ended with images that the service still lacks (refused, lost, missing
    // from the library), or the build waited in vain for images nobody is uploading. The user
    // retries (retryFailedImages) or cancels (cancelPublishing); imageUploadFailed() says how
    // many failed.
    static constexpr const char* StateUploadIncomplete = "UPLOAD_INCOMPLETE";
    // Events
    static constexpr const char* EventServiceChanged = "ENV_SERVICE_CHANGED";
    static constexpr const char* EventRefresh = "ENV_REFRESH";
    static constexpr const char* EventServiceRestored = "ENV_SERVICE_RESTORED";
    static constexpr const char* EventLayoutChangedAvailable = "ENV_LAYOUT_DATA_CHANGED_AVAILABLE";
    static constexpr const char* EventLayoutChangedNotAvailable = "ENV_LAYOUT_DATA_CHANGED_NOT_AVAILABLE";
    static constexpr const char* EventNoRemotePost = "ENV_NO_REMOTE_POST";
    static constexpr const char* EventRemotePostUpToDate = "ENV_REMOTE_POST_UP_TO_DATE";
    static constexpr const char* EventCreateRemotePost = "ENV_CREATE_REMOTE_POST";
    static constexpr const char* EventBailRemotePostManipulate = "ENV_BAIL_REMOTE_POST_MANIPULATE";
    static constexpr const char* EventRemotePostCreated = "ENV_REMOTE_POST_CREATED";
    static constexpr const char* EventUpdateRemotePost = "ENV_UPDATE_REMOTE_POST";
    static constexpr const char* EventContinueUpdatingRemotePost = "ENV_CONTINUE_UPDATING_REMOTE_POST";
    static constexpr const char* EventUpdatedRemotePost = "ENV_UPDATED_REMOTE_POST";
    static constexpr const char* EventUploadImages = "ENV_UPLOAD_IMAGES";
    static constexpr const char* EventWaitingForServer = "ENV_WAITING_FOR_SERVER";
    static constexpr const char* EventCancelProcess = "ENV_CANCEL_PROCESS";
    static constexpr const char* EventUploadIncomplete = "ENV_UPLOAD_INCOMPLETE";
    static constexpr const char* EventRetryUpload = "ENV_RETRY_UPLOAD";

    // Progress of an upload, in the user info of its self-transitions; "failed" also travels
    // with the event that ends the upload.
    static constexpr const char* ProgressRequiredKey = "required";
    static constexpr const char* ProgressUploadedKey = "uploaded";
    static constexpr const char* ProgressFailedKey = "failed";

    static constexpr int MaxConcurrentUploads = 10;
    static constexpr int MaxUploadRetries = 3;
    // Checks of a build that waits for images nobody uploads before giving up.
    static constexpr int MaxStalledBuildChecks = 3;

    // The service states in which nothing can be published.
    static const QStringList& serviceUnavailableStates();

    // Builds and activates the machine (fetching at once unless the service is unavailable)
    // and starts observing the service and this post's layout edits.
    static std::shared_ptr<PLYWebServicePostPublisher> initWithPost(const std::shared_ptr<PLYPersistantPost>& post);
    ~PLYWebServicePostPublisher() override;
    PLYWebServicePostPublisher(const PLYWebServicePostPublisher&) = delete;
    PLYWebServicePostPublisher& operator=(const PLYWebServicePostPublisher&) = delete;

    // Observers of this publisher's state changes ("PLYFiniteStateMachineDidChangeStateNotification"
    // with the machine as object); removable by owner.
    void addStateChangeNotificationHandler(const void* owner, PLYNotificationCenter::Handler handler);
    void removeStateChangeNotificationHandler(const void* owner);

    std::shared_ptr<PLYFiniteStateMachine> stateMachine() const { return m_stateMachine; }
    PLYFiniteStatePtr currentState() const;
    QString currentStateName() const;
    std::shared_ptr<PLYPersistantPost> localPost() const override { return m_localPost; }
    std::shared_ptr<PLYWebServicePost> publishingPost() const { return m_publishingPost; }
    std::shared_ptr<PLYWebServicePostRevision> pendingRevision() const;
    std::shared_ptr<PLYWebServicePostRevision> liveRevision() const;
    std::shared_ptr<PLYWebServicePublishRevision> pendingPublishRevision() const;
    std::shared_ptr<PLYWebServicePublishRevision> livePublishRevision() const;
    // In one of the states of an upload under way (not UPDATED_POST, not CANCELLING).
    bool updating() const;
    qint64 imageUploadRequired() const { return m_imageUploadRequired; }
    qint64 imageUploadCount() const { return m_imageUploadCount; }
    // Images of the last upload batch that did not reach the service (or that the service
    // still lacked when the build wait gave up), and their identifiers.
    qint64 imageUploadFailed() const { return m_imageUploadFailed; }
    QStringList failedImageIdentifiers() const { return m_failedImages; }
    // Each failed image of the last batch as "<file name> (<why>)", in the order they failed.
    QStringList failedImageDescriptions() const;

    // The images of the layout that cannot be published, named by their files, with why: a
    // deleted file, a file that is empty, unreadable or not an image, one still being prepared,
    // or one without an export rendition. Publishing refuses while any is left.
    struct UnusableImage {
        QString identifier;
        QString name;
        QString reason;
    };
    QList<UnusableImage> unusableLayoutImages() const;

    // Whether the local layout differs from the live revision's; NO without a live revision.
    bool isPublishedBlobBehindCurrent() const;

    void layoutChanged(const PLYNotification& notification);
    void webServiceManagerStateChangeNotification(const PLYNotification& notification);

    // Entry points: YES when an event was fired.
    bool createOrUpdatePublishedPost();
    bool createOrUpdatePublishedPostWithPublishCategory(const QString& category, bool autoPublish);
    bool createOrUpdatePublishedPostPublish(bool publish, const QString& category, bool autoPublish);
    bool cancelPublishing();
    bool canCancelPublishing() const;
    // From UPLOAD_INCOMPLETE: asks the service which images it still lacks and uploads only
    // those. YES when the retry started.
    bool retryFailedImages();
    bool canRetryFailedImages() const;
    // Deletes the remote post. NO (and the completion is never called) without a token or a
    // remote identifier, and while a request or an upload is under way (accepted while waiting
    // for the build). A remote identifier that cannot address anything is forgotten at once
    // (YES, completion with success, nothing sent). Afterwards the publisher lands in
    // NOT_PUBLISHED.
    bool deletePost(const PLYWebServiceCompletionBlock& completion) override;

    QVariantMap createPostRevisionPayload() const;
    QVariantMap createPublishRevisionPayload(const QString& category, bool autoPublish) const;

    void checkServerCompletedBuild(bool keepPolling);
    void handlePostError(const PLYServiceError& error, const QString& continueEvent, const QVariantMap& userInfo);

    // A channel message about this publisher's remote post.
    void webServiceHostDidRecieveEvent(PLYWebServiceHost* host, const QString& event, const QVariantMap& message) override;

    // The local post was deleted: no further requests, events or saves.
    void detach() override;
    bool isDetached() const override { return m_detached; }

    // Tests use short intervals (milliseconds); negative restores the defaults.
    static void setBuildPollIntervalForTesting(int ms);
    static void setFetchRetryIntervalForTesting(int ms);
    static void setUploadRetryDelayForTesting(int ms);

private:
    explicit PLYWebServicePostPublisher(std::shared_ptr<PLYPersistantPost> post);
    void buildStateMachine();
    void startObserving();
    std::shared_ptr<PLYWebServicePostPublisherServices> services() const;
    bool fire(const QString& event, const QVariantMap& userInfo = {});
    bool inState(const char* name) const;
    void registerForChannel();
    void savePost();
    // The remote post no longer exists: clear and save the remote identifier.
    void forgetRemotePost();
    bool postStillInStore() const;

    // Remote state
    void fetchRemoteState(quint64 generation);
    void fetchRevision(quint64 generation, bool pending, const std::shared_ptr<PLYWebServicePost>& post);
    // Drops the gathering under way and starts it again.
    void restartGather();
    // The states in which a build check may take the fetched remote post.
    bool isWaitingForBuild() const;
    // The remote post is gone for good (deleted here): land in NOT_PUBLISHED.
    void afterRemoteDeleted();
    void decideAfterFetch(quint64 generation);
    void retryFetchLater(quint64 generation);
    bool fetchIsCurrent(quint64 generation) const;

    // Create and update
    void sendPostRequest(bool create, const QVariantMap& body);
    void takePostResponse(bool create, const QVariantMap& body);
    QVariantMap entryUserInfo(bool create, bool publish, const QString& category, bool autoPublish) const;
    bool entryGuardPasses(bool publish, const QString& category, bool autoPublish);
    static QVariantMap withoutPublishing(const QVariantMap& userInfo);
    void continueAfterAccountDetails(bool completed, const QString& continueEvent, const QVariantMap& userInfo);

    // Hooks
    void afterCreateOrUpdate(const PLYFiniteTransitionPtr& transition);
    void startUpload(const std::shared_ptr<PLYWebServicePostRevision>& revision);
    void retryUpload();
    void uploadIncomplete(const QStringList& failed);
    void imageFailed(const QString& identifier, const QString& reason);
    void enterCancelling();

    // Upload
    void pumpUploads();
    void pushImage(const QString& identifier);
    void uploadFinished(QNetworkReply* reply, const QString& identifier, quint64 batch);
    void checkImageUploadStatus();
    void invalidateUploadSession();
    void endUploadBatch();

    std::shared_ptr<PLYPersistantPost> m_localPost;
    std::shared_ptr<PLYWebServicePost> m_publishingPost;
    std::shared_ptr<PLYFiniteStateMachine> m_stateMachine;
    const void* m_layoutManagerObject = nullptr;
    PLYObserverBag m_observers;
    QHash<const void*, QList<PLYNotificationCenter::Token>> m_stateObservers;
    bool m_observingService = false;
    bool m_detached = false;

    quint64 m_fetchGeneration = 0;
    // The create or update request whose answer is awaited; older answers are stale.
    quint64 m_postRequestGeneration = 0;
    int m_stalledBuildChecks = 0;
    QTimer m_fetchRetryTimer;
    QTimer m_buildPollTimer;

    // The current upload batch; a new batch (or its end) makes older completions stale.
    quint64 m_uploadBatch = 0;
    bool m_uploadActive = false;
    QVariant m_uploadRevisionIdValue;
    QStringList m_uploadQueue;
    QSet<QNetworkReply*> m_uploadReplies;
    QHash<QString, int> m_uploadAttempts;
    int m_uploadRetriesScheduled = 0;
    qint64 m_imageUploadRequired = 0;
    qint64 m_imageUploadCount = 0;
    qint64 m_imageUploadFailed = 0;
    QStringList m_failedImages;
    QHash<QString, QString> m_failedReasons;  // why each failed image failed
    QHash<QString, QString> m_uploadNames;  // export names of the batch's images
};
