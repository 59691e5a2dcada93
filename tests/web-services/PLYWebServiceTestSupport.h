#pragma once

#include "PLYFakeService.h"
#include "PLYKeyChain.h"
#include "PLYTestEnvironment.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceHost.h"
#include "PLYWebServiceModelObject.h"

#include <gtest/gtest.h>

// What a completion received.
struct PLYCompletionRecord {
    bool called = false;
    bool success = false;
    QVariant object;
    std::optional<PLYServiceError> serviceError;
    std::optional<PLYError> transportError;

    PLYWebServiceCompletionBlock block() {
        return [this](bool ok, const QVariant& obj, const std::optional<PLYServiceError>& service,
                      const std::optional<PLYError>& transport) {
            called = true;
            success = ok;
            object = obj;
            serviceError = service;
            transportError = transport;
        };
    }
    bool wait(int ms = 30000) { return PLYTestEnvironment::waitUntil([this] { return called; }, ms); }
};

// Fresh defaults, keychain and hosts for one test.
inline void PLYResetWebServiceState() {
    PLYUserDefaults::resetStandardUserDefaults(PLYTestEnvironment::makeTempDirectory(QStringLiteral("defaults")) +
                                               QStringLiteral("/defaults.ini"));
    PLYKeyChain::resetForTesting(true);
    PLYWebServiceHost::resetForTesting();
}

// Makes the custom environment point at a local service on `port`, over plain HTTP.
inline void PLYUseLocalService(quint16 port) {
    PLYWebServiceHost::setCustomHostName(QStringLiteral("127.0.0.1"));
    PLYWebServiceHost::setCustomPort(QString::number(port));
    PLYWebServiceHost::setCustomHTTPS(false);
    PLYWebServiceHost::setCurrentHostType(QString::fromLatin1(PLYWebServiceHost::HostTypeCustom));
}

// A fake service on an ephemeral port, made the current (custom) environment, with fresh
// defaults, hosts and keychain.
class PLYWebServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYResetWebServiceState();
        ASSERT_TRUE(service.start());
        PLYUseLocalService(service.port());
    }
    void TearDown() override {
        service.stop();
        PLYWebServiceHost::resetForTesting();
        PLYKeyChain::resetForTesting(true);
    }
    PLYWebServiceHost* host() { return PLYWebServiceHost::currentHost(); }
    void signIn(const QString& token = QStringLiteral("tok-123")) { host()->setJWT(token); }

    PLYFakeService service;
};
