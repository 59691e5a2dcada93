#pragma once

#include "PLYCoreManager.h"
#include "PLYLog.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYReachability.h"
#include "PLYWebServiceChannel.h"
#include "PLYWebServiceHostProbe.h"
#include "PLYWebServiceManager.h"
#include "PLYWebServicePostPublisherBase.h"
#include "PLYWebServiceSessionPresenter.h"
#include "PLYWebServiceTestSupport.h"

#include <QCoreApplication>
#include <QSet>

// The account the scripted service knows, and how it answers. Tests change it at any time.
struct PLYScriptedAccount {
    QString version = QStringLiteral("1.0.0");
    int versionStatus = 200;
    QString email = QStringLiteral("ada@example.org");
    QString password = QStringLiteral("secret");
    QString firstName = QStringLiteral("Ada");
    QString validToken = QStringLiteral("tok-1");
    int tokensIssued = 0;  // each log-in issues "tok-<n>" and makes it the valid one
    qint64 accountId = 42;
    qint64 accountStatus = 1;
    bool verified = true;
    bool hasPublisher = true;
    QString host = QStringLiteral("blog.example.org");
    int userFetchStatus = 200;  // anything else answers a server error
    int userDelayMs = 0;
    QSet<QString> takenEmails;
};

inline PLYFakeReply PLYErrorReply(int status, qint64 code, const QString& text) {
    return PLYFakeReply::json(status, QVariantMap{{"code", code}, {"error", text}});
}

// Routes of the version check, log-in, sign-up, user, account and publisher over `script`.
inline void PLYInstallSessionRoutes(PLYFakeService& service, PLYScriptedAccount& script) {
    PLYScriptedAccount* s = &script;
    auto authorised = [s](const PLYFakeRequest& request) { return request.bearerToken() == s->validToken; };
    auto expired = [] { return PLYErrorReply(401, 10000, "The token has expired."); };
    auto user = [s] {
        return QVariantMap{{"id", 7}, {"f_name", s->firstName}, {"l_name", "Lovelace"}, {"email", s->email}, {"verified", s->verified}};
    };
    auto account = [s] { return QVariantMap{{"id", s->accountId}, {"status", s->accountStatus}, {"host", s->host}}; };
    service.setHandler("GET", "/core/supported", [s](const PLYFakeRequest&) {
        if (s->version.isNull()) return PLYFakeReply::json(s->versionStatus, QVariantMap{{"other", 1}});
        return PLYFakeReply::json(s->versionStatus, QVariantMap{{"version", s->version}});
    });
    service.setHandler("POST", "/api/log-in", [s](const PLYFakeRequest& request) {
        const QVariantMap fields = request.json().toMap().value("user").toMap();
        if (fields.value("email") != s->email || fields.value("password") != s->password)
            return PLYErrorReply(401, 401, "Wrong e-mail or password.");
        s->validToken = QStringLiteral("tok-%1").arg(++s->tokensIssued + 1);
        return PLYFakeReply::json(200, QVariantMap{{"jwt", s->validToken}});
    });
    service.setHandler("POST", "/api/user", [s, user, account](const PLYFakeRequest& request) {
        const QVariantMap fields = request.json().toMap().value("user").toMap();
        if (s->takenEmails.contains(fields.value("email").toString()))
            return PLYErrorReply(422, 422, "The e-mail is taken.");
        s->email = fields.value("email").toString();
        s->password = fields.value("password_raw").toString();
        s->validToken = QStringLiteral("tok-new");
        return PLYFakeReply::json(201, QVariantMap{{"jwt", s->validToken}, {"user", user()}, {"account", account()}});
    });
    service.setHandler("GET", "/api/me", [s, authorised, expired, user](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        PLYFakeReply reply = s->userFetchStatus == 200 ? PLYFakeReply::json(200, QVariantMap{{"data", user()}})
                                                       : PLYErrorReply(s->userFetchStatus, 0, "Server trouble.");
        reply.delayMs = s->userDelayMs;
        return reply;
    });
    service.setHandler("PUT", "/api/me", [authorised, expired, user](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        return PLYFakeReply::json(200, QVariantMap{{"data", user()}});
    });
    service.setHandler("GET", "/api/me/account", [authorised, expired, account](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        return PLYFakeReply::json(200, QVariantMap{{"data", account()}});
    });
    service.setHandler("PUT", "/api/me/account", [s, authorised, expired, account](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        s->host = request.json().toMap().value("account").toMap().value("host", s->host).toString();
        return PLYFakeReply::json(200, QVariantMap{{"data", account()}});
    });
    auto publisher = [] { return QVariantMap{{"id", 9}, {"type", 1}, {"username", "ada"}, {"status", 0}}; };
    service.setHandler("GET", "/api/me/publisher", [s, authorised, expired, publisher](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        if (!s->hasPublisher) return PLYErrorReply(404, 501, "The account has no publisher.");
        return PLYFakeReply::json(200, QVariantMap{{"data", publisher()}});
    });
    service.setHandler("POST", "/api/me/publisher", [s, authorised, expired, publisher](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        if (s->hasPublisher) return PLYErrorReply(409, 409, "The account already has a publisher.");
        s->hasPublisher = true;
        return PLYFakeReply::json(201, QVariantMap{{"data", publisher()}});
    });
    service.setHandler("PUT", "/api/me/publisher", [authorised, expired, publisher](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        return PLYFakeReply::json(200, QVariantMap{{"data", publisher()}});
    });
    service.setHandler("DELETE", "/api/me/publisher", [s, authorised, expired](const PLYFakeRequest& request) {
        if (!authorised(request)) return expired();
        if (!s->hasPublisher) return PLYErrorReply(404, 501, "The account has no publisher.");
        s->hasPublisher = false;
        return PLYFakeReply::json(200, QVariantMap());
    });
}

// Short waits for the session (publishers soon after IDLE, quick retries, a brisk channel
// ping) and an application version that the services accept.
inline void PLYUseShortSessionTimings() {
    PLYWebServiceManager::Timing timing;
    timing.publisherStartDelay = 0.01;
    timing.retryInitialDelay = 0.02;
    timing.retryMaximumDelay = 0.08;
    timing.relaunchDelay = 0.5;
    PLYWebServiceManager::setTiming(timing);
    PLYWebServiceManager::setApplicationVersion("1.5.0");
    PLYWebServiceChannel::setKeepAliveInterval(0.05);
}

// Whether the service host answers, as the test says.
class PLYScriptedHostProbe : public PLYWebServiceHostProbe {
public:
    explicit PLYScriptedHostProbe(bool reachable) : m_reachable(reachable) {}
    // Like a ping, a host that answers reports so once it is watched.
    void start(PLYWebServiceHost*, Completion completion) override {
        m_completion = std::move(completion);
        if (m_reachable)
            QMetaObject::invokeMethod(qApp, [completion = m_completion] { completion(true); }, Qt::QueuedConnection);
    }
    bool reachable() const override { return m_reachable; }
    void setReachable(bool reachable) {
        if (reachable == m_reachable) return;
        m_reachable = reachable;
        if (m_completion) m_completion(reachable);
    }

private:
    bool m_reachable;
    Completion m_completion;
};

// The session sees the internet and the service host as reachable, without probing the machine.
inline void PLYAssumeReachableNetwork() {
    PLYWebServiceManager::setInternetMonitorFactory([] {
        auto internet = std::make_shared<PLYReachability>();
        internet->setReachableForTesting(true);
        return internet;
    });
    PLYWebServiceManager::setHostProbeFactory([] { return std::make_unique<PLYScriptedHostProbe>(true); });
}

// Puts back what tests change of the session: its factories, version, timing and relaunch.
inline void PLYRestoreSessionDefaults() {
    PLYWebServiceManager::setInternetMonitorFactory({});
    PLYWebServiceManager::setHostProbeFactory({});
    PLYWebServiceManager::setPublisherFactory({});
    PLYWebServiceManager::setApplicationVersion({});
    PLYWebServiceManager::setTiming({});
    PLYWebServiceManager::setRelaunchHandler({});
}

// The sign-in prompt, e-mail verification and account-details windows, as the test scripts them.
class PLYScriptedSessionPresenter : public PLYWebServiceSessionPresenter {
public:
    struct Attempt {
        bool signIn = true;
        QString email, password;
        bool closeWithoutAnswer = false;  // the window goes away by other means than its buttons
    };
    QList<Attempt> attempts;  // tried in turn; the prompt is cancelled when they run out
    QStringList prompts;      // "title|email" per showing
    QList<std::pair<bool, QString>> results;
    int closes = 0;
    qint64 emailVerifyResponse = -1002;
    qint64 accountDetailsResponse = -1002;
    std::function<void()> whileAccountDetailsRuns;
    std::function<void()> whenSignInPromptOpens;  // runs once, before the first attempt
    QList<std::pair<bool, bool>> accountDetailsRuns;

    void runSignInPrompt(const QString& title, const QString& email, SignInHandler handler) override {
        prompts << title + "|" + email;
        m_open = true;
        if (auto hook = std::exchange(whenSignInPromptOpens, {})) hook();
        while (m_open) {
            const Attempt attempt = attempts.isEmpty() ? Attempt{false, {}, {}} : attempts.takeFirst();
            if (attempt.closeWithoutAnswer) {
                m_open = false;
                return;
            }
            const qsizetype answered = results.size();
            handler(attempt.signIn, attempt.email, attempt.password);
            // Modal: the service answers while the prompt runs.
            PLYTestEnvironment::waitUntil([&] { return !m_open || results.size() > answered; });
            if (m_open && results.size() == answered) break;
        }
    }
    void assertSignInAttemptResult(bool success, const QString& reason) override { results.append({success, reason}); }
    void closeSignInPrompt() override {
        m_open = false;
        ++closes;
    }
    qint64 runEmailVerifyWindow() override { return emailVerifyResponse; }
    qint64 runAccountDetailsWindow(bool publisher, bool rpc) override {
        accountDetailsRuns.append({publisher, rpc});
        if (whileAccountDetailsRuns) whileAccountDetailsRuns();
        return accountDetailsResponse;
    }

private:
    bool m_open = false;
};

// Stands in for the post publisher built elsewhere: it only remembers its post.
class PLYRecordingPublisher : public PLYWebServicePostPublisherBase {
public:
    explicit PLYRecordingPublisher(std::shared_ptr<PLYPersistantPost> post) : m_post(std::move(post)) {}
    std::shared_ptr<PLYPersistantPost> localPost() const override { return m_post; }
    bool deletePost(const PLYWebServiceCompletionBlock& completion) override {
        ++deletes;
        PLYWebServiceModelObject::complete(completion, true);
        return true;
    }
    int deletes = 0;

private:
    std::shared_ptr<PLYPersistantPost> m_post;
};

// A manager against the scripted service with injected connectivity, short waits, a scripted
// presenter and a recording publisher factory. The manager starts with start().
class PLYWebServiceManagerTest : public PLYWebServiceTest {
protected:
    void SetUp() override {
        PLYWebServiceTest::SetUp();
        PLYInstallSessionRoutes(service, script);
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory("store"));
        PLYCoreManager::persistantStore()->setUp(false);
        PLYUseShortSessionTimings();
        PLYWebServiceManager::setInternetMonitorFactory([this] {
            internet = std::make_shared<PLYReachability>();
            internet->setReachableForTesting(internetUp);
            return internet;
        });
        PLYWebServiceManager::setHostProbeFactory([this] {
            auto made = std::make_unique<PLYScriptedHostProbe>(hostUp);
            probe = made.get();
            return made;
        });
        PLYWebServiceManager::setPublisherFactory([this](const std::shared_ptr<PLYPersistantPost>& post) {
            auto publisher = std::make_shared<PLYRecordingPublisher>(post);
            madePublishers << publisher;
            return publisher;
        });
        presenter = std::make_shared<PLYScriptedSessionPresenter>();
        PLYWebServiceSessionPresenter::setShared(presenter);
        logToken = PLYLog::addObserver([this](PLYLog::Level, const QString& line) { logLines << line; });
    }
    void TearDown() override {
        PLYLog::removeObserver(logToken);
        if (PLYWebServiceManager* m = existing) m->removeStateChangeNotificationHandler(this);
        PLYWebServiceManager::resetForTesting();
        PLYWebServiceManager::setInternetMonitorFactory({});
        PLYWebServiceManager::setHostProbeFactory({});
        PLYWebServiceManager::setPublisherFactory({});
        PLYWebServiceManager::setApplicationVersion({});
        PLYWebServiceManager::setTiming({});
        PLYWebServiceManager::setRelaunchHandler({});
        PLYWebServiceSessionPresenter::setShared(nullptr);
        PLYWebServiceChannel::setKeepAliveInterval(5.0);
        PLYCoreManager::resetGlobalManager();
        PLYWebServiceTest::TearDown();
    }

    // Makes the manager and follows its state changes.
    PLYWebServiceManager* start() {
        existing = PLYWebServiceManager::globalManager();
        history << existing->currentStateName();
        existing->addStateChangeNotificationHandler(this, [this](const PLYNotification& note) {
            const auto transition = PLYFiniteTransition::fromUserInfo(note.userInfo);
            history << transition->destinationState()->name();
            events << transition->event()->name();
            infos << transition->userInfo();
        });
        return existing;
    }
    PLYWebServiceManager* manager() { return existing; }
    bool reach(const QString& state, int ms = 30000) {
        return PLYTestEnvironment::waitUntil([&] { return existing->currentStateName() == state; }, ms);
    }
    bool logged(const QString& text) const {
        for (const QString& line : logLines)
            if (line.contains(text)) return true;
        return false;
    }
    // The user info of the last firing of `event`.
    QVariantMap lastInfo(const QString& event) const {
        for (qsizetype i = events.size() - 1; i >= 0; --i)
            if (events[i] == event) return infos[i];
        return {};
    }
    std::shared_ptr<PLYPersistantStore> store() const { return PLYCoreManager::persistantStore(); }

    PLYScriptedAccount script;
    bool internetUp = true;
    bool hostUp = true;
    std::shared_ptr<PLYReachability> internet;
    PLYScriptedHostProbe* probe = nullptr;
    std::shared_ptr<PLYScriptedSessionPresenter> presenter;
    QList<std::shared_ptr<PLYRecordingPublisher>> madePublishers;
    PLYWebServiceManager* existing = nullptr;
    QStringList history;
    QStringList events;
    QList<QVariantMap> infos;
    QStringList logLines;
    int logToken = 0;
};
