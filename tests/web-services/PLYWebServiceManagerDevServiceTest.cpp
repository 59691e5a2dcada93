#include "PLYSessionTestSupport.h"

#include "PLYWebServiceAccount.h"

#ifdef PELLORY_HAS_DEVSERVICE
#include "PLYDevService.h"

namespace {

using M = PLYWebServiceManager;

// The whole session against the local development service: sign up, idle on the account's
// channel, then a restart that signs in with the stored credentials.
TEST_F(PLYWebServiceManagerTest, DevelopmentServiceSignUpAndRestartReachIdle) {
    PLYDevService::Options options;
    options.minimumVersion = "1.0.0";
    PLYDevService dev(options);
    ASSERT_TRUE(dev.start(0));
    PLYUseLocalService(dev.port());
    start();
    ASSERT_TRUE(reach(M::StateNoAccount));
    ASSERT_TRUE(manager()->createUserAccountWithFirstName("Ada", "Lovelace", "ada@dev.example.org", "secret1"));
    ASSERT_TRUE(reach(M::StateIdle));
    ASSERT_TRUE(manager()->remoteAccount());
    const QString topic = "account:" + manager()->remoteAccount()->identifierString();
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return host()->joinedChannelTopic() == topic; }));
    EXPECT_EQ(store()->currentAccount()->email(), "ada@dev.example.org");

    // A restart with the token forgotten: the stored e-mail and password sign in again.
    PLYWebServiceManager::resetForTesting();
    existing = nullptr;
    history.clear();
    PLYKeyChain::deleteItemForKey("jwt", host()->keychainServiceName());
    PLYWebServiceHost::resetForTesting();
    start();
    ASSERT_TRUE(reach(M::StateIdle));
    EXPECT_TRUE(history.contains(M::StateAttemptingLogin));
    EXPECT_FALSE(host()->jwt().isEmpty());
}

}  // namespace
#endif
