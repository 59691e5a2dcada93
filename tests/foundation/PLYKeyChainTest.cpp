#include <gtest/gtest.h>

#include "PLYKeyChain.h"
#include "PLYLog.h"

#include <QUuid>

namespace {

// Each test uses its own service name, so parallel test processes sharing one keyring never meet.
QString freshService() { return QStringLiteral("com.pellory.test.") + QUuid::createUuid().toString(QUuid::WithoutBraces); }

enum class Backend { SecretService, InMemory };

class KeyChain : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        service = freshService();
        PLYKeyChain::resetForTesting(GetParam() == Backend::InMemory);
        if (GetParam() == Backend::SecretService && !PLYKeyChain::usesSecretService()) {
            // The test script provides a keyring; outside it the real backend may be absent.
            if (qEnvironmentVariable("PELLORY_TEST_KEYRING") == QLatin1String("1"))
                FAIL() << "a test keyring is running but the keychain fell back to memory";
            service.clear();
            GTEST_SKIP() << "no Secret Service on this bus";
        }
    }
    void TearDown() override {
        if (!service.isEmpty())
            for (const char* key : {"email", "password", "jwt"}) PLYKeyChain::deleteItemForKey(QString::fromLatin1(key), service);
        PLYKeyChain::resetForTesting(false);
    }
    QString service;
};

}  // namespace

TEST_P(KeyChain, SavesReadsUpdatesAndDeletes) {
    PLYError error;
    EXPECT_FALSE(PLYKeyChain::itemForKey("email", service, &error).isValid());
    EXPECT_EQ(error.code, PLYKeyChain::ErrorItemNotFound);

    ASSERT_TRUE(PLYKeyChain::saveItem(QStringLiteral("ann@example.com"), "email", service, &error)) << error.toString().toStdString();
    EXPECT_EQ(PLYKeyChain::itemForKey("email", service).toString(), QStringLiteral("ann@example.com"));

    ASSERT_TRUE(PLYKeyChain::saveItem(QStringLiteral("bob@example.com"), "email", service));
    EXPECT_EQ(PLYKeyChain::itemForKey("email", service).toString(), QStringLiteral("bob@example.com"));

    const QVariantMap structured{{"token", "abc"}, {"n", 3}, {"list", QStringList{"x", "y"}}};
    ASSERT_TRUE(PLYKeyChain::saveItem(structured, "jwt", service));
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", service).toMap(), structured);

    error = {};
    ASSERT_TRUE(PLYKeyChain::deleteItemForKey("email", service, &error));
    EXPECT_FALSE(PLYKeyChain::itemForKey("email", service).isValid());
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", service).toMap(), structured);  // other keys untouched
}

TEST_P(KeyChain, DeletingAMissingItemReportsNotFound) {
    PLYError error;
    EXPECT_FALSE(PLYKeyChain::deleteItemForKey("password", service, &error));
    EXPECT_EQ(error.domain, QStringLiteral("com.vezovuroru.KeyChain"));
    EXPECT_EQ(error.code, -25300);
}

TEST_P(KeyChain, SavingNothingDeletes) {
    ASSERT_TRUE(PLYKeyChain::saveItem(QStringLiteral("secret-1"), "password", service));
    EXPECT_TRUE(PLYKeyChain::saveItem(QVariant(), "password", service));
    EXPECT_FALSE(PLYKeyChain::itemForKey("password", service).isValid());
    PLYError error;
    EXPECT_FALSE(PLYKeyChain::saveItem(QVariant(), "password", service, &error));  // nothing left to delete
    EXPECT_EQ(error.code, PLYKeyChain::ErrorItemNotFound);
}

TEST_P(KeyChain, ItemsAreIsolatedByServiceAndKey) {
    const QString other = freshService();
    ASSERT_TRUE(PLYKeyChain::saveItem(QStringLiteral("dev-token"), "jwt", service));
    ASSERT_TRUE(PLYKeyChain::saveItem(QStringLiteral("prod-token"), "jwt", other));
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", service).toString(), QStringLiteral("dev-token"));
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", other).toString(), QStringLiteral("prod-token"));
    EXPECT_FALSE(PLYKeyChain::itemForKey("email", service).isValid());
    ASSERT_TRUE(PLYKeyChain::deleteItemForKey("jwt", other));
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", service).toString(), QStringLiteral("dev-token"));
}

TEST_P(KeyChain, UnreadableItemReportsCode21) {
    ASSERT_TRUE(PLYKeyChain::storeRawSecretForTesting("not an archive!", "jwt", service));
    PLYError error;
    EXPECT_FALSE(PLYKeyChain::itemForKey("jwt", service, &error).isValid());
    EXPECT_EQ(error.domain, QStringLiteral("com.vezovuroru.KeyChain"));
    EXPECT_EQ(error.code, 21);
    ASSERT_TRUE(PLYKeyChain::storeRawSecretForTesting(QByteArray("AAAA"), "jwt", service));  // base64, but truncated stream
    EXPECT_FALSE(PLYKeyChain::itemForKey("jwt", service, &error).isValid());
    EXPECT_EQ(error.code, 21);
}

TEST_P(KeyChain, EmptyKeyOrServiceIsMisuse) {
    auto raisesInvalidArgument = [](auto&& f) {
        try {
            f();
        } catch (const PLYException& e) {
            return e.name() == QStringLiteral("NSInvalidArgumentException");
        }
        return false;
    };
    EXPECT_TRUE(raisesInvalidArgument([&] { PLYKeyChain::itemForKey(QString(), service); }));
    EXPECT_TRUE(raisesInvalidArgument([&] { PLYKeyChain::saveItem(1, "jwt", QString()); }));
    EXPECT_TRUE(raisesInvalidArgument([&] { PLYKeyChain::deleteItemForKey(QString(), QString()); }));
}

INSTANTIATE_TEST_SUITE_P(Backends, KeyChain, ::testing::Values(Backend::SecretService, Backend::InMemory),
                         [](const auto& info) { return info.param == Backend::InMemory ? "InMemory" : "SecretService"; });

TEST(KeyChainFallback, WarnsOnceAndNeverLogsTheSecret) {
    QStringList warnings;
    bool secretLogged = false;
    const int token = PLYLog::addObserver([&](PLYLog::Level level, const QString& line) {
        if (line.contains(QStringLiteral("s3cr3t-value"))) secretLogged = true;
        if (level == PLYLog::Level::Warn && line.contains(QStringLiteral("Keychain"))) warnings << line;
    });
    PLYKeyChain::resetForTesting(true);
    const QString service = freshService();
    EXPECT_FALSE(PLYKeyChain::usesSecretService());
    ASSERT_TRUE(PLYKeyChain::saveItem(QStringLiteral("s3cr3t-value"), "password", service));
    EXPECT_EQ(PLYKeyChain::itemForKey("password", service).toString(), QStringLiteral("s3cr3t-value"));
    ASSERT_TRUE(PLYKeyChain::deleteItemForKey("password", service));
    PLYLog::removeObserver(token);
    PLYKeyChain::resetForTesting(false);
    EXPECT_EQ(warnings.size(), 1);
    EXPECT_FALSE(secretLogged);
}
