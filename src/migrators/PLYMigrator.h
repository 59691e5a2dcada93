#pragma once

#include <QString>
#include <functional>
#include <memory>

class PLYMigratorVersion;
class PLYPersistantStore;

// Runs the migration steps newer than the stored migration version ("mig_ver") once, at
// start-up. While a step runs, the core manager cannot be obtained and the store in use is the
// migration's own.
class PLYMigrator {
public:
    static constexpr const char* kMigrationVersion = "mig_ver";
    static constexpr const char* kRelaunchAfterMigration = "relaunch_app_per_mig";

    using StepFactory = std::function<std::unique_ptr<PLYMigratorVersion>()>;

    // `completion` runs on the main thread: at once with true when there is nothing to run,
    // else after the steps, with false when one failed (later steps are not run).
    static void runMigratorIfNeeded(std::function<void(bool)> completion);
    static bool shouldRelaunchAfterLogin();
    static void setShouldRelaunchAfterLogin(bool relaunch);

    static bool isMigrating();
    static std::shared_ptr<PLYPersistantStore> migrationStore();

    // The known steps. There are none yet on this platform: no older database exists here.
    static void registerStep(StepFactory factory);
    static void clearRegisteredSteps();

    // Negative, zero or positive as `a` is older than, equal to or newer than `b`.
    static int compareVersions(const QString& a, const QString& b);
};
