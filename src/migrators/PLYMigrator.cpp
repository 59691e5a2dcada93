#include "PLYMigrator.h"

#include "PLYCoreManager.h"
#include "PLYDispatch.h"
#include "PLYLog.h"
#include "PLYMigratorVersion.h"
#include "PLYPersistantStore.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceGateway.h"

#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

std::vector<PLYMigrator::StepFactory>& registry() {
    static std::vector<PLYMigrator::StepFactory> steps;
    return steps;
}

bool g_migrating = false;
std::shared_ptr<PLYPersistantStore> g_store;

struct Run {
    std::vector<std::unique_ptr<PLYMigratorVersion>> steps;
    size_t next = 0;
    std::function<void(bool)> completion;
};

void finish(const std::shared_ptr<Run>& run, bool success) {
    PLYError error;
    if (success && g_store && !g_store->save(&error))
        PLY_LOG_ERROR(QStringLiteral("The migrated library could not be saved: %1").arg(error.toString()));
    g_store.reset();
    g_migrating = false;
    if (auto* gateway = PLYCoreManager::webServiceGateway()) gateway->clearStoredKeys();
    PLY_LOG_INFO(success ? QStringLiteral("Migration finished") : QStringLiteral("Migration failed"));
    if (run->completion) run->completion(success);
}

void runNext(const std::shared_ptr<Run>& run) {
    if (run->next >= run->steps.size()) {
        finish(run, true);
        return;
    }
    PLYMigratorVersion* step = run->steps[run->next].get();
    const QString version = step->version();
    PLY_LOG_INFO(QStringLiteral("Running migration %1").arg(version));
    step->migrate(g_store, [run, version](bool success, bool relaunch) {
        // Steps may finish on any thread; the bookkeeping happens on the main thread.
        PLYDispatch::mainAsync([run, version, success, relaunch]() {
            if (!success) {
                PLY_LOG_ERROR(QStringLiteral("Migration %1 failed").arg(version));
                finish(run, false);
                return;
            }
            PLYUserDefaults::standardUserDefaults().setString(version, QString::fromLatin1(PLYMigrator::kMigrationVersion));
            if (relaunch) PLYMigrator::setShouldRelaunchAfterLogin(true);
            ++run->next;
            runNext(run);
        });
    });
}

}  // namespace

int PLYMigrator::compareVersions(const QString& a, const QString& b) {
    const QStringList x = a.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const QStringList y = b.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < qMax(x.size(), y.size()); ++i) {
        const qint64 p = i < x.size() ? x[i].toLongLong() : 0;
        const qint64 q = i < y.size() ? y[i].toLongLong() : 0;
        if (p != q) return p < q ? -1 : 1;
    }
    return 0;
}

void PLYMigrator::runMigratorIfNeeded(std::function<void(bool)> completion) {
    const QString stored = PLYUserDefaults::standardUserDefaults().stringForKey(QString::fromLatin1(kMigrationVersion));
    auto run = std::make_shared<Run>();
    run->completion = std::move(completion);
    for (const StepFactory& factory : registry()) {
        auto step = factory();
        if (step && compareVersions(step->version(), stored) > 0) run->steps.push_back(std::move(step));
    }
    if (run->steps.empty() || g_migrating) {
        PLY_LOG_INFO(QStringLiteral("No migrations to run"));
        if (run->completion) run->completion(true);
        return;
    }
    std::sort(run->steps.begin(), run->steps.end(),
              [](const auto& a, const auto& b) { return compareVersions(a->version(), b->version()) < 0; });
    g_migrating = true;
    g_store = PLYPersistantStore::create();
    g_store->setUp(false);
    // Steps may work on the files themselves: nothing may still be reading them behind.
    g_store->finishLoading();
    // The steps start from the event loop, so that the caller's window can show first.
    PLYDispatch::mainAsync([run]() { runNext(run); });
}

bool PLYMigrator::shouldRelaunchAfterLogin() {
    return PLYUserDefaults::standardUserDefaults().boolForKey(QString::fromLatin1(kRelaunchAfterMigration), false);
}

void PLYMigrator::setShouldRelaunchAfterLogin(bool relaunch) {
    PLYUserDefaults::standardUserDefaults().setBool(relaunch, QString::fromLatin1(kRelaunchAfterMigration));
}

bool PLYMigrator::isMigrating() { return g_migrating; }
std::shared_ptr<PLYPersistantStore> PLYMigrator::migrationStore() { return g_store; }

void PLYMigrator::registerStep(StepFactory factory) { registry().push_back(std::move(factory)); }
void PLYMigrator::clearRegisteredSteps() { registry().clear(); }
