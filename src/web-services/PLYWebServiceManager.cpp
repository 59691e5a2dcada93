#include "PLYWebServiceManager.h"

#include "PLYAlertPresenter.h"
#include "PLYCoreManager.h"
#include "PLYDesktopServices.h"
#include "PLYDispatch.h"
#include "PLYLog.h"
#include "PLYMigrator.h"
#include "PLYModalRunner.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYReachability.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServiceChannel.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceHostProbe.h"
#include "PLYWebServicePostPublisherBase.h"
#include "PLYWebServicePublisher.h"
#include "PLYWebServiceSessionPresenter.h"
#include "PLYWebServiceUser.h"
#include "PelloryServices.h"

#include <QCoreApplication>
#include <mutex>

namespace {

using Response = PLYWebServiceModelObject::Response;

struct Settings {
    std::mutex mutex;
    PLYWebServiceManager::Timing timing;
    PLYWebServiceManager::InternetMonitorFactory internetFactory;
    PLYWebServiceManager::HostProbeFactory probeFactory;
    PLYWebServiceManager::PublisherFactory publisherFactory;
    std::function<void(double)> relaunch;
    QString applicationVersion;
};

Settings& settings() {
    static Settings s;
    return s;
}

template <class T>
T setting(T Settings::*member) {
    std::lock_guard lock(settings().mutex);
    return settings().*member;
}

std::unique_ptr<PLYWebServiceManager>& instanceSlot() {
    static std::unique_ptr<PLYWebServiceManager> instance;
    return instance;
}

QString S(const char* text) { return QString::fromLatin1(text); }

QVariant errorValue(const PLYServiceError& error) { return QVariant::fromValue(error); }

// The states whose service errors lead back into the connection road without repeating their
// own request straight away.
bool isUpdateState(const QString& state) {
    return state == QLatin1String(PLYWebServiceManager::StateUpdatingUser) ||
           state == QLatin1String(PLYWebServiceManager::StateUpdatingAccount) ||
           state == QLatin1String(PLYWebServiceManager::StateUpdatingPublisher);
}


}  // namespace

// ---- The core manager's view of the web service ----

class PLYWebServiceManager::Gateway : public PLYWebServiceGateway {
public:
    void beginManager() override { PLYWebServiceManager::globalManager()->beginManager(); }
    void clearStoredKeys() override { PLYWebServiceHost::currentHost()->clearStoredKeys(); }
    QString storedEmail() const override { return PLYWebServiceHost::currentHost()->email(); }
    void deleteRemotePost(const std::shared_ptr<PLYPersistantPost>& post,
                          std::function<void(bool)> completion) override {
        const auto publisher = PLYWebServiceManager::globalManager()->publisherForPost(post);
        const bool sent = publisher && publisher->deletePost([completion](bool success, const QVariant&,
                                                                           const std::optional<PLYServiceError>&,
                                                                           const std::optional<PLYError>&) {
            if (completion) completion(success);
        });
        if (!sent && completion) PLYDispatch::mainAsync([completion] { completion(false); });
    }
};

// ---- Singleton and settings ----

PLYWebServiceManager* PLYWebServiceManager::globalManager() {
    auto& slot = instanceSlot();
    if (!slot) {
        slot.reset(new PLYWebServiceManager());
        slot->ensureReachability();
        // The first connection check reads the monitors, so they exist before the machine starts.
        slot->m_machine->activate();
    }
    return slot.get();
}

PLYWebServiceManager* PLYWebServiceManager::existingManager() { return instanceSlot().get(); }

void PLYWebServiceManager::install() {
    static Gateway gateway;
    PLYCoreManager::setWebServiceGateway(&gateway);
    PLYWebServiceModelObject::setPayloadLogger(&PLYWebServiceManager::logPayloadResponse);
    PLYWebServiceUser::setLocalPostCountProvider([]() -> quint64 {
        const auto store = PLYCoreManager::persistantStore();
        const auto account = store ? store->currentAccount() : nullptr;
        return account ? quint64(account->currentPosts().size()) : 0;
    });
}

void PLYWebServiceManager::resetForTesting() { instanceSlot().reset(); }
void PLYWebServiceManager::shutdown() {
    instanceSlot().reset();
    // The hosts outlive everything; their sockets must not outlive the event loop.
    PLYWebServiceHost::closeAllChannels();
}

void PLYWebServiceManager::setTiming(const Timing& timing) {
    std::lock_guard lock(settings().mutex);
    settings().timing = timing;
}

PLYWebServiceManager::Timing PLYWebServiceManager::timing() { return setting(&Settings::timing); }

void PLYWebServiceManager::setInternetMonitorFactory(InternetMonitorFactory factory) {
    std::lock_guard lock(settings().mutex);
    settings().internetFactory = std::move(factory);
}

void PLYWebServiceManager::setHostProbeFactory(HostProbeFactory factory) {
    std::lock_guard lock(settings().mutex);
    settings().probeFactory = std::move(factory);
}

void PLYWebServiceManager::setPublisherFactory(PublisherFactory factory) {
    std::lock_guard lock(settings().mutex);
    settings().publisherFactory = std::move(factory);
}

void PLYWebServiceManager::setApplicationVersion(const QString& version) {
    std::lock_guard lock(settings().mutex);
    settings().applicationVersion = version;
}

QString PLYWebServiceManager::applicationVersion() {
    const QString injected = setting(&Settings::applicationVersion);
    if (!injected.isEmpty()) return injected;
    const QString version = QCoreApplication::applicationVersion();
#ifdef PELLORY_VERSION
    if (version.isEmpty()) return QStringLiteral(PELLORY_VERSION);
#endif
    return version;
}

void PLYWebServiceManager::setRelaunchHandler(std::function<void(double)> handler) {
    std::lock_guard lock(settings().mutex);
    settings().relaunch = std::move(handler);
}

// ---- Life ----

PLYWebServiceManager::PLYWebServiceManager() {
    m_observers.add(S(PLYWebServiceHost::DidChangeCurrentHostNotification), nullptr,
                    [this](const PLYNotification&) { currentHostChangedNotification(); });
    // The channel joins the topic of the account this manager fetched.
    PLYWebServiceChannel::setAccountIdentifierProvider([] {
        const auto& slot = instanceSlot();
        return slot && slot->remoteAccount() ? slot->remoteAccount()->identifierString() : QString();
    });
    buildStateMachine();
}

PLYWebServiceManager::~PLYWebServiceManager() {
    for (const auto token : std::as_const(m_stateHandlers)) PLYNotificationCenter::defaultCenter().removeObserver(token);
    m_stateHandlers.clear();
    m_observers.clear();
    destroyReachability();
    if (m_internet) {
        m_internet->setReachableBlock({});
        m_internet->setUnreachableBlock({});
        m_internet->stopNotifier();
    }
}

void PLYWebServiceManager::beginManager() {
    // Everything started with the first use of globalManager().
}

void PLYWebServiceManager::buildStateMachine() {
    m_machine = PLYFiniteStateMachine::initWithName(S(MachineName));
    const std::vector<std::pair<const char*, std::function<void(const PLYFiniteTransitionPtr&)>>> states = {
        {StateCheckingConnection, [this](const PLYFiniteTransitionPtr& t) { checkConnection(t); }},
        {StateNoInternet, nullptr},
        {StateServerConnection, nullptr},
        {StateCheckingServerVersion, [this](const PLYFiniteTransitionPtr& t) { checkServerVersion(t); }},
        {StateOutOfDateVersion, nullptr},
        {StateAttemptingLogin, [this](const PLYFiniteTransitionPtr& t) { attemptLogin(t); }},
        {StateNotAuthd, nullptr},
        {StateCreatingAccount, [this](const PLYFiniteTransitionPtr& t) { createAccount(t); }},
        {StateNoAccount, [this](const PLYFiniteTransitionPtr&) { enterNoAccount(); }},
        {StateFetchingInfo, [this](const PLYFiniteTransitionPtr& t) { fetchInfo(t); }},
        {StateIdle, [this](const PLYFiniteTransitionPtr&) { enterIdle(); }},
        {StateUpdatingAccount, [this](const PLYFiniteTransitionPtr& t) { updateRemote(S(StateUpdatingAccount), t); }},
        {StateUpdatingUser, [this](const PLYFiniteTransitionPtr& t) { updateRemote(S(StateUpdatingUser), t); }},
        {StateCreatingPublisher, [this](const PLYFiniteTransitionPtr& t) { createRemotePublisher(t); }},
        {StateDeletingPublisher, [this](const PLYFiniteTransitionPtr& t) { deleteRemotePublisher(t); }},
        {StateUpdatingPublisher, [this](const PLYFiniteTransitionPtr& t) { updateRemote(S(StateUpdatingPublisher), t); }},
        {StateNotVerified, nullptr},
        {StateAccountLocked, nullptr},
        {StateAccountPendingDeletion, nullptr},
        {StateRefreshingAuth, [this](const PLYFiniteTransitionPtr& t) { refreshAuthentication(t); }},
        {StateSigningOut, nullptr},
    };
    QList<PLYFiniteStatePtr> all;
    for (const auto& [name, action] : states) {
        auto state = PLYFiniteState::stateWithName(S(name));
        state->setDidEnterStateBlock([this, action](const PLYFiniteStatePtr&, const PLYFiniteTransitionPtr& transition) {
            // Every entry starts new work: answers to earlier work are dropped.
            ++m_ticket;
            if (action) action(transition);
        });
        all << state;
    }
    m_machine->addStates(all);
    auto st = [this](const char* name) { return m_machine->stateNamed(S(name)); };
    auto add = [this](const char* name, const QList<PLYFiniteStatePtr>& from, const PLYFiniteStatePtr& to) {
        m_machine->addEvent(PLYFiniteEvent::eventWithName(S(name), from, to));
    };
    const auto updateSources = QList<PLYFiniteStatePtr>{st(StateIdle), st(StateRefreshingAuth)};
    add(EventConnectionChanged, all, st(StateCheckingConnection));
    add(EventHaveInternet, {st(StateNoInternet), st(StateServerConnection)}, st(StateCheckingConnection));
    add(EventReachedServer, {st(StateServerConnection), st(StateNoInternet)}, st(StateCheckingConnection));
    add(EventCannotReachInternet, {st(StateCheckingConnection)}, st(StateNoInternet));
    add(EventCannotReachServer, {st(StateCheckingConnection)}, st(StateServerConnection));
    add(EventCheckServerVersion, {st(StateCheckingConnection)}, st(StateCheckingServerVersion));
    add(EventRecievedBadVersion, {st(StateCheckingServerVersion)}, st(StateOutOfDateVersion));
    add(EventRecievedValidVersion, {st(StateCheckingServerVersion)}, st(StateAttemptingLogin));
    add(EventUpdatedAuthInfo, {st(StateNotAuthd), st(StateNoAccount)}, st(StateAttemptingLogin));
    add(EventBadAuth, {st(StateFetchingInfo)}, st(StateAttemptingLogin));
    add(EventIncorrectCredentials, {st(StateAttemptingLogin)}, st(StateNotAuthd));
    add(EventCreateAccount, {st(StateNotAuthd), st(StateNoAccount)}, st(StateCreatingAccount));
    add(EventNoAccountInfo, {st(StateAttemptingLogin), st(StateRefreshingAuth)}, st(StateNoAccount));
    add(EventFailedAccountCreate, {st(StateCreatingAccount)}, st(StateNoAccount));
    add(EventSignedOut, {st(StateSigningOut)}, st(StateNoAccount));
    add(EventCreatedAccount, {st(StateCreatingAccount)}, st(StateFetchingInfo));
    add(EventRefreshInfo,
        {st(StateIdle), st(StateNotVerified), st(StateAccountLocked), st(StateAccountPendingDeletion), st(StateRefreshingAuth)},
        st(StateFetchingInfo));
    add(EventLoggedIn, {st(StateAttemptingLogin)}, st(StateFetchingInfo));
    add(EventAccountNotVerified, {st(StateFetchingInfo)}, st(StateNotVerified));
    add(EventAccountLocked, {st(StateFetchingInfo)}, st(StateAccountLocked));
    add(EventAccountPendingDeletion, {st(StateFetchingInfo)}, st(StateAccountPendingDeletion));
    add(EventFetchedInfo, {st(StateFetchingInfo)}, st(StateIdle));
    add(EventUpdatedInfo,
        {st(StateUpdatingAccount), st(StateUpdatingUser), st(StateUpdatingPublisher), st(StateDeletingPublisher)},
        st(StateIdle));
    add(EventCreatedPublisher, {st(StateCreatingPublisher)}, st(StateIdle));
    add(EventFailedPublisherCreate, {st(StateCreatingPublisher)}, st(StateIdle));
    add(EventFailedPublisherDelete, {st(StateDeletingPublisher)}, st(StateIdle));
    add(EventUpdateUser, updateSources, st(StateUpdatingUser));
    add(EventUpdateAccount, updateSources, st(StateUpdatingAccount));
    add(EventUpdatePublisher, updateSources, st(StateUpdatingPublisher));
    add(EventCreatePublisher, updateSources, st(StateCreatingPublisher));
    add(EventDeletePublisher, updateSources, st(StateDeletingPublisher));
    add(EventRefreshAuth,
        {st(StateFetchingInfo), st(StateUpdatingAccount), st(StateUpdatingUser), st(StateUpdatingPublisher),
         st(StateCreatingPublisher), st(StateDeletingPublisher), st(StateRefreshingAuth)},
        st(StateRefreshingAuth));
    add(EventSignOut, {st(StateRefreshingAuth)}, st(StateSigningOut));
    m_machine->setInitialState(st(StateCheckingConnection));
}

PLYFiniteStatePtr PLYWebServiceManager::currentState() const { return m_machine ? m_machine->currentState() : nullptr; }

QString PLYWebServiceManager::currentStateName() const {
    const auto state = currentState();
    return state ? state->name() : QString();
}

bool PLYWebServiceManager::fire(const char* event, const QVariantMap& userInfo) {
    return m_machine->fireEvent(S(event), userInfo);
}

quint64 PLYWebServiceManager::beginWork() { return m_ticket; }
bool PLYWebServiceManager::isCurrent(quint64 ticket) const { return ticket == m_ticket; }

// ---- State observers ----

void PLYWebServiceManager::addStateChangeNotificationHandler(const void* observer, PLYNotificationCenter::Handler handler) {
    if (!m_machine || !observer) return;
    removeStateChangeNotificationHandler(observer);
    m_stateHandlers.insert(observer, PLYNotificationCenter::defaultCenter().addObserver(
                                         S(PLYFiniteStateMachine::DidChangeStateNotification), m_machine.get(),
                                         std::move(handler), observer));
}

void PLYWebServiceManager::removeStateChangeNotificationHandler(const void* observer) {
    const auto it = m_stateHandlers.constFind(observer);
    if (it == m_stateHandlers.constEnd()) return;
    PLYNotificationCenter::defaultCenter().removeObserver(it.value());
    m_stateHandlers.erase(it);
}

// ---- Connectivity ----

void PLYWebServiceManager::ensureReachability() {
    QPointer<PLYWebServiceManager> self(this);
    if (!m_internet) {
        const auto factory = setting(&Settings::internetFactory);
        m_internet = factory ? factory() : PLYReachability::reachabilityForInternetConnection();
        m_internet->setReachableBlock([self](PLYReachability*) {
            if (self && self->m_machine->canFireEvent(S(EventHaveInternet))) self->fire(EventHaveInternet);
        });
        m_internet->setUnreachableBlock([self](PLYReachability*) {
            if (self) self->fire(EventConnectionChanged);
        });
        m_internet->startNotifier();
    }
    const auto factory = setting(&Settings::probeFactory);
    m_probe = factory ? factory() : PLYWebServiceHostProbe::makePingProbe();
    PLYWebServiceHostProbe* probe = m_probe.get();
    m_probe->start(PLYWebServiceHost::currentHost(), [self, probe](bool reachable) {
        if (!self || self->m_probe.get() != probe) return;
        if (!reachable) self->fire(EventConnectionChanged);
        else if (self->m_machine->canFireEvent(S(EventReachedServer))) self->fire(EventReachedServer);
    });
}

void PLYWebServiceManager::destroyReachability() { m_probe.reset(); }

void PLYWebServiceManager::currentHostChangedNotification() {
    destroyReachability();
    // What was fetched belongs to the previous environment.
    m_remoteUser.reset();
    m_remoteAccount.reset();
    m_remotePublisher.reset();
    m_retryDelay = 0;
    fire(EventConnectionChanged);
    ensureReachability();
}

void PLYWebServiceManager::checkConnection(const PLYFiniteTransitionPtr& transition) {
    const QString event = transition ? transition->event()->name() : QString();
    const bool hostReachable = m_probe && m_probe->reachable();
    if (event == QLatin1String(EventHaveInternet)) {
        fire(hostReachable ? EventCheckServerVersion : EventCannotReachServer);
    } else if (event == QLatin1String(EventReachedServer)) {
        fire(EventCheckServerVersion);
    } else if (!m_internet || !m_internet->isReachable()) {
        fire(EventCannotReachInternet);
    } else {
        fire(hostReachable ? EventCheckServerVersion : EventCannotReachServer);
    }
}

// ---- Requests ----

bool PLYWebServiceManager::sendManagerRequest(const QByteArray& method, const QUrl& url,
                                              const std::optional<QVariant>& body, bool authenticated,
                                              const QString& caller, std::function<void(const Response&)> handler,
                                              bool goodAnswerResetsBackOff) {
    PLYWebServiceModelObject::Request request;
    request.method = method;
    request.url = url;
    request.jsonBody = body;
    request.authenticated = authenticated;
    request.logPayload = true;
    request.caller = caller;
    QPointer<PLYWebServiceManager> self(this);
    return PLYWebServiceModelObject::send(request, [self, goodAnswerResetsBackOff, handler = std::move(handler)](const Response& response) {
        if (self && goodAnswerResetsBackOff && response.isGood()) self->resetBackOff();
        if (handler) handler(response);
    });
}

bool PLYWebServiceManager::isVersionSupported(const QString& serviceVersion, const QString& applicationVersion) {
    const QStringList service = serviceVersion.trimmed().split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const QStringList application = applicationVersion.trimmed().split(QLatin1Char('.'), Qt::SkipEmptyParts);
    // Only the application's components are compared: running out of them accepts.
    for (qsizetype i = 0; i < application.size(); ++i) {
        const qint64 mine = application[i].toLongLong();
        const qint64 theirs = i < service.size() ? service[i].toLongLong() : 0;
        if (mine != theirs) return mine > theirs;
    }
    return true;
}

void PLYWebServiceManager::checkServerVersion(const PLYFiniteTransitionPtr& transition) {
    const quint64 ticket = beginWork();
    QPointer<PLYWebServiceManager> self(this);
    sendManagerRequest("GET", PLYWebServiceHost::currentHost()->serviceCoreURLWithPaths({QStringLiteral("supported")}),
                       std::nullopt, false, QStringLiteral("PLYWebServiceManager::checkServerVersion"),
                       [self, ticket, transition](const Response& response) {
                           if (!self || !self->isCurrent(ticket)) return;
                           if (response.transportError) {
                               self->processReponseError(*response.transportError, transition);
                               return;
                           }
                           const QVariant version = response.body.toMap().value(QStringLiteral("version"));
                           if (!response.isGood() || version.toString().trimmed().isEmpty()) {
                               PLY_LOG_ERROR(QStringLiteral("The service gave no version: %1").arg(response.description));
                               self->retryConnection(true);
                               return;
                           }
                           const bool valid = isVersionSupported(version.toString(), applicationVersion());
                           self->fire(valid ? EventRecievedValidVersion : EventRecievedBadVersion);
                       },
                       // The connection road's own first step: its answer says nothing of the
                       // step whose failures grew the wait.
                       false);
}

void PLYWebServiceManager::loginAndSetJWTWithEmail(const QString& email, const QString& password,
                                                   LoginCompletion completion) {
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    const QVariantMap body{{QStringLiteral("user"),
                            QVariantMap{{QStringLiteral("email"), email}, {QStringLiteral("password"), password}}}};
    sendManagerRequest("POST", host->serviceApiURLWithPaths({QStringLiteral("log-in")}), QVariant(body), false,
                       QStringLiteral("PLYWebServiceManager::loginAndSetJWTWithEmail"),
                       [host, completion](const Response& response) {
                           if (response.transportError) {
                               if (completion) completion(LoginOutcome::TransportFailed, std::nullopt, response.transportError);
                               return;
                           }
                           const QString jwt = PLYWebServiceModelObject::sanitiseJSONString(
                               response.body.toMap().value(QStringLiteral("jwt")));
                           if (response.isGood() && !jwt.isEmpty()) {
                               // The token belongs to the environment that issued it.
                               host->setJWT(jwt);
                               if (completion) completion(LoginOutcome::SignedIn, std::nullopt, std::nullopt);
                               return;
                           }
                           const PLYServiceError error(response.body);
                           // A 5xx, an error page or a 2xx without a token says nothing about
                           // the credentials: they must not be treated as wrong.
                           const bool refused = !response.isGood() && isCredentialRefusal(response.status, error);
                           if (!refused)
                               PLY_LOG_ERROR(QStringLiteral("The service could not sign in: %1").arg(response.description));
                           if (completion)
                               completion(refused ? LoginOutcome::Refused : LoginOutcome::ServiceFailed, error, std::nullopt);
                       });
}

bool PLYWebServiceManager::isCredentialRefusal(int status, const PLYServiceError& error) {
    if (status == 401 || status == 403) return true;
    const bool credentialCode =
        error.code() == PLYServiceError::CodeIncorrectPassword || error.code() == PLYServiceError::CodeIncorrectEmail;
    return credentialCode && status >= 400 && status < 500;
}

void PLYWebServiceManager::attemptLogin(const PLYFiniteTransitionPtr& transition) {
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    if (!host->jwt().isEmpty()) {
        fire(EventLoggedIn);
        return;
    }
    const QString email = host->email();
    const QString password = host->password();
    if (email.isEmpty() || password.isEmpty()) {
        fire(EventNoAccountInfo);
        return;
    }
    const quint64 ticket = beginWork();
    QPointer<PLYWebServiceManager> self(this);
    loginAndSetJWTWithEmail(email, password, [self, ticket, transition](LoginOutcome outcome,
                                                                       const std::optional<PLYServiceError>& error,
                                                                       const std::optional<PLYError>& transport) {
        if (!self || !self->isCurrent(ticket)) return;
        switch (outcome) {
        case LoginOutcome::SignedIn: self->fire(EventLoggedIn); break;
        case LoginOutcome::TransportFailed: self->processReponseError(*transport, transition); break;
        // Trouble of the service: the stored credentials may well be right; go round again.
        case LoginOutcome::ServiceFailed: self->retryConnection(true); break;
        case LoginOutcome::Refused:
            self->fire(EventIncorrectCredentials, {{S(ErrorKey), errorValue(error.value_or(PLYServiceError()))}});
            break;
        }
    });
}

void PLYWebServiceManager::createAccount(const PLYFiniteTransitionPtr& transition) {
    const QVariantMap fields = transition ? transition->userInfo() : QVariantMap();
    const quint64 ticket = beginWork();
    QPointer<PLYWebServiceManager> self(this);
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    sendManagerRequest(
        "POST", host->serviceApiURLWithPaths({QStringLiteral("user")}), QVariant(QVariantMap{{QStringLiteral("user"), fields}}),
        false, QStringLiteral("PLYWebServiceManager::createAccount"),
        [self, ticket, transition, fields, host](const Response& response) {
            if (!self) return;
            const bool current = self->isCurrent(ticket);
            if (response.transportError) {
                if (current) self->processReponseError(*response.transportError, transition);
                return;
            }
            const QVariantMap body = response.body.toMap();
            const QString jwt = PLYWebServiceModelObject::sanitiseJSONString(body.value(QStringLiteral("jwt")));
            if (!response.isGood() || jwt.isEmpty()) {
                if (current) self->fire(EventFailedAccountCreate, {{S(ErrorKey), errorValue(PLYServiceError(response.body))}});
                return;
            }
            // The account exists on the service now, whatever the machine did meanwhile: its
            // credentials are kept, or signing up again would only meet "taken".
            host->setEmail(fields.value(QStringLiteral("email")).toString(), true);
            host->setPassword(fields.value(QStringLiteral("password_raw")).toString(), true);
            if (!current) {
                host->setJWT(jwt);
                PLY_LOG_INFO(QStringLiteral("Account created while the session moved on; its credentials are kept"));
                // Resting at the sign-in states, the session goes on with the new account.
                const QString state = self->currentStateName();
                if (host == PLYWebServiceHost::currentHost() &&
                    (state == QLatin1String(StateNoAccount) || state == QLatin1String(StateNotAuthd)))
                    self->fire(EventUpdatedAuthInfo);
                return;
            }
            auto user = std::make_shared<PLYWebServiceUser>();
            user->initFromJSON(PLYWebServiceModelObject::sanitiseJSONDictionary(body.value(QStringLiteral("user"))));
            auto account = std::make_shared<PLYWebServiceAccount>();
            account->initFromJSON(PLYWebServiceModelObject::sanitiseJSONDictionary(body.value(QStringLiteral("account"))));
            self->m_remoteUser = user;
            self->m_remoteAccount = account;
            host->setJWT(jwt);
            self->fire(EventCreatedAccount);
        });
}

void PLYWebServiceManager::fetchInfo(const PLYFiniteTransitionPtr&) {
    if (PLYMigrator::shouldRelaunchAfterLogin()) {
        QPointer<PLYWebServiceManager> self(this);
        PLYDispatch::mainAsync([self] {
            if (self) self->showRestartAlert();
        });
        return;
    }
    const quint64 ticket = beginWork();
    fetchStep<PLYWebServiceUser>(ticket, [this, ticket](const std::shared_ptr<PLYWebServiceUser>& user) {
        m_remoteUser = user;
        adoptFetchedUser(user);
        // The usage report goes back with the user's own fields; nobody waits for it. A user
        // without an identifier came from a broken answer and reports nothing.
        if (user->hasIdentifier()) user->updateObjectWithDictionary({}, nullptr);
        fetchStep<PLYWebServiceAccount>(ticket, [this, ticket](const std::shared_ptr<PLYWebServiceAccount>& account) {
            fetchedAccount(ticket, account);
        });
    });
}

template <class T>
void PLYWebServiceManager::fetchStep(quint64 ticket, std::function<void(const std::shared_ptr<T>&)> fetched,
                                     std::function<bool(const std::optional<PLYServiceError>&)> handledFailure) {
    QPointer<PLYWebServiceManager> self(this);
    const bool sent = T::getObjectFromServerRequest(
        [self, ticket, fetched, handledFailure](bool success, const QVariant& object,
                                                const std::optional<PLYServiceError>& error, const std::optional<PLYError>&) {
            if (!self || !self->isCurrent(ticket)) return;
            const auto result = PLYWebServiceModelObject::unwrap<T>(object);
            if (success && result) {
                // The service took the token.
                self->resetBackOff();
                self->m_resumeDelay = 0;
                fetched(result);
            }
            else if (!handledFailure || !handledFailure(error)) self->processServiceError(error, S(StateFetchingInfo), {});
        });
    if (!sent) processServiceError(std::nullopt, S(StateFetchingInfo), {});
}

void PLYWebServiceManager::fetchedAccount(quint64 ticket, const std::shared_ptr<PLYWebServiceAccount>& account) {
    m_remoteAccount = account;
    if (const auto store = PLYCoreManager::persistantStore()) {
        if (const auto local = store->currentAccount(); local && m_remoteUser) {
            local->setFirstName(m_remoteUser->firstName());
            local->setLastName(m_remoteUser->lastName());
            PLYError error;
            if (!local->save(&error)) PLY_LOG_ERROR(QStringLiteral("Could not save the account: %1").arg(error.toString()));
        }
    }
    if (account->locked()) fire(EventAccountLocked);
    else if (account->deleted()) fire(EventAccountPendingDeletion);
    else if (!m_remoteUser || !m_remoteUser->verified()) fire(EventAccountNotVerified);
    else fetchPublisher(ticket);
}

void PLYWebServiceManager::adoptFetchedUser(const std::shared_ptr<PLYWebServiceUser>& user) {
    const auto store = PLYCoreManager::persistantStore();
    const QString email = user ? user->email().trimmed() : QString();
    if (!store || email.isEmpty()) return;
    const auto current = store->currentAccount();
    if (current && current->email().trimmed().compare(email, Qt::CaseInsensitive) == 0) return;
    // Only the token was remembered, or it belongs to another user than the library's account:
    // the library follows the token's user before anything is written or published.
    PLY_LOG_INFO(current ? QStringLiteral("The signed-in user is not the library's account: switching accounts")
                         : QStringLiteral("Opening the library of the signed-in user"));
    store->signInUser(email);
    const auto account = store->currentAccount();
    QList<std::shared_ptr<PLYWebServicePostPublisherBase>> kept;
    for (const auto& publisher : std::as_const(m_publishers)) {
        const auto post = publisher ? publisher->localPost() : nullptr;
        if (post && account && account->postForIdentifier(post->identifier())) kept << publisher;
        else if (publisher) publisher->detach();
    }
    m_publishers = kept;
    if (current) PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification),
                                                             PLYCoreManager::globalManager());
}

void PLYWebServiceManager::fetchPublisher(quint64 ticket) {
    fetchStep<PLYWebServicePublisher>(
        ticket,
        [this](const std::shared_ptr<PLYWebServicePublisher>& publisher) {
            m_remotePublisher = publisher;
            fire(EventFetchedInfo);
        },
        [this](const std::optional<PLYServiceError>& error) {
            if (!error || error->code() != PLYServiceError::CodeNoPublisher) return false;
            // The account has no publisher: whatever an earlier user had is not this one's.
            m_remotePublisher.reset();
            fire(EventFetchedInfo);
            return true;
        });
}

void PLYWebServiceManager::enterIdle() {
    m_retryDelay = 0;
    m_resumeDelay = 0;
    m_resumedWithToken.clear();
    m_refusedToken.clear();
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    host->ensureSocketConnection();
    // After a fresh sign-in the account arrives once the socket is open: join its topic now.
    host->joinChannelIfNeeded();
    const auto store = PLYCoreManager::persistantStore();
    const auto account = store ? store->currentAccount() : nullptr;
    if (!account) return;
    QList<std::weak_ptr<PLYPersistantPost>> posts;
    for (const auto& post : account->currentPosts()) posts << post;
    PLYDispatch::mainAfter(timing().publisherStartDelay, [this, posts] {
        for (const auto& weak : posts)
            if (const auto post = weak.lock()) publisherForPost(post);
    }, this);
}

void PLYWebServiceManager::enterNoAccount() {
    m_remoteUser.reset();
    m_remoteAccount.reset();
    m_remotePublisher.reset();
}

void PLYWebServiceManager::updateRemote(const QString& state, const PLYFiniteTransitionPtr& transition) {
    const QVariantMap info = transition ? transition->userInfo() : QVariantMap();
    std::shared_ptr<PLYWebServiceModelObject> object;
    if (state == QLatin1String(StateUpdatingUser)) object = m_remoteUser;
    else if (state == QLatin1String(StateUpdatingAccount)) object = m_remoteAccount;
    else object = m_remotePublisher;
    const quint64 ticket = beginWork();
    QPointer<PLYWebServiceManager> self(this);
    const bool sent = object && object->updateObjectWithDictionary(
        info, [self, ticket, state, info, transition](bool success, const QVariant&, const std::optional<PLYServiceError>& error,
                                                      const std::optional<PLYError>& transport) {
            if (!self || !self->isCurrent(ticket)) return;
            if (success) {
                self->resetBackOff();
                self->fire(EventUpdatedInfo);
            } else {
                self->updateFailed(error, transport, state, info, transition);
            }
        });
    if (!sent) {
        PLYServiceError error;
        error.setError(QStringLiteral("Nothing to update: not signed in."));
        updateFailed(error, std::nullopt, state, info, transition);
    }
}

void PLYWebServiceManager::updateFailed(const std::optional<PLYServiceError>& error, const std::optional<PLYError>& transport,
                                        const QString& state, const QVariantMap& info,
                                        const PLYFiniteTransitionPtr& transition) {
    if (error && error->code() == PLYServiceError::CodeRefreshToken) {
        processServiceError(error, state, info);
        return;
    }
    if (transport && PelloryServices::isLossOfInternet(*transport)) {
        processReponseError(*transport, transition);
        return;
    }
    // The account window must tell a refused change from an accepted one.
    PLYServiceError reported = error.value_or(PLYServiceError());
    if (!error && transport) reported.setError(transport->description);
    PLY_LOG_ERROR(QStringLiteral("Web Service Error for %1 : %2").arg(state, reported.description()));
    fire(EventUpdatedInfo, {{S(ErrorKey), errorValue(reported)}});
}

void PLYWebServiceManager::createRemotePublisher(const PLYFiniteTransitionPtr& transition) {
    const QVariantMap fields = transition ? transition->userInfo() : QVariantMap();
    const quint64 ticket = beginWork();
    QPointer<PLYWebServiceManager> self(this);
    const bool sent = sendManagerRequest(
        "POST", PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({QStringLiteral("publisher")}),
        QVariant(QVariantMap{{QStringLiteral("publisher"), fields}}), true,
        QStringLiteral("PLYWebServiceManager::createRemotePublisher"), [self, ticket, transition](const Response& response) {
            if (!self || !self->isCurrent(ticket)) return;
            if (response.transportError) {
                self->processReponseError(*response.transportError, transition);
            } else if (response.isGood()) {
                auto publisher = std::make_shared<PLYWebServicePublisher>();
                publisher->initFromJSON(
                    PLYWebServiceModelObject::sanitiseJSONDictionary(response.body.toMap().value(QStringLiteral("data"))));
                self->m_remotePublisher = publisher;
                self->fire(EventCreatedPublisher);
            } else {
                self->fire(EventFailedPublisherCreate, {{S(ErrorKey), errorValue(PLYServiceError(response.body))}});
            }
        });
    if (!sent) fire(EventFailedPublisherCreate);
}

void PLYWebServiceManager::deleteRemotePublisher(const PLYFiniteTransitionPtr& transition) {
    if (!m_remotePublisher) {
        fire(EventUpdatedInfo);
        return;
    }
    const quint64 ticket = beginWork();
    QPointer<PLYWebServiceManager> self(this);
    const bool sent = sendManagerRequest(
        "DELETE", PLYWebServiceHost::currentHost()->serviceMeURLWithPaths({QStringLiteral("publisher")}), std::nullopt,
        true, QStringLiteral("PLYWebServiceManager::deleteRemotePublisher"), [self, ticket, transition](const Response& response) {
            if (!self || !self->isCurrent(ticket)) return;
            if (response.transportError) {
                self->processReponseError(*response.transportError, transition);
            } else if (response.isGood()) {
                self->m_remotePublisher.reset();
                self->fire(EventUpdatedInfo);
            } else {
                self->fire(EventFailedPublisherDelete, {{S(ErrorKey), errorValue(PLYServiceError(response.body))}});
            }
        });
    if (!sent) fire(EventFailedPublisherDelete);
}

// ---- Failure routes ----

void PLYWebServiceManager::processServiceError(const std::optional<PLYServiceError>& error, const QString& state,
                                               const QVariantMap& info) {
    if (error && error->code() == PLYServiceError::CodeRefreshToken) {
        m_refusedToken = PLYWebServiceHost::currentHost()->jwt();
        fire(EventRefreshAuth, {{S(ForwardEventKey), state}, {S(InfoKey), info}});
        return;
    }
    PLY_LOG_ERROR(QStringLiteral("Web Service Error for %1 : %2")
                      .arg(m_machine->name(), error ? error->description() : QStringLiteral("(null)")));
    // From the fetch the road leads straight back into the same request: wait before it.
    retryConnection(!isUpdateState(state));
}

void PLYWebServiceManager::processReponseError(const PLYError& error, const PLYFiniteTransitionPtr& transition) {
    if (PelloryServices::isLossOfInternet(error)) {
        retryConnection(true);
        return;
    }
    if (transition && m_machine->canFireEvent(transition->event()->name())) {
        m_machine->fireEvent(transition->event()->name(), transition->userInfo());
        return;
    }
    // The step cannot be repeated from here: go round the connection road rather than stay.
    PLY_LOG_ERROR(QStringLiteral("Web Service transport error in %1: %2").arg(currentStateName(), error.description));
    retryConnection(true);
}

void PLYWebServiceManager::retryConnection(bool wait) {
    if (!wait) {
        fire(EventConnectionChanged);
        return;
    }
    const Timing t = timing();
    m_retryDelay = m_retryDelay <= 0 ? t.retryInitialDelay : qMin(m_retryDelay * 2, t.retryMaximumDelay);
    const quint64 ticket = beginWork();
    PLY_LOG_INFO(QStringLiteral("Checking the connection again in %1 s").arg(m_retryDelay));
    PLYDispatch::mainAfter(m_retryDelay, [this, ticket] {
        if (isCurrent(ticket)) fire(EventConnectionChanged);
    }, this);
}

// ---- Re-authentication ----

void PLYWebServiceManager::refreshAuthentication(const PLYFiniteTransitionPtr& transition) {
    const QVariantMap forward = transition ? transition->userInfo() : QVariantMap();
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    const QString email = host->email();
    const QString password = host->password();
    if (email.isEmpty()) {
        fire(EventNoAccountInfo);
        return;
    }
    if (password.isEmpty()) {
        promptForPassword(forward);
        return;
    }
    const quint64 ticket = beginWork();
    QPointer<PLYWebServiceManager> self(this);
    loginAndSetJWTWithEmail(email, password, [self, ticket, forward, host, email](LoginOutcome outcome,
                                                                              const std::optional<PLYServiceError>&,
                                                                              const std::optional<PLYError>& transport) {
        if (!self || !self->isCurrent(ticket)) return;
        if (outcome == LoginOutcome::SignedIn) {
            self->resumeAfterReauthentication(forward);
        } else if (outcome != LoginOutcome::Refused) {
            // The service was not reached, or failed: what is stored may still be right.
            if (transport) PLY_LOG_ERROR(QStringLiteral("Could not sign in again: %1").arg(transport->description));
            self->retryConnection(true);
        } else {
            // Refused: keep only the e-mail so that the user is asked for the password.
            host->clearStoredKeys();
            host->setEmail(email, true);
            self->fire(EventRefreshAuth, forward);
        }
    });
}

void PLYWebServiceManager::promptForPassword(const QVariantMap& forward) {
    const auto presenter = PLYWebServiceSessionPresenter::shared();
    if (!presenter) {
        PLY_LOG_WARN(QStringLiteral("No sign-in prompt is available"));
        fire(EventNoAccountInfo);
        return;
    }
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    const QString signedIn = host->email();
    // The latest entry into re-authentication is the one the prompt's answer resumes.
    m_promptTicket = beginWork();
    m_promptForward = forward;
    if (m_signInPromptOpen) {
        // Re-entered while the prompt still runs (the road was run again meanwhile): the prompt
        // showing for this account serves the new entry.
        if (host == m_promptHost && signedIn == m_promptEmail) return;
        // It asks for another environment's account: close it, and ask again once its modal
        // run has ended.
        ++m_promptRun;
        m_signInPromptOpen = false;
        presenter->closeSignInPrompt();
        QPointer<PLYWebServiceManager> self(this);
        const quint64 ticket = m_promptTicket;
        PLYDispatch::mainAsync([self, ticket, forward] {
            if (self && self->isCurrent(ticket)) self->promptForPassword(forward);
        }, this);
        return;
    }
    m_signInPromptOpen = true;
    m_promptHost = host;
    m_promptEmail = signedIn;
    const quint64 run = ++m_promptRun;
    QPointer<PLYWebServiceManager> self(this);
    std::weak_ptr<PLYWebServiceSessionPresenter> weakPresenter = presenter;
    // Whether this showing is still the one the manager waits on (a closed one answers nothing).
    auto live = [self, run] { return self && self->m_promptRun == run; };
    auto finishPrompt = [self, weakPresenter, live] {
        if (!live()) return;
        ++self->m_promptRun;
        self->m_signInPromptOpen = false;
        if (const auto p = weakPresenter.lock()) p->closeSignInPrompt();
    };
    presenter->runSignInPrompt(
        QStringLiteral("login"), signedIn,
        [self, host, signedIn, weakPresenter, live, finishPrompt](bool signIn, const QString& email,
                                                                  const QString& password) {
            const auto p = weakPresenter.lock();
            if (!live() || !p) return;
            if (!self->isCurrent(self->m_promptTicket)) {
                finishPrompt();
                return;
            }
            if (!signIn) {
                finishPrompt();
                self->fire(EventNoAccountInfo);
                return;
            }
            // Another person's credentials would hand this account's work to them.
            if (email.trimmed().compare(signedIn.trimmed(), Qt::CaseInsensitive) != 0) {
                p->assertSignInAttemptResult(false, QStringLiteral("Please sign in as %1.").arg(signedIn));
                return;
            }
            self->loginAndSetJWTWithEmail(
                signedIn, password,
                [self, host, signedIn, password, weakPresenter, live, finishPrompt](
                    LoginOutcome outcome, const std::optional<PLYServiceError>& error, const std::optional<PLYError>&) {
                    const auto p = weakPresenter.lock();
                    if (!live() || !p) return;
                    if (!self->isCurrent(self->m_promptTicket)) {
                        finishPrompt();
                        return;
                    }
                    if (outcome != LoginOutcome::SignedIn) {
                        p->assertSignInAttemptResult(false, error ? error->error() : QString());
                        return;
                    }
                    host->setEmail(signedIn, true);
                    host->setPassword(password, true);
                    finishPrompt();
                    self->resumeAfterReauthentication(self->m_promptForward);
                });
        });
    // The modal run is over. A window that ended without an answer (closed by other means than
    // its buttons) counts as cancelled: the prompt is no longer open, and the session does not
    // wait on it.
    if (live()) {
        ++m_promptRun;
        m_signInPromptOpen = false;
        PLY_LOG_INFO(QStringLiteral("The sign-in prompt closed without an answer"));
        if (isCurrent(m_promptTicket) && currentStateName() == QLatin1String(StateRefreshingAuth)) fire(EventNoAccountInfo);
    }
}

void PLYWebServiceManager::resumeAfterReauthentication(const QVariantMap& forward) {
    const QString token = PLYWebServiceHost::currentHost()->jwt();
    if (token.isEmpty()) return;
    // The token of the last resumption was refused at once (or is being resumed again): the
    // service is not taking the tokens it issues. Resuming at once would sign in and fail in a
    // tight loop; resume after a growing wait instead, never parking here for good.
    if (!m_resumedWithToken.isEmpty() && (m_refusedToken == m_resumedWithToken || token == m_resumedWithToken)) {
        const Timing t = timing();
        m_resumeDelay = m_resumeDelay <= 0 ? t.retryInitialDelay : qMin(m_resumeDelay * 2, t.retryMaximumDelay);
        PLY_LOG_WARN(QStringLiteral("The service refused a token it had just issued; trying again in %1 s").arg(m_resumeDelay));
        const quint64 ticket = beginWork();
        QPointer<PLYWebServiceManager> self(this);
        PLYDispatch::mainAfter(m_resumeDelay, [self, ticket, forward] {
            if (self && self->isCurrent(ticket)) self->resumeWithFreshToken(forward);
        }, this);
        return;
    }
    resumeWithFreshToken(forward);
}

void PLYWebServiceManager::resumeWithFreshToken(const QVariantMap& forward) {
    m_resumedWithToken = PLYWebServiceHost::currentHost()->jwt();
    const QString state = forward.value(S(ForwardEventKey)).toString();
    const QVariantMap info = forward.value(S(InfoKey)).toMap();
    if (state == QLatin1String(StateUpdatingUser)) fire(EventUpdateUser, info);
    else if (state == QLatin1String(StateUpdatingAccount)) fire(EventUpdateAccount, info);
    else if (state == QLatin1String(StateUpdatingPublisher)) fire(EventUpdatePublisher, info);
    // The interrupted fetch, or nothing known to resume: read the account again, which ends in
    // IDLE (or the account's gate) with the new token.
    else fire(EventRefreshInfo);
}

void PLYWebServiceManager::showRestartAlert() {
    PLYAlertRequest alert;
    alert.style = PLYAlertRequest::Style::Informational;
    alert.messageText = QStringLiteral("Pellory Will Restart");
    alert.informativeText = QStringLiteral(
        "Pellory needs to restart to perform an important database migration. If Pellory does not close in 5 seconds, "
        "please quit and re-open Pellory.");
    alert.buttonTitles = {QStringLiteral("Ok")};
    PLYAlertPresenter::shared()->runModal(alert);
    const auto relaunch = setting(&Settings::relaunch);
    const double delay = timing().relaunchDelay;
    if (relaunch) relaunch(delay);
    // The application shell installs the relaunch at start-up; without it there is nothing to restart.
    else PLY_LOG_WARN(QStringLiteral("No relaunch handler is installed; restart Pellory by hand"));
}

// ---- Session operations ----

bool PLYWebServiceManager::guardedFire(const char* event, const QVariantMap& userInfo, const QString& preparing,
                                       const QString& refused, const std::function<void()>& before) {
    if (!m_machine->canFireEvent(S(event))) {
        const auto state = currentState();
        PLY_LOG_INFO(refused.arg(state ? state->description() : QString()));
        return false;
    }
    if (!preparing.isEmpty()) PLY_LOG_INFO(preparing);
    if (before) before();
    return fire(event, userInfo);
}

bool PLYWebServiceManager::loginWithEmail(const QString& email, const QString& password, bool remember) {
    return guardedFire(EventUpdatedAuthInfo, {}, QStringLiteral("Preparing Login"),
                       QStringLiteral("Tried to login while in state: %1"), [email, password, remember] {
                           PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
                           // A sign-in replaces every credential kept before: a token still held
                           // here was refused, and an e-mail or password left in the keychain
                           // may be another user's, which the next start would open.
                           host->clearStoredKeys();
                           host->setEmail(email, remember);
                           host->setPassword(password, remember);
                       });
}

bool PLYWebServiceManager::createUserAccountWithFirstName(const QString& firstName, const QString& lastName,
                                                          const QString& email, const QString& password) {
    return guardedFire(EventCreateAccount,
                       {{QStringLiteral("f_name"), firstName}, {QStringLiteral("l_name"), lastName},
                        {QStringLiteral("email"), email}, {QStringLiteral("password_raw"), password}},
                       QStringLiteral("Preparing Account create"), QStringLiteral("Tried to create account while in state: %1"));
}

bool PLYWebServiceManager::refreshInfo() {
    return guardedFire(EventRefreshInfo, {}, {}, QStringLiteral("Tried to refresh info while in state: %1"));
}

bool PLYWebServiceManager::updateUser(const QString& firstName, const QString& lastName, const QString& email) {
    QVariantMap info;
    if (!firstName.isEmpty()) info.insert(QStringLiteral("f_name"), firstName);
    if (!lastName.isEmpty()) info.insert(QStringLiteral("l_name"), lastName);
    if (!email.isEmpty()) info.insert(QStringLiteral("email"), email);
    return guardedFire(EventUpdateUser, info, QStringLiteral("Preparing User update"),
                       QStringLiteral("Tried to update user while in state: %1"));
}

bool PLYWebServiceManager::updateAccount(const QString& host) {
    QVariantMap info;
    if (!host.isEmpty()) info.insert(QStringLiteral("host"), host);
    return guardedFire(EventUpdateAccount, info, QStringLiteral("Preparing Account update"),
                       QStringLiteral("Tried to update account while in state: %1"));
}

bool PLYWebServiceManager::createPublisher(qint64 type, const QString& username, const QString& password) {
    return guardedFire(EventCreatePublisher,
                       {{QStringLiteral("type"), type}, {QStringLiteral("username"), username},
                        {QStringLiteral("password"), password}},
                       QStringLiteral("Preparing Publisher create"), QStringLiteral("Tried to create publisher while in state: %1"));
}

bool PLYWebServiceManager::updatePublisher(const QString& username, const QString& password,
                                           const QString& defaultCategory, bool autoPublish) {
    QVariantMap info;
    if (!username.isEmpty()) info.insert(QStringLiteral("username"), username);
    if (!password.isEmpty()) info.insert(QStringLiteral("password"), password);
    if (!defaultCategory.isEmpty()) info.insert(QStringLiteral("default_category"), defaultCategory);
    if (autoPublish) info.insert(QStringLiteral("auto_publish"), true);
    return guardedFire(EventUpdatePublisher, info, QStringLiteral("Preparing Publisher update"),
                       QStringLiteral("Tried to update publisher while in state: %1"));
}

bool PLYWebServiceManager::deletePublisher() {
    return guardedFire(EventDeletePublisher, {}, QStringLiteral("Preparing Publisher delete"),
                       QStringLiteral("Tried to delete publisher while in state: %1"));
}

// ---- Post publishers ----

std::shared_ptr<PLYWebServicePostPublisherBase> PLYWebServiceManager::publisherForPost(
    const std::shared_ptr<PLYPersistantPost>& post) {
    if (!post) return nullptr;
    // Publishers of deleted posts are detached for good; keeping them would only hold memory.
    m_publishers.removeIf([](const auto& publisher) { return !publisher || publisher->isDetached(); });
    for (const auto& publisher : std::as_const(m_publishers)) {
        const auto local = publisher->localPost();
        if (local && local->identifier() == post->identifier()) return publisher;
    }
    const auto factory = setting(&Settings::publisherFactory);
    if (!factory) {
        PLY_LOG_WARN(QStringLiteral("No post publisher is available for %1").arg(post->identifier()));
        return nullptr;
    }
    auto publisher = factory(post);
    if (publisher) m_publishers.append(publisher);
    return publisher;
}

// ---- Modal windows ----

void PLYWebServiceManager::presentEmailVerifyNotification(const PLYWebServiceCompletionBlock& completion) {
    const auto presenter = PLYWebServiceSessionPresenter::shared();
    const qint64 response = presenter ? presenter->runEmailVerifyWindow() : PLYModalRunner::Stop;
    if (completion) completion(response == PLYModalRunner::Continue, {}, std::nullopt, std::nullopt);
}

void PLYWebServiceManager::presentAccountDetailsNotification(bool startAtPublisher, bool startAtRPC,
                                                             const PLYWebServiceCompletionBlock& completion) {
    if (m_accountDetailsOpen) return;
    const auto presenter = PLYWebServiceSessionPresenter::shared();
    m_accountDetailsOpen = true;
    const qint64 response = presenter ? presenter->runAccountDetailsWindow(startAtPublisher, startAtRPC)
                                      : PLYModalRunner::Stop;
    m_accountDetailsOpen = false;
    if (completion) completion(response == PLYModalRunner::Continue, {}, std::nullopt, std::nullopt);
}

void PLYWebServiceManager::logPayloadResponse(const QString& caller, const QString& response, const QVariant& data) {
    PLY_LOG_INFO(PLYWebServiceModelObject::payloadLogLine(caller, response, data));
}
