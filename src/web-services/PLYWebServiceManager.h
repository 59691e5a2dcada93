#pragma once

#include "PLYFiniteStateMachine.h"
#include "PLYNotificationCenter.h"
#include "PLYWebServiceGateway.h"
#include "PLYWebServiceModelObject.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class PLYPersistantPost;
class PLYReachability;
class PLYWebServiceAccount;
class PLYWebServiceHost;
class PLYWebServiceHostProbe;
class PLYWebServicePostPublisherBase;
class PLYWebServicePublisher;
class PLYWebServiceUser;

// The process-wide connection to the publishing service: the "Web_Service" machine that walks
// from connectivity through the version check and sign-in to fetching the user, account and
// publisher, and idles; the session operations; and one post publisher per post.
// Everything runs on the main thread.
class PLYWebServiceManager : public QObject {
public:
    static constexpr const char* MachineName = "Web_Service";

    // States, in the order they are added.
    static constexpr const char* StateCheckingConnection = "CHECKING_CONNECTION";
    static constexpr const char* StateNoInternet = "NO_INTERNET";
    static constexpr const char* StateServerConnection = "SERVER_CONNECTION";
    static constexpr const char* StateCheckingServerVersion = "CHECKING_SERVER_VERSION";
    static constexpr const char* StateOutOfDateVersion = "OUT_OF_DATE_VERSION";
    static constexpr const char* StateAttemptingLogin = "ATTEMPTING_LOGIN";
    static constexpr const char* StateNotAuthd = "NOT_AUTHD";
    static constexpr const char* StateCreatingAccount = "CREATING_ACCOUNT";
    static constexpr const char* StateNoAccount = "NO_ACCOUNT";
    static constexpr const char* StateFetchingInfo = "FETCHING_INFO";
    static constexpr const char* StateIdle = "IDLE";
    static constexpr const char* StateUpdatingAccount = "UPDATING_ACCOUNT";
    static constexpr const char* StateUpdatingUser = "UPDATING_USER";
    static constexpr const char* StateCreatingPublisher = "CREATING_PUBLISHER";
    static constexpr const char* StateDeletingPublisher = "DELETING_PUBLISHER";
    static constexpr const char* StateUpdatingPublisher = "UPDATING_PUBLISHER";
    static constexpr const char* StateNotVerified = "NOT_VERIFIED";
    static constexpr const char* StateAccountLocked = "ACCOUNT_LOCKED";
    static constexpr const char* StateAccountPendingDeletion = "ACCOUNT_PENDING_DELETION";
    static constexpr const char* StateRefreshingAuth = "PLYWSM_STATE_REFRESHING_AUTH";
    static constexpr const char* StateSigningOut = "PLYWSM_STATE_SIGNING_OUT";

    // Events, in the order they are added.
    static constexpr const char* EventConnectionChanged = "ENV_CONNECTION_CHANGED";
    static constexpr const char* EventHaveInternet = "ENV_HAVE_INTERNET";
    static constexpr const char* EventReachedServer = "ENV_REACHED_SERVER";
    static constexpr const char* EventCannotReachInternet = "ENV_CANNOT_REACH_INTERNET";
    static constexpr const char* EventCannotReachServer = "ENV_CANNOT_REACH_SERVER";
    static constexpr const char* EventCheckServerVersion = "ENV_CHECK_SERVER_VERSION";
    static constexpr const char* EventRecievedBadVersion = "ENV_RECIEVED_BAD_VERSION";
    static constexpr const char* EventRecievedValidVersion = "ENV_RECIEVED_VALID_VERSION";
    static constexpr const char* EventUpdatedAuthInfo = "ENV_UPDATED_AUTH_INFO";
    static constexpr const char* EventBadAuth = "ENV_BAD_AUTH";
    static constexpr const char* EventIncorrectCredentials = "ENV_INCORRECT_CREDENTIALS";
    static constexpr const char* EventCreateAccount = "ENV_CREATE_ACCOUNT";
    static constexpr const char* EventNoAccountInfo = "ENV_NO_ACCOUNT_INFO";
    static constexpr const char* EventFailedAccountCreate = "ENV_FAILED_ACCOUNT_CREATE";
    static constexpr const char* EventSignedOut = "ENV_SIGNED_OUT";
    static constexpr const char* EventCreatedAccount = "ENV_CREATED_ACCOUNT";
    static constexpr const char* EventRefreshInfo = "ENV_REFRESH_INFO";
    static constexpr const char* EventLoggedIn = "ENV_LOGGED_IN";
    static constexpr const char* EventAccountNotVerified = "ENV_ACCOUNT_NOT_VERIFIED";
    static constexpr const char* EventAccountLocked = "ENV_ACCOUNT_LOCKED";
    static constexpr const char* EventAccountPendingDeletion = "ENV_ACCOUNT_PENDING_DELETION";
    static constexpr const char* EventFetchedInfo = "ENV_FETCHED_INFO";
    static constexpr const char* EventUpdatedInfo = "ENV_UPDATED_INFO";
    static constexpr const char* EventCreatedPublisher = "ENV_CREATED_PUBLISHER";
    static constexpr const char* EventFailedPublisherCreate = "ENV_FAILED_PUBLISHER_CREATE";
    static constexpr const char* EventFailedPublisherDelete = "ENV_FAILED_PUBLISHER_DELETE";
    static constexpr const char* EventUpdateUser = "ENV_UPDATE_USER";
    static constexpr const char* EventUpdateAccount = "ENV_UPDATE_ACCOUNT";
    static constexpr const char* EventUpdatePublisher = "ENV_UPDATE_PUBLISHER";
    static constexpr const char* EventCreatePublisher = "ENV_CREATE_PUBLISHER";
    static constexpr const char* EventDeletePublisher = "ENV_DELETE_PUBLISHER";
    static constexpr const char* EventRefreshAuth = "ENV_REFRESH_AUTH";
    static constexpr const char* EventSignOut = "ENV_SIGN_OUT";

    // User-info keys of the machine's events.
    static constexpr const char* ErrorKey = "error";
    static constexpr const char* ForwardEventKey = "forwardEvent";
    static constexpr const char* InfoKey = "info";

    // ---- The singleton ----
    static PLYWebServiceManager* globalManager();
    static PLYWebServiceManager* sharedManager() { return globalManager(); }
    // The manager when one exists, never a new one: for clean-up paths, which run also while
    // the manager itself is being destroyed.
    static PLYWebServiceManager* existingManager();
    // Registers the manager with the core manager (gateway) and the model objects (payload
    // logger). Called once by the application's start-up, before the core manager starts.
    static void install();
    // Tests: destroys the manager; the next globalManager() makes a fresh one. Injected inputs,
    // timings and factories stay as set.
    static void resetForTesting();
    // Destroys the manager at the end of the process, while the application object still exists.
    static void shutdown();

    // The core manager's start-up hook: the first use of globalManager() started everything.
    void beginManager();

    std::shared_ptr<PLYFiniteStateMachine> stateMachine() const { return m_machine; }
    PLYFiniteStatePtr currentState() const;
    QString currentStateName() const;

    std::shared_ptr<PLYWebServiceUser> remoteUser() const { return m_remoteUser; }
    std::shared_ptr<PLYWebServiceAccount> remoteAccount() const { return m_remoteAccount; }
    std::shared_ptr<PLYWebServicePublisher> remotePublisher() const { return m_remotePublisher; }

    // Follows the machine's "PLYFiniteStateMachineDidChangeStateNotification". One registration
    // per observer: registering again replaces the handler.
    void addStateChangeNotificationHandler(const void* observer, PLYNotificationCenter::Handler handler);
    void removeStateChangeNotificationHandler(const void* observer);

    // ---- Session operations: NO (and a log line) when the machine refuses the event ----
    bool loginWithEmail(const QString& email, const QString& password, bool remember);
    bool createUserAccountWithFirstName(const QString& firstName, const QString& lastName, const QString& email,
                                        const QString& password);
    bool refreshInfo();
    bool updateUser(const QString& firstName, const QString& lastName, const QString& email);
    bool updateAccount(const QString& host);
    bool createPublisher(qint64 type, const QString& username, const QString& password);
    bool updatePublisher(const QString& username, const QString& password, const QString& defaultCategory,
                         bool autoPublish);
    bool deletePublisher();

    // ---- Post publishers ----
    using PublisherFactory =
        std::function<std::shared_ptr<PLYWebServicePostPublisherBase>(const std::shared_ptr<PLYPersistantPost>&)>;
    static void setPublisherFactory(PublisherFactory factory);
    // The publisher of the post with this identifier, made on first request (nothing when no
    // factory is registered or no post is given).
    std::shared_ptr<PLYWebServicePostPublisherBase> publisherForPost(const std::shared_ptr<PLYPersistantPost>& post);
    template <class T>
    std::shared_ptr<T> publisherForPostAs(const std::shared_ptr<PLYPersistantPost>& post) {
        return std::dynamic_pointer_cast<T>(publisherForPost(post));
    }
    QList<std::shared_ptr<PLYWebServicePostPublisherBase>> currentPublishers() const { return m_publishers; }

    // ---- Modal windows (through PLYWebServiceSessionPresenter) ----
    // The completion hears YES when the window ended with the continue response.
    void presentEmailVerifyNotification(const PLYWebServiceCompletionBlock& completion);
    // While one account-details window runs, a second call does nothing.
    void presentAccountDetailsNotification(bool startAtPublisher, bool startAtRPC,
                                           const PLYWebServiceCompletionBlock& completion);

    // "Payload Reponse for:`%@`\n\tResp: %@\n\t:Data: %@" at information level.
    static void logPayloadResponse(const QString& caller, const QString& response, const QVariant& data);

    // ---- Inputs and timings (tests put short ones in place) ----
    struct Timing {
        double publisherStartDelay = 1.0;  // after entering IDLE
        double retryInitialDelay = 1.0;    // service-error route back into the same request
        double retryMaximumDelay = 60.0;
        double relaunchDelay = 2.0;
    };
    static void setTiming(const Timing& timing);
    static Timing timing();
    using InternetMonitorFactory = std::function<std::shared_ptr<PLYReachability>()>;
    using HostProbeFactory = std::function<std::unique_ptr<PLYWebServiceHostProbe>()>;
    static void setInternetMonitorFactory(InternetMonitorFactory factory);
    static void setHostProbeFactory(HostProbeFactory factory);
    // The application's version ("CFBundleShortVersionString"); empty means the built one.
    static void setApplicationVersion(const QString& version);
    static QString applicationVersion();
    // Relaunches the application after `delay` seconds; the application shell installs it.
    static void setRelaunchHandler(std::function<void(double delay)> handler);

    // Whether the service version (the lowest application version it takes) accepts this
    // application version, compared over the application's components: the first that differs
    // decides; running out of them accepts (service "1.4.0.1" takes application "1.4.0"); a
    // component the service lacks counts as 0.
    static bool isVersionSupported(const QString& serviceVersion, const QString& applicationVersion);

    void ensureReachability();
    void destroyReachability();
    PLYReachability* internetMonitor() const { return m_internet.get(); }
    PLYWebServiceHostProbe* hostProbe() const { return m_probe.get(); }

    ~PLYWebServiceManager() override;

private:
    PLYWebServiceManager();
    void buildStateMachine();
    void currentHostChangedNotification();
    bool fire(const char* event, const QVariantMap& userInfo = {});
    // A good answer of the service: the next failure waits the shortest time again.
    void resetBackOff() { m_retryDelay = 0; }
    bool guardedFire(const char* event, const QVariantMap& userInfo, const QString& preparing, const QString& refused,
                     const std::function<void()>& before = {});
    // Back to the connection road; `wait` delays it by a growing interval (reset at IDLE).
    void retryConnection(bool wait);

    // Enter actions.
    void checkConnection(const PLYFiniteTransitionPtr& transition);
    void checkServerVersion(const PLYFiniteTransitionPtr& transition);
    void attemptLogin(const PLYFiniteTransitionPtr& transition);
    void createAccount(const PLYFiniteTransitionPtr& transition);
    void fetchInfo(const PLYFiniteTransitionPtr& transition);
    void enterIdle();
    void updateRemote(const QString& state, const PLYFiniteTransitionPtr& transition);
    void createRemotePublisher(const PLYFiniteTransitionPtr& transition);
    void deleteRemotePublisher(const PLYFiniteTransitionPtr& transition);
    void refreshAuthentication(const PLYFiniteTransitionPtr& transition);
    void enterNoAccount();

    // One fetch of FETCHING_INFO: `fetched` takes the resource; a failure goes through the
    // service-error route unless `handledFailure` takes it.
    template <class T>
    void fetchStep(quint64 ticket, std::function<void(const std::shared_ptr<T>&)> fetched,
                   std::function<bool(const std::optional<PLYServiceError>&)> handledFailure = {});
    void fetchPublisher(quint64 ticket);
    void fetchedAccount(quint64 ticket, const std::shared_ptr<PLYWebServiceAccount>& account);
    // The library follows the fetched user: another user's posts are never written under this
    // token, and their publishers stop.
    void adoptFetchedUser(const std::shared_ptr<PLYWebServiceUser>& user);
    void showRestartAlert();
    void promptForPassword(const QVariantMap& forwardInfo);
    void resumeAfterReauthentication(const QVariantMap& forwardInfo);
    void resumeWithFreshToken(const QVariantMap& forwardInfo);
    // An update that failed for another reason than an expired token: back to IDLE with the error.
    void updateFailed(const std::optional<PLYServiceError>& error, const std::optional<PLYError>& transport,
                      const QString& state, const QVariantMap& info, const PLYFiniteTransitionPtr& transition);

    // Failure routes.
    void processServiceError(const std::optional<PLYServiceError>& error, const QString& state, const QVariantMap& info);
    void processReponseError(const PLYError& error, const PLYFiniteTransitionPtr& transition);

    // The outcome of the request started by one entry into a state, for one environment: a
    // ticket that is still current when the answer arrives.
    quint64 beginWork();
    bool isCurrent(quint64 ticket) const;

public:
    // How a log-in ended: only Refused says that the credentials are wrong.
    enum class LoginOutcome { SignedIn, Refused, ServiceFailed, TransportFailed };
    // Whether a failed log-in answer refuses the credentials (401 or 403, or the service's
    // incorrect-password or incorrect-e-mail codes) rather than reporting trouble of the service.
    static bool isCredentialRefusal(int status, const PLYServiceError& error);

private:
    using LoginCompletion = std::function<void(LoginOutcome outcome, const std::optional<PLYServiceError>&,
                                               const std::optional<PLYError>&)>;
    void loginAndSetJWTWithEmail(const QString& email, const QString& password, LoginCompletion completion);
    // A POST/DELETE of the manager itself; answers false when it could not be sent.
    bool sendManagerRequest(const QByteArray& method, const QUrl& url, const std::optional<QVariant>& body,
                            bool authenticated, const QString& caller,
                            std::function<void(const PLYWebServiceModelObject::Response&)> handler,
                            bool goodAnswerResetsBackOff = true);

    class Gateway;

    std::shared_ptr<PLYFiniteStateMachine> m_machine;
    std::shared_ptr<PLYWebServiceUser> m_remoteUser;
    std::shared_ptr<PLYWebServiceAccount> m_remoteAccount;
    std::shared_ptr<PLYWebServicePublisher> m_remotePublisher;
    QList<std::shared_ptr<PLYWebServicePostPublisherBase>> m_publishers;
    std::shared_ptr<PLYReachability> m_internet;
    std::unique_ptr<PLYWebServiceHostProbe> m_probe;
    QMap<const void*, PLYNotificationCenter::Token> m_stateHandlers;
    PLYObserverBag m_observers;

    quint64 m_ticket = 0;
    // Growing wait of a service-error route that leads straight back into the same request.
    double m_retryDelay = 0;
    // Growing wait before resuming with a fresh token when the service refused the last one it
    // issued at once; reset once the service takes a token.
    double m_resumeDelay = 0;
    // The token with which the interrupted work was last resumed after re-authentication.
    QString m_resumedWithToken;
    // The token that the last code 10000 refused.
    QString m_refusedToken;
    bool m_signInPromptOpen = false;
    // The showing of the sign-in prompt (each showing answers only while it is the latest), the
    // account it asks for, and the entry into re-authentication its answer resumes.
    quint64 m_promptRun = 0;
    PLYWebServiceHost* m_promptHost = nullptr;
    QString m_promptEmail;
    quint64 m_promptTicket = 0;
    QVariantMap m_promptForward;
    bool m_accountDetailsOpen = false;
};
