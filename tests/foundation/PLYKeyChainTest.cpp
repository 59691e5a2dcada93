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
            // CI must exercise the real keychain: a skip there would pass unnoticed.
            if (qEnvironmentVariable("CI") == QLatin1String("true"))
                FAIL() << "CI=true, but no Secret Service answers on this bus (run the tests through scripts/with-test-keyring)";
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

    // Secrets are text: a structured value is refused and nothing is stored.
    const QVariantMap structured{{"token", "abc"}, {"n", 3}};
    EXPECT_FALSE(PLYKeyChain::saveItem(structured, "jwt", service, &error));
    EXPECT_EQ(error.code, PLYKeyChain::ErrorParam);
    EXPECT_FALSE(PLYKeyChain::itemForKey("jwt", service).isValid());
    const QString token = QStringLiteral("eyJ\u00e9.\u6771\u4eac.sig");
    ASSERT_TRUE(PLYKeyChain::saveItem(token, "jwt", service));

    error = {};
    ASSERT_TRUE(PLYKeyChain::deleteItemForKey("email", service, &error));
    EXPECT_FALSE(PLYKeyChain::itemForKey("email", service).isValid());
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", service).toString(), token);  // other keys untouched
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

TEST_P(KeyChain, ItemsOfTheEarlierArchivedFormAreReadThenReplacedByText) {
    ASSERT_TRUE(PLYKeyChain::storeRawSecretForTesting(PLYKeyChain::archive(QStringLiteral("old-p\u00e4ss")), "password", service));
    ASSERT_TRUE(PLYKeyChain::storeRawSecretForTesting(PLYKeyChain::archive(QByteArray("old-token")), "jwt", service));
    EXPECT_EQ(PLYKeyChain::itemForKey("password", service).toString(), QStringLiteral("old-p\u00e4ss"));
    EXPECT_EQ(PLYKeyChain::itemForKey("jwt", service).toString(), QStringLiteral("old-token"));

    ASSERT_TRUE(PLYKeyChain::saveItem(QStringLiteral("new-pass"), "password", service));
    EXPECT_EQ(PLYKeyChain::itemForKey("password", service).toString(), QStringLiteral("new-pass"));
    ASSERT_TRUE(PLYKeyChain::deleteItemForKey("password", service));
    EXPECT_FALSE(PLYKeyChain::itemForKey("password", service).isValid()) << "the archived item outlived its replacement";
    ASSERT_TRUE(PLYKeyChain::deleteItemForKey("jwt", service)) << "an archived item alone is deleted too";
    EXPECT_FALSE(PLYKeyChain::itemForKey("jwt", service).isValid());

    // A secret that looks like an archive is kept as the text it is.
    const QString lookalike = QString::fromLatin1(PLYKeyChain::archive(QStringLiteral("x")));
    ASSERT_TRUE(PLYKeyChain::saveItem(lookalike, "password", service));
    EXPECT_EQ(PLYKeyChain::itemForKey("password", service).toString(), lookalike);
}

// The earlier items' decoder over a fixed corpus of malformed stored bytes: each is refused with
// code 21 or read as text; none crashes or allocates what a stored length claims.
TEST(KeyChainDecoder, MalformedArchivesAreRefused) {
    auto b64 = [](const QByteArray& raw) { return raw.toBase64(); };
    const QList<QByteArray> corpus = {
        {},
        "not base64 at all!",
        b64(QByteArray("\x00\x00\x00\x0a\x00\x7f\xff\xff", 8)),                              // cut short
        b64(QByteArray("\x00\x00\x00\x0a\x00\x7f\xff\xff\xfe\x00\x41\x00\x42", 13)),        // 13 bytes claiming 2 GB
        b64(QByteArray("\x00\x00\x00\x0a\x00\x00\x00\x00\x03\x00\x41\x00", 12)),            // odd UTF-16 length
        b64(QByteArray("\x00\x00\x00\x0c\x00\xff\xff\xff\xf0", 9) + "abc"),                 // byte array, huge length
        b64(QByteArray("\x00\x01\x00\x00\x00\x00\x00\x00\x04user", 13)),                    // a user type by name
        PLYKeyChain::archive(QVariantMap{{"k", "v"}}),
        PLYKeyChain::archive(QStringList{"a", "b"}),
        PLYKeyChain::archive(42),
        PLYKeyChain::archive(QStringLiteral("x")) + "AAAA",                                  // trailing bytes
        QByteArray(PLYKeyChain::MaxSecretBytes * 3, 'A'),
    };
    for (int i = 0; i < corpus.size(); ++i) {
        PLYError error;
        EXPECT_FALSE(PLYKeyChain::unarchive(corpus[i], &error).isValid()) << "case " << i;
        EXPECT_EQ(error.code, PLYKeyChain::ErrorUnarchive) << "case " << i;
    }
    const QByteArray valid = PLYKeyChain::archive(QStringLiteral("p\u00e4ssword"));
    EXPECT_EQ(PLYKeyChain::unarchive(valid).toString(), QStringLiteral("p\u00e4ssword"));
    QByteArray raw = QByteArray::fromBase64(valid);
    quint32 seed = 99;
    for (int i = 0; i < 500; ++i) {
        QByteArray bytes = raw.left(raw.size() - i % 3);
        seed = seed * 1103515245u + 12345u;
        bytes[int((seed >> 8) % quint32(bytes.size()))] = char(seed >> 24);
        const QVariant value = PLYKeyChain::unarchive(bytes.toBase64());
        if (value.isValid()) {
            EXPECT_EQ(value.typeId(), QMetaType::QString);
        }
    }
}
