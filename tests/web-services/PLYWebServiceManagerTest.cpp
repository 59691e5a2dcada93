#include "PLYSessionTestSupport.h"

#include "PLYMigrator.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServicePublisher.h"
#include "PLYWebServiceUser.h"
#include "PelloryServices.h"

namespace {

using M = PLYWebServiceManager;

QStringList road(std::initializer_list<const char*> states) {
    QStringList list;
    for (const char* state : states) list << QString::fromLatin1(state);
    return list;
}

// ---- The road to IDLE ----

TEST_F(PLYWebServiceManagerTest, ColdStartWithAStoredTokenReachesIdleJoinsTheChannelAndSignsTheStoreIn) {
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    // The reachability monitors exist before the first check, so the road never passes "no internet".
    EXPECT_EQ(history, road({M::StateCheckingServerVersion, M::StateAttemptingLogin, M::StateFetchingInfo,
                             M::StateIdle}));
    EXPECT_TRUE(service.requestsMatching("POST", "/api/log-in").isEmpty()) << "the stored token is used as it is";
    EXPECT_EQ(service.requestsMatching("PUT", "/api/me").size(), 1) << "the usage report goes back";
    ASSERT_TRUE(manager()->remoteUser() && manager()->remoteAccount() && manager()->remotePublisher());
    EXPECT_EQ(manager()->remoteAccount()->identifierString(), "42");

    // The socket opened before the account was known; entering IDLE joined its topic.
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:42"; }));
    EXPECT_TRUE(host()->socketConnected());
    EXPECT_EQ(service.push("account:42", "hello", {}), 1);

    // Only the token was remembered: the store signs in the fetched user so the posts appear.
    ASSERT_TRUE(store()->currentAccount());
    EXPECT_EQ(store()->currentAccount()->email(), script.email);
    EXPECT_EQ(store()->currentAccount()->firstName(), "Ada");

    // Each entry into IDLE starts one publisher per post, the same one when asked again.
    auto post = store()->currentAccount()->createNewPost("Trip");
    ASSERT_TRUE(manager()->refreshInfo());
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return madePublishers.size() == 1; }));
    EXPECT_EQ(madePublishers[0]->localPost(), post);
    ASSERT_TRUE(manager()->refreshInfo());
    ASSERT_TRUE(reach(M::StateIdle));
    PLYTestEnvironment::waitForQueuedCalls();  // after any publisher the entry could have queued
    EXPECT_EQ(madePublishers.size(), 1);
}

TEST_F(PLYWebServiceManagerTest, ConnectivityInputsDriveTheMachineInAndOutOfTheRoad) {
    internetUp = false;
    hostUp = false;
    start();
    EXPECT_EQ(manager()->currentStateName(), M::StateNoInternet);
    internet->setReachableForTesting(true);
    ASSERT_TRUE(reach(M::StateServerConnection));
    const qsizetype haveInternet = events.indexOf(M::EventHaveInternet);
    ASSERT_GE(haveInternet, 0);
    EXPECT_EQ(events.value(haveInternet + 1), M::EventCannotReachServer);
    probe->setReachable(true);
    ASSERT_TRUE(reach(M::StateNoAccount)) << "no credentials are stored";
    EXPECT_TRUE(events.contains(M::EventReachedServer));
    EXPECT_EQ(events.last(), M::EventNoAccountInfo);

    // The network goes: the connection is checked again and rests without internet.
    internet->setReachableForTesting(false);
    ASSERT_TRUE(reach(M::StateNoInternet));
    EXPECT_TRUE(events.contains(M::EventCannotReachInternet));
    internet->setReachableForTesting(true);
    ASSERT_TRUE(reach(M::StateNoAccount));
    // The host stops answering.
    probe->setReachable(false);
    ASSERT_TRUE(reach(M::StateServerConnection));
}

// ---- Sign-in and sign-up ----

TEST_F(PLYWebServiceManagerTest, SignInWithWrongThenRightCredentials) {
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    ASSERT_TRUE(manager()->loginWithEmail(script.email, "wrong", false));
    ASSERT_TRUE(reach(M::StateNotAuthd));
    const auto error = lastInfo(M::EventIncorrectCredentials).value("error").value<PLYServiceError>();
    EXPECT_EQ(error.code(), 401);
    EXPECT_EQ(host()->password(), "wrong") << "a refused sign-in clears nothing";

    ASSERT_TRUE(manager()->loginWithEmail(script.email, script.password, false));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(host()->jwt(), script.validToken);
    const QString service = host()->keychainServiceName();
    EXPECT_FALSE(PLYKeyChain::itemForKey("password", service).isValid()) << "remember was off";
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", service).toString(), script.validToken);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == "account:42"; }));
}

TEST_F(PLYWebServiceManagerTest, ASignInRefusalWithAHugeMessageIsHeldCutBetweenCharacters) {
    // About 15 MB of message, with a character of two UTF-16 units straddling the bound.
    const qsizetype bound = PLYWebServiceModelObject::MaxDisplayFieldLength;
    const QString head = QStringLiteral("Refused.\nAsk the service why. ");
    const QString huge = head + QString(bound - 1 - head.size(), QLatin1Char('r')) + QString::fromUtf8("\xF0\x9F\x98\x80") +
                         QString(15 * 1000 * 1000, QLatin1Char('x'));
    service.setHandler("POST", "/api/log-in", [&](const PLYFakeRequest&) { return PLYErrorReply(401, 401, huge); });
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    ASSERT_TRUE(manager()->loginWithEmail(script.email, script.password, false));
    ASSERT_TRUE(reach(M::StateNotAuthd));
    const auto error = lastInfo(M::EventIncorrectCredentials).value("error").value<PLYServiceError>();
    EXPECT_EQ(error.code(), 401);
    EXPECT_EQ(error.error().size(), bound - 1) << "the pair that the bound would split is left out whole";
    EXPECT_TRUE(huge.startsWith(error.error()));
    EXPECT_TRUE(error.error().startsWith(head)) << "line breaks of a message stay";
}

TEST_F(PLYWebServiceManagerTest, StoredCredentialsSignInOnTheRoadAndRefusedOnesEndInNotAuthd) {
    host()->setEmail(script.email, true);
    host()->setPassword("stale", true);
    start();
    ASSERT_TRUE(reach(M::StateNotAuthd));
    EXPECT_EQ(host()->email(), script.email);
    // From NOT_AUTHD the user may also sign up.
    script.takenEmails << "taken@example.org";
    ASSERT_TRUE(manager()->createUserAccountWithFirstName("Bo", "B", "taken@example.org", "pw"));
    ASSERT_TRUE(reach(M::StateNoAccount));
    EXPECT_EQ(events.mid(events.size() - 2), road({M::EventCreateAccount, M::EventFailedAccountCreate}));
    EXPECT_EQ(lastInfo(M::EventFailedAccountCreate).value("error").value<PLYServiceError>().code(), 422);
}

TEST_F(PLYWebServiceManagerTest, SignUpStoresTheCredentialsAndFetchesTheNewAccount) {
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    ASSERT_TRUE(manager()->createUserAccountWithFirstName("Grace", "Hopper", "grace@example.org", "cobol"));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_TRUE(events.contains(M::EventCreatedAccount));
    const auto sent = service.requestsMatching("POST", "/api/user").value(0).json().toMap().value("user").toMap();
    EXPECT_EQ(sent, (QVariantMap{{"f_name", "Grace"}, {"l_name", "Hopper"}, {"email", "grace@example.org"}, {"password_raw", "cobol"}}));
    const QString keychain = host()->keychainServiceName();
    EXPECT_EQ(PLYKeyChain::itemForKey("email", keychain).toString(), "grace@example.org");
    EXPECT_EQ(PLYKeyChain::itemForKey("password", keychain).toString(), "cobol");
    EXPECT_EQ(host()->jwt(), "tok-new");
}

TEST_F(PLYWebServiceManagerTest, RefusedOperationsAnswerNoLogTheStateAndStoreNothing) {
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_FALSE(manager()->loginWithEmail("other@example.org", "pw", true));
    EXPECT_TRUE(logged("Tried to login while in state: <PLYFiniteState 'IDLE'>"));
    EXPECT_NE(host()->email(), "other@example.org");
    EXPECT_FALSE(manager()->createUserAccountWithFirstName("a", "b", "c", "d"));
    EXPECT_TRUE(logged("Tried to create account while in state: "));
    EXPECT_EQ(manager()->currentStateName(), M::StateIdle);

    // Only the given publisher fields travel; "auto_publish" only when set.
    ASSERT_TRUE(manager()->updatePublisher("", "", "Travel", false));
    EXPECT_TRUE(logged("Preparing Publisher update"));
    EXPECT_EQ(lastInfo(M::EventUpdatePublisher), (QVariantMap{{"default_category", "Travel"}}));
    EXPECT_FALSE(manager()->refreshInfo()) << "busy updating";
    EXPECT_TRUE(logged("Tried to refresh info while in state: <PLYFiniteState 'UPDATING_PUBLISHER'>"));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(service.requestsMatching("PUT", "/api/me/publisher").value(0).json().toMap().value("publisher").toMap(),
              (QVariantMap{{"default_category", "Travel"}}));

    ASSERT_TRUE(manager()->updateAccount(""));
    EXPECT_TRUE(lastInfo(M::EventUpdateAccount).isEmpty());
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(manager()->updateUser("Ada", "", ""));
    EXPECT_EQ(lastInfo(M::EventUpdateUser), (QVariantMap{{"f_name", "Ada"}}));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(events.count(M::EventUpdatedInfo), 3);
}

// ---- Version gate ----

TEST_F(PLYWebServiceManagerTest, VersionComparisonRunsOverTheApplicationsComponents) {
    EXPECT_FALSE(M::isVersionSupported("2.0", "1.9.9"));
    EXPECT_TRUE(M::isVersionSupported("1.9.0", "1.9.0"));
    EXPECT_TRUE(M::isVersionSupported("1.4.0", "1.10.0"));
    EXPECT_FALSE(M::isVersionSupported("1.4.0", "1.3.9"));
    EXPECT_TRUE(M::isVersionSupported("2", "2.0.1")) << "a component the service lacks counts as 0";
    EXPECT_FALSE(M::isVersionSupported("2", "1.9"));
    // Components the application lacks never refuse it.
    EXPECT_TRUE(M::isVersionSupported("1.4.0.1", "1.4.0"));
    EXPECT_TRUE(M::isVersionSupported("2.0.1", "2"));
    EXPECT_TRUE(M::isVersionSupported("1.0", ""));
}

TEST_F(PLYWebServiceManagerTest, AnOlderApplicationIsStoppedAtTheVersionGate) {
    script.version = "2.0";
    PLYWebServiceManager::setApplicationVersion("1.9.9");
    start();
    ASSERT_TRUE(reach(M::StateOutOfDateVersion));
    EXPECT_EQ(events.last(), M::EventRecievedBadVersion);
    EXPECT_TRUE(service.requestsMatching("", "/api/*").isEmpty());
}

TEST_F(PLYWebServiceManagerTest, AVersionAnswerWithoutAVersionIsAConnectionFailureNotAPass) {
    script.versionStatus = 500;
    start();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.requestsMatching("GET", "/core/supported").size() >= 2; }));
    EXPECT_FALSE(history.contains(M::StateAttemptingLogin));
    script.versionStatus = 200;
    script.version = QString();  // a body without "version"
    // The check is asked again only once the last answer is handled: two more requests mean an
    // answer without a version has been handled.
    const qsizetype checks = service.requestsMatching("GET", "/core/supported").size();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.requestsMatching("GET", "/core/supported").size() >= checks + 2; }));
    EXPECT_FALSE(history.contains(M::StateAttemptingLogin));
    script.version = "1.0.0";
    ASSERT_TRUE(reach(M::StateNoAccount));
}

// ---- Account gating ----

TEST_F(PLYWebServiceManagerTest, LockedAndUnverifiedAccountsStopBeforeThePublisher) {
    script.accountStatus = 2 | 32;  // locked and marked deleted
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateAccountLocked));
    EXPECT_TRUE(service.requestsMatching("GET", "/api/me/publisher").isEmpty());

    script.accountStatus = 1;
    script.verified = false;
    ASSERT_TRUE(manager()->refreshInfo());
    ASSERT_TRUE(reach(M::StateNotVerified));
    EXPECT_EQ(events.last(), M::EventAccountNotVerified);

    // The verification window reports back; the user verified, so the refresh gets through.
    bool verifiedAnswer = false;
    manager()->presentEmailVerifyNotification([&](bool ok, const QVariant&, const auto&, const auto&) { verifiedAnswer = ok; });
    EXPECT_TRUE(verifiedAnswer);
    script.verified = true;
    script.hasPublisher = false;
    ASSERT_TRUE(manager()->refreshInfo());
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_FALSE(manager()->remotePublisher()) << "code 501: the account has no publisher";
}

TEST_F(PLYWebServiceManagerTest, NoPublisherAnswerClearsThePublisherOfAnEarlierFetch) {
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(manager()->remotePublisher());
    script.hasPublisher = false;
    ASSERT_TRUE(manager()->refreshInfo());
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_FALSE(manager()->remotePublisher());
}

// ---- Publisher operations ----

TEST_F(PLYWebServiceManagerTest, PublisherCreateAndDeleteReturnToIdleWithTheirOutcome) {
    script.hasPublisher = false;
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));

    ASSERT_TRUE(manager()->deletePublisher());
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_TRUE(service.requestsMatching("DELETE", "/api/me/publisher").isEmpty()) << "nothing to delete";

    ASSERT_TRUE(manager()->createPublisher(PLYWebServicePublisher::TypeWordpress, "ada", "wp-pass"));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(events.last(), M::EventCreatedPublisher);
    ASSERT_TRUE(manager()->remotePublisher());
    EXPECT_EQ(service.requestsMatching("POST", "/api/me/publisher").value(0).json().toMap().value("publisher").toMap(),
              (QVariantMap{{"type", 1}, {"username", "ada"}, {"password", "wp-pass"}}));

    ASSERT_TRUE(manager()->createPublisher(1, "ada", "again"));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(events.last(), M::EventFailedPublisherCreate);
    EXPECT_EQ(lastInfo(M::EventFailedPublisherCreate).value("error").value<PLYServiceError>().code(), 409);

    ASSERT_TRUE(manager()->deletePublisher());
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(events.last(), M::EventUpdatedInfo);
    EXPECT_FALSE(manager()->remotePublisher());

    // A publisher the service no longer has: the delete is refused and the error travels.
    ASSERT_TRUE(manager()->createPublisher(1, "ada", "pw"));
    ASSERT_TRUE(reach(M::StateIdle));
    script.hasPublisher = false;
    ASSERT_TRUE(manager()->deletePublisher());
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(events.last(), M::EventFailedPublisherDelete);
    EXPECT_EQ(lastInfo(M::EventFailedPublisherDelete).value("error").value<PLYServiceError>().code(), 501);
}

// ---- Token expiry and re-authentication ----

TEST_F(PLYWebServiceManagerTest, ExpiredTokenWithStoredCredentialsSignsInAgainAndGoesOnFetching) {
    host()->setEmail(script.email, true);
    host()->setPassword(script.password, true);
    host()->setJWT("expired");
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    const int refresh = history.indexOf(M::StateRefreshingAuth);
    ASSERT_GT(refresh, 0);
    EXPECT_EQ(history[refresh - 1], M::StateFetchingInfo);
    EXPECT_EQ(lastInfo(M::EventRefreshAuth).value("forwardEvent").toString(), M::StateFetchingInfo);
    EXPECT_EQ(history[refresh + 1], M::StateFetchingInfo) << "the interrupted fetch goes on";
    EXPECT_EQ(host()->jwt(), script.validToken);
    EXPECT_EQ(service.requestsMatching("POST", "/api/log-in").size(), 1);
}

TEST_F(PLYWebServiceManagerTest, ExpiryDuringAnUpdateResumesTheUpdateOncePerToken) {
    host()->setEmail(script.email, true);
    host()->setPassword(script.password, true);
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    script.validToken = "rotated";  // the service no longer takes the held token
    ASSERT_TRUE(manager()->updateAccount("new.example.org"));
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return events.count(M::EventUpdatedInfo) == 1; }));
    EXPECT_EQ(script.host, "new.example.org");
    EXPECT_EQ(lastInfo(M::EventRefreshAuth).value("info").toMap(), (QVariantMap{{"host", "new.example.org"}}));
    EXPECT_EQ(events.count(M::EventUpdateAccount), 2) << "fired again after the new token";
}

TEST_F(PLYWebServiceManagerTest, RefusedStoredPasswordKeepsTheEmailAndThePromptCanCancel) {
    host()->setEmail(script.email, true);
    host()->setPassword("changed-elsewhere", true);
    host()->setJWT("expired");
    presenter->attempts = {{true, "mallory@example.org", script.password}, {true, script.email, "wrong"}};
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    const QString keychain = host()->keychainServiceName();
    EXPECT_EQ(PLYKeyChain::itemForKey("email", keychain).toString(), script.email);
    EXPECT_FALSE(PLYKeyChain::itemForKey("password", keychain).isValid());
    EXPECT_FALSE(PLYKeyChain::itemForKey("jwt", keychain).isValid());
    EXPECT_EQ(presenter->prompts, QStringList({"login|" + script.email}));
    ASSERT_EQ(presenter->results.size(), 2);
    EXPECT_EQ(presenter->results[0].second, "Please sign in as " + script.email + ".");
    EXPECT_EQ(presenter->results[1].second, "Wrong e-mail or password.");
    EXPECT_EQ(presenter->closes, 1);
    EXPECT_FALSE(manager()->remoteUser());
    EXPECT_FALSE(manager()->remoteAccount());
}

TEST_F(PLYWebServiceManagerTest, OnlyTheEmailStoredPromptsAndASuccessfulSignInResumes) {
    host()->setEmail(script.email, true);
    host()->setJWT("expired");
    presenter->attempts = {{true, script.email, script.password}};
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(presenter->prompts.size(), 1);
    EXPECT_EQ(presenter->closes, 1);
    EXPECT_EQ(PLYKeyChain::itemForKey("password", host()->keychainServiceName()).toString(), script.password);
}

TEST_F(PLYWebServiceManagerTest, ThePromptShowingWhenTheRoadReturnsServesTheNewEntry) {
    host()->setEmail(script.email, true);
    host()->setJWT("expired");
    presenter->attempts = {{true, script.email, script.password}};
    presenter->whenSignInPromptOpens = [&] {
        // While the prompt runs, the environment is chosen again and the road comes back to
        // re-authentication, which finds the prompt still open.
        PLYUseLocalService(service.port());
        ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return history.count(M::StateRefreshingAuth) == 2; }));
    };
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(presenter->prompts.size(), 1);
    EXPECT_EQ(presenter->closes, 1);
    EXPECT_EQ(host()->jwt(), script.validToken);
}

TEST_F(PLYWebServiceManagerTest, AServiceRefusingEveryFreshTokenIsAskedAgainAfterGrowingWaitsNeverInATightLoop) {
    host()->setEmail(script.email, true);
    host()->setPassword(script.password, true);
    host()->setJWT(script.validToken);
    service.setHandler("GET", "/api/me", [](const PLYFakeRequest&) { return PLYErrorReply(401, 10000, "Expired."); });
    start();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.requestsMatching("POST", "/api/log-in").size() >= 4; }));
    QStringList waits;
    for (const QString& line : logLines)
        if (line.contains("The service refused a token it had just issued; trying again in"))
            waits << line.section("again in ", 1).section(' ', 0, 0);
    ASSERT_GE(waits.size(), 2);
    EXPECT_EQ(waits.mid(0, 2), QStringList({"0.02", "0.04"}));
    // Each log-in is followed by one resumption, never by a burst of them.
    EXPECT_LE(service.requestsMatching("GET", "/api/me").size(), service.requestsMatching("POST", "/api/log-in").size() + 1);

    // Once the service takes the tokens again, the session gets there by itself.
    PLYInstallSessionRoutes(service, script);
    ASSERT_TRUE(reach(M::StateIdle));
}

TEST_F(PLYWebServiceManagerTest, TypedCredentialsReplaceARefusedTokenLeftFromReauthentication) {
    host()->setJWT("expired");
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));  // nothing to sign in again with
    ASSERT_TRUE(manager()->loginWithEmail(script.email, "wrong", false));
    ASSERT_TRUE(reach(M::StateNotAuthd)) << "the sign-in screen hears of the wrong password";
    EXPECT_EQ(lastInfo(M::EventIncorrectCredentials).value("error").value<PLYServiceError>().code(), 401);
    EXPECT_TRUE(presenter->prompts.isEmpty());
    EXPECT_FALSE(PLYKeyChain::itemForKey("email", host()->keychainServiceName()).isValid()) << "remember was off";

    ASSERT_TRUE(manager()->loginWithEmail(script.email, script.password, false));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_FALSE(history.mid(history.lastIndexOf(M::StateNotAuthd)).contains(M::StateRefreshingAuth));
}

TEST_F(PLYWebServiceManagerTest, ExpiryWithoutAnyStoredEmailEndsInNoAccount) {
    host()->setJWT("expired");
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    EXPECT_EQ(events.mid(events.size() - 2), road({M::EventRefreshAuth, M::EventNoAccountInfo}));
    EXPECT_TRUE(presenter->prompts.isEmpty());
}

TEST_F(PLYWebServiceManagerTest, TransportFailureDuringReauthenticationKeepsTheCredentials) {
    host()->setEmail(script.email, true);
    host()->setPassword(script.password, true);
    host()->setJWT("expired");
    service.enqueueReply("POST", "/api/log-in", PLYFakeReply::closeConnection());
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_TRUE(history.contains(M::StateRefreshingAuth));
    EXPECT_EQ(host()->password(), script.password);
    EXPECT_EQ(service.requestsMatching("POST", "/api/log-in").size(), 2);
}

// ---- Failure routes ----

TEST_F(PLYWebServiceManagerTest, PersistentServerErrorRetriesWithAGrowingBoundedWait) {
    script.userFetchStatus = 500;
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.requestsMatching("GET", "/api/me").size() >= 5; }));
    QStringList waits;
    for (const QString& line : logLines)
        if (line.contains("Checking the connection again in")) waits << line.section("again in ", 1).section(' ', 0, 0);
    ASSERT_GE(waits.size(), 4);
    EXPECT_EQ(waits.mid(0, 4), QStringList({"0.02", "0.04", "0.08", "0.08"}));
    EXPECT_TRUE(logged("Web Service Error for Web_Service"));
    script.userFetchStatus = 200;
    ASSERT_TRUE(reach(M::StateIdle));
}

TEST_F(PLYWebServiceManagerTest, EnvironmentSwitchMidRequestDropsTheOldAnswer) {
    PLYFakeService other;
    ASSERT_TRUE(other.start());
    PLYScriptedAccount otherScript;
    otherScript.firstName = "Other";
    PLYInstallSessionRoutes(other, otherScript);
    service.holdReplies("GET", "/api/me");  // answered only once the switch is made
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return !service.requestsMatching("GET", "/api/me").isEmpty(); }));
    EXPECT_EQ(manager()->currentStateName(), M::StateFetchingInfo);

    PLYUseLocalService(other.port());
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(lastInfo(M::EventConnectionChanged), QVariantMap());
    EXPECT_EQ(manager()->remoteUser()->firstName(), "Other");
    const int changes = history.size();
    service.releaseHeldReplies();
    PLYTestEnvironment::waitUntil([] { return false; }, 400);  // the old answer arrives now
    EXPECT_EQ(history.size(), changes);
    EXPECT_EQ(manager()->remoteUser()->firstName(), "Other");

    // Switching in IDLE runs the road again against the (new) current host.
    PLYUseLocalService(other.port());
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(events.count(M::EventConnectionChanged), 2);
}

TEST_F(PLYWebServiceManagerTest, LostConnectionDuringARequestChecksTheConnectionAgain) {
    host()->setJWT(script.validToken);
    // The network stack repeats a GET once on a dropped connection: drop both.
    for (int i = 0; i < 3; ++i) service.enqueueReply("GET", "/api/me", PLYFakeReply::closeConnection());
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_GE(events.count(M::EventConnectionChanged), 1);
}

// ---- Restart, windows, registry, gateway ----

TEST_F(PLYWebServiceManagerTest, PendingMigrationShowsTheRestartAlertAndRelaunches) {
    auto alerts = std::make_shared<PLYScriptedAlertPresenter>();
    PLYAlertPresenter::setShared(alerts);
    double relaunchedAfter = -1;
    PLYWebServiceManager::setRelaunchHandler([&](double delay) { relaunchedAfter = delay; });
    PLYMigrator::setShouldRelaunchAfterLogin(true);
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return relaunchedAfter >= 0; }));
    PLYMigrator::setShouldRelaunchAfterLogin(false);
    PLYAlertPresenter::setShared(nullptr);
    EXPECT_EQ(relaunchedAfter, 0.5);
    ASSERT_EQ(alerts->presented().size(), 1);
    EXPECT_EQ(alerts->presented()[0].messageText, "Pellory Will Restart");
    EXPECT_EQ(alerts->presented()[0].buttonTitles, QStringList({"Ok"}));
    EXPECT_EQ(manager()->currentStateName(), M::StateFetchingInfo);
    EXPECT_TRUE(service.requestsMatching("GET", "/api/me").isEmpty());
}

TEST_F(PLYWebServiceManagerTest, AccountDetailsWindowRunsOnceAtATime) {
    start();
    int inner = 0;
    bool outer = false;
    presenter->whileAccountDetailsRuns = [&] {
        manager()->presentAccountDetailsNotification(false, false, [&](bool, const QVariant&, const auto&, const auto&) { ++inner; });
    };
    manager()->presentAccountDetailsNotification(true, false, [&](bool ok, const QVariant&, const auto&, const auto&) { outer = ok; });
    EXPECT_TRUE(outer);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(presenter->accountDetailsRuns, (QList<std::pair<bool, bool>>{{true, false}}));
    presenter->accountDetailsResponse = -1000;
    presenter->whileAccountDetailsRuns = nullptr;
    manager()->presentAccountDetailsNotification(false, true, [&](bool ok, const QVariant&, const auto&, const auto&) { outer = ok; });
    EXPECT_FALSE(outer);
}

TEST_F(PLYWebServiceManagerTest, PublisherRegistryAnswersOnePublisherPerPostIdentifier) {
    start();
    auto account = store()->signInUser("ada@example.org");
    auto post = account->createNewPost("One");
    auto first = manager()->publisherForPost(post);
    ASSERT_TRUE(first);
    EXPECT_EQ(manager()->publisherForPost(post), first);
    auto other = account->createNewPost("Two");
    EXPECT_NE(manager()->publisherForPost(other), first);
    EXPECT_EQ(manager()->currentPublishers().size(), 2);
    EXPECT_FALSE(manager()->publisherForPost(nullptr));
}

TEST_F(PLYWebServiceManagerTest, InstalledGatewayAndPayloadLoggerServeTheRestOfTheApplication) {
    PLYWebServiceManager::install();
    PLYWebServiceGateway* gateway = PLYCoreManager::webServiceGateway();
    ASSERT_TRUE(gateway);
    host()->setEmail("ada@example.org", false);
    EXPECT_EQ(gateway->storedEmail(), "ada@example.org");
    gateway->beginManager();
    existing = PLYWebServiceManager::globalManager();
    auto post = store()->signInUser("ada@example.org")->createNewPost("P");
    bool deleted = false;
    gateway->deleteRemotePost(post, [&](bool ok) { deleted = ok; });
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return deleted; }));
    EXPECT_EQ(madePublishers.value(0)->deletes, 1);
    PLYWebServiceModelObject::logPayloadResponse("caller", "<GET x> status 200", QVariantMap{{"a", 1}});
    EXPECT_TRUE(logged("Payload Reponse for:`caller`\n\tResp: <GET x> status 200\n\t:Data: "));
    gateway->clearStoredKeys();
    EXPECT_TRUE(host()->email().isEmpty());
    PLYCoreManager::setWebServiceGateway(nullptr);
    PLYWebServiceModelObject::setPayloadLogger({});
}

// The events nothing in the application fires, and the side entries of the table, still move
// the machine as listed.
TEST_F(PLYWebServiceManagerTest, RarelyFiredEventsMoveTheMachineAsListed) {
    script.userDelayMs = 2000;
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateFetchingInfo));
    auto machine = manager()->stateMachine();
    ASSERT_TRUE(machine->fireEvent(M::EventAccountPendingDeletion));
    EXPECT_EQ(manager()->currentStateName(), M::StateAccountPendingDeletion);
    script.userDelayMs = 2000;
    ASSERT_TRUE(machine->fireEvent(M::EventRefreshInfo));
    ASSERT_TRUE(machine->fireEvent(M::EventBadAuth));
    EXPECT_EQ(manager()->currentStateName(), M::StateFetchingInfo) << "a held token logs in at once";
    ASSERT_TRUE(machine->fireEvent(M::EventRefreshAuth));  // no e-mail stored
    EXPECT_EQ(manager()->currentStateName(), M::StateNoAccount);
    ASSERT_TRUE(machine->fireEvent(M::EventUpdatedAuthInfo));
    ASSERT_TRUE(reach(M::StateFetchingInfo));

    // Sign-out entries, and publisher work started from re-authentication.
    host()->setEmail(script.email, true);
    presenter->attempts = {};
    ASSERT_TRUE(machine->fireEvent(M::EventRefreshAuth));
    // The prompt was cancelled (no attempts scripted).
    EXPECT_EQ(manager()->currentStateName(), M::StateNoAccount);
    host()->setPassword(script.password, true);
    ASSERT_TRUE(machine->fireEvent(M::EventConnectionChanged));
    script.userDelayMs = 0;
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(manager()->createPublisher(1, "ada", "x"));
    ASSERT_TRUE(machine->fireEvent(M::EventRefreshAuth));
    ASSERT_TRUE(machine->fireEvent(M::EventSignOut));
    EXPECT_EQ(manager()->currentStateName(), M::StateSigningOut);
    ASSERT_TRUE(machine->fireEvent(M::EventSignedOut));
    EXPECT_EQ(manager()->currentStateName(), M::StateNoAccount);
    ASSERT_TRUE(manager()->loginWithEmail(script.email, script.password, true));
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(manager()->deletePublisher());
    const qsizetype logins = service.requestsMatching("POST", "/api/log-in").size();
    script.userDelayMs = 300;
    ASSERT_TRUE(machine->fireEvent(M::EventRefreshAuth));  // signs in again with what is stored
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return service.requestsMatching("POST", "/api/log-in").size() > logins; }));
    // Nothing was forwarded: the fresh token still never leaves the machine waiting there.
    ASSERT_TRUE(reach(M::StateFetchingInfo));
    EXPECT_EQ(history[history.lastIndexOf(M::StateFetchingInfo) - 1], M::StateRefreshingAuth);
    script.userDelayMs = 0;
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(manager()->createPublisher(1, "ada", "y"));
    ASSERT_TRUE(machine->fireEvent(M::EventRefreshAuth));
    ASSERT_TRUE(manager()->deletePublisher()) << "publisher work is taken on from re-authentication";
    ASSERT_TRUE(reach(M::StateIdle));
}


// ---- When the service misbehaves ----

TEST_F(PLYWebServiceManagerTest, AServerFailureOnSignInNeverCountsAsWrongCredentials) {
    host()->setEmail(script.email, true);
    host()->setPassword(script.password, true);
    // The stored-credentials log-in at start-up meets a 5xx, an error page and a 2xx without a token.
    service.enqueueReply("POST", "/api/log-in", PLYErrorReply(503, 503, "Down for maintenance."));
    service.enqueueReply("POST", "/api/log-in", PLYFakeReply::text(500, "<html><body>Oops</body></html>", "text/html"));
    service.enqueueReply("POST", "/api/log-in", PLYFakeReply::json(200, QVariantMap{{"ok", true}}));
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_FALSE(history.contains(M::StateNotAuthd));
    const QString keychain = host()->keychainServiceName();
    EXPECT_EQ(PLYKeyChain::itemForKey("password", keychain).toString(), script.password);

    // Re-authentication meets a 502: the stored password stays and the road goes round again.
    script.validToken = "rotated";
    service.enqueueReply("POST", "/api/log-in", PLYErrorReply(502, 0, "Bad gateway."));
    const qsizetype mark = history.size();
    ASSERT_TRUE(manager()->refreshInfo());
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return history.mid(mark).count(M::StateRefreshingAuth) == 2; }));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_TRUE(history.mid(mark).contains(M::StateCheckingConnection));
    EXPECT_EQ(PLYKeyChain::itemForKey("password", keychain).toString(), script.password);
    EXPECT_EQ(host()->jwt(), script.validToken);
    EXPECT_TRUE(presenter->prompts.isEmpty());

    // On the wire: the version check and the log-in never carry a token, even while one is
    // held, and the log-in body is {"user": {"email", "password"}} and nothing else.
    const auto logins = service.requestsMatching("POST", "/api/log-in");
    ASSERT_EQ(logins.size(), 6);
    for (const auto& request : logins + service.requestsMatching("GET", "/core/supported")) {
        EXPECT_TRUE(request.header("authorization").isEmpty()) << request.path.toStdString();
    }
    EXPECT_GE(service.requestsMatching("GET", "/core/supported").size(), 3);
    for (const auto& request : logins) {
        EXPECT_EQ(request.header("content-type"), "application/json");
        EXPECT_EQ(request.json().toMap(), (QVariantMap{{"user", QVariantMap{{"email", script.email}, {"password", script.password}}}}));
    }

    // Only a refusal of the credentials counts as one.
    PLYServiceError code1;
    code1.setCode(PLYServiceError::CodeIncorrectPassword);
    EXPECT_TRUE(M::isCredentialRefusal(422, code1));
    EXPECT_TRUE(M::isCredentialRefusal(403, PLYServiceError()));
    EXPECT_FALSE(M::isCredentialRefusal(500, code1));
    EXPECT_FALSE(M::isCredentialRefusal(404, PLYServiceError()));
}

TEST_F(PLYWebServiceManagerTest, ASignInReplacesThePreviousUsersCredentialsAndTheLibraryFollowsTheSignedInUser) {
    PLYWebServiceUser::setLocalPostCountProvider([this]() -> quint64 {
        const auto account = store()->currentAccount();
        return account ? quint64(account->currentPosts().size()) : 0;
    });
    // Ada was remembered on this machine; her library is open, with a post and its publisher.
    host()->setEmail("ada@example.org", true);
    auto ada = store()->signInUser("ada@example.org");
    auto adasPost = ada->createNewPost("Ada's trip");
    start();
    ASSERT_TRUE(reach(M::StateNoAccount)) << "no password is stored";
    ASSERT_TRUE(manager()->publisherForPost(adasPost));

    // Bo signs in without "remember".
    script.email = "bo@example.org";
    script.password = "bo-pass";
    script.firstName = "Bo";
    ASSERT_TRUE(manager()->loginWithEmail("bo@example.org", "bo-pass", false));
    ASSERT_TRUE(reach(M::StateIdle));
    const QString keychain = host()->keychainServiceName();
    EXPECT_FALSE(PLYKeyChain::itemForKey("email", keychain).isValid()) << "Ada's e-mail is not left beside Bo's token";
    EXPECT_FALSE(PLYKeyChain::itemForKey("password", keychain).isValid());
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", keychain).toString(), script.validToken);

    // The library follows Bo before anything is written or published.
    ASSERT_TRUE(store()->currentAccount());
    EXPECT_EQ(store()->currentAccount()->email(), "bo@example.org");
    EXPECT_EQ(store()->currentAccount()->firstName(), "Bo");
    EXPECT_TRUE(ada->firstName().isEmpty()) << "Bo's names never go into Ada's account";
    const QVariantMap usage = service.requestsMatching("PUT", "/api/me").value(0).json().toMap().value("user").toMap().value("app_usage").toMap();
    EXPECT_EQ(usage.value("l_p_count").toInt(), 0) << "the usage report counts Bo's posts";
    for (const auto& publisher : manager()->currentPublishers()) EXPECT_NE(publisher->localPost(), adasPost);
    PLYWebServiceUser::setLocalPostCountProvider(nullptr);
}

// A library that holds the user's account from an earlier session, with nobody signed in: the
// sign-in opens that account and says so, so that home lists its posts.
TEST_F(PLYWebServiceManagerTest, SigningInOpensTheUsersEarlierLibraryAndAnnouncesItsPosts) {
    store()->signInUser(script.email)->createNewPost("Skye");
    store()->signOut();
    int announcements = 0;
    PLYObserverBag bag;
    bag.add(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification), nullptr,
            [&](const PLYNotification&) {
                if (store()->currentAccount() && store()->currentAccount()->currentPosts().size() == 1) ++announcements;
            });
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    ASSERT_TRUE(manager()->loginWithEmail(script.email, script.password, false));
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(store()->currentAccount());
    EXPECT_EQ(store()->currentAccount()->currentPosts().size(), 1);
    EXPECT_GE(announcements, 1) << "home is told that the signed-in account's posts are there";
}

TEST_F(PLYWebServiceManagerTest, ABrokenOrStalledTransferIsAFailureWhateverItsStatusLine) {
    PelloryServices::setRequestTimeout(1.0);
    host()->setJWT(script.validToken);
    const QVariantMap user{{"id", 7}, {"f_name", "Ada"}, {"email", script.email}, {"verified", true}};
    const PLYFakeReply good = PLYFakeReply::json(200, QVariantMap{{"data", user}});
    service.enqueueReply("GET", "/api/me", PLYFakeReply::cut(good, 12));
    service.enqueueReply("GET", "/api/me", PLYFakeReply::stalled(good, 12));
    start();
    // Two failed fetches, one of them a second of silence, each followed by the back-off.
    ASSERT_TRUE(reach(M::StateIdle));
    PelloryServices::setRequestTimeout(60);
    EXPECT_FALSE(history.contains(M::StateNotVerified)) << "a verified user is not gated by half an answer";
    EXPECT_GE(service.requestsMatching("GET", "/api/me").size(), 3);
    const auto reports = service.requestsMatching("PUT", "/api/me");
    ASSERT_FALSE(reports.isEmpty());
    for (const auto& report : reports) EXPECT_EQ(report.json().toMap().value("user").toMap().value("id").toInt(), 7);
}

TEST_F(PLYWebServiceManagerTest, AnAnswerPastTheSizeBoundIsRefusedAndPayloadLogLinesStayReadable) {
    const qint64 bound = PelloryServices::maximumResponseBodySize();
    PelloryServices::setMaximumResponseBodySize(64 * 1024);
    service.enqueueReply("GET", "/core/supported", PLYFakeReply::json(200, QVariantMap{{"version", "1.0.0"}, {"pad", QString(200000, 'x')}}));
    // Within the bound, but longer than a log line shows.
    service.enqueueReply("GET", "/core/supported", PLYFakeReply::json(200, QVariantMap{{"version", "1.0.0"}, {"pad", QString(30000, 'y')}}));
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    PelloryServices::setMaximumResponseBodySize(bound);
    EXPECT_EQ(service.requestsMatching("GET", "/core/supported").size(), 2);
    EXPECT_TRUE(logged("The response is larger than 65536 bytes"));
    EXPECT_TRUE(logged("more characters)"));
    for (const QString& line : logLines) EXPECT_LT(line.size(), 3000) << line.left(100).toStdString();
}

TEST_F(PLYWebServiceManagerTest, ASignUpAnsweredAfterTheSessionMovedKeepsTheNewAccount) {
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    service.setHandlerDelay("POST", "/api/user", 300);
    ASSERT_TRUE(manager()->createUserAccountWithFirstName("Grace", "Hopper", "grace@example.org", "cobol"));
    // One lost ping: the connection road runs again while the account is being made.
    probe->setReachable(false);
    probe->setReachable(true);
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_FALSE(events.contains(M::EventCreatedAccount)) << "the answer came too late for its event";
    const QString keychain = host()->keychainServiceName();
    EXPECT_EQ(PLYKeyChain::itemForKey("email", keychain).toString(), "grace@example.org");
    EXPECT_EQ(PLYKeyChain::itemForKey("password", keychain).toString(), "cobol");
    EXPECT_EQ(host()->jwt(), "tok-new");
    EXPECT_EQ(service.requestsMatching("POST", "/api/user").size(), 1);
    EXPECT_EQ(manager()->remoteUser()->email(), "grace@example.org");
}

TEST_F(PLYWebServiceManagerTest, RefusedUpdatesReturnToIdleCarryingTheirError) {
    host()->setJWT(script.validToken);
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    const qsizetype mark = history.size();
    service.enqueueReply("PUT", "/api/me/account", PLYErrorReply(422, 422, "That is no host."));
    ASSERT_TRUE(manager()->updateAccount("not a host"));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(lastInfo(M::EventUpdatedInfo).value("error").value<PLYServiceError>().code(), 422);
    EXPECT_EQ(script.host, "blog.example.org");

    service.enqueueReply("PUT", "/api/me/publisher", PLYFakeReply::text(500, "<html>Oops</html>", "text/html"));
    ASSERT_TRUE(manager()->updatePublisher("", "", "Travel", false));
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(lastInfo(M::EventUpdatedInfo).contains("error"));
    EXPECT_EQ(lastInfo(M::EventUpdatedInfo).value("error").value<PLYServiceError>().code(), 0);

    ASSERT_TRUE(manager()->updateUser("Ada", "", ""));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_FALSE(lastInfo(M::EventUpdatedInfo).contains("error")) << "an accepted change carries none";
    EXPECT_EQ(history.mid(mark), road({M::StateUpdatingAccount, M::StateIdle, M::StateUpdatingPublisher, M::StateIdle,
                                       M::StateUpdatingUser, M::StateIdle}));
}

TEST_F(PLYWebServiceManagerTest, TheBackOffStartsShortAgainAfterAGoodAnswer) {
    script.userFetchStatus = 500;
    host()->setJWT(script.validToken);
    start();
    const auto waits = [&] {
        QStringList found;
        for (const QString& line : logLines)
            if (line.contains("Checking the connection again in")) found << line.section("again in ", 1).section(' ', 0, 0);
        return found;
    };
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return waits().contains("0.08"); }));
    // The user is read again, but the account fails once: that wait starts short again.
    service.enqueueReply("GET", "/api/me/account", PLYErrorReply(500, 0, "Server trouble."));
    script.userFetchStatus = 200;
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(waits().last(), "0.02");
    EXPECT_EQ(service.requestsMatching("GET", "/api/me/account").size(), 2);
}

TEST_F(PLYWebServiceManagerTest, ASignInPromptClosedWithoutAnAnswerIsNoLongerTakenForOpen) {
    host()->setEmail(script.email, true);
    host()->setJWT("expired");
    PLYScriptedSessionPresenter::Attempt closed;
    closed.closeWithoutAnswer = true;
    presenter->attempts = {closed};
    start();
    ASSERT_TRUE(reach(M::StateNoAccount)) << "the session does not wait on a window that is gone";
    EXPECT_EQ(presenter->prompts.size(), 1);

    // The next re-authentication shows the prompt again.
    presenter->attempts = {{true, script.email, script.password}};
    ASSERT_TRUE(manager()->stateMachine()->fireEvent(M::EventUpdatedAuthInfo));
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_EQ(presenter->prompts.size(), 2);
    EXPECT_EQ(host()->jwt(), script.validToken);
}

}  // namespace
