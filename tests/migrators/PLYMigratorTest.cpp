#include "PLYCoreManager.h"
#include "PLYMigrator.h"
#include "PLYMigratorVersion.h"
#include "PLYPersistantStore.h"
#include "PLYTestEnvironment.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceGateway.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

using PLYTestEnvironment::waitUntil;

namespace {

struct StepLog {
    QStringList ran;
    bool coreWasHidden = true;
    bool storeWasTheMigrations = true;
};

class RecordingStep : public PLYMigratorVersion {
public:
    RecordingStep(QString version, StepLog* log, bool succeed, bool relaunch)
        : m_version(std::move(version)), m_log(log), m_succeed(succeed), m_relaunch(relaunch) {}
    QString version() const override { return m_version; }
    void migrate(const std::shared_ptr<PLYPersistantStore>& store, Completion done) override {
        m_log->ran << m_version;
        if (PLYCoreManager::globalManager() != nullptr) m_log->coreWasHidden = false;
        if (PLYCoreManager::persistantStore() != store || !store) m_log->storeWasTheMigrations = false;
        // Finish from another thread, as a step reading a database would.
        const bool ok = m_succeed, relaunch = m_relaunch;
        QThread* t = QThread::create([done, ok, relaunch] { done(ok, relaunch); });
        QObject::connect(t, &QThread::finished, t, &QObject::deleteLater);
        t->start();
    }

private:
    QString m_version;
    StepLog* m_log;
    bool m_succeed, m_relaunch;
};

class CountingGateway : public PLYWebServiceGateway {
public:
    void beginManager() override {}
    void clearStoredKeys() override { ++cleared; }
    QString storedEmail() const override { return {}; }
    void deleteRemotePost(const std::shared_ptr<PLYPersistantPost>&, std::function<void(bool)> done) override { done(false); }
    int cleared = 0;
};

class MigratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYMigrator::clearRegisteredSteps();
        auto& d = PLYUserDefaults::standardUserDefaults();
        d.removeObjectForKey(QString::fromLatin1(PLYMigrator::kMigrationVersion));
        d.removeObjectForKey(QString::fromLatin1(PLYMigrator::kRelaunchAfterMigration));
        PLYCoreManager::resetGlobalManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("core")));
        PLYCoreManager::setWebServiceGateway(&gateway);
    }
    void TearDown() override {
        PLYMigrator::clearRegisteredSteps();
        PLYCoreManager::setWebServiceGateway(nullptr);
        PLYCoreManager::resetGlobalManager();
    }
    void add(const QString& version, bool succeed = true, bool relaunch = false) {
        StepLog* l = &log;
        PLYMigrator::registerStep([=] { return std::make_unique<RecordingStep>(version, l, succeed, relaunch); });
    }
    StepLog log;
    CountingGateway gateway;
};

}  // namespace

TEST_F(MigratorTest, NothingToRunCompletesAtOnce) {
    int calls = 0;
    bool result = false;
    PLYMigrator::runMigratorIfNeeded([&](bool ok) { ++calls; result = ok; });
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(result);
    EXPECT_TRUE(PLYCoreManager::globalManager());
    EXPECT_FALSE(PLYMigrator::shouldRelaunchAfterLogin());
}

TEST_F(MigratorTest, StepsNewerThanTheStoredVersionRunInOrderWithTheCoreHidden) {
    PLYUserDefaults::standardUserDefaults().setString(QStringLiteral("2.1.5"), QString::fromLatin1(PLYMigrator::kMigrationVersion));
    add(QStringLiteral("2.10.0"), true, true);
    add(QStringLiteral("2.1.5"));
    add(QStringLiteral("2.1.6"));
    std::optional<bool> result;
    bool onMain = false;
    PLYMigrator::runMigratorIfNeeded([&](bool ok) {
        result = ok;
        onMain = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    EXPECT_FALSE(result.has_value());
    EXPECT_TRUE(PLYMigrator::isMigrating());
    EXPECT_EQ(PLYCoreManager::globalManager(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(*result);
    EXPECT_TRUE(onMain);
    EXPECT_EQ(log.ran, (QStringList{QStringLiteral("2.1.6"), QStringLiteral("2.10.0")}));
    EXPECT_TRUE(log.coreWasHidden);
    EXPECT_TRUE(log.storeWasTheMigrations);
    EXPECT_TRUE(PLYCoreManager::globalManager());
    EXPECT_EQ(PLYUserDefaults::standardUserDefaults().stringForKey(QString::fromLatin1(PLYMigrator::kMigrationVersion)),
              QStringLiteral("2.10.0"));
    EXPECT_TRUE(PLYMigrator::shouldRelaunchAfterLogin());
    EXPECT_EQ(gateway.cleared, 1);

    log.ran.clear();
    int again = 0;
    PLYMigrator::runMigratorIfNeeded([&](bool) { ++again; });
    EXPECT_EQ(again, 1);
    EXPECT_TRUE(log.ran.isEmpty());
}

TEST_F(MigratorTest, AFailedStepStopsTheRunAndKeepsItsVersionPending) {
    add(QStringLiteral("1.0"));
    add(QStringLiteral("2.0"), false);
    add(QStringLiteral("3.0"));
    std::optional<bool> result;
    PLYMigrator::runMigratorIfNeeded([&](bool ok) { result = ok; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(*result);
    EXPECT_EQ(log.ran, (QStringList{QStringLiteral("1.0"), QStringLiteral("2.0")}));
    EXPECT_EQ(PLYUserDefaults::standardUserDefaults().stringForKey(QString::fromLatin1(PLYMigrator::kMigrationVersion)),
              QStringLiteral("1.0"));
    EXPECT_FALSE(PLYMigrator::isMigrating());
}
