#include "PLYWebServiceTestSupport.h"

#include "PLYNotificationCenter.h"

#include <QCoreApplication>

namespace {

class WebServiceHostTest : public ::testing::Test {
protected:
    void SetUp() override { PLYResetWebServiceState(); }
    void TearDown() override { PLYWebServiceHost::resetForTesting(); }
};

TEST_F(WebServiceHostTest, DevelopmentIsCurrentWithNothingStoredAndUsesPlainHttpOnPort4000) {
    PLYWebServiceHost* host = PLYWebServiceHost::currentHost();
    EXPECT_EQ(host, PLYWebServiceHost::devHost());
    EXPECT_FALSE(host->isHTTPS());
    EXPECT_EQ(host->serviceCoreURL().toString(), "http://localhost:4000/core");
    EXPECT_EQ(host->serviceApiURL().toString(), "http://localhost:4000/api");
    EXPECT_EQ(host->serviceMeURL().toString(), "http://localhost:4000/api/me");
    EXPECT_EQ(host->passwordResetURL().toString(), "http://localhost:4000/core/request-password");
    EXPECT_EQ(host->serviceMeURLWithPaths({"posts", "17", "live-revision"}).toString(),
              "http://localhost:4000/api/me/posts/17/live-revision");
    EXPECT_EQ(host->serviceURLWithPaths({"a", "b"}).toString(), "http://localhost:4000/a/b");
    EXPECT_EQ(host->serviceMeURLWithPaths({"account"}, QVariantMap{{"expand", "true"}}).toString(),
              "http://localhost:4000/api/me/account?expand=true");
    // Only the address is wanted here: no socket towards whatever listens on port 4000.
    PLYWebServiceHost::setChannelHooks({[](PLYWebServiceHost*) {}, [](PLYWebServiceHost*) {}});
    host->setJWT("abc");
    PLYWebServiceHost::setChannelHooks({});
    EXPECT_EQ(host->socketURL().toString(), "ws://localhost:4000/socket/websocket?token=abc");
}

TEST_F(WebServiceHostTest, StagingAndProductionUseHttpsOn443WithTheBuildTimeHosts) {
    for (PLYWebServiceHost* host : {PLYWebServiceHost::stagingHost(), PLYWebServiceHost::prodHost()}) {
        EXPECT_TRUE(host->isHTTPS());
        EXPECT_EQ(host->port(), "443");
        EXPECT_EQ(host->serviceApiURL().scheme(), "https");
        EXPECT_EQ(host->serviceApiURL().port(443), 443);
        EXPECT_EQ(host->socketURL().scheme(), "wss");
    }
    EXPECT_EQ(PLYWebServiceHost::stagingHost()->serviceMeURL().toString(),
              QStringLiteral("https://%1/api/me").arg(PELLORY_STAGING_HOST));
    EXPECT_EQ(PLYWebServiceHost::prodHost()->hostName(), PELLORY_PRODUCTION_HOST);
}

TEST_F(WebServiceHostTest, CustomHostReadsItsSettingsOnEveryUseWithAndWithoutHttps) {
    PLYWebServiceHost::setCustomHostName("blog.example.org");
    PLYWebServiceHost::setCustomPort("8443");
    PLYWebServiceHost::setCustomHTTPS(true);
    PLYWebServiceHost* custom = PLYWebServiceHost::customHost();
    EXPECT_EQ(custom->serviceCoreURL().toString(), "https://blog.example.org:8443/core");
    custom->setJWT("t");
    EXPECT_EQ(custom->socketURL().toString(), "wss://blog.example.org:8443/socket/websocket?token=t");

    PLYWebServiceHost::setCustomHTTPS(false);
    PLYWebServiceHost::setCustomPort("8080");
    EXPECT_EQ(custom->serviceApiURL().toString(), "http://blog.example.org:8080/api");
    EXPECT_EQ(custom->socketURL().scheme(), "ws");

    // A port that is no port is refused where it is stored: the probe (which reads port()) and
    // the addresses keep agreeing.
    for (const char* bad : {"99999", "0", "-1", "80a", "８０", "65536"}) {
        EXPECT_FALSE(PLYWebServiceHost::setCustomPort(bad)) << bad;
        EXPECT_EQ(custom->port(), "8080") << bad;
        EXPECT_EQ(custom->serviceURL().port(), 8080) << bad;
    }
    // One stored before ports were checked reads as no port, alike in both.
    PLYUserDefaults::standardUserDefaults().setString("70000", PLYWebServiceHost::kCustomPortKey);
    EXPECT_EQ(custom->port(), "80");
    EXPECT_EQ(custom->serviceURL().port(-1) == -1 ? 80 : custom->serviceURL().port(), custom->port().toInt());
    EXPECT_TRUE(PLYWebServiceHost::setCustomPort(""));
    EXPECT_EQ(custom->port(), "80");
}

TEST_F(WebServiceHostTest, UnknownTypeSelectsCustomAndSwitchingPostsTheChangeNotification) {
    int posted = 0;
    const auto token = PLYNotificationCenter::defaultCenter().addObserver(
        PLYWebServiceHost::DidChangeCurrentHostNotification, PLYWebServiceHost::classObject(),
        [&](const PLYNotification&) { ++posted; });
    PLYWebServiceHost::setCurrentHostType("something-else");
    EXPECT_EQ(PLYWebServiceHost::currentHost(), PLYWebServiceHost::customHost());
    PLYWebServiceHost::setCurrentHostType(PLYWebServiceHost::HostTypeProd);
    EXPECT_EQ(PLYWebServiceHost::currentHost(), PLYWebServiceHost::prodHost());
    PLYWebServiceHost::setCustomPort("1");  // settings of a custom host not in use post nothing
    QCoreApplication::processEvents();
    PLYNotificationCenter::defaultCenter().removeObserver(token);
    EXPECT_EQ(posted, 2);
}

// While the custom host is in use, a change of its name, port or HTTPS choice is a change of
// host: its channel, opened on the old address, is closed, and the change is announced once
// per change of address (at the next turn of the event loop, or at once by setCurrentHostType).
TEST_F(WebServiceHostTest, ChangingTheCustomAddressClosesItsChannelAndAnnouncesTheChangeOnce) {
    PLYWebServiceHost::setCustomHostName("127.0.0.1");
    PLYWebServiceHost::setCustomPort("4100");
    PLYWebServiceHost::setCurrentHostType(PLYWebServiceHost::HostTypeCustom);
    QCoreApplication::processEvents();
    int posted = 0;
    const auto token = PLYNotificationCenter::defaultCenter().addObserver(
        PLYWebServiceHost::DidChangeCurrentHostNotification, PLYWebServiceHost::classObject(),
        [&](const PLYNotification&) { ++posted; });
    QList<PLYWebServiceHost*> closed;
    PLYWebServiceHost::setChannelHooks({[](PLYWebServiceHost*) {}, [&](PLYWebServiceHost* host) { closed << host; }});

    PLYWebServiceHost::setCustomPort("4200");
    EXPECT_EQ(closed, QList<PLYWebServiceHost*>{PLYWebServiceHost::customHost()});
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(PLYWebServiceHost::currentHost()->port(), "4200");

    // Name and HTTPS changed together: one announcement.
    PLYWebServiceHost::setCustomHostName("service.example.org");
    PLYWebServiceHost::setCustomHTTPS(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(closed.size(), 3);

    // Nothing changed, nothing announced or closed.
    PLYWebServiceHost::setCustomHostName("service.example.org");
    PLYWebServiceHost::setCustomPort("4200");
    PLYWebServiceHost::setCustomHTTPS(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, 2);
    EXPECT_EQ(closed.size(), 3);

    // A change followed by the host type set again is announced once, at once.
    PLYWebServiceHost::setCustomPort("4300");
    PLYWebServiceHost::setCurrentHostType(PLYWebServiceHost::HostTypeCustom);
    EXPECT_EQ(posted, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(posted, 3);

    PLYWebServiceHost::setChannelHooks({});
    PLYNotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(WebServiceHostTest, CredentialsAreKeptPerEnvironment) {
    PLYWebServiceHost::stagingHost()->setEmail("me@example.org", true);
    PLYWebServiceHost::stagingHost()->setPassword("s3cret", true);
    PLYWebServiceHost::stagingHost()->setJWT("staging-token");
    EXPECT_EQ(PLYWebServiceHost::stagingHost()->keychainServiceName(), "com.pellory.staging");

    PLYWebServiceHost::resetForTesting();  // a restart: only the keychain remains
    EXPECT_EQ(PLYWebServiceHost::stagingHost()->email(), "me@example.org");
    EXPECT_EQ(PLYWebServiceHost::stagingHost()->password(), "s3cret");
    EXPECT_EQ(PLYWebServiceHost::stagingHost()->jwt(), "staging-token");
    EXPECT_TRUE(PLYWebServiceHost::prodHost()->email().isEmpty());
    EXPECT_TRUE(PLYWebServiceHost::prodHost()->jwt().isEmpty());
    EXPECT_TRUE(PLYWebServiceHost::devHost()->password().isEmpty());
}

TEST_F(WebServiceHostTest, UnrememberedCredentialsLiveOnlyInMemoryAndClearingForgetsAll) {
    PLYWebServiceHost* dev = PLYWebServiceHost::devHost();
    dev->setEmail("stored@example.org", true);
    dev->setEmail("typed@example.org", false);
    dev->setPassword("pw", false);
    dev->setJWT("tok");
    EXPECT_EQ(dev->email(), "typed@example.org");
    PLYWebServiceHost::resetForTesting();
    dev = PLYWebServiceHost::devHost();
    EXPECT_EQ(dev->email(), "stored@example.org");
    EXPECT_TRUE(dev->password().isEmpty());
    EXPECT_EQ(dev->jwt(), "tok");

    dev->clearStoredKeys();
    EXPECT_TRUE(dev->email().isEmpty());
    EXPECT_TRUE(dev->jwt().isEmpty());
    EXPECT_FALSE(PLYKeyChain::itemForKey("jwt", dev->keychainServiceName()).isValid());
    dev->clearStoredKeys();  // nothing left to delete is no failure
    EXPECT_TRUE(dev->jwt().isEmpty());
}

TEST_F(WebServiceHostTest, EveryNewTokenAsksForTheChannel) {
    QStringList asked;
    PLYWebServiceHost::setChannelHooks({[&](PLYWebServiceHost* h) { asked << h->hostType(); },
                                        [&](PLYWebServiceHost* h) { asked << "close:" + h->hostType(); }});
    PLYWebServiceHost::devHost()->setJWT("one");
    PLYWebServiceHost::devHost()->clearStoredKeys();
    PLYWebServiceHost::setChannelHooks({});
    EXPECT_EQ(asked, QStringList({PLYWebServiceHost::HostTypeDev, QStringLiteral("close:") + PLYWebServiceHost::HostTypeDev}));
}

}  // namespace
